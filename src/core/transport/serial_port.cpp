#include "core/transport/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/transport/com_port_map.h"
#include "core/transport/fd_wait.h"

namespace tervane {
namespace {

// Pause between two looks at the output queue while Close lets it drain.
constexpr int kDrainPollMs = 10;

// Errors after which the device will not come back for this descriptor: the adapter was
// unplugged, the line hung up, or the other side of a pseudo-terminal closed.
bool IsGoneError(int error) { return error == EIO || error == ENODEV || error == ENXIO || error == EPIPE; }

// The slave side of a pseudo-terminal (majors 136..143). Its kernel state outlives every
// open while the master side stays open, so an exclusive flag left by a process that
// died would keep every unprivileged program out until the master closes.
bool IsPseudoTerminalSlave(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

}  // namespace

bool BaudRateToSpeed(int baudRate, speed_t* speed) {
  struct Rate {
    int baud;
    speed_t speed;
  };
  static constexpr Rate kRates[] = {
      {50, B50},         {75, B75},           {110, B110},         {134, B134},         {150, B150},
      {200, B200},       {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
      {2400, B2400},     {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
      {57600, B57600},   {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
      {576000, B576000}, {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
      {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
  };
  for (const Rate& rate : kRates) {
    if (rate.baud == baudRate) {
      *speed = rate.speed;
      return true;
    }
  }
  return false;
}

CSerialPort::CSerialPort(std::string name, Clock& clock) : CPort(std::move(name)), clock_(clock) {}

CSerialPort::~CSerialPort() { Close(); }

OpenFailureKind OpenErrorKind(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS: return OpenFailureKind::kPermission;
    case EBUSY:
    case EWOULDBLOCK: return OpenFailureKind::kBusy;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR: return OpenFailureKind::kMissing;
    case ENOTTY:
    case EISDIR: return OpenFailureKind::kNotTerminal;
    default: return OpenFailureKind::kOther;
  }
}

bool CSerialPort::Open(int baudRate) {
  if (fd_ >= 0) return false;
  ClearOpenFailure();
  ClearLinkLoss();
  device_ = ResolvePortDevice(Name());
  speed_t speed{};
  if (!BaudRateToSpeed(baudRate, &speed)) {
    SetOpenFailure(OpenFailureKind::kLineSettings, EINVAL, device_);
    return false;
  }
  if (device_.empty()) {
    SetOpenFailure(OpenFailureKind::kMissing, ENOENT, device_);
    return false;
  }

  const int fd = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    SetOpenFailure(OpenErrorKind(error), error, device_);
    return false;
  }
  // From here on every failure gives the device back: no descriptor, no lock, and the
  // line settings as they were.
  bool applied = false;
  termios saved{};
  auto fail = [&](OpenFailureKind kind) {
    const int error = errno;
    SetOpenFailure(kind, error, device_);
    if (applied) ::tcsetattr(fd, TCSANOW, &saved);
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);  // also drops the flock
    return false;
  };
  if (!::isatty(fd)) {
    SetOpenFailure(OpenFailureKind::kNotTerminal, ENOTTY, device_);
    ::close(fd);
    return false;
  }
  // The advisory lock keeps out every other open of the device, from this process too
  // (each open is its own lock owner), and dies with its holder. TIOCEXCL adds the
  // kernel's refusal of further opens for programs that do not take the lock
  // (privileged processes bypass it); on a pseudo-terminal the lock alone is used, as the
  // flag would outlive a holder that was killed.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    SetOpenFailure(OpenFailureKind::kBusy, errno, device_);
    ::close(fd);
    return false;
  }
  if (!IsPseudoTerminalSlave(fd) && ::ioctl(fd, TIOCEXCL) != 0) return fail(OpenFailureKind::kOther);
  if (::tcgetattr(fd, &saved) != 0) return fail(OpenFailureKind::kNotTerminal);

  termios line = saved;
  ::cfmakeraw(&line);
  line.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
  line.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CRTSCTS);
  line.c_cflag |= CS8 | CSTOPB | CREAD | CLOCAL;
  // One byte satisfies a read, so an empty non-blocking read says EAGAIN and a read of
  // zero bytes can only mean the line hung up.
  line.c_cc[VMIN] = 1;
  line.c_cc[VTIME] = 0;
  if (::cfsetispeed(&line, speed) != 0 || ::cfsetospeed(&line, speed) != 0) {
    return fail(OpenFailureKind::kLineSettings);
  }
  applied = true;
  if (::tcsetattr(fd, TCSANOW, &line) != 0) return fail(OpenFailureKind::kLineSettings);

  // RTS held on, DTR off. Devices without modem lines (pseudo-terminals, some adapters)
  // refuse these requests; the line then works without them, so the refusal is ignored.
  int bits = TIOCM_RTS;
  ::ioctl(fd, TIOCMBIS, &bits);
  bits = TIOCM_DTR;
  ::ioctl(fd, TIOCMBIC, &bits);

  if (::tcflush(fd, TCIOFLUSH) != 0) return fail(OpenFailureKind::kOther);

  fd_ = fd;
  saved_ = saved;
  savedValid_ = true;
  baudRate_ = baudRate;
  hungUp_ = false;
  return true;
}

int CSerialPort::PendingInput() {
  int waiting = static_cast<int>(aheadEnd_ - aheadBegin_);
  if (fd_ < 0 || hungUp_) return waiting;
  int queued = 0;
  if (::ioctl(fd_, FIONREAD, &queued) == 0 && queued > 0) waiting += queued;
  return waiting;
}

void CSerialPort::MarkHungUp(int error) {
  hungUp_ = true;
  SetLinkLost(LinkLossKind::kHangup, error, device_);
}

void CSerialPort::DrainOutput() {
  int queued = 0;
  if (::ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued <= 0) return;
  // Twice the time the queued bytes take on the wire (12 bit times each), plus a second.
  const std::int64_t budget = 2 * static_cast<std::int64_t>(queued) * 12000 / baudRate_ + 1000;
  const std::int64_t deadline = clock_.MonotonicMs() + budget;
  while (clock_.MonotonicMs() < deadline) {
    clock_.SleepMs(kDrainPollMs);
    if (::ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued <= 0) return;
  }
  // Still stuck: throw the rest away, or closing the device would wait on it.
  ::tcflush(fd_, TCOFLUSH);
}

void CSerialPort::Release() {
  aheadBegin_ = aheadEnd_ = 0;
  ::ioctl(fd_, TIOCNXCL);
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
  savedValid_ = false;
}

void CSerialPort::Close() {
  if (fd_ < 0) return;
  if (!hungUp_) {
    DrainOutput();
    if (savedValid_) ::tcsetattr(fd_, TCSANOW, &saved_);
  }
  // Whatever happened above, the device is given back, so the name can be opened again.
  Release();
}

bool CSerialPort::Send(const std::uint8_t* data, int length, int /*param*/) {
  if (fd_ < 0 || hungUp_ || length < 0 || (length > 0 && data == nullptr)) return false;
  const std::int64_t deadline = clock_.MonotonicMs() +
                                static_cast<std::int64_t>(kSerialWriteMsPerByte) * length +
                                kSerialWriteConstantMs;
  int sent = 0;
  while (sent < length) {
    const ssize_t n = ::write(fd_, data + sent, static_cast<size_t>(length - sent));
    if (n > 0) {
      sent += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      switch (WaitForFd(fd_, POLLOUT, deadline, clock_)) {
        case FdWaitResult::kReady: continue;
        case FdWaitResult::kHangup: MarkHungUp(EIO); return false;
        case FdWaitResult::kTimeout:
        case FdWaitResult::kError: return false;
      }
    }
    if (n == 0 || IsGoneError(errno)) MarkHungUp(n == 0 ? 0 : errno);
    return false;
  }
  return true;
}

bool CSerialPort::Receive(std::uint8_t* buffer, int length, int timeoutMs) {
  if (fd_ < 0 || length < 0 || (length > 0 && buffer == nullptr)) return false;
  int got = 0;
  auto takeAhead = [&] {
    const std::size_t n = std::min(aheadEnd_ - aheadBegin_, static_cast<std::size_t>(length - got));
    std::copy_n(readAhead_.begin() + static_cast<std::ptrdiff_t>(aheadBegin_), n, buffer + got);
    aheadBegin_ += n;
    got += static_cast<int>(n);
  };
  takeAhead();
  if (got == length) return true;
  if (hungUp_) return false;

  std::int64_t wait = static_cast<std::int64_t>(kSerialReadMsPerByte) * length + kSerialReadConstantMs;
  // A caller that asks for a shorter wait than the line's gets it: the drain after a
  // cancel reads until 10 ms of quiet, not until a second of it.
  if (timeoutMs > 0 && timeoutMs < wait) wait = timeoutMs;
  const std::int64_t deadline = clock_.MonotonicMs() + wait;
  while (got < length) {
    const ssize_t n = ::read(fd_, readAhead_.data(), readAhead_.size());
    if (n > 0) {
      aheadBegin_ = 0;
      aheadEnd_ = static_cast<std::size_t>(n);
      takeAhead();
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      switch (WaitForFd(fd_, POLLIN, deadline, clock_)) {
        case FdWaitResult::kReady: continue;
        case FdWaitResult::kHangup: MarkHungUp(EIO); return false;
        case FdWaitResult::kTimeout:
        case FdWaitResult::kError: return false;
      }
    }
    // End of file or a dead device: the line is gone for good.
    if (n == 0 || IsGoneError(errno)) MarkHungUp(n == 0 ? 0 : errno);
    return false;
  }
  return true;
}

bool CSerialPort::Purge() {
  aheadBegin_ = aheadEnd_ = 0;
  if (fd_ < 0 || hungUp_) return false;
  if (::tcflush(fd_, TCIOFLUSH) == 0) return true;
  if (IsGoneError(errno)) MarkHungUp(errno);
  return false;
}

bool CSerialPort::WriteRequest(const std::uint8_t*, int, std::uint32_t* written) {
  if (written != nullptr) *written = 0;
  return false;
}

bool CSerialPort::ReadReply(std::uint8_t*, int, std::uint32_t* read) {
  if (read != nullptr) *read = 0;
  return false;
}

}  // namespace tervane
