// Access to a USB printer through request codes and status codes: CUsbioDevice, one open
// handle used for control requests, and CUsbioPipe, a second handle on the same device
// bound to one endpoint and used for bulk writes. Below them is a UsbBackend (libusb in
// the program, a scripted fake in tests).
//
// Every operation returns a status: 0 for success, else one of the kUsbio* codes. The
// back-end's errors are mapped to them by UsbioStatusFromError.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "core/transport/usb_backend.h"
#include "core/transport/usb_ids.h"

namespace tervane {

// Status codes.
inline constexpr std::uint32_t kUsbioOk = 0;
inline constexpr std::uint32_t kUsbioNotResponding = 0xE0000005;   // stall or I/O error
inline constexpr std::uint32_t kUsbioDataOverrun = 0xE0000008;     // device sent more than asked
inline constexpr std::uint32_t kUsbioOutOfMemory = 0xE0000100;
inline constexpr std::uint32_t kUsbioRequestFailed = 0xE0001000;   // any other back-end failure
inline constexpr std::uint32_t kUsbioInvalidRequest = 0xE0001006;  // unknown code, wrong block size, unbound pipe
inline constexpr std::uint32_t kUsbioDeviceRemoved = 0xE000100A;
inline constexpr std::uint32_t kUsbioTimeout = 0xE000100C;
inline constexpr std::uint32_t kUsbioVersionMismatch = 0xE000101C;
inline constexpr std::uint32_t kUsbioOpenFailed = 0xE0001100;
inline constexpr std::uint32_t kUsbioNotOpen = 0xE0001102;
inline constexpr std::uint32_t kUsbioNoSuchInstance = 0xE0001104;
inline constexpr std::uint32_t kUsbioNoDeviceClass = 0xE0001105;   // enumeration without identifiers

// Request codes.
inline constexpr std::uint32_t kUsbioGetDriverInfo = 0x8094206C;
inline constexpr std::uint32_t kUsbioSetConfiguration = 0x80942024;
inline constexpr std::uint32_t kUsbioGetConfigurationInfo = 0x80942050;
inline constexpr std::uint32_t kUsbioClassRequestIn = 0x80942032;
inline constexpr std::uint32_t kUsbioBind = 0x80942078;
inline constexpr std::uint32_t kUsbioUnbind = 0x8094207C;
inline constexpr std::uint32_t kUsbioResetPipe = 0x80942054;    // first recovery request
inline constexpr std::uint32_t kUsbioResetDevice = 0x80942070;  // second recovery request

// The request interface version this layer speaks; handles reporting another are refused.
inline constexpr std::uint16_t kUsbioApiVersion = 0x0141;

// Time allowed to one control request before it ends with kUsbioTimeout.
inline constexpr unsigned kUsbioControlTimeoutMs = 500;

// Maps a back-end error to a status code: gone 0xE000100A, time-out 0xE000100C,
// overflow 0xE0000008, stall or I/O error 0xE0000005, out of memory 0xE0000100,
// anything else 0xE0001000.
std::uint32_t UsbioStatusFromError(UsbError error);

// A short English text for a status code ("device removed"), for diagnostics.
std::string UsbioStatusText(std::uint32_t status);

// Request blocks, little-endian on the wire.

inline constexpr size_t kUsbioMaxInterfaces = 32;
inline constexpr size_t kUsbioMaxPipes = 32;

struct UsbioInterfaceSetting {
  std::uint16_t interfaceIndex = 0;
  std::uint16_t alternateSetting = 0;
  std::uint32_t maximumTransferSize = 0;
};

// Set configuration, 260 bytes.
struct UsbioSetConfiguration {
  static constexpr size_t kSize = 260;
  std::uint16_t configurationIndex = 0;
  std::uint16_t interfaceCount = 0;
  std::array<UsbioInterfaceSetting, kUsbioMaxInterfaces> interfaces{};

