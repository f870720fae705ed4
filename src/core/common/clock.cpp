#include "core/common/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace tervane {
namespace {

CivilTime FromTimePoint(std::chrono::system_clock::time_point tp, bool local) {
  const std::time_t t = std::chrono::system_clock::to_time_t(tp);
  std::tm tm{};
  if (local) {
    localtime_r(&t, &tm);
  } else {
    gmtime_r(&t, &tm);
  }
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(tp.time_since_epoch()).count() % 1000;
  return CivilTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                   static_cast<int>(ms < 0 ? ms + 1000 : ms)};
}

class RealClock final : public Clock {
 public:
  std::int64_t MonotonicMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void SleepMs(int milliseconds) override {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  CivilTime LocalNow() override { return FromTimePoint(std::chrono::system_clock::now(), true); }
  CivilTime UtcNow() override { return FromTimePoint(std::chrono::system_clock::now(), false); }
};

}  // namespace

Clock& SystemClock() {
  static RealClock clock;
  return clock;
}

}  // namespace tervane
