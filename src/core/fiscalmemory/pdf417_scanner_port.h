// The serial line of the PDF-417 hand scanner. The capture has its own port, separate
// from the printer transports: it only listens, with the line settings of the "Scanner
// Port" profile section, and a reading thread waits on it for events.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/fiscalmemory/pdf417_settings.h"

namespace tervane {

// Events WaitEvent reports, as bits.
inline constexpr int kScannerReceived = 1;    // bytes arrived
inline constexpr int kScannerCtsChange = 2;   // the CTS line changed
inline constexpr int kScannerLineError = 4;   // framing, parity, overrun or break
inline constexpr int kScannerStopped = 8;     // Interrupt was called, or the line is gone

class ScannerPort {
 public:
  virtual ~ScannerPort() = default;
  // Opens the port named in `line` and applies the settings. False when a step fails;
  // `error` then holds the system's text for the failure and nothing stays open.
  virtual bool Open(const ScannerLineSettings& line, std::string* error) = 0;
  // Blocks until an event; returns its bits. kScannerStopped once Interrupt has been
  // called (from any thread) or when the port is not open or gone.
  virtual int WaitEvent() = 0;
  // Appends every byte the driver holds now to `out` (at most 65536 per call). False
  // when the port is not open or gone.
  virtual bool ReadHeld(std::vector<std::uint8_t>& out) = 0;
  // Clears a reported line error.
  virtual void ClearLineError() = 0;
  // Wakes a WaitEvent in progress and makes the next ones return kScannerStopped, until
  // the port is opened again. Safe from any thread.
  virtual void Interrupt() = 0;
  // Forgets an earlier Interrupt, so that waiting can start again on the open port.
  virtual void Resume() = 0;
  // Closes the port. False (with the system's text in `error`) when the system refused;
  // the port counts as closed either way. True when it was not open.
  virtual bool Close(std::string* error) = 0;
};

// The termios port. "COM1:".."COM8:" resolve through the COM map; any other name is a
// device path. Exclusive use (advisory lock, and TIOCEXCL on real lines); raw bytes; no
// output flow control; DTR off; RTS/CTS handshake for "Hardware", RTS off otherwise.
// Stop bits 1.5 are applied as 2 (termios knows only one and two). Line errors and CTS
// changes are noticed through the driver's interrupt counters where the device keeps
// them (real UARTs; not pseudo-terminals), when a wait wakes.
class SerialScannerPort final : public ScannerPort {
 public:
  SerialScannerPort();
  ~SerialScannerPort() override;
  SerialScannerPort(const SerialScannerPort&) = delete;
  SerialScannerPort& operator=(const SerialScannerPort&) = delete;

  bool Open(const ScannerLineSettings& line, std::string* error) override;
  int WaitEvent() override;
  bool ReadHeld(std::vector<std::uint8_t>& out) override;
  void ClearLineError() override;
  void Interrupt() override;
  void Resume() override;
  bool Close(std::string* error) override;

 private:
  bool ReadCounters(int* errors, int* cts) const;

  int fd_ = -1;
  int wakeRead_ = -1;   // self-pipe that Interrupt writes to
  int wakeWrite_ = -1;
  bool gone_ = false;
  int lastErrors_ = 0;
  int lastCts_ = 0;
  bool countersKnown_ = false;
};

}  // namespace tervane
