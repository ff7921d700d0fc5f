#include "common/platform/last_error.h"

#include <gtest/gtest.h>

#include "common/platform/files.h"

namespace kavrel {
namespace {

// A failed read leaves an error number whose message is a single short line.
TEST(LastError, FailedReadLeavesANumberAndAOneLineMessage) {
  std::string bytes;
  ASSERT_FALSE(ReadFileBytes(AsciiToText(KAVREL_SOURCE_DIR "/no/such/file.xml"), bytes));
  const unsigned long error = LastErrorNumber();
  EXPECT_NE(error, 0u);
  const Text message = ErrorMessage(error, 100);
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(message.find_first_of(u"\r\n"), Text::npos);
  EXPECT_LT(message.size(), 100u);
  EXPECT_TRUE(ErrorMessage(error, 3).empty()) << "a message that does not fit is dropped";
  EXPECT_TRUE(ErrorMessage(0, 100).empty());
}

}  // namespace
}  // namespace kavrel
