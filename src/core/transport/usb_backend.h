// The operations the USB device access needs from the system, as one table: find the
// printers present, open one, claim its interface, read its configuration, control and
// bulk transfers, the two recovery steps, close. The program uses the libusb back-end;
// tests use a scripted one, so every rule of the link above runs without hardware.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/transport/usb_ids.h"

namespace tervane {

// What a back-end operation can report. Closed set; the device access turns each into
// one of its status codes.
enum class UsbError {
  kSuccess = 0,
  kIo,            // input/output error on the bus
  kInvalidParam,  // the back-end was called wrongly
  kAccess,        // no permission to open the device (no udev rule)
  kNoDevice,      // the device is gone (unplugged)
  kNotFound,      // no such device, interface or endpoint
  kBusy,          // the interface is held by another program
  kTimeout,       // the transfer did not finish in time
  kOverflow,      // the device sent more than was asked for
  kPipe,          // the endpoint stalled
  kInterrupted,   // the wait was interrupted
  kNoMemory,
  kNotSupported,
  kOther,
};

// Short English description of a back-end error ("device is gone").
const char* UsbErrorText(UsbError error);

// One device found by enumeration. bus and address identify it to the back-end until it
// is unplugged; vendor and product are the numbers it matched.
struct UsbDeviceInfo {
  std::uint8_t bus = 0;
  std::uint8_t address = 0;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
};

struct UsbInterfaceInfo {
  std::uint8_t number = 0;
  std::uint8_t alternateSetting = 0;
  std::uint8_t interfaceClass = 0;
  std::uint8_t subClass = 0;
  std::uint8_t protocol = 0;
  std::uint8_t endpointCount = 0;
};

struct UsbEndpointInfo {
  std::uint8_t address = 0;     // bit 7 set: IN
  std::uint8_t attributes = 0;  // transfer type in bits 0-1 (2 = bulk)
  std::uint16_t maxPacketSize = 0;
  std::uint8_t interval = 0;
  std::uint8_t interfaceNumber = 0;
};

// Any device present on the bus, as a listing shows it to a technician looking for the
// identifiers of a printer that is not configured yet.
struct UsbDeviceDescription {
  UsbDeviceInfo info;                          // bus, address, vendor and product numbers
  std::uint8_t deviceClass = 0;                // 0: the classes are given per interface
  std::vector<std::uint8_t> interfaceClasses;  // of the first configuration
  std::string manufacturer;                    // the device's own strings; may be empty
  std::string product;
};

inline constexpr std::uint8_t kUsbClassPrinter = 0x07;
inline constexpr std::uint8_t kUsbClassVendorSpecific = 0xFF;

// The active configuration: its interfaces and every endpoint of them.
struct UsbConfigInfo {
  std::vector<UsbInterfaceInfo> interfaces;
  std::vector<UsbEndpointInfo> endpoints;
};

// What the driver layer says about itself.
struct UsbDriverInfo {
  std::uint16_t apiVersion = 0;     // the request interface this layer speaks
  std::uint16_t driverVersion = 0;  // major << 8 | minor of the library below
  std::uint32_t buildNumber = 0;
};

// An open handle of the back-end; 0 is never a valid handle.
using UsbHandle = std::uint32_t;

class UsbBackend {
 public:
  virtual ~UsbBackend() = default;

  // Lists the present devices whose vendor and product numbers are among `ids`, in the
  // order of `ids`, then by bus and address. Returns an error when the system cannot be
  // enumerated at all (no USB support); `devices` is then empty.
  virtual UsbError Enumerate(std::span<const UsbHardwareId> ids, std::vector<UsbDeviceInfo>* devices) = 0;
  // Opens the device. Opening the same device twice gives two handles on it. On failure
  // `handle` is 0.
  virtual UsbError Open(const UsbDeviceInfo& device, UsbHandle* handle) = 0;
  virtual UsbError DriverInfo(UsbHandle handle, UsbDriverInfo* info) = 0;
  // Selects the configuration with that index (0 = the first), then claims the interface
  // (taking it from a kernel driver that holds it) and selects the alternate setting.
  virtual UsbError ClaimInterface(UsbHandle handle, int configurationIndex, int interfaceNumber,
                                  int alternateSetting) = 0;
  virtual UsbError GetConfiguration(UsbHandle handle, UsbConfigInfo* info) = 0;
  // A control transfer device-to-host. `transferred` gets the bytes received (a short
  // transfer is not an error here).
  virtual UsbError ControlIn(UsbHandle handle, std::uint8_t requestType, std::uint8_t request,
                             std::uint16_t value, std::uint16_t index, std::uint8_t* data,
                             std::uint16_t length, unsigned timeoutMs, int* transferred) = 0;
  // A bulk transfer host-to-device. `transferred` gets the bytes sent, also on failure.
  virtual UsbError BulkWrite(UsbHandle handle, std::uint8_t endpoint, const std::uint8_t* data, int length,
                             unsigned timeoutMs, int* transferred) = 0;
  virtual UsbError ClearHalt(UsbHandle handle, std::uint8_t endpoint) = 0;
  virtual UsbError ResetDevice(UsbHandle handle) = 0;
  // Releases the handle (and, with the last handle on a device, its interfaces).
  virtual void Close(UsbHandle handle) = 0;

  // Lists every device present, whatever its numbers, with its classes and strings.
  // kNotSupported (and nothing listed) from a back-end that cannot.
  virtual UsbError Describe(std::vector<UsbDeviceDescription>* devices) {
    devices->clear();
    return UsbError::kNotSupported;
  }
};

// The libusb back-end of the program, created on first use and kept for the process.
UsbBackend& SystemUsbBackend();

}  // namespace tervane
