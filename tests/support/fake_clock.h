// A clock for tests: time moves only when the code under test sleeps or the test says so.
#pragma once

#include <cstdint>

#include "core/common/clock.h"

namespace tervane::testing {

class FakeClock final : public Clock {
 public:
  std::int64_t MonotonicMs() override { return now_ms_; }
  void SleepMs(int milliseconds) override {
    if (milliseconds > 0) {
      now_ms_ += milliseconds;
      slept_ms_ += milliseconds;
    }
  }
  CivilTime LocalNow() override { return local_; }
  CivilTime UtcNow() override { return utc_; }

  void Advance(std::int64_t ms) { now_ms_ += ms; }
  std::int64_t SleptMs() const { return slept_ms_; }
  void SetLocal(const CivilTime& t) { local_ = t; }
  void SetUtc(const CivilTime& t) { utc_ = t; }

 private:
  std::int64_t now_ms_ = 1'000'000;
  std::int64_t slept_ms_ = 0;
  CivilTime local_{2024, 3, 5, 14, 30, 15, 250};
  CivilTime utc_{2024, 3, 5, 17, 30, 15, 250};
};

}  // namespace tervane::testing
