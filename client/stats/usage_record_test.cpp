#include "client/stats/usage_record.h"

#include <gtest/gtest.h>

#include "client/stats/stats_test_support.h"

namespace kavrel {
namespace {

// The example record of the statistics server's documentation, built from
// its parts.
TEST(UsageRecordTest, LaunchRecordReadsAsTheServerExpects) {
  const CalendarTime time{2013, 7, 8, 21, 5, 9};
  const Text record = MakeRecord(
      FormatRecordHeader(u"00-1A-2B-3C-4D-5E", u"Microsoft Windows 7", time), LaunchBody());
  EXPECT_EQ(U8(record),
            R"({{"PC","00-1A-2B-3C-4D-5E","windows","Microsoft Windows 7","zh_CN",)"
            R"("2013-07-08 21:05:09","1"},{"00006",{"240007","1.5.0.5","ko"}}})");
}

// Unknown device and system leave their fields empty; times are zero-padded.
TEST(UsageRecordTest, HeaderWithEmptyFieldsAndPaddedTime) {
  EXPECT_EQ(U8(FormatRecordHeader(u"", u"", CalendarTime{987, 1, 2, 3, 4, 5})),
            R"({"PC","","windows","","zh_CN","0987-01-02 03:04:05","1"})");
}

// Each event body to the letter; durations are the low 32 bits, unsigned.
TEST(UsageRecordTest, BodiesToTheLetter) {
  const struct {
    Text body;
    const char* expected;
  } cases[] = {
      {LaunchBody(), R"({"00006",{"240007","1.5.0.5","ko"}})"},
      {LaunchTimingBody(12), R"({"06001",{"240007","1.5.0.5","ko","12"}})"},
      {ServerReachedBody(3), R"({"02008",{"240007","3"}})"},
      {ServerReachedBody(-1), R"({"02008",{"240007","4294967295"}})"},
      {ServerReachedBody(0x100000005LL), R"({"02008",{"240007","5"}})"},
      {ChannelViewBody(0, u"101r7", u"KBS 1", 125, u"g1", u"뉴스"),
       R"({"02011",{"0","240007","101r7","KBS 1","125","g1","뉴스"}})"},
      {ChannelViewBody(-3, u"", u"", 0, u"", u""),
       R"({"02011",{"-3","240007","","","0","",""}})"},
      {ExitBody(), R"({"00007",{"240007","1.5.0.5","ko"}})"},
  };
  for (const auto& c : cases) EXPECT_EQ(U8(c.body), c.expected);
}

// A record longer than the limit is cut, never inside a surrogate pair; a
// record at the limit is kept whole.
TEST(UsageRecordTest, RecordsAreCutAtTheLimit) {
  const Text header = u"{h}";
  const Text atLimit(kMaxRecordLength - header.size() - 3, u'x');
  EXPECT_EQ(MakeRecord(header, atLimit).size(), kMaxRecordLength);

  Text longName(kMaxRecordLength * 2, u'y');
  const Text cut = MakeRecord(header, longName);
  EXPECT_EQ(cut.size(), kMaxRecordLength);
  EXPECT_EQ(cut.substr(0, 5), u"{{h},");

  // "😀" is a surrogate pair; place one so that the limit falls between
  // its halves.
  Text record(kMaxRecordLength - 1, u'z');
  record += u"😀tail";
  LimitRecordLength(record);
  EXPECT_EQ(record, Text(kMaxRecordLength - 1, u'z'));
}

// The test clock's calendar must be right, or every header time in the
// reporter tests would be wrong with it.
TEST(UsageClockTest, ManualClockCalendar) {
  const struct {
    std::int64_t seconds;
    std::int64_t offset;
    CalendarTime expected;
  } cases[] = {
      {0, 0, {1970, 1, 1, 0, 0, 0}},
      {1373281509, 0, {2013, 7, 8, 11, 5, 9}},
      {1373281509, 10 * 3600, {2013, 7, 8, 21, 5, 9}},
      {951782400, 0, {2000, 2, 29, 0, 0, 0}},      // leap day of a century leap year
      {4107542399, 0, {2100, 2, 28, 23, 59, 59}},  // 2100 is no leap year
      {1704067199, 9 * 3600, {2024, 1, 1, 8, 59, 59}},
  };
  for (const auto& c : cases) {
    ManualUsageClock clock(0, c.offset);
    CalendarTime t;
    ASSERT_TRUE(clock.LocalTime(c.seconds, t)) << c.seconds;
    EXPECT_EQ(U8(FormatRecordTime(t)), U8(FormatRecordTime(c.expected))) << c.seconds;
  }
  ManualUsageClock clock;
  CalendarTime t;
  EXPECT_FALSE(clock.LocalTime(-1, t));
  EXPECT_FALSE(clock.LocalTime(INT64_C(40000000000), t));
}

}  // namespace
}  // namespace kavrel