  std::array<std::uint8_t, kSize> Encode() const;
  // False when the block has another size or names more than 32 interfaces.
  static bool Decode(std::span<const std::uint8_t> bytes, UsbioSetConfiguration& block);
};

// Class (or vendor) IN request, 18 bytes, followed by a data stage into the output.
struct UsbioClassRequest {
  static constexpr size_t kSize = 18;
  static constexpr std::uint32_t kShortTransferOk = 0x00010000;
  static constexpr std::uint32_t kTypeClass = 1;
  static constexpr std::uint32_t kTypeVendor = 2;
  static constexpr std::uint32_t kRecipientDevice = 0;
  std::uint32_t flags = kShortTransferOk;
  std::uint32_t type = kTypeClass;
  std::uint32_t recipient = kRecipientDevice;
  std::uint8_t reservedTypeBits = 0;
  std::uint8_t request = 0;
  std::uint16_t value = 0;
  std::uint16_t index = 0;

  std::array<std::uint8_t, kSize> Encode() const;
  static bool Decode(std::span<const std::uint8_t> bytes, UsbioClassRequest& block);
};

// Configuration information, 776 bytes: interface count, pipe count, 32 interface
// entries of 8 bytes (number, alternate setting, class, subclass, protocol, endpoint
// count, 2 reserved), 32 pipe entries of 16 bytes (endpoint address, attributes,
// interval, interface number, maximum packet size (2), 10 reserved).
inline constexpr size_t kUsbioConfigurationInfoSize = 776;
// Driver information, 12 bytes: API version (2), driver version (2), build (4), flags (4).
inline constexpr size_t kUsbioDriverInfoSize = 12;

// The result of an enumeration: the present devices that carry one of the configured
// identifiers. Invalid when the enumeration could not be made or was given no
// identifiers.
struct UsbioDeviceSet {
  bool valid = false;
  std::vector<UsbDeviceInfo> devices;
};

// Lists the present devices with one of `ids`. Returns an invalid set when `ids` is
// empty or the back-end cannot enumerate.
UsbioDeviceSet EnumerateUsbio(UsbBackend& backend, std::span<const UsbHardwareId> ids);

// A printer found present, and whether it could be opened (its OpenInstance status).
struct UsbioPresentDevice {
  UsbDeviceInfo info;
  std::string path;          // "bus 001 device 004 (7e4a:0001)"
  std::uint32_t openStatus;  // 0 when it opened; 0xE0001100 typically means no permission
  UsbError openError = UsbError::kSuccess;  // the back-end's reason when it did not open
};

// The devices present of printer class (07h) or vendor-specific class (FFh), on the
// device or on one of its interfaces, whose numbers are not among `ids`: where to look
// for a printer whose identifiers are not configured yet. Their maker and product
// strings are cut to 64 characters, with anything but printable ASCII shown as '?'.
// Empty when the back-end cannot list devices.
std::vector<UsbDeviceDescription> UnconfiguredPrinterCandidates(UsbBackend& backend,
                                                                std::span<const UsbHardwareId> ids);

// The device node of a USB device: "/dev/bus/usb/001/004".
std::string UsbDeviceNode(const UsbDeviceInfo& device);

// Lists the present printers with one of `ids`, opening each briefly to see whether it
// can be used. Returns false (and an empty list) when the enumeration cannot be made.
bool ListUsbioDevices(UsbBackend& backend, std::span<const UsbHardwareId> ids,
                      std::vector<UsbioPresentDevice>& devices);

// One bulk write: the bytes to send, and what happened.
struct UsbioTransfer {
  const std::uint8_t* buffer = nullptr;
  int length = 0;
  int transferred = 0;
  std::uint32_t status = kUsbioOk;
};

class CUsbioDevice {
 public:
  explicit CUsbioDevice(UsbBackend& backend) : backend_(backend) {}
  virtual ~CUsbioDevice();
  CUsbioDevice(const CUsbioDevice&) = delete;
  CUsbioDevice& operator=(const CUsbioDevice&) = delete;

