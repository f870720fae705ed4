// The port kind for a printer on USB ("USB").
//
// The USB link (device access and polling of the printer) is not part of the program
// yet. Until it is, this kind is an honest absence: Open fails, and so does every other
// operation, so detection reports no USB printer and an exchange over "USB" fails as a
// dead port would. Nothing is ever pretended to have been sent or received.
#pragma once

#include <cstdint>

#include "transport/port.h"

namespace tervane {

class CUsbPort final : public CPort {
 public:
  CUsbPort() = default;

  // False: no USB link is available.
  bool Open(int baudRate) override;
  // Nothing to release.
  void Close() override;
  // False: nothing can be written without the link.
  bool Send(const std::uint8_t* data, int length, int param) override;
  // False: nothing can be read without the link.
  bool Receive(std::uint8_t* buffer, int length, int timeoutMs) override;
  // False: there is no link whose buffer could be emptied.
  bool Purge() override;
  // Not offered by this kind: always false.
  bool WriteRequest(const std::uint8_t* data, int length, std::uint32_t* written) override;
  bool ReadReply(std::uint8_t* buffer, int length, std::uint32_t* read) override;
};

}  // namespace tervane
