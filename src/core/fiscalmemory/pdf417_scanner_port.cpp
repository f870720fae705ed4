#include "core/fiscalmemory/pdf417_scanner_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/transport/com_port_map.h"
#include "core/transport/serial_port.h"

namespace tervane {
namespace {

// The driver's queue size each way on the original line; a read takes at most this much.
constexpr std::size_t kReadChunk = 65536;

std::string SystemErrorText(int error) { return std::strerror(error); }

bool SetError(std::string* error, int code) {
  if (error != nullptr) *error = SystemErrorText(code);
  return false;
}

tcflag_t DataBitsFlag(int bits) {
  switch (bits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
  }
}

}  // namespace

SerialScannerPort::SerialScannerPort() {
  int fds[2];
  if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
  }
}

SerialScannerPort::~SerialScannerPort() {
  Close(nullptr);
  if (wakeRead_ >= 0) ::close(wakeRead_);
  if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

bool SerialScannerPort::Open(const ScannerLineSettings& line, std::string* error) {
  if (fd_ >= 0) return SetError(error, EBUSY);
  if (wakeRead_ < 0) return SetError(error, EMFILE);
  speed_t speed{};
  if (!BaudRateToSpeed(line.baudRate, &speed)) return SetError(error, EINVAL);
  const std::string device = ResolvePortDevice(line.portName);

  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return SetError(error, errno);
  auto fail = [&](int code) {
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    return SetError(error, code);
  };
  if (!::isatty(fd)) return fail(ENOTTY);
  // Exclusive use: the advisory lock keeps out every other open that asks for it; on a
  // real line TIOCEXCL also keeps out programs that do not.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(errno == EWOULDBLOCK ? EBUSY : errno);
  serial_icounter_struct probe{};
  const bool realLine = ::ioctl(fd, TIOCGICOUNT, &probe) == 0;
  if (realLine && ::ioctl(fd, TIOCEXCL) != 0) return fail(errno);

  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) return fail(errno);
  ::cfmakeraw(&settings);
  settings.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
  settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  settings.c_cflag |= DataBitsFlag(line.dataBits) | CREAD | CLOCAL;
  if (line.parity != ScannerParity::kNone) {
    settings.c_cflag |= PARENB;
    settings.c_iflag |= INPCK;
    if (line.parity == ScannerParity::kOdd) settings.c_cflag |= PARODD;
  }
  if (line.stopBits != ScannerStopBits::kOne) settings.c_cflag |= CSTOPB;
  if (line.hardwareHandshake) settings.c_cflag |= CRTSCTS;
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  if (::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0) return fail(errno);
  if (::tcsetattr(fd, TCSANOW, &settings) != 0) return fail(errno);

  // DTR off; RTS off without handshake (the driver raises it under RTS/CTS). Lines a
  // device cannot drive, as on a pseudo-terminal, are left alone.
  int bits = TIOCM_DTR;
  ::ioctl(fd, TIOCMBIC, &bits);
  if (!line.hardwareHandshake) {
    bits = TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &bits);
  }
  if (::tcflush(fd, TCIOFLUSH) != 0) return fail(errno);

  // A new open forgets an earlier Interrupt.
  Resume();
  fd_ = fd;
  gone_ = false;
  countersKnown_ = ReadCounters(&lastErrors_, &lastCts_);
  return true;
}

bool SerialScannerPort::ReadCounters(int* errors, int* cts) const {
  serial_icounter_struct counters{};
  if (::ioctl(fd_, TIOCGICOUNT, &counters) != 0) return false;
  *errors = counters.frame + counters.overrun + counters.parity + counters.brk + counters.buf_overrun;
  *cts = counters.cts;
  return true;
}

int SerialScannerPort::WaitEvent() {
  if (fd_ < 0 || gone_) return kScannerStopped;
  for (;;) {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    const int n = ::poll(fds, 2, -1);
    if (n < 0) {
      if (errno == EINTR) continue;
      return kScannerStopped;
    }
    if (fds[1].revents != 0) return kScannerStopped;
    int events = 0;
    if ((fds[0].revents & POLLIN) != 0) events |= kScannerReceived;
    if (countersKnown_) {
      int errors = 0, cts = 0;
      if (ReadCounters(&errors, &cts)) {
        if (errors != lastErrors_) events |= kScannerLineError;
        if (cts != lastCts_) events |= kScannerCtsChange;
        lastCts_ = cts;
      }
    }
    if (events != 0) return events;
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      gone_ = true;
      return kScannerStopped;
    }
  }
}

bool SerialScannerPort::ReadHeld(std::vector<std::uint8_t>& out) {
  if (fd_ < 0 || gone_) return false;
  std::uint8_t chunk[4096];
  std::size_t taken = 0;
  while (taken < kReadChunk) {
    const std::size_t want = std::min(sizeof chunk, kReadChunk - taken);
    const ssize_t n = ::read(fd_, chunk, want);
    if (n > 0) {
      out.insert(out.end(), chunk, chunk + n);
      taken += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return true;
    // End of file or a dead device: what was read so far is kept.
    gone_ = true;
    return taken > 0;
  }
  return true;
}

void SerialScannerPort::ClearLineError() {
  int errors = 0, cts = 0;
  if (fd_ >= 0 && countersKnown_ && ReadCounters(&errors, &cts)) lastErrors_ = errors;
}

void SerialScannerPort::Interrupt() {
  if (wakeWrite_ < 0) return;
  const char byte = 1;
  // A full pipe already wakes every wait; nothing more to do then.
  [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &byte, 1);
}

void SerialScannerPort::Resume() {
  char drain[64];
  while (wakeRead_ >= 0 && ::read(wakeRead_, drain, sizeof drain) > 0) {
  }
}

bool SerialScannerPort::Close(std::string* error) {
  if (fd_ < 0) return true;
  const int fd = fd_;
  fd_ = -1;
  ::ioctl(fd, TIOCNXCL);
  ::flock(fd, LOCK_UN);
  if (::close(fd) != 0) return SetError(error, errno);
  return true;
}

}  // namespace tervane
