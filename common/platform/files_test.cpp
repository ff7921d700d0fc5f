#include "common/platform/files.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace kavrel {
namespace {

Text TempPath(const char* name) {
  return Utf8ToText(std::string(::testing::TempDir()) + name);
}

TEST(FilesTest, WritesReadsAndDeletesWithNonAsciiNames) {
  const Text path = TempPath("kavrel_files_채널.bin");
  const std::string bytes("a\0b\xFF\r\n", 6);
  ASSERT_TRUE(WriteFileBytes(path, bytes));
  EXPECT_TRUE(FileExists(path));
  EXPECT_FALSE(FolderExists(path));
  std::string back = "stale";
  ASSERT_TRUE(ReadFileBytes(path, back));
  EXPECT_EQ(back, bytes);
  ASSERT_TRUE(WriteFileBytes(path, std::string()));
  ASSERT_TRUE(ReadFileBytes(path, back));
  EXPECT_EQ(back, "");
  EXPECT_TRUE(DeleteFileAt(path));
  EXPECT_FALSE(FileExists(path));
  EXPECT_TRUE(DeleteFileAt(path));  // already gone
}

TEST(FilesTest, MissingFilesAndFoldersFailCleanly) {
  std::string bytes = "stale";
  EXPECT_FALSE(ReadFileBytes(TempPath("no_such_file.xml"), bytes));
  EXPECT_EQ(bytes, "");
  EXPECT_FALSE(WriteFileBytes(TempPath("no_such_folder/x.txt"), "x"));
  const Text folder = Utf8ToText(::testing::TempDir());
  EXPECT_TRUE(FolderExists(folder));
  EXPECT_FALSE(FileExists(folder));
  EXPECT_FALSE(ReadFileBytes(folder, bytes));
}

// Moves never overwrite; folders are made one at a time; a writer streams.
TEST(FilesTest, MovesCreatesFoldersAndStreamsWrites) {
  const Text folder = TempPath("kavrel_files_moves");
  ASSERT_TRUE(CreateFolder(folder));
  EXPECT_TRUE(CreateFolder(folder));  // exists already
  EXPECT_FALSE(CreateFolder(folder + u"/missing/child"));
  const Text a = folder + u"/a.bin", b = folder + u"/b.bin";
  DeleteFileAt(a);
  DeleteFileAt(b);

  FileWriter w;
  ASSERT_TRUE(w.Open(a));
  EXPECT_TRUE(w.Write("12", 2));
  EXPECT_TRUE(w.Write("345", 3));
  EXPECT_TRUE(w.Close());
  EXPECT_FALSE(w.Write("x", 1));
  EXPECT_FALSE(w.Open(folder + u"/missing/c.bin"));

  ASSERT_TRUE(MoveFileTo(a, b));
  EXPECT_FALSE(FileExists(a));
  ASSERT_TRUE(WriteFileBytes(a, "new"));
  EXPECT_FALSE(MoveFileTo(a, b));  // b exists: never overwritten
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(b, bytes));
  EXPECT_EQ(bytes, "12345");
  EXPECT_FALSE(MoveFileTo(folder + u"/none.bin", folder + u"/none2.bin"));
  EXPECT_FALSE(MoveFileTo(Text(), b));

  std::uint64_t space = 0;
  EXPECT_TRUE(AvailableDiskSpace(folder, space));
  EXPECT_GT(space, 0u);
  EXPECT_TRUE(AvailableDiskSpace(Text(), space));
  EXPECT_EQ(WithNativeSeparators(u"a/b\\c"), Text(u"a") + PathSeparator() + u"b" + PathSeparator() + u"c");
  DeleteFileAt(a);
  DeleteFileAt(b);
}

}  // namespace
}  // namespace kavrel
