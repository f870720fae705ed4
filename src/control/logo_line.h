// The serial line the logo uploader drives itself: raw calls that each wait a bounded
// time, so the uploader's own timed loops decide when to give up.
#pragma once

#include <termios.h>

#include <cstdint>
#include <string>

#include "core/common/clock.h"

namespace tervane {

class LogoLine {
 public:
  virtual ~LogoLine() = default;
  // Opens and configures the named port; false when it cannot be opened or configured
  // (nothing is then held).
  virtual bool Open(const std::string& name) = 0;
  // Releases the port; safe when not open.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // One write call: waits at most `waitMs` for room, writes what fits. Returns the
  // number of bytes written (0 when none fitted in time) or -1 when the call failed.
  virtual int WriteSome(const std::uint8_t* data, int size, int waitMs) = 0;
  // One read call: waits at most `waitMs` for the first byte, then takes what has
  // arrived, up to `size`. Returns the count (0 when nothing came) or -1 on failure.
  virtual int ReadSome(std::uint8_t* buffer, int size, int waitMs) = 0;
  // Discards what is queued in both directions; false when not open or refused.
  virtual bool Purge() = 0;
};

// A tty device at 9600 baud, 8N1, CTS flow control on output, XON/XOFF (11h/13h) on
// input only, DTR off and RTS on, opened for exclusive use. "COM1:".."COM8:" (or
// "COM1".."COM8") resolve through the workbench's port map; any other name is a device path.
class LogoSerialLine final : public LogoLine {
 public:
  explicit LogoSerialLine(Clock& clock) : clock_(clock) {}
  ~LogoSerialLine() override { Close(); }
  LogoSerialLine(const LogoSerialLine&) = delete;
  LogoSerialLine& operator=(const LogoSerialLine&) = delete;

  bool Open(const std::string& name) override;
  void Close() override;
  bool IsOpen() const override { return fd_ >= 0; }
  int WriteSome(const std::uint8_t* data, int size, int waitMs) override;
  int ReadSome(std::uint8_t* buffer, int size, int waitMs) override;
  bool Purge() override;

 private:
  Clock& clock_;
  int fd_ = -1;
  bool savedValid_ = false;
  termios saved_{};
};

}  // namespace tervane