  // Opens device number `instance` of `set` and checks the driver information. Returns
  // 0 (also when already open), 0xE0001105 for an invalid set, 0xE0001104 when the set
  // has no such device, 0xE0001100 when it cannot be opened, the driver-information
  // status when that request fails, 0xE000101C when the API version is not 0x0141. On
  // failure the handle is closed.
  std::uint32_t OpenInstance(int instance, const UsbioDeviceSet& set);
  // Closes the handle and forgets the device. Safe when closed.
  void CloseHandles();
  bool IsOpen() const { return handle_ != 0; }

  // Issues one request. Returns 0xE0001102 without reaching the back-end when the handle
  // is closed, 0xE0001006 for an unknown code or a block of the wrong size, else the
  // mapped status of the back-end. `returned` (when given) gets the bytes written to
  // `output`. Requests on one handle are serialised.
  std::uint32_t Request(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output,
                        std::uint32_t outputSize, std::uint32_t* returned = nullptr);

  // Conveniences over Request.
  // Class IN request `request` (value 0, index 0, short transfer accepted) reading up to
  // `length` bytes into `data`.
  std::uint32_t ClassIn(std::uint8_t request, std::uint8_t* data, std::uint32_t length, std::uint32_t* returned);
  // Configuration `configurationIndex`, one interface with the given settings.
  std::uint32_t SetConfiguration(std::uint16_t configurationIndex, std::uint16_t interfaceIndex,
                                 std::uint16_t alternateSetting, std::uint32_t maximumTransferSize);
  std::uint32_t QueryConfigurationInfo();
  // The two recovery requests, first then second, as a pair. Returns the first failure.
  std::uint32_t SendRecoveryRequests();

  // The device the handle was opened on, as "bus 001 device 004 (7e4a:0001)"; empty when
  // closed.
  const std::string& DevicePath() const { return devicePath_; }

  // What the back-end said when the last open or request of this handle failed (kSuccess
  // when none has failed since the handle was opened): it tells "no permission" and
  // "held by another program" apart from the other failures, which the status codes
  // fold together.
  UsbError LastBackendError() const { return lastError_; }

 protected:
  std::uint32_t Dispatch(std::uint32_t code, std::span<const std::uint8_t> input, std::uint8_t* output,
                         std::uint32_t outputSize, std::uint32_t* returned);

  UsbBackend& backend_;
  UsbHandle handle_ = 0;
  std::mutex requestLock_;
  // The status of a back-end result, keeping a failure in lastError_.
  std::uint32_t Status(UsbError error) {
    if (error != UsbError::kSuccess) lastError_ = error;
    return UsbioStatusFromError(error);
  }

  std::string devicePath_;
  std::uint8_t boundEndpoint_ = 0;  // pipe only: 0 when unbound
  UsbError lastError_ = UsbError::kSuccess;
};

// A handle bound to one endpoint for bulk writes.
class CUsbioPipe final : public CUsbioDevice {
 public:
  explicit CUsbioPipe(UsbBackend& backend) : CUsbioDevice(backend) {}

  // Opens its own handle on device `instance` of `set` and binds it to `endpoint`.
  // Returns the OpenInstance status, or the bind status (0xE0001006 when the active
  // configuration has no bulk OUT endpoint of that address).
  std::uint32_t Bind(int instance, std::uint8_t endpoint, const UsbioDeviceSet& set);
  // Forgets the endpoint. 0xE0001102 when closed.
  std::uint32_t Unbind();
  bool IsBound() const { return boundEndpoint_ != 0; }

  // Writes the transfer's bytes to the bound endpoint, waiting at most `timeoutMs` (0:
  // no limit). Sets and returns the transfer's status: 0xE0001102 when closed,
  // 0xE0001006 when unbound, 0xE000100C when the wait ran out, else the mapped back-end
  // status. `transferred` gets the bytes sent, also on failure.
  std::uint32_t Write(UsbioTransfer& transfer, unsigned timeoutMs);
};

}  // namespace tervane
