#include "client/stats/usage_queue_file.h"

#include <gtest/gtest.h>

#include "client/stats/stats_test_support.h"
#include "client/stats/usage_record.h"
#include "common/platform/code_page.h"
#include "common/platform/files.h"

namespace kavrel {
namespace {

class UsageQueueFileTest : public ::testing::Test {
 protected:
  std::string Bytes() {
    std::string bytes;
    ReadFileBytes(file, bytes);
    return bytes;
  }

  ScratchFolder folder;
  const Text file = folder.File("bi.dat");
};

// Lines are taken in order without the empty ones, and the file is gone.
TEST_F(UsageQueueFileTest, LoadTakesEveryLineAndDeletesTheFile) {
  ASSERT_TRUE(WriteFileBytes(file, "{one}\n\n{two}\n\n\n{three}"));
  std::vector<Text> records = {u"{kept}"};
  LoadUnsent(file, records);
  EXPECT_EQ(U8(records), (std::vector<std::string>{"{kept}", "{one}", "{two}", "{three}"}));
  EXPECT_FALSE(FileExists(file));

  records.clear();
  LoadUnsent(file, records);  // missing now: nothing
  EXPECT_TRUE(records.empty());
}

// Saving appends one line per record, each ended by a single line feed, and
// repairs a last line that lost its line feed.
TEST_F(UsageQueueFileTest, SaveAppendsOneLinePerRecord) {
  ASSERT_TRUE(SaveUnsent(file, {u"{a}", u"{b}"}));
  ASSERT_TRUE(SaveUnsent(file, {u"{c}"}));
  EXPECT_EQ(Bytes(), "{a}\n{b}\n{c}\n");

  ASSERT_TRUE(WriteFileBytes(file, "{cut"));
  ASSERT_TRUE(SaveUnsent(file, {u"{d}"}));
  EXPECT_EQ(Bytes(), "{cut\n{d}\n");

  ASSERT_TRUE(SaveUnsent(file, {}));
  EXPECT_EQ(Bytes(), "{cut\n{d}\n");
}

// A record of several kilobytes survives a save and a load whole, and a
// line break inside a record cannot split it into two.
TEST_F(UsageQueueFileTest, LongRecordsAndLineBreaksSurviveWhole) {
  const Text longRecord = u"{" + Text(5000, u'n') + u"}";
  ASSERT_TRUE(SaveUnsent(file, {longRecord, u"{two\nlines\r}"}));
  std::vector<Text> records;
  LoadUnsent(file, records);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0], longRecord);
  EXPECT_EQ(U8(records[1]), "{two lines }");
}

// A line longer than any record the reporter makes is cut as records are.
TEST_F(UsageQueueFileTest, OverlongLinesAreCutOnLoad) {
  ASSERT_TRUE(WriteFileBytes(file, std::string(kMaxRecordLength + 100, 'x') + "\n{b}\n"));
  std::vector<Text> records;
  LoadUnsent(file, records);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].size(), kMaxRecordLength);
}

// The file is in the ANSI code page: Korean text survives on a Korean system.
TEST_F(UsageQueueFileTest, RecordsUseTheAnsiCodePage) {
  const unsigned before = AnsiCodePage();
  if (before != 949 && !SetAnsiCodePage(949)) GTEST_SKIP() << "no Korean ANSI code page";
  const Text record = u"{\"02011\",{\"0\",\"240007\",\"101\",\"한국 방송\"}}";
  ASSERT_TRUE(SaveUnsent(file, {record}));
  EXPECT_EQ(Bytes(), TextToBytes(record, 949) + "\n");
  std::vector<Text> records;
  LoadUnsent(file, records);
  SetAnsiCodePage(before);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(U8(records[0]), U8(record));
}

// A queue file in a folder that does not exist cannot be written; the
// failure is a value.
TEST_F(UsageQueueFileTest, UnwritableFileFails) {
  EXPECT_FALSE(SaveUnsent(folder.File("missing/bi.dat"), {u"{a}"}));
}

}  // namespace
}  // namespace kavrel
