#include <ctime>

#include "client/stats/usage_clock.h"

namespace kavrel {

namespace {

class SystemClock final : public UsageClock {
 public:
  std::int64_t Now() override { return static_cast<std::int64_t>(std::time(nullptr)); }

  bool LocalTime(std::int64_t seconds, CalendarTime& local) override {
    const std::time_t t = static_cast<std::time_t>(seconds);
    if (static_cast<std::int64_t>(t) != seconds) return false;
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return false;
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
