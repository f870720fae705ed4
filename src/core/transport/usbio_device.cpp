#include "core/transport/usbio_device.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tervane {
namespace {

void Put16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::uint8_t* at, std::uint32_t value) {
  for (int k = 0; k < 4; ++k) at[k] = static_cast<std::uint8_t>(value >> (8 * k));
}

std::uint16_t Get16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | at[1] << 8); }

std::uint32_t Get32(const std::uint8_t* at) {
  return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16 | std::uint32_t(at[3]) << 24;
}

constexpr std::uint8_t kEndpointIn = 0x80;
constexpr std::uint8_t kTransferTypeMask = 0x03;
constexpr std::uint8_t kTransferTypeBulk = 0x02;

std::string DevicePathText(const UsbDeviceInfo& device) {
  char path[64];
  std::snprintf(path, sizeof path, "bus %03u device %03u (%04x:%04x)", device.bus, device.address,
                device.vendorId, device.productId);
  return path;
}

bool IsBulkOut(const UsbEndpointInfo& endpoint) {
  return (endpoint.address & kEndpointIn) == 0 && (endpoint.attributes & kTransferTypeMask) == kTransferTypeBulk;
}

}  // namespace

const char* UsbErrorText(UsbError error) {
  switch (error) {
    case UsbError::kSuccess: return "success";
    case UsbError::kIo: return "input/output error";
    case UsbError::kInvalidParam: return "invalid parameter";
    case UsbError::kAccess: return "access denied (insufficient permissions)";
    case UsbError::kNoDevice: return "device is gone";
    case UsbError::kNotFound: return "entity not found";
    case UsbError::kBusy: return "resource busy (held by another program)";
    case UsbError::kTimeout: return "operation timed out";
    case UsbError::kOverflow: return "overflow";
    case UsbError::kPipe: return "endpoint stalled";
    case UsbError::kInterrupted: return "interrupted";
    case UsbError::kNoMemory: return "out of memory";
    case UsbError::kNotSupported: return "not supported on this system";
    case UsbError::kOther: return "other error";
  }
  return "unknown error";
}

std::uint32_t UsbioStatusFromError(UsbError error) {
  switch (error) {
    case UsbError::kSuccess: return kUsbioOk;
    case UsbError::kNoDevice: return kUsbioDeviceRemoved;
    case UsbError::kTimeout: return kUsbioTimeout;
    case UsbError::kOverflow: return kUsbioDataOverrun;
    case UsbError::kPipe:
    case UsbError::kIo: return kUsbioNotResponding;
    case UsbError::kNoMemory: return kUsbioOutOfMemory;
    default: return kUsbioRequestFailed;
  }
}

std::string UsbioStatusText(std::uint32_t status) {
  switch (status) {
    case kUsbioOk: return "success";
    case kUsbioNotResponding: return "device not responding";
    case kUsbioDataOverrun: return "data overrun";
    case kUsbioOutOfMemory: return "out of memory";
    case kUsbioRequestFailed: return "request failed";
    case kUsbioInvalidRequest: return "invalid request";
    case kUsbioDeviceRemoved: return "device removed";
    case kUsbioTimeout: return "request time-out";
    case kUsbioVersionMismatch: return "driver API version not supported";
    case kUsbioOpenFailed: return "device cannot be opened";
    case kUsbioNotOpen: return "device not open";
    case kUsbioNoSuchInstance: return "no such device";
    case kUsbioNoDeviceClass: return "no hardware identifiers configured";
  }
  char text[32];
  std::snprintf(text, sizeof text, "status 0x%08X", static_cast<unsigned>(status));
  return text;
}

std::array<std::uint8_t, UsbioSetConfiguration::kSize> UsbioSetConfiguration::Encode() const {
  std::array<std::uint8_t, kSize> bytes{};
  Put16(&bytes[0], configurationIndex);
  Put16(&bytes[2], interfaceCount);
  for (size_t i = 0; i < kUsbioMaxInterfaces; ++i) {
    std::uint8_t* entry = &bytes[4 + 8 * i];
    Put16(entry, interfaces[i].interfaceIndex);
    Put16(entry + 2, interfaces[i].alternateSetting);
    Put32(entry + 4, interfaces[i].maximumTransferSize);
  }
  return bytes;
}

