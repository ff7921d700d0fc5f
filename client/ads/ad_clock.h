// The clock the advertisement schedule reads, so that tests can set the time.
#pragma once

#include <cstdint>
#include <mutex>

#include "common/platform/text.h"

namespace kavrel {

class AdClock {
 public:
  virtual ~AdClock() = default;
  // Seconds since 1970-01-01 UTC.
  virtual std::int64_t UtcSeconds() const = 0;
  // The local time as "%Y-%m-%d %H:%M".
  virtual Text LocalMinuteText() const = 0;
};

// The machine's clock. Safe from any thread.
class SystemAdClock final : public AdClock {
 public:
  std::int64_t UtcSeconds() const override;
  Text LocalMinuteText() const override;
};

// A clock that stands still until the test moves it. Its local time is UTC
// plus a fixed offset. Safe from any thread.
class ManualAdClock final : public AdClock {
 public:
  explicit ManualAdClock(std::int64_t utcSeconds = 0, std::int64_t localOffsetSeconds = 0);
  void Set(std::int64_t utcSeconds);
  void Advance(std::int64_t seconds);
  std::int64_t UtcSeconds() const override;
  Text LocalMinuteText() const override;

 private:
  mutable std::mutex mutex_;
  std::int64_t now_;
  const std::int64_t offset_;
};

}  // namespace kavrel
