#include "core/monitor/pass_through.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace tervane {
namespace {

constexpr std::size_t kReadChunk = 4096;
constexpr int kIdleWaitMs = 1000;

// Drops the oldest bytes beyond the limit; returns how many went.
std::size_t Trim(std::vector<std::uint8_t>& queue) {
  if (queue.size() <= kMaxQueuedBytes) return 0;
  const std::size_t excess = queue.size() - kMaxQueuedBytes;
  queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(excess));
  return excess;
}

}  // namespace

PassThrough::PassThrough(int posFd, int printerFd, Clock& clock)
    : posFd_(posFd), printerFd_(printerFd), clock_(clock) {
  if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    wake_[0] = wake_[1] = -1;
  }
}

PassThrough::~PassThrough() {
  if (wake_[0] >= 0) ::close(wake_[0]);
  if (wake_[1] >= 0) ::close(wake_[1]);
}

void PassThrough::Stop() {
  stop_.store(true);
  if (wake_[1] >= 0) {
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_[1], &b, 1);
  }
}

bool PassThrough::Flush(int to, std::vector<std::uint8_t>& queue) {
  std::size_t done = 0;
  while (done < queue.size()) {
    const ssize_t n = ::write(to, queue.data() + done, queue.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(done));
    return false;
  }
  queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(done));
  return true;
}

bool PassThrough::Pump(int from, std::vector<std::uint8_t>& queue, const Observer& observer,
                       std::uint64_t& counter, std::uint64_t& dropped, bool& hangup) {
  std::uint8_t buffer[kReadChunk];
  const ssize_t n = ::read(from, buffer, sizeof buffer);
  if (n < 0) {
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) return true;
    hangup = true;  // EIO on a pseudo-terminal master whose slave closed, or a device gone
    return false;
  }
  if (n == 0) {
    hangup = true;
    return false;
  }
  const int to = from == posFd_ ? printerFd_ : posFd_;
  queue.insert(queue.end(), buffer, buffer + n);
  dropped += Trim(queue);
  const bool written = Flush(to, queue);
  counter += static_cast<std::uint64_t>(n);
  if (observer) observer(buffer, static_cast<std::size_t>(n));
  return written;
}

PassThroughEnd PassThrough::Run() {
  while (!stop_.load()) {
    pollfd fds[3];
    fds[0] = pollfd{posFd_, static_cast<short>(POLLIN | (toPos_.empty() ? 0 : POLLOUT)), 0};
    fds[1] = pollfd{printerFd_, static_cast<short>(POLLIN | (toPrinter_.empty() ? 0 : POLLOUT)), 0};
    fds[2] = pollfd{wake_[0], POLLIN, 0};
    int waitMs = kIdleWaitMs;
    if (nextWakeMs) {
      const std::int64_t at = nextWakeMs();
      if (at >= 0) {
        const std::int64_t left = at - clock_.MonotonicMs();
        waitMs = static_cast<int>(left <= 0 ? 0 : std::min<std::int64_t>(left, kIdleWaitMs));
        waitMs = static_cast<int>(std::min<std::int64_t>(clock_.RealWaitMs(waitMs), kIdleWaitMs));
      }
    }
    const int ready = ::poll(fds, wake_[0] >= 0 ? 3 : 2, waitMs);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return PassThroughEnd::kError;
    }
    if (stop_.load()) break;

    // The printer side first: a reply reaches the point-of-sale side as early as it can.
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
      bool hangup = false;
      if (!Pump(printerFd_, toPos_, fromPrinter, counts_.toPos, counts_.droppedToPos, hangup) && hangup) {
        return PassThroughEnd::kPrinterGone;
      }
    }
    if (fds[1].revents & POLLNVAL) return PassThroughEnd::kPrinterGone;
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      bool hangup = false;
      Pump(posFd_, toPrinter_, fromPos, counts_.toPrinter, counts_.droppedToPrinter, hangup);
      if (hangup) {
        if (!posHangup) {
          // Nothing to read until someone opens the other end again: do not spin on it.
          ::poll(nullptr, 0, 50);
        } else {
          const int fd = posHangup();
          if (fd < 0) return PassThroughEnd::kPosGone;
          posFd_ = fd;
          toPos_.clear();
        }
      }
    }
    if (fds[0].revents & POLLNVAL) return PassThroughEnd::kPosGone;
    if (!toPrinter_.empty() && !Flush(printerFd_, toPrinter_)) return PassThroughEnd::kPrinterGone;
    if (!toPos_.empty()) Flush(posFd_, toPos_);
    if (tick) tick();
  }
  return PassThroughEnd::kStopped;
}

}  // namespace tervane
