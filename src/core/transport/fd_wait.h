// Waiting on one file descriptor with a deadline kept on the program's Clock.
#pragma once

#include <cstdint>

#include "core/common/clock.h"

namespace tervane {

enum class FdWaitResult {
  kReady,    // the descriptor is ready for what was asked (data may come with a hang-up)
  kTimeout,  // the deadline passed first
  kHangup,   // the other end is gone (hang-up or error reported, nothing to read or write)
  kError,    // poll itself failed; errno tells why
};

// Blocks in poll() until `fd` is ready for `events` (POLLIN or POLLOUT) or the Clock
// reaches `deadlineMs` (on its MonotonicMs scale). A deadline already passed still
// checks readiness once. Interrupted polls are resumed.
//
// A Clock that only moves when slept (a test clock) is told how long each empty poll
// waited, so the wait ends on every Clock.
FdWaitResult WaitForFd(int fd, short events, std::int64_t deadlineMs, Clock& clock);

}  // namespace tervane
