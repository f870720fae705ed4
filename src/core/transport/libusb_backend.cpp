#include "core/transport/libusb_backend.h"

#include <libusb.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "core/transport/usbio_device.h"

namespace tervane {
namespace {

UsbError FromLibusb(int code) {
  switch (code) {
    case LIBUSB_SUCCESS: return UsbError::kSuccess;
    case LIBUSB_ERROR_IO: return UsbError::kIo;
    case LIBUSB_ERROR_INVALID_PARAM: return UsbError::kInvalidParam;
    case LIBUSB_ERROR_ACCESS: return UsbError::kAccess;
    case LIBUSB_ERROR_NO_DEVICE: return UsbError::kNoDevice;
    case LIBUSB_ERROR_NOT_FOUND: return UsbError::kNotFound;
    case LIBUSB_ERROR_BUSY: return UsbError::kBusy;
    case LIBUSB_ERROR_TIMEOUT: return UsbError::kTimeout;
    case LIBUSB_ERROR_OVERFLOW: return UsbError::kOverflow;
    case LIBUSB_ERROR_PIPE: return UsbError::kPipe;
    case LIBUSB_ERROR_INTERRUPTED: return UsbError::kInterrupted;
    case LIBUSB_ERROR_NO_MEM: return UsbError::kNoMemory;
    case LIBUSB_ERROR_NOT_SUPPORTED: return UsbError::kNotSupported;
    default: return code >= 0 ? UsbError::kSuccess : UsbError::kOther;
  }
}

// The devices on the buses at one moment, freed with it. Without a context (libusb
// could not start) the listing is not supported.
class DeviceList {
 public:
  explicit DeviceList(libusb_context* context)
      : count_(context != nullptr ? libusb_get_device_list(context, &list_)
                                  : static_cast<ssize_t>(LIBUSB_ERROR_NOT_SUPPORTED)) {}
  ~DeviceList() {
    if (list_ != nullptr) libusb_free_device_list(list_, 1);
  }
  DeviceList(const DeviceList&) = delete;
  DeviceList& operator=(const DeviceList&) = delete;

  UsbError Error() const { return count_ < 0 ? FromLibusb(static_cast<int>(count_)) : UsbError::kSuccess; }
  std::span<libusb_device* const> Devices() const {
    return count_ > 0 ? std::span<libusb_device* const>(list_, static_cast<size_t>(count_))
                      : std::span<libusb_device* const>();
  }

 private:
  libusb_device** list_ = nullptr;
  ssize_t count_;
};

}  // namespace

struct LibusbBackend::OpenDevice {
  libusb_device_handle* handle = nullptr;
  std::uint8_t bus = 0;
  std::uint8_t address = 0;
  std::vector<int> claimed;

  ~OpenDevice() {
    for (int number : claimed) libusb_release_interface(handle, number);
    libusb_close(handle);
  }
};

LibusbBackend::~LibusbBackend() {
  handles_.clear();
  if (context_ != nullptr) libusb_exit(context_);
}

libusb_context* LibusbBackend::Context() {
  if (!initTried_) {
    initTried_ = true;
    if (libusb_init(&context_) != LIBUSB_SUCCESS) context_ = nullptr;
  }
  return context_;
}

std::shared_ptr<LibusbBackend::OpenDevice> LibusbBackend::Find(UsbHandle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = handles_.find(handle);
  return found == handles_.end() ? nullptr : found->second;
}

UsbError LibusbBackend::Enumerate(std::span<const UsbHardwareId> ids, std::vector<UsbDeviceInfo>* devices) {
  devices->clear();
  std::lock_guard<std::mutex> lock(mutex_);
  const DeviceList list(Context());
  if (list.Error() != UsbError::kSuccess) return list.Error();

  struct Found {
    size_t rank;
    UsbDeviceInfo info;
  };
  std::vector<Found> found;
  for (libusb_device* device : list.Devices()) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) continue;
    const UsbHardwareId id{descriptor.idVendor, descriptor.idProduct};
    const auto match = std::find(ids.begin(), ids.end(), id);
    if (match == ids.end()) continue;
    found.push_back({static_cast<size_t>(match - ids.begin()),
                     {libusb_get_bus_number(device), libusb_get_device_address(device), id.vendorId,
                      id.productId}});
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    if (a.rank != b.rank) return a.rank < b.rank;
    if (a.info.bus != b.info.bus) return a.info.bus < b.info.bus;
    return a.info.address < b.info.address;
  });
  for (const Found& item : found) devices->push_back(item.info);
  return UsbError::kSuccess;
}