bool UsbioSetConfiguration::Decode(std::span<const std::uint8_t> bytes, UsbioSetConfiguration& block) {
  if (bytes.size() != kSize) return false;
  block.configurationIndex = Get16(&bytes[0]);
  block.interfaceCount = Get16(&bytes[2]);
  if (block.interfaceCount > kUsbioMaxInterfaces) return false;
  for (size_t i = 0; i < kUsbioMaxInterfaces; ++i) {
    const std::uint8_t* entry = &bytes[4 + 8 * i];
    block.interfaces[i] = {Get16(entry), Get16(entry + 2), Get32(entry + 4)};
  }
  return true;
}

std::array<std::uint8_t, UsbioClassRequest::kSize> UsbioClassRequest::Encode() const {
  std::array<std::uint8_t, kSize> bytes{};
  Put32(&bytes[0], flags);
  Put32(&bytes[4], type);
  Put32(&bytes[8], recipient);
  bytes[12] = reservedTypeBits;
  bytes[13] = request;
  Put16(&bytes[14], value);
  Put16(&bytes[16], index);
  return bytes;
}

bool UsbioClassRequest::Decode(std::span<const std::uint8_t> bytes, UsbioClassRequest& block) {
  if (bytes.size() != kSize) return false;
  block.flags = Get32(&bytes[0]);
  block.type = Get32(&bytes[4]);
  block.recipient = Get32(&bytes[8]);
  block.reservedTypeBits = bytes[12];
  block.request = bytes[13];
  block.value = Get16(&bytes[14]);
  block.index = Get16(&bytes[16]);
  return true;
}

UsbioDeviceSet EnumerateUsbio(UsbBackend& backend, std::span<const UsbHardwareId> ids) {
  UsbioDeviceSet set;
  if (ids.empty()) return set;
  if (backend.Enumerate(ids, &set.devices) != UsbError::kSuccess) {
    set.devices.clear();
    return set;
  }
  set.valid = true;
  return set;
}

bool ListUsbioDevices(UsbBackend& backend, std::span<const UsbHardwareId> ids,
                      std::vector<UsbioPresentDevice>& devices) {
  devices.clear();
  const UsbioDeviceSet set = EnumerateUsbio(backend, ids);
  if (!set.valid) return false;
  for (size_t k = 0; k < set.devices.size(); ++k) {
    CUsbioDevice device(backend);
    const std::uint32_t status = device.OpenInstance(static_cast<int>(k), set);
    devices.push_back({set.devices[k], DevicePathText(set.devices[k]), status,
                       status == kUsbioOk ? UsbError::kSuccess : device.LastBackendError()});
  }
  return true;
}

namespace {

constexpr size_t kShownStringLength = 64;

std::string PrintableText(const std::string& text) {
  std::string shown;
  for (char c : text) {
    if (shown.size() >= kShownStringLength) break;
    const auto b = static_cast<unsigned char>(c);
    if (b == 0) break;
    shown += (b >= 0x20 && b < 0x7F) ? c : '?';
  }
  while (!shown.empty() && shown.back() == ' ') shown.pop_back();
  return shown;
}

}  // namespace

std::vector<UsbDeviceDescription> UnconfiguredPrinterCandidates(UsbBackend& backend,
                                                                std::span<const UsbHardwareId> ids) {
  std::vector<UsbDeviceDescription> all;
  std::vector<UsbDeviceDescription> found;
  if (backend.Describe(&all) != UsbError::kSuccess) return found;
  auto candidateClass = [](std::uint8_t c) { return c == kUsbClassPrinter || c == kUsbClassVendorSpecific; };
  for (UsbDeviceDescription& device : all) {
    const UsbHardwareId id{device.info.vendorId, device.info.productId};
    if (std::find(ids.begin(), ids.end(), id) != ids.end()) continue;
    if (!candidateClass(device.deviceClass) &&
        std::none_of(device.interfaceClasses.begin(), device.interfaceClasses.end(), candidateClass)) {
      continue;
    }
    device.manufacturer = PrintableText(device.manufacturer);
    device.product = PrintableText(device.product);
    found.push_back(std::move(device));
  }
  return found;
}

