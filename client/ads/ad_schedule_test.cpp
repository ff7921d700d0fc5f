#include "client/ads/ad_schedule.h"

#include <gtest/gtest.h>

#include <limits>

namespace kavrel {
namespace {

// 2026-12-11 14:29:50 UTC; the manual clocks below show UTC + 9 hours.
constexpr std::int64_t kNow = 1796999390;
constexpr std::int64_t kNine = 9 * 3600;

AdEntry TimedEntry(Text endTime, std::vector<Text> moments) {
  AdEntry e;
  e.key = u"WEB_TV_AD_SEND";
  e.id = u"7";
  e.showTime = u"15";
  e.pagePath = u"/opt/kavrel/Advertise/send/7/index.html";
  e.endTime = std::move(endTime);
  for (Text& m : moments) e.feelTimes.push_back({0, std::move(m)});
  return e;
}

TEST(AdClockTest, ManualClockFormatsItsLocalMinute) {
  ManualAdClock clock(kNow, kNine);
  EXPECT_EQ(clock.LocalMinuteText(), u"2026-12-11 23:29");
  clock.Advance(10);
  EXPECT_EQ(clock.LocalMinuteText(), u"2026-12-11 23:30");
  EXPECT_EQ(clock.UtcSeconds(), kNow + 10);
  EXPECT_EQ(SystemAdClock().LocalMinuteText().size(), 16u);
}

// Two moments two minutes apart fire once each, in the pass inside their
// minute, with pointers to the entry's own show time and page path; a
// moment's text may carry seconds.
TEST(AdScheduleTest, MomentsFireOnceInsideTheirMinute) {
  std::vector<AdEntry> entries{
      TimedEntry(AsciiToText(std::to_string(kNow + 3600)),
                 {u"2026-12-11 23:30", u"2026-12-11 23:32:00"})};
  ManualAdClock clock(kNow, kNine);
  RecordingMessageTarget target;

  const struct {
    std::int64_t advance;
    int fired;
  } kPasses[] = {{0, 0}, {15, 1}, {5, 0}, {60, 0}, {60, 1}, {5, 0}, {3600 * 24, 0}};
  int total = 0;
  for (const auto& pass : kPasses) {
    clock.Advance(pass.advance);
    EXPECT_EQ(RunSchedulePass(entries, clock, target), pass.fired) << TextToUtf8(clock.LocalMinuteText());
    total += pass.fired;
  }
  const auto messages = target.MessagesOf(WM_AD_READY);
  ASSERT_EQ(messages.size(), 2u);
  for (const auto& m : messages) {
    EXPECT_FALSE(m.sent);
    EXPECT_EQ(reinterpret_cast<const Text*>(m.wParam), &entries[0].showTime);
    EXPECT_EQ(reinterpret_cast<const Text*>(m.lParam), &entries[0].pagePath);
  }
  EXPECT_EQ(entries[0].feelTimes[0].shown, 1);
  EXPECT_EQ(entries[0].feelTimes[1].shown, 1);
}

// Entries whose end time has passed, is empty or is no number never fire;
// an end time of exactly now still does.
TEST(AdScheduleTest, EndTimeDecidesWhetherAnEntryFires) {
  const struct {
    Text endTime;
    int fired;
  } kCases[] = {
      {AsciiToText(std::to_string(kNow + 3600)), 1},
      {AsciiToText(std::to_string(kNow + 3600)) + u"xyz", 1},
      {AsciiToText(std::to_string(kNow + 15)), 1},  // exactly now at the pass
      {AsciiToText(std::to_string(kNow + 14)), 0},
      {AsciiToText(std::to_string(kNow - 86400)), 0},
      {u"", 0},
      {u"never", 0},
      {u"-99999999999999999999999", 0},
  };
  ManualAdClock clock(kNow + 15, kNine);  // 23:30:05 local
  for (const auto& c : kCases) {
    std::vector<AdEntry> entries{TimedEntry(c.endTime, {u"2026-12-11 23:30"})};
    RecordingMessageTarget target;
    EXPECT_EQ(RunSchedulePass(entries, clock, target), c.fired) << TextToUtf8(c.endTime);
    EXPECT_EQ(target.Messages().size(), static_cast<std::size_t>(c.fired));
  }
}

TEST(AdNumberTest, ReadsLikeASigned64BitDecimal) {
  const struct {
    Text text;
    std::int64_t value;
  } kCases[] = {
      {u"", 0},
      {u"abc", 0},
      {u"  42", 42},
      {u"+7", 7},
      {u"-12x3", -12},
      {u"20261211153000", 20261211153000},
      {u"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
      {u"99999999999999999999", std::numeric_limits<std::int64_t>::max()},
      {u"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
      {u"-99999999999999999999", std::numeric_limits<std::int64_t>::min()},
  };
  for (const auto& c : kCases) EXPECT_EQ(ReadAdNumber(c.text), c.value) << TextToUtf8(c.text);
}

}  // namespace
}  // namespace kavrel
