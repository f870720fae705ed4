#include "core/transport/fd_wait.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace tervane {

FdWaitResult WaitForFd(int fd, short events, std::int64_t deadlineMs, Clock& clock) {
  for (;;) {
    const std::int64_t now = clock.MonotonicMs();
    const std::int64_t remaining = deadlineMs - now;
    const int wait = remaining <= 0 ? 0 : static_cast<int>(std::min<std::int64_t>(remaining, INT_MAX));
    // A clock faster than real time waits proportionally less; never less than 1 ms for
    // a wait that is not over, so the loop sleeps instead of spinning.
    const int realWait =
        wait == 0 ? 0 : static_cast<int>(std::clamp<std::int64_t>(clock.RealWaitMs(wait), 1, wait));
    pollfd item{fd, events, 0};
    const int ready = ::poll(&item, 1, realWait);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return FdWaitResult::kError;
    }
    if (ready > 0) {
      if ((item.revents & events) != 0) return FdWaitResult::kReady;
      if ((item.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return FdWaitResult::kHangup;
    }
    if (wait == 0) return FdWaitResult::kTimeout;
    // The poll slept `wait` real milliseconds. A clock that did not move meanwhile is one
    // that advances only when asked to sleep; account for the wait so the deadline comes.
    if (ready == 0 && clock.MonotonicMs() == now) clock.SleepMs(wait);
  }
}

}  // namespace tervane