UsbError LibusbBackend::Open(const UsbDeviceInfo& device, UsbHandle* handle) {
  *handle = 0;
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& [id, open] : handles_) {
    if (open->bus == device.bus && open->address == device.address) {
      *handle = nextHandle_++;
      handles_[*handle] = open;
      return UsbError::kSuccess;
    }
  }
  const DeviceList list(Context());
  if (list.Error() != UsbError::kSuccess) return list.Error();
  UsbError result = UsbError::kNoDevice;
  for (libusb_device* present : list.Devices()) {
    if (libusb_get_bus_number(present) != device.bus || libusb_get_device_address(present) != device.address) {
      continue;
    }
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(present, &descriptor) != LIBUSB_SUCCESS ||
        descriptor.idVendor != device.vendorId || descriptor.idProduct != device.productId) {
      break;  // another device took the address: the one enumerated is gone
    }
    libusb_device_handle* opened = nullptr;
    result = FromLibusb(libusb_open(present, &opened));
    if (result == UsbError::kSuccess) {
      // Let claiming the interface take it from a kernel driver (usblp) and give it back
      // on release; where the system cannot, ClaimInterface detaches by hand.
      libusb_set_auto_detach_kernel_driver(opened, 1);
      auto open = std::make_shared<OpenDevice>();
      open->handle = opened;
      open->bus = device.bus;
      open->address = device.address;
      *handle = nextHandle_++;
      handles_[*handle] = std::move(open);
    }
    break;
  }
  return result;
}

UsbError LibusbBackend::DriverInfo(UsbHandle handle, UsbDriverInfo* info) {
  if (!Find(handle)) return UsbError::kInvalidParam;
  const libusb_version* version = libusb_get_version();
  info->apiVersion = kUsbioApiVersion;
  info->driverVersion = static_cast<std::uint16_t>(version->major << 8 | version->minor);
  info->buildNumber = version->micro;
  return UsbError::kSuccess;
}

UsbError LibusbBackend::ClaimInterface(UsbHandle handle, int configurationIndex, int interfaceNumber,
                                       int alternateSetting) {
  const auto open = Find(handle);
  if (!open) return UsbError::kInvalidParam;
  if (configurationIndex < 0 || configurationIndex > 255) return UsbError::kInvalidParam;
  libusb_device* device = libusb_get_device(open->handle);

  libusb_config_descriptor* config = nullptr;
  int result = libusb_get_config_descriptor(device, static_cast<std::uint8_t>(configurationIndex), &config);
  if (result != LIBUSB_SUCCESS) return FromLibusb(result);
  const int wanted = config->bConfigurationValue;
  libusb_free_config_descriptor(config);
  int current = 0;
  result = libusb_get_configuration(open->handle, &current);
  if (result != LIBUSB_SUCCESS) return FromLibusb(result);
  // Selecting the configuration that is already active would reset the device's
  // endpoints for nothing; only a different one is set.
  if (current != wanted) {
    result = libusb_set_configuration(open->handle, wanted);
    if (result != LIBUSB_SUCCESS) return FromLibusb(result);
  }

  if (std::find(open->claimed.begin(), open->claimed.end(), interfaceNumber) == open->claimed.end()) {
    result = libusb_claim_interface(open->handle, interfaceNumber);
    if (result == LIBUSB_ERROR_BUSY && libusb_kernel_driver_active(open->handle, interfaceNumber) == 1) {
      libusb_detach_kernel_driver(open->handle, interfaceNumber);
      result = libusb_claim_interface(open->handle, interfaceNumber);
    }
    if (result != LIBUSB_SUCCESS) return FromLibusb(result);
    open->claimed.push_back(interfaceNumber);
  }
  return FromLibusb(libusb_set_interface_alt_setting(open->handle, interfaceNumber, alternateSetting));
}

UsbError LibusbBackend::GetConfiguration(UsbHandle handle, UsbConfigInfo* info) {
  const auto open = Find(handle);
  if (!open) return UsbError::kInvalidParam;
  libusb_config_descriptor* config = nullptr;
  const int result = libusb_get_active_config_descriptor(libusb_get_device(open->handle), &config);
  if (result != LIBUSB_SUCCESS) return FromLibusb(result);
  info->interfaces.clear();
  info->endpoints.clear();
  for (int i = 0; i < config->bNumInterfaces; ++i) {
    const libusb_interface& item = config->interface[i];
    if (item.num_altsetting < 1) continue;
    const libusb_interface_descriptor& setting = item.altsetting[0];
    info->interfaces.push_back({setting.bInterfaceNumber, setting.bAlternateSetting, setting.bInterfaceClass,
                                setting.bInterfaceSubClass, setting.bInterfaceProtocol, setting.bNumEndpoints});
    for (int e = 0; e < setting.bNumEndpoints; ++e) {
      const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
      info->endpoints.push_back({endpoint.bEndpointAddress, endpoint.bmAttributes, endpoint.wMaxPacketSize,
                                 endpoint.bInterval, setting.bInterfaceNumber});
    }
  }
  libusb_free_config_descriptor(config);
  return UsbError::kSuccess;
}

