// The USB back-end of the program, over libusb-1.0. Two handles opened on the same
// device (the control handle and the pipe of the USB link) share one libusb device
// handle, so the interface claimed through one serves the transfers of the other; the
// device is closed, and its interface released to the kernel again, with the last one.
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "core/transport/usb_backend.h"

struct libusb_context;
struct libusb_device_handle;

namespace tervane {

class LibusbBackend final : public UsbBackend {
 public:
  LibusbBackend() = default;
  ~LibusbBackend() override;
  LibusbBackend(const LibusbBackend&) = delete;
  LibusbBackend& operator=(const LibusbBackend&) = delete;

  // kNotSupported when libusb cannot be initialised (no USB on this system); that
  // answer is kept, so later calls cost nothing.
  UsbError Enumerate(std::span<const UsbHardwareId> ids, std::vector<UsbDeviceInfo>* devices) override;
  UsbError Open(const UsbDeviceInfo& device, UsbHandle* handle) override;
  // Reports the request interface version of the device access layer, and libusb's own
  // version as the driver version.
  UsbError DriverInfo(UsbHandle handle, UsbDriverInfo* info) override;
  UsbError ClaimInterface(UsbHandle handle, int configurationIndex, int interfaceNumber,
                          int alternateSetting) override;
  UsbError GetConfiguration(UsbHandle handle, UsbConfigInfo* info) override;
  UsbError ControlIn(UsbHandle handle, std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                     std::uint16_t index, std::uint8_t* data, std::uint16_t length, unsigned timeoutMs,
                     int* transferred) override;
  UsbError BulkWrite(UsbHandle handle, std::uint8_t endpoint, const std::uint8_t* data, int length,
                     unsigned timeoutMs, int* transferred) override;
  UsbError ClearHalt(UsbHandle handle, std::uint8_t endpoint) override;
  UsbError ResetDevice(UsbHandle handle) override;
  void Close(UsbHandle handle) override;
  // The strings come from the kernel's device tree (readable by every user), else from
  // the device itself when this user may open it.
  UsbError Describe(std::vector<UsbDeviceDescription>* devices) override;

 private:
  struct OpenDevice;
  libusb_context* Context();
  std::shared_ptr<OpenDevice> Find(UsbHandle handle);

  std::mutex mutex_;
  libusb_context* context_ = nullptr;
  bool initTried_ = false;
  std::map<UsbHandle, std::shared_ptr<OpenDevice>> handles_;
  UsbHandle nextHandle_ = 1;
};

}  // namespace tervane
