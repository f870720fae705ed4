#include "control/logo_line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include "core/transport/com_port_map.h"
#include "core/transport/fd_wait.h"

namespace tervane {
namespace {

bool IsPtySlave(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

}  // namespace

bool LogoSerialLine::Open(const std::string& name) {
  Close();
  // The control's port name is "COM1" by default, the workbench's "COM1:": both name the
  // same mapped port.
  const bool bareCom = name.size() == 4 && ComPortNumber(name + ":") != 0;
  const std::string device = ResolvePortDevice(bareCom ? name + ":" : name);
  if (device.empty()) return false;
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  termios saved{};
  bool applied = false;
  auto fail = [&] {
    if (applied) ::tcsetattr(fd, TCSANOW, &saved);
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    return false;
  };
  if (!::isatty(fd)) return fail();
  // Not shared: a lock every other open must take, plus the kernel's exclusive flag on
  // real devices (on a pseudo-terminal the flag would outlive a killed holder).
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return fail();
  if (!IsPtySlave(fd) && ::ioctl(fd, TIOCEXCL) != 0) return fail();
  if (::tcgetattr(fd, &saved) != 0) return fail();

  termios line = saved;
  ::cfmakeraw(&line);
  line.c_iflag &= ~(IXON | IXANY);
  line.c_iflag |= IXOFF | INPCK;
  line.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
  line.c_cflag |= CS8 | CREAD | CLOCAL | CRTSCTS;
  line.c_cc[VSTART] = 0x11;
  line.c_cc[VSTOP] = 0x13;
  line.c_cc[VMIN] = 1;
  line.c_cc[VTIME] = 0;
  if (::cfsetispeed(&line, B9600) != 0 || ::cfsetospeed(&line, B9600) != 0) return fail();
  applied = true;
  if (::tcsetattr(fd, TCSANOW, &line) != 0) return fail();
  // RTS on, DTR off; devices without modem lines refuse and work without them.
  int bits = TIOCM_RTS;
  ::ioctl(fd, TIOCMBIS, &bits);
  bits = TIOCM_DTR;
  ::ioctl(fd, TIOCMBIC, &bits);
  fd_ = fd;
  saved_ = saved;
  savedValid_ = true;
  return true;
}

void LogoSerialLine::Close() {
  if (fd_ < 0) return;
  if (savedValid_) ::tcsetattr(fd_, TCSANOW, &saved_);
  ::ioctl(fd_, TIOCNXCL);
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
  savedValid_ = false;
}

int LogoSerialLine::WriteSome(const std::uint8_t* data, int size, int waitMs) {
  if (fd_ < 0 || size < 0) return -1;
  if (size == 0) return 0;
  const std::int64_t deadline = clock_.MonotonicMs() + (waitMs < 0 ? 0 : waitMs);
  for (;;) {
    const ssize_t n = ::write(fd_, data, static_cast<size_t>(size));
    if (n >= 0) return static_cast<int>(n);
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return -1;
    const FdWaitResult wait = WaitForFd(fd_, POLLOUT, deadline, clock_);
    if (wait == FdWaitResult::kTimeout) return 0;
    if (wait != FdWaitResult::kReady) return -1;
  }
}

int LogoSerialLine::ReadSome(std::uint8_t* buffer, int size, int waitMs) {
  if (fd_ < 0 || size < 0) return -1;
  if (size == 0) return 0;
  const std::int64_t deadline = clock_.MonotonicMs() + (waitMs < 0 ? 0 : waitMs);
  int got = 0;
  for (;;) {
    const ssize_t n = ::read(fd_, buffer + got, static_cast<size_t>(size - got));
    if (n > 0) {
      got += static_cast<int>(n);
      if (got == size) return got;
      // Bytes of one reply arrive close together: after the first, wait only the 1 ms
      // interval for more.
      if (WaitForFd(fd_, POLLIN, clock_.MonotonicMs() + 1, clock_) != FdWaitResult::kReady) return got;
      continue;
    }
    if (n == 0) return got > 0 ? got : -1;  // hang-up
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return got > 0 ? got : -1;
    if (got > 0) return got;
    const FdWaitResult wait = WaitForFd(fd_, POLLIN, deadline, clock_);
    if (wait == FdWaitResult::kTimeout) return 0;
    if (wait != FdWaitResult::kReady) return -1;
  }
}

bool LogoSerialLine::Purge() { return fd_ >= 0 && ::tcflush(fd_, TCIOFLUSH) == 0; }

}  // namespace tervane
