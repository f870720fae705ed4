#include "core/transport/sockbuf.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "core/transport/fd_wait.h"

namespace tervane {
namespace {

constexpr std::int64_t kNoDeadline = std::numeric_limits<std::int64_t>::max() / 2;

std::int64_t DeadlineAfter(Clock& clock, int seconds, int microseconds) {
  if (seconds < 0) return kNoDeadline;
  const std::int64_t ms = static_cast<std::int64_t>(seconds) * 1000 + (std::max(microseconds, 0) + 999) / 1000;
  return clock.MonotonicMs() + ms;
}

}  // namespace

void ReportSockbufError(const char* label) {
  const int error = errno;
  if (error != 0) std::fprintf(stderr, "%s: %s\n", label, std::strerror(error));
  std::fprintf(stderr, "class sockbuf:  %s\n", label);
  std::fflush(stderr);
  errno = 0;
}

sockbuf::Ref::~Ref() {
  if (fd >= 0) ::close(fd);
}

sockbuf::sockbuf(int family, int type, int protocol, Clock& clock) : clock_(&clock) {
  const int fd = ::socket(family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
  if (fd < 0) {
    ReportSockbufError("sockbuf::sockbuf");
    return;
  }
  ref_ = std::make_shared<Ref>(fd);
}

void sockbuf::close() {
  if (ref_ && ref_->fd >= 0) {
    ::close(ref_->fd);
    ref_->fd = -1;
  }
}

int sockbuf::connect(const sockaddr_in& address, int timeoutMs) {
  if (!is_open()) return EBADF;
  const int fd = ref_->fd;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return 0;
  if (errno != EINPROGRESS && errno != EINTR) return errno;
  const std::int64_t deadline = clock_->MonotonicMs() + std::max(timeoutMs, 0);
  switch (WaitForFd(fd, POLLOUT, deadline, *clock_)) {
    case FdWaitResult::kTimeout: return ETIMEDOUT;
    case FdWaitResult::kError: return errno != 0 ? errno : EIO;
    case FdWaitResult::kReady:
    case FdWaitResult::kHangup: break;
  }
  int error = 0;
  socklen_t size = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
  return error;
}

int sockbuf::WaitReady(short events, int seconds, int microseconds, const char* label) {
  if (!is_open()) {
    errno = EBADF;
    ReportSockbufError(label);
    return 0;
  }
  switch (WaitForFd(ref_->fd, events, DeadlineAfter(*clock_, seconds, microseconds), *clock_)) {
    case FdWaitResult::kReady:
    case FdWaitResult::kHangup:  // the call that follows finds out what went wrong
      return 1;
    case FdWaitResult::kTimeout:
      return 0;
    case FdWaitResult::kError:
      ReportSockbufError(label);
      return 0;
  }
  return 0;
}

int sockbuf::readready(int seconds, int microseconds) {
  return WaitReady(POLLIN, seconds, microseconds, "sockbuf::readready");
}

int sockbuf::writeready(int seconds, int microseconds) {
  return WaitReady(POLLOUT, seconds, microseconds, "Select::operator ()");
}

int sockbuf::send(const void* data, int length) {
  if (!is_open() || length < 0 || (length > 0 && data == nullptr)) {
    errno = EBADF;
    ReportSockbufError("sockbuf::send");
    return -1;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  const std::int64_t deadline = DeadlineAfter(*clock_, writeTimeout_, 0);
  int sent = 0;
  while (sent < length) {
    const ssize_t n = ::send(ref_->fd, bytes + sent, static_cast<size_t>(length - sent), MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      lastError_ = errno;
      ReportSockbufError("sockbuf::send");
      return -1;
    }
    switch (WaitForFd(ref_->fd, POLLOUT, deadline, *clock_)) {
      case FdWaitResult::kReady:
      case FdWaitResult::kHangup:  // the next send reports the failure
        continue;
      case FdWaitResult::kTimeout:
        return sent;
      case FdWaitResult::kError:
        ReportSockbufError("Select::operator ()");
        return -1;
    }
  }
  return sent;
}

int sockbuf::recv(void* buffer, int length) {
  if (!is_open() || length <= 0 || buffer == nullptr) {
    errno = EBADF;
    ReportSockbufError("sockbuf::recv");
    return -1;
  }
  const std::int64_t deadline = DeadlineAfter(*clock_, readTimeout_, 0);
  for (;;) {
    const ssize_t n = ::recv(ref_->fd, buffer, static_cast<size_t>(length), 0);
    if (n > 0) return static_cast<int>(n);
    if (n == 0) {
      errno = 0;  // an orderly close by the peer carries no error number
      lastError_ = 0;
      peerClosed_ = true;
      ReportSockbufError("sockbuf::recv");
      return -1;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN) {
      lastError_ = errno;
      ReportSockbufError("sockbuf::recv");
      return -1;
    }
    switch (WaitForFd(ref_->fd, POLLIN, deadline, *clock_)) {
      case FdWaitResult::kReady:
      case FdWaitResult::kHangup:
        continue;
      case FdWaitResult::kTimeout:
        return 0;
      case FdWaitResult::kError:
        ReportSockbufError("sockbuf::readready");
        return -1;
    }
  }
}

}  // namespace tervane