std::string UsbDeviceNode(const UsbDeviceInfo& device) {
  char path[32];
  std::snprintf(path, sizeof path, "/dev/bus/usb/%03u/%03u", device.bus, device.address);
  return path;
}

CUsbioDevice::~CUsbioDevice() {
  if (handle_ != 0) backend_.Close(handle_);
}

std::uint32_t CUsbioDevice::OpenInstance(int instance, const UsbioDeviceSet& set) {
  if (handle_ != 0) return kUsbioOk;
  if (!set.valid) return kUsbioNoDeviceClass;
  if (instance < 0 || static_cast<size_t>(instance) >= set.devices.size()) return kUsbioNoSuchInstance;

  const UsbDeviceInfo& device = set.devices[static_cast<size_t>(instance)];
  devicePath_ = DevicePathText(device);

  UsbHandle handle = 0;
  lastError_ = UsbError::kSuccess;
  if (const UsbError error = backend_.Open(device, &handle); error != UsbError::kSuccess || handle == 0) {
    lastError_ = error == UsbError::kSuccess ? UsbError::kOther : error;
    devicePath_.clear();
    return kUsbioOpenFailed;
  }
  handle_ = handle;

  std::uint8_t info[kUsbioDriverInfoSize] = {};
  const std::uint32_t status = Request(kUsbioGetDriverInfo, nullptr, 0, info, sizeof info);
  if (status != kUsbioOk) {
    CloseHandles();
    return status;
  }
  if (Get16(info) != kUsbioApiVersion) {
    CloseHandles();
    return kUsbioVersionMismatch;
  }
  return kUsbioOk;
}

void CUsbioDevice::CloseHandles() {
  std::lock_guard<std::mutex> lock(requestLock_);
  if (handle_ != 0) backend_.Close(handle_);
  handle_ = 0;
  boundEndpoint_ = 0;
  devicePath_.clear();
}

std::uint32_t CUsbioDevice::Request(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output,
                                    std::uint32_t outputSize, std::uint32_t* returned) {
  if (returned) *returned = 0;
  if (handle_ == 0) return kUsbioNotOpen;
  if ((input == nullptr && inputSize != 0) || (output == nullptr && outputSize != 0)) return kUsbioInvalidRequest;
  std::lock_guard<std::mutex> lock(requestLock_);
  if (handle_ == 0) return kUsbioNotOpen;  // closed while waiting for the lock
  std::span<const std::uint8_t> in(static_cast<const std::uint8_t*>(input), inputSize);
  std::uint32_t count = 0;
  const std::uint32_t status = Dispatch(code, in, static_cast<std::uint8_t*>(output), outputSize, &count);
  if (returned) *returned = count;
  return status;
}