UsbError LibusbBackend::ControlIn(UsbHandle handle, std::uint8_t requestType, std::uint8_t request,
                                  std::uint16_t value, std::uint16_t index, std::uint8_t* data,
                                  std::uint16_t length, unsigned timeoutMs, int* transferred) {
  *transferred = 0;
  const auto open = Find(handle);
  if (!open) return UsbError::kInvalidParam;
  const int result = libusb_control_transfer(open->handle, requestType, request, value, index, data, length,
                                             timeoutMs);
  if (result < 0) return FromLibusb(result);
  *transferred = result;
  return UsbError::kSuccess;
}

UsbError LibusbBackend::BulkWrite(UsbHandle handle, std::uint8_t endpoint, const std::uint8_t* data, int length,
                                  unsigned timeoutMs, int* transferred) {
  *transferred = 0;
  const auto open = Find(handle);
  if (!open) return UsbError::kInvalidParam;
  // libusb takes a non-const buffer for both directions; an OUT transfer only reads it.
  const int result = libusb_bulk_transfer(open->handle, endpoint, const_cast<std::uint8_t*>(data), length,
                                          transferred, timeoutMs);
  return FromLibusb(result);
}

UsbError LibusbBackend::ClearHalt(UsbHandle handle, std::uint8_t endpoint) {
  const auto open = Find(handle);
  if (!open) return UsbError::kInvalidParam;
  return FromLibusb(libusb_clear_halt(open->handle, endpoint));
}

UsbError LibusbBackend::ResetDevice(UsbHandle handle) {
  const auto open = Find(handle);
  if (!open) return UsbError::kInvalidParam;
  return FromLibusb(libusb_reset_device(open->handle));
}

void LibusbBackend::Close(UsbHandle handle) {
  std::shared_ptr<OpenDevice> last;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = handles_.find(handle);
    if (found == handles_.end()) return;
    last = std::move(found->second);
    handles_.erase(found);
  }
  // `last` releases the device here when no other handle shares it.
}

namespace {

// A line of the kernel's device tree for a USB device, or empty.
std::string SysfsAttribute(libusb_device* device, const char* name) {
  std::uint8_t ports[8];
  const int depth = libusb_get_port_numbers(device, ports, sizeof ports);
  if (depth <= 0) return {};
  std::string node = std::to_string(libusb_get_bus_number(device)) + "-";
  for (int i = 0; i < depth; ++i) node += (i ? "." : "") + std::to_string(ports[i]);
  const char* root = std::getenv("TERVANE_SYS_DIR");
  std::ifstream in(std::string(root != nullptr && *root != '\0' ? root : "/sys") + "/bus/usb/devices/" + node +
                   "/" + name);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string DeviceString(libusb_device_handle* handle, std::uint8_t index) {
  if (handle == nullptr || index == 0) return {};
  unsigned char text[256] = {};
  const int n = libusb_get_string_descriptor_ascii(handle, index, text, sizeof text - 1);
  return n > 0 ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(n)) : std::string();
}

}  // namespace

UsbError LibusbBackend::Describe(std::vector<UsbDeviceDescription>* devices) {
  devices->clear();
  std::lock_guard<std::mutex> lock(mutex_);
  const DeviceList list(Context());
  if (list.Error() != UsbError::kSuccess) return list.Error();
  for (libusb_device* device : list.Devices()) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) continue;
    UsbDeviceDescription item;
    item.info = {libusb_get_bus_number(device), libusb_get_device_address(device), descriptor.idVendor,
                 descriptor.idProduct};
    item.deviceClass = descriptor.bDeviceClass;
    // libusb checks every length in the descriptors it parses; one it cannot parse
    // leaves the interfaces unknown, not the listing broken.
    libusb_config_descriptor* config = nullptr;
    if (descriptor.bNumConfigurations > 0 && libusb_get_config_descriptor(device, 0, &config) == LIBUSB_SUCCESS) {
      for (int k = 0; k < config->bNumInterfaces; ++k) {
        const libusb_interface& entry = config->interface[k];
        for (int a = 0; a < entry.num_altsetting; ++a) item.interfaceClasses.push_back(entry.altsetting[a].bInterfaceClass);
      }
      libusb_free_config_descriptor(config);
    }
    item.manufacturer = SysfsAttribute(device, "manufacturer");
    item.product = SysfsAttribute(device, "product");
    if ((item.manufacturer.empty() && descriptor.iManufacturer != 0) ||
        (item.product.empty() && descriptor.iProduct != 0)) {
      libusb_device_handle* handle = nullptr;
      if (libusb_open(device, &handle) == LIBUSB_SUCCESS) {
        if (item.manufacturer.empty()) item.manufacturer = DeviceString(handle, descriptor.iManufacturer);
        if (item.product.empty()) item.product = DeviceString(handle, descriptor.iProduct);
        libusb_close(handle);
      }
    }
    devices->push_back(std::move(item));
  }
  return UsbError::kSuccess;
}

UsbBackend& SystemUsbBackend() {
  static LibusbBackend backend;
  return backend;
}

}  // namespace tervane
