#include "client/stats/usage_clock.h"

namespace kavrel {

namespace {

// Seconds of 3001-01-01 00:00 UTC: the end of what the platforms' local-time
// conversions accept (the Windows runtime's limit).
constexpr std::int64_t kLocalTimeEnd = 32535216000;

}  // namespace

CalendarTime UtcCalendarTime(std::int64_t seconds) {
  // Days and seconds of the day, flooring for times before 1970.
  std::int64_t days = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  // Civil date from a day count (eras of 400 years, March-based years).
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t dayOfEra = z - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  CalendarTime time;
  time.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  time.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  time.year = static_cast<int>(yearOfEra + era * 400 + (time.month <= 2 ? 1 : 0));
  time.hour = static_cast<int>(rest / 3600);
  time.minute = static_cast<int>(rest / 60 % 60);
  time.second = static_cast<int>(rest % 60);
  return time;
}

bool ManualUsageClock::LocalTime(std::int64_t seconds, CalendarTime& local) {
  if (seconds < 0 || seconds >= kLocalTimeEnd) return false;
  local = UtcCalendarTime(seconds + utcOffset_);
  return true;
}

}  // namespace kavrel
