// A clock that runs a chosen number of times faster than real time, for tests against
// real peers (the simulator, a socket): the long waits of an exchange (2000 ms reads,
// 300 ms pauses, the serial line's second per byte) pass in a fraction of their time
// while everything still really waits on descriptors.
#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

#include "core/common/clock.h"

namespace tervane::testing {

class ScaledClock final : public Clock {
 public:
  explicit ScaledClock(int factor) : factor_(factor > 0 ? factor : 1), start_(Steady::now()) {}

  std::int64_t MonotonicMs() override {
    const auto real = std::chrono::duration_cast<std::chrono::microseconds>(Steady::now() - start_).count();
    return real * factor_ / 1000;
  }
  void SleepMs(int milliseconds) override {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::microseconds(milliseconds * 1000LL / factor_));
  }
  std::int64_t RealWaitMs(std::int64_t clockMs) override { return (clockMs + factor_ - 1) / factor_; }
  CivilTime LocalNow() override { return SystemClock().LocalNow(); }
  CivilTime UtcNow() override { return SystemClock().UtcNow(); }

  int factor() const { return factor_; }

 private:
  using Steady = std::chrono::steady_clock;
  std::int64_t factor_;
  Steady::time_point start_;
};

}  // namespace tervane::testing
