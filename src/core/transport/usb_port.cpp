#include "core/transport/usb_port.h"

#include <algorithm>

#include "core/transport/usbio_device.h"

namespace tervane {

OpenFailureKind UsbOpenFailureKind(std::uint32_t status, UsbError error) {
  if (status == kUsbioNoSuchInstance || status == kUsbioNoDeviceClass) return OpenFailureKind::kMissing;
  switch (error) {
    case UsbError::kAccess: return OpenFailureKind::kPermission;
    case UsbError::kBusy: return OpenFailureKind::kBusy;
    case UsbError::kNoDevice:
    case UsbError::kNotFound: return OpenFailureKind::kMissing;
    default: return OpenFailureKind::kOther;
  }
}

void CUsbPort::NoteLinkLoss() {
  if (link_.DeviceRemoved()) SetLinkLost(LinkLossKind::kDeviceRemoved, 0, "USB");
}

bool CUsbPort::Open(int /*baudRate*/) {
  ClearOpenFailure();
  ClearLinkLoss();
  if (link_.EnsureOpen()) return true;
  SetOpenFailure(UsbOpenFailureKind(link_.LastOpenStatus(), link_.LastOpenError()), 0,
                 link_.LastOpenDevice().empty() ? std::string("USB") : link_.LastOpenDevice());
  return false;
}

void CUsbPort::Close() {}

bool CUsbPort::Send(const std::uint8_t* data, int length, int /*param*/) {
  if (length < 0 || (data == nullptr && length > 0)) return false;
  for (int offset = 0; offset < length; offset += kUsbChunkSize) {
    const int chunk = std::min(kUsbChunkSize, length - offset);
    int written = 0;
    if (!link_.WriteChunk(data + offset, chunk, &written) || written != chunk) {
      NoteLinkLoss();
      return false;
    }
  }
  return true;
}

bool CUsbPort::Receive(std::uint8_t* buffer, int length, int timeoutMs) {
  if (buffer == nullptr || length < 0) return false;
  int delivered = 0;
  while (delivered < length) {
    int got = 0;
    const bool ok = link_.PollReceive(buffer + delivered, length - delivered, &got, timeoutMs + kUsbReceiveGraceMs);
    delivered += got;
    if (!ok) {
      // A partial reply is not lost: it goes back to the link for the next read.
      link_.Unread(buffer, delivered);
      NoteLinkLoss();
      return false;
    }
  }
  return true;
}

bool CUsbPort::Purge() {
  link_.Purge();
  return true;
}

bool CUsbPort::WriteRequest(const std::uint8_t* /*data*/, int /*length*/, std::uint32_t* written) {
  if (written != nullptr) *written = 0;
  return false;
}

bool CUsbPort::ReadReply(std::uint8_t* /*buffer*/, int /*length*/, std::uint32_t* read) {
  if (read != nullptr) *read = 0;
  return false;
}

}  // namespace tervane