std::uint32_t CUsbioDevice::Dispatch(std::uint32_t code, std::span<const std::uint8_t> input, std::uint8_t* output,
                                     std::uint32_t outputSize, std::uint32_t* returned) {
  switch (code) {
    case kUsbioGetDriverInfo: {
      if (outputSize < kUsbioDriverInfoSize) return kUsbioInvalidRequest;
      UsbDriverInfo info;
      const UsbError error = backend_.DriverInfo(handle_, &info);
      if (error != UsbError::kSuccess) return Status(error);
      std::memset(output, 0, kUsbioDriverInfoSize);
      Put16(output, info.apiVersion);
      Put16(output + 2, info.driverVersion);
      Put32(output + 4, info.buildNumber);
      *returned = kUsbioDriverInfoSize;
      return kUsbioOk;
    }
    case kUsbioSetConfiguration: {
      UsbioSetConfiguration block;
      if (!UsbioSetConfiguration::Decode(input, block)) return kUsbioInvalidRequest;
      for (size_t i = 0; i < block.interfaceCount; ++i) {
        const UsbError error = backend_.ClaimInterface(handle_, block.configurationIndex,
                                                       block.interfaces[i].interfaceIndex,
                                                       block.interfaces[i].alternateSetting);
        if (error != UsbError::kSuccess) return Status(error);
      }
      return kUsbioOk;
    }
    case kUsbioGetConfigurationInfo: {
      if (outputSize < kUsbioConfigurationInfoSize) return kUsbioInvalidRequest;
      std::memset(output, 0, kUsbioConfigurationInfoSize);
      UsbConfigInfo info;
      const UsbError error = backend_.GetConfiguration(handle_, &info);
      if (error != UsbError::kSuccess) return Status(error);
      const size_t interfaces = std::min(info.interfaces.size(), kUsbioMaxInterfaces);
      const size_t pipes = std::min(info.endpoints.size(), kUsbioMaxPipes);
      Put32(output, static_cast<std::uint32_t>(interfaces));
      Put32(output + 4, static_cast<std::uint32_t>(pipes));
      for (size_t i = 0; i < interfaces; ++i) {
        std::uint8_t* entry = output + 8 + 8 * i;
        const UsbInterfaceInfo& item = info.interfaces[i];
        entry[0] = item.number;
        entry[1] = item.alternateSetting;
        entry[2] = item.interfaceClass;
        entry[3] = item.subClass;
        entry[4] = item.protocol;
        entry[5] = item.endpointCount;
      }
      for (size_t i = 0; i < pipes; ++i) {
        std::uint8_t* entry = output + 8 + 8 * kUsbioMaxInterfaces + 16 * i;
        const UsbEndpointInfo& item = info.endpoints[i];
        entry[0] = item.address;
        entry[1] = item.attributes;
        entry[2] = item.interval;
        entry[3] = item.interfaceNumber;
        Put16(entry + 4, item.maxPacketSize);
      }
      *returned = kUsbioConfigurationInfoSize;
      return kUsbioOk;
    }
    case kUsbioClassRequestIn: {
      UsbioClassRequest block;
      if (!UsbioClassRequest::Decode(input, block) || outputSize > 0xFFFF) return kUsbioInvalidRequest;
      if (block.type != UsbioClassRequest::kTypeClass && block.type != UsbioClassRequest::kTypeVendor) {
        return kUsbioInvalidRequest;
      }
      if (block.recipient > 3) return kUsbioInvalidRequest;
      const std::uint8_t requestType =
          static_cast<std::uint8_t>(0x80 | block.type << 5 | block.recipient | (block.reservedTypeBits & 0x60));
      int transferred = 0;
      const UsbError error = backend_.ControlIn(handle_, requestType, block.request, block.value, block.index,
                                                output, static_cast<std::uint16_t>(outputSize),
                                                kUsbioControlTimeoutMs, &transferred);
      if (error != UsbError::kSuccess) return Status(error);
      // A device cannot hand over more than the data stage asked for; a back-end that
      // says otherwise is treated as an overrun, and nothing beyond the buffer is trusted.
      if (transferred < 0 || static_cast<std::uint32_t>(transferred) > outputSize) return kUsbioDataOverrun;
      *returned = static_cast<std::uint32_t>(transferred);
      if (static_cast<std::uint32_t>(transferred) < outputSize &&
          (block.flags & UsbioClassRequest::kShortTransferOk) == 0) {
        return kUsbioNotResponding;
      }
      return kUsbioOk;
    }
    case kUsbioBind: {
      if (input.size() != 1 || input[0] == 0) return kUsbioInvalidRequest;
      UsbConfigInfo info;
      const UsbError error = backend_.GetConfiguration(handle_, &info);
      if (error != UsbError::kSuccess) return Status(error);
      const bool present = std::any_of(info.endpoints.begin(), info.endpoints.end(), [&](const UsbEndpointInfo& e) {
        return e.address == input[0] && IsBulkOut(e);
      });
      if (!present) return kUsbioInvalidRequest;
      boundEndpoint_ = input[0];
      return kUsbioOk;
    }
    case kUsbioUnbind:
      boundEndpoint_ = 0;
      return kUsbioOk;
    case kUsbioResetPipe: {
      // Clears the halt of every bulk OUT endpoint of the active configuration (the
      // printer has one, the endpoint frames are written to).
      UsbConfigInfo info;
      UsbError error = backend_.GetConfiguration(handle_, &info);
      if (error != UsbError::kSuccess) return Status(error);
      for (const UsbEndpointInfo& endpoint : info.endpoints) {
        if (!IsBulkOut(endpoint)) continue;
        error = backend_.ClearHalt(handle_, endpoint.address);
        if (error != UsbError::kSuccess) return Status(error);
      }
      return kUsbioOk;
    }
    case kUsbioResetDevice:
      return Status(backend_.ResetDevice(handle_));
    default:
      return kUsbioInvalidRequest;
  }
}

