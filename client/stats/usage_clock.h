// The clock of the usage statistics: the current time and its local calendar
// form, behind an interface so that tests can drive the reporter with a
// manual clock and a fixed time zone.
#pragma once

#include <atomic>
#include <cstdint>

namespace kavrel {

// A broken-down calendar time, months and days counted from 1.
struct CalendarTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

class UsageClock {
 public:
  virtual ~UsageClock() = default;

  // Whole seconds since 1970-01-01 00:00 UTC.
  virtual std::int64_t Now() = 0;

  // The local calendar time of `seconds` (same epoch). False when the
  // platform cannot represent it (for example a time far in the future).
  virtual bool LocalTime(std::int64_t seconds, CalendarTime& local) = 0;
};

// The system clock and the system's time zone. Safe on any thread.
UsageClock& SystemUsageClock();

// A clock for tests: it stands where it is set and shows local time at a
// fixed offset from UTC. Local times before 1970 or after 3000 fail, as the
// platform's conversion does. Safe on any thread.
class ManualUsageClock final : public UsageClock {
 public:
  explicit ManualUsageClock(std::int64_t now = 0, std::int64_t utcOffsetSeconds = 0)
      : now_(now), utcOffset_(utcOffsetSeconds) {}

  void Set(std::int64_t now) { now_ = now; }
  void Advance(std::int64_t seconds) { now_ += seconds; }

  std::int64_t Now() override { return now_; }
  bool LocalTime(std::int64_t seconds, CalendarTime& local) override;

 private:
  std::atomic<std::int64_t> now_;
  const std::int64_t utcOffset_;
};

// The UTC calendar time of `seconds` (proleptic Gregorian calendar).
CalendarTime UtcCalendarTime(std::int64_t seconds);

}  // namespace kavrel
