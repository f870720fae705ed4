// The port kind for a printer on USB ("USB"). It holds nothing of its own: every
// operation goes to the process-wide USB link, which stays open from one command to
// the next.
#pragma once

#include <cstdint>

#include "core/transport/port.h"
#include "core/transport/usb_link.h"

namespace tervane {

// How a failed open of the link is told to the user: no printer present, no permission,
// held by another program, or another failure.
OpenFailureKind UsbOpenFailureKind(std::uint32_t status, UsbError error);

class CUsbPort final : public CPort {
 public:
  // `link` must outlive the port.
  explicit CUsbPort(CUsbLink& link) : link_(link) {}

  // Makes sure the link is open; the argument is ignored. False when no printer could
  // be opened; OpenFailure then says why (missing, no permission, held by another
  // program) and names the device node.
  bool Open(int baudRate) override;
  // Does nothing: the link stays open across commands.
  void Close() override;
  // Writes the frame in chunks of at most 512 bytes, each after a status check; `param`
  // is ignored. False as soon as one chunk fails (the bytes before it have gone out).
  bool Send(const std::uint8_t* data, int length, int param) override;
  // Polls the printer for at most timeoutMs + 500 ms until `length` bytes are there.
  // False when they do not all come; the bytes that did come stay in the link and are
  // read first by the next Receive. A printer that was unplugged (and not plugged back
  // in) fails at once and marks the link lost.
  bool Receive(std::uint8_t* buffer, int length, int timeoutMs) override;
  // Discards the bytes received and not yet read. Always true.
  bool Purge() override;
  // Not offered by this kind: always false.
  bool WriteRequest(const std::uint8_t* data, int length, std::uint32_t* written) override;
  bool ReadReply(std::uint8_t* buffer, int length, std::uint32_t* read) override;

 private:
  // After a failed Send or Receive: a printer that was removed and is not back marks
  // the link lost.
  void NoteLinkLoss();

  CUsbLink& link_;
};

}  // namespace tervane