std::uint32_t CUsbioDevice::ClassIn(std::uint8_t request, std::uint8_t* data, std::uint32_t length,
                                    std::uint32_t* returned) {
  UsbioClassRequest block;
  block.request = request;
  const auto bytes = block.Encode();
  return Request(kUsbioClassRequestIn, bytes.data(), static_cast<std::uint32_t>(bytes.size()), data, length,
                 returned);
}

std::uint32_t CUsbioDevice::SetConfiguration(std::uint16_t configurationIndex, std::uint16_t interfaceIndex,
                                             std::uint16_t alternateSetting, std::uint32_t maximumTransferSize) {
  UsbioSetConfiguration block;
  block.configurationIndex = configurationIndex;
  block.interfaceCount = 1;
  block.interfaces[0] = {interfaceIndex, alternateSetting, maximumTransferSize};
  const auto bytes = block.Encode();
  return Request(kUsbioSetConfiguration, bytes.data(), static_cast<std::uint32_t>(bytes.size()), nullptr, 0);
}

std::uint32_t CUsbioDevice::QueryConfigurationInfo() {
  std::uint8_t info[kUsbioConfigurationInfoSize];
  return Request(kUsbioGetConfigurationInfo, nullptr, 0, info, sizeof info);
}

std::uint32_t CUsbioDevice::SendRecoveryRequests() {
  const std::uint32_t first = Request(kUsbioResetPipe, nullptr, 0, nullptr, 0);
  const std::uint32_t second = Request(kUsbioResetDevice, nullptr, 0, nullptr, 0);
  return first != kUsbioOk ? first : second;
}

std::uint32_t CUsbioPipe::Bind(int instance, std::uint8_t endpoint, const UsbioDeviceSet& set) {
  const std::uint32_t status = OpenInstance(instance, set);
  if (status != kUsbioOk) return status;
  return Request(kUsbioBind, &endpoint, 1, nullptr, 0);
}

std::uint32_t CUsbioPipe::Unbind() { return Request(kUsbioUnbind, nullptr, 0, nullptr, 0); }

std::uint32_t CUsbioPipe::Write(UsbioTransfer& transfer, unsigned timeoutMs) {
  transfer.transferred = 0;
  if (handle_ == 0) return transfer.status = kUsbioNotOpen;
  if (boundEndpoint_ == 0 || transfer.length < 0 || (transfer.buffer == nullptr && transfer.length > 0)) {
    return transfer.status = kUsbioInvalidRequest;
  }
  int transferred = 0;
  const UsbError error =
      backend_.BulkWrite(handle_, boundEndpoint_, transfer.buffer, transfer.length, timeoutMs, &transferred);
  transfer.transferred = std::clamp(transferred, 0, transfer.length);
  return transfer.status = Status(error);
}

}  // namespace tervane
