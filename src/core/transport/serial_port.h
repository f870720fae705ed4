// The port kind for a printer on a serial line (a tty device): fixed line settings,
// exclusive use while open, per-byte time-outs of its own.
#pragma once

#include <termios.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/transport/port.h"

namespace tervane {

// Time-outs of the line, in milliseconds: a read of n bytes gives up after
// kSerialReadMsPerByte * n + kSerialReadConstantMs, a write of n bytes after
// kSerialWriteMsPerByte * n + kSerialWriteConstantMs.
inline constexpr int kSerialReadMsPerByte = 1000;
inline constexpr int kSerialReadConstantMs = 5;
inline constexpr int kSerialWriteMsPerByte = 1000;
inline constexpr int kSerialWriteConstantMs = 1;

class CSerialPort final : public CPort {
 public:
  // `name` is "COM1:".."COM8:" (resolved through the COM map at Open) or a device path.
  CSerialPort(std::string name, Clock& clock);
  ~CSerialPort() override;
  CSerialPort(const CSerialPort&) = delete;
  CSerialPort& operator=(const CSerialPort&) = delete;

  // Opens the device for exclusive use and applies the line settings: the given baud
  // rate, 8 data bits, no parity, two stop bits, raw bytes, no flow control, RTS on and
  // DTR off (lines a device cannot drive, as on a pseudo-terminal, are left alone).
  // False when the device cannot be opened, is not a terminal, is held by another open
  // (here or in another process), the baud rate is not one the system knows, the port
  // is already open, or the settings are refused; a failed Open holds nothing and keeps
  // its reason (OpenFailure).
  bool Open(int baudRate) override;
  // Lets queued output drain for a bounded time, restores the line settings found at
  // Open and releases the device. The device is released even when restoring fails or
  // the device has gone away. Safe to call more than once.
  void Close() override;
  // Writes all `length` bytes, giving up after 1000 ms per byte + 1 ms. `param` is
  // ignored. False when not open, the device has gone, or not every byte was accepted.
  bool Send(const std::uint8_t* data, int length, int param) override;
  // Reads exactly `length` bytes, giving up after the line's time-out of 1000 ms per
  // byte + 5 ms, or after `timeoutMs` when that is positive and shorter (longer waits
  // asked for are cut to the line's). Returns as soon as the bytes are there: whatever
  // else has arrived is taken from the device in the same read and kept for the next
  // calls, so a reply read a byte at a time costs one system call, not one per byte.
  // False on time-out, when not open, or when the device has hung up (then at once,
  // once the bytes read before the hang-up are used up, and every later call fails).
  bool Receive(std::uint8_t* buffer, int length, int timeoutMs) override;
  // Discards what is queued in both directions, bytes read ahead included. False when
  // not open or the device is gone.
  bool Purge() override;
  // Bytes received and not yet read: those read ahead plus the device's input queue.
  int PendingInput() override;
  // Not offered by this kind: always false.
  bool WriteRequest(const std::uint8_t* data, int length, std::uint32_t* written) override;
  bool ReadReply(std::uint8_t* buffer, int length, std::uint32_t* read) override;

  bool IsOpen() const { return fd_ >= 0; }
  // The open device's descriptor (non-blocking), for a caller that waits on it together
  // with other descriptors and reads it directly (the protocol monitor); -1 when closed.
  // Bytes already read ahead by Receive are not on it.
  int Descriptor() const { return fd_; }
  // True once a hang-up or end of file has been seen since Open (LinkLost says the same).
  bool HasHungUp() const { return hungUp_; }
  // The device path opened (or last tried) by Open.
  const std::string& DevicePath() const { return device_; }

 private:
  void DrainOutput();
  void Release();
  // The line is gone for good: reads and writes fail at once from now on.
  void MarkHungUp(int error);

  Clock& clock_;
  std::string device_;
  int fd_ = -1;
  int baudRate_ = 0;
  bool hungUp_ = false;
  bool savedValid_ = false;
  termios saved_{};
  // Bytes taken from the device and not yet handed out: readAhead_[aheadBegin_, aheadEnd_).
  std::array<std::uint8_t, 512> readAhead_{};
  std::size_t aheadBegin_ = 0;
  std::size_t aheadEnd_ = 0;
};

// The termios speed constant for a baud rate; false for a rate the system has no
// constant for (the value is then untouched).
bool BaudRateToSpeed(int baudRate, speed_t* speed);

// How an errno of open(2) on a serial device is told to the user.
OpenFailureKind OpenErrorKind(int error);

}  // namespace tervane
