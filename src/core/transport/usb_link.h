// The USB link: the one process-wide object behind every "USB" port. The printer takes
// frames on a bulk OUT endpoint and hands over its replies and status only when asked,
// through class requests answering at most 8 bytes; an idle printer answers a data poll
// with the marker "KELOOLEK". The link owns the device and pipe handles, the bytes
// polled and not yet read, and the rules that recover from a stalled, busy or unplugged
// printer. Every wait goes through the clock.
//
// The link is used from one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/common/clock.h"
#include "core/transport/usb_backend.h"
#include "core/transport/usb_ids.h"
#include "core/transport/usbio_device.h"

namespace tervane {

// Request codes of the printer's class requests.
inline constexpr std::uint8_t kUsbStatusRequest = 0x80;
inline constexpr std::uint8_t kUsbDataRequest = 0x81;
inline constexpr int kUsbAnswerSize = 8;               // a status or data poll answers at most this much
inline constexpr char kUsbIdleMarker[] = "KELOOLEK";   // a data poll's answer when there is nothing to read
inline constexpr std::uint8_t kUsbOutEndpoint = 0x02;  // bulk OUT endpoint taking frames
inline constexpr std::uint32_t kUsbMaxTransferSize = 5120;
inline constexpr int kUsbChunkSize = 512;              // frames go out in pieces of at most this size

inline constexpr int kUsbRecoveryPauseMs = 200;        // after the recovery requests
inline constexpr int kUsbRemovedPauseMs = 10;          // after a status request found the device gone
inline constexpr int kUsbBusyCheckPauseMs = 500;       // status says "busy" through s3 bit 2
inline constexpr int kUsbBusyPollMs = 5;               // between status checks of a busy printer
inline constexpr int kUsbBusyLimitMs = 10000;          // a printer busy this long fails the chunk
inline constexpr int kUsbTransferLimitMs = 40000;      // a chunk not sent within this fails
inline constexpr int kUsbIdlePauseMs = 30;             // after an idle (or empty, or overrun) answer
inline constexpr int kUsbIdleAnswerLimit = 1000;       // more idle answers in a row end a poll
inline constexpr int kUsbReceiveGraceMs = 500;         // added to a Receive's time-out
inline constexpr int kUsbReceiveBufferReserve = 10240;

class CUsbLink {
 public:
  // `backend` and `clock` must outlive the link. `ids` are the hardware identifiers of
  // the printers to look for.
  CUsbLink(UsbBackend& backend, Clock& clock, std::vector<UsbHardwareId> ids);
  ~CUsbLink();
  CUsbLink(const CUsbLink&) = delete;
  CUsbLink& operator=(const CUsbLink&) = delete;

  // Opens, configures and binds the first present printer unless already open; two
  // attempts with the recovery requests and 200 ms between them. Returns false when no
  // printer is present, when this user may not open it or another program holds it (in
  // these cases at once, without recovery or a second attempt), when the system cannot
  // enumerate USB devices, or when both attempts fail; the link is then closed.
  bool EnsureOpen();
  // Closes the device handle, forgets the enumeration, unbinds and closes the pipe.
  void CloseAll();
  // Asks for the printer's 8 status bytes (missing bytes of a short answer are 0).
  // Returns false on failure: a closed device is reopened, a removed one closed (and
  // 10 ms waited); `status` is then all zero.
  bool ReadStatus(std::uint8_t status[kUsbAnswerSize]);
  // Whether the printer is busy. A status that cannot be read counts as not busy; a
  // fault (paper out among them) closes the link and counts as not busy, so that the
  // write that follows reopens the device. A busy flag in s3 costs a 500 ms pause.
  bool IsBusy();
  // Writes `length` (at most 512) bytes: waits up to 10 s for the printer to stop being
  // busy, opens the link if needed, then sends, resuming a partial transfer, reopening
  // after removal and recovering once from a printer that does not respond. Returns
  // false when the printer stays busy, the link cannot be (re)opened, the printer does
  // not respond twice, another failure comes, or 40 s pass; `written` gets the bytes sent.
  bool WriteChunk(const std::uint8_t* data, int length, int* written);
  // Polls the printer until the receive buffer holds `length` bytes, then moves them to
  // `buffer`. Gives up with false after `deadlineMs`, or after more than 1000 idle
  // answers in a row, delivering what the buffer holds; also false, delivering
  // nothing, when the printer fails to respond a third time, when it cannot be reopened
  // after removal, or on another failure. `delivered` gets the bytes moved.
  bool PollReceive(std::uint8_t* buffer, int length, int* delivered, int deadlineMs);
  // Discards the bytes received and not yet read.
  void Purge();
  // Puts bytes back at the front of the receive buffer, to be read first.
  void Unread(const std::uint8_t* data, int length);

  bool IsOpen() const { return open_; }
  size_t Buffered() const { return received_.size(); }
  const std::vector<UsbHardwareId>& Ids() const { return ids_; }
  // True when the printer was seen removed (a request answered "device removed") and
  // has not been opened again since: the link is down until it is plugged back in.
  bool DeviceRemoved() const { return removed_ && !open_; }
  // The status of the last failed device open of EnsureOpen (0 when it opened).
  std::uint32_t LastOpenStatus() const { return lastOpenStatus_; }
  // The back-end's reason for that failure (kAccess: no permission; kBusy: another
  // program holds the interface; kSuccess when none is known), and the device node
  // that was tried (empty when none was present).
  UsbError LastOpenError() const { return lastOpenError_; }
  const std::string& LastOpenDevice() const { return lastOpenDevice_; }

 private:
  void Recover();
  std::int64_t Elapsed(std::int64_t since) { return clock_.MonotonicMs() - since; }

  UsbBackend& backend_;
  Clock& clock_;
  std::vector<UsbHardwareId> ids_;

  std::vector<std::uint8_t> received_;
  bool open_ = false;
  CUsbioDevice device_;
  UsbioDeviceSet deviceSet_;
  bool configureInterface_ = true;
  std::uint16_t interfaceIndex_ = 0;
  std::uint16_t alternateSetting_ = 0;
  std::uint32_t maximumTransferSize_ = kUsbMaxTransferSize;
  std::uint16_t configurationIndex_ = 0;
  bool pipeBound_ = false;
  std::uint8_t outEndpoint_ = kUsbOutEndpoint;
  CUsbioPipe pipe_;
  int deviceInstance_ = 0;
  int idleAnswerLimit_ = kUsbIdleAnswerLimit;
  std::uint32_t lastOpenStatus_ = kUsbioOk;
  UsbError lastOpenError_ = UsbError::kSuccess;
  std::string lastOpenDevice_;
  bool removed_ = false;
};

// The link of the process: libusb, the system clock and the identifiers configured for
// `workDir` (see ConfiguredUsbIds), created on the first call; later calls return the
// same link whatever `workDir` they give.
CUsbLink& ProcessUsbLink(const std::string& workDir);

}  // namespace tervane
