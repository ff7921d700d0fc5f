#include "client/ads/ad_schedule.h"

#include <cstdint>
#include <ctime>
#include <limits>

namespace kavrel {

std::int64_t ReadAdNumber(TextView text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == u' ' || text[at] == u'\t')) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) negative = text[at++] == u'-';
  constexpr std::uint64_t kLimit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  std::uint64_t value = 0;
  for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
    if (value > kLimit) continue;  // past the range already: stays there
    value = value * 10 + static_cast<std::uint64_t>(text[at] - u'0');
  }
  if (negative) return value > kLimit ? std::numeric_limits<std::int64_t>::min()
                                      : -static_cast<std::int64_t>(value);
  return value > kLimit ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(value);
}

int RunSchedulePass(std::vector<AdEntry>& entries, const AdClock& clock, MessageTarget& target) {
  const std::int64_t now = clock.UtcSeconds();
  const Text minute = clock.LocalMinuteText();
  int fired = 0;
  for (AdEntry& entry : entries) {
    if (ReadAdNumber(entry.endTime) < now) continue;
    for (AdFeelTime& moment : entry.feelTimes) {
      if (moment.shown || moment.time.find(minute) == Text::npos) continue;
      target.Post(WM_AD_READY, reinterpret_cast<std::uintptr_t>(&entry.showTime),
                  reinterpret_cast<std::intptr_t>(&entry.pagePath));
      moment.shown = 1;
      ++fired;
    }
  }
  return fired;
}

// ---- clocks -------------------------------------------------------------------

namespace {

Text MinuteText(const std::tm& t) {
  char buffer[32];
  const std::size_t n = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M", &t);
  return AsciiToText(std::string(buffer, n));
}

// std::localtime and std::gmtime share one buffer on some platforms.
std::mutex& TimeLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}

}  // namespace

std::int64_t SystemAdClock::UtcSeconds() const { return static_cast<std::int64_t>(std::time(nullptr)); }

Text SystemAdClock::LocalMinuteText() const {
  const std::time_t now = std::time(nullptr);
  std::lock_guard<std::mutex> lock(TimeLock());
  const std::tm* t = std::localtime(&now);
  return t ? MinuteText(*t) : Text();
}

ManualAdClock::ManualAdClock(std::int64_t utcSeconds, std::int64_t localOffsetSeconds)
    : now_(utcSeconds), offset_(localOffsetSeconds) {}

void ManualAdClock::Set(std::int64_t utcSeconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  now_ = utcSeconds;
}

void ManualAdClock::Advance(std::int64_t seconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  now_ += seconds;
}

std::int64_t ManualAdClock::UtcSeconds() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return now_;
}

Text ManualAdClock::LocalMinuteText() const {
  const std::time_t local = static_cast<std::time_t>(UtcSeconds() + offset_);
  std::lock_guard<std::mutex> lock(TimeLock());
  const std::tm* t = std::gmtime(&local);
  return t ? MinuteText(*t) : Text();
}

}  // namespace kavrel
