#include "common/platform/file_stamp.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/platform/files.h"

namespace kavrel {
namespace {

struct Stat {
  bool ok;
  long long modified;
  bool writable;
};

Stat StatOf(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return {false, 0, false};
  return {true, static_cast<long long>(st.st_mtime), (st.st_mode & S_IWUSR) != 0};
}

// A file made read-only can be made writable again and replaced, and its
// modification time is the one set, to the second.
TEST(FileStampTest, AttributesAndTimesRoundTrip) {
  const std::string path = ::testing::TempDir() + "kavrel_file_stamp.txt";
  const Text textPath = Utf8ToText(path);
  ASSERT_TRUE(WriteFileBytes(textPath, "one"));

  ASSERT_TRUE(SetFileStampAttributes(textPath, kFileAttributeReadOnly, 0));
  EXPECT_FALSE(StatOf(path).writable);
  ASSERT_TRUE(SetFileStampAttributes(textPath, 0, 0));
  EXPECT_TRUE(StatOf(path).writable);
  EXPECT_TRUE(WriteFileBytes(textPath, "two"));

  const long long moment = 1700000000;  // 2023-11-14 22:13:20 UTC
  ASSERT_TRUE(SetFileStampTimes(textPath, moment, moment + 5, moment - 5));
  EXPECT_EQ(StatOf(path).modified, moment);

  EXPECT_FALSE(SetFileStampTimes(Utf8ToText(path + ".missing"), moment, moment, moment));
  EXPECT_FALSE(SetFileStampAttributes(Utf8ToText(path + ".missing"), 0, 0));
  DeleteFileAt(textPath);
}

}  // namespace
}  // namespace kavrel
