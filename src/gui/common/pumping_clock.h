// The clock of exchanges run from the windows: time and dates from the system clock, but
// a pause keeps the interface alive (repaints, the progress window's Cancel) instead of
// blocking the user-interface thread.
#pragma once

#include "core/common/clock.h"

namespace tervane::gui {

class PumpingClock final : public Clock {
 public:
  std::int64_t MonotonicMs() override { return SystemClock().MonotonicMs(); }
  // Runs the event loop for the pause; returns after it whatever happens meanwhile.
  void SleepMs(int milliseconds) override;
  CivilTime LocalNow() override { return SystemClock().LocalNow(); }
  CivilTime UtcNow() override { return SystemClock().UtcNow(); }
};

}  // namespace tervane::gui
