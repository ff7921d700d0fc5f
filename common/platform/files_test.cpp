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

}  // namespace
}  // namespace kavrel
