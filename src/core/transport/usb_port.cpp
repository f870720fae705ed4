#include "transport/usb_port.h"

namespace tervane {

bool CUsbPort::Open(int /*baudRate*/) { return false; }

void CUsbPort::Close() {}

bool CUsbPort::Send(const std::uint8_t* /*data*/, int /*length*/, int /*param*/) { return false; }

bool CUsbPort::Receive(std::uint8_t* /*buffer*/, int /*length*/, int /*timeoutMs*/) { return false; }

bool CUsbPort::Purge() { return false; }

bool CUsbPort::WriteRequest(const std::uint8_t* /*data*/, int /*length*/, std::uint32_t* written) {
  if (written != nullptr) *written = 0;
  return false;
}

bool CUsbPort::ReadReply(std::uint8_t* /*buffer*/, int /*length*/, std::uint32_t* read) {
  if (read != nullptr) *read = 0;
  return false;
}

}  // namespace tervane
