#include <ctime>

#include "client/stats/usage_clock.h"

namespace kavrel {

namespace {

class SystemClock final : public UsageClock {
 public:
  std::int64_t Now() override { return static_cast<std::int64_t>(_time64(nullptr)); }

  bool LocalTime(std::int64_t seconds, CalendarTime& local) override {
    const __time64_t t = static_cast<__time64_t>(seconds);
    std::tm tm{};
    // The runtime refuses times before 1970 and after the year 3000.
    if (_localtime64_s(&tm, &t) != 0) return false;
    local.year = tm.tm_year + 1900;
    local.month = tm.tm_mon + 1;
    local.day = tm.tm_mday;
    local.hour = tm.tm_hour;
    local.minute = tm.tm_min;
    local.second = tm.tm_sec;
    return true;
  }
};

}  // namespace

UsageClock& SystemUsageClock() {
  static SystemClock* clock = new SystemClock();
  return *clock;
}

}  // namespace kavrel
