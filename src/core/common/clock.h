// The timing seam: every time-out, pause and clock read of the core goes through a
// Clock, so tests can run the long waits of an exchange in milliseconds.
#pragma once

#include <cstdint>

namespace tervane {

struct CivilTime {
  int year = 0;    // four digits
  int month = 0;   // 1-12
  int day = 0;     // 1-31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds on a monotonic clock, for time-outs.
  virtual std::int64_t MonotonicMs() = 0;
  // Pauses the calling thread.
  virtual void SleepMs(int milliseconds) = 0;
  // Wall-clock time, local and UTC.
  virtual CivilTime LocalNow() = 0;
  virtual CivilTime UtcNow() = 0;
  // How long, in real milliseconds, a wait of `clockMs` on this clock lasts. Waits on
  // descriptors use it for the real poll; a clock that runs faster than real time (tests
  // that shorten the long waits of an exchange against real peers) returns less.
  virtual std::int64_t RealWaitMs(std::int64_t clockMs) { return clockMs; }
};

// The real clock (steady_clock, nanosleep, localtime_r/gmtime_r).
Clock& SystemClock();

}  // namespace tervane
