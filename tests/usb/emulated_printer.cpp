#include "usb/emulated_printer.h"

#include <link.h>
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tervane::testing {
namespace {

constexpr std::uint8_t kClassInDevice = 0xA0;  // device-to-host, class, device
constexpr std::uint8_t kStatusRequest = 0x80;
constexpr std::uint8_t kDataRequest = 0x81;
constexpr std::uint8_t kOutEndpoint = 0x02;
constexpr size_t kSetupSize = 8;
constexpr char kKernelDriver[] = "usblp";
constexpr char kMarker[] = "KELOOLEK";

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// The pointee of the ioctl argument (the argument itself is the client's pointer).
UMockdevIoctlData* Pointee(UMockdevIoctlData* arg, size_t size) {
  return umockdev_ioctl_data_resolve(arg, 0, size, nullptr);
}

}  // namespace

struct EmulatedPrinter::Urb {
  UMockdevIoctlData* urb = nullptr;     // the client's usbdevfs_urb
  UMockdevIoctlData* buffer = nullptr;  // and its buffer
  int status = 0;
  int actual = 0;

  ~Urb() {
    if (buffer != nullptr) g_object_unref(buffer);
    if (urb != nullptr) g_object_unref(urb);
  }
  usbdevfs_urb* Fields() { return reinterpret_cast<usbdevfs_urb*>(urb->data); }
  std::uint8_t* Bytes() { return buffer != nullptr ? buffer->data : nullptr; }
  int Length() { return buffer != nullptr ? buffer->data_len : 0; }
};

EmulatedPrinter::EmulatedPrinter(std::string description) : description_(std::move(description)) {
  if (!Available()) return;
  testbed_ = umockdev_testbed_new();
  handler_ = umockdev_ioctl_base_new();
  g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&EmulatedPrinter::OnIoctl), this);
  g_signal_connect(handler_, "client-connected", G_CALLBACK(&EmulatedPrinter::OnConnected), this);
}

EmulatedPrinter::~EmulatedPrinter() {
  if (testbed_ != nullptr && plugged_) Unplug();
  if (handler_ != nullptr) g_object_unref(handler_);
  if (testbed_ != nullptr) g_object_unref(testbed_);
  for (Urb* urb : done_) delete urb;
  for (Urb* urb : waiting_) delete urb;
}

bool EmulatedPrinter::Available() {
  // The preload library is what redirects sysfs, /dev and the usbfs requests into the
  // test bed; without it in the process libusb would see the real bus.
  int found = 0;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, "libumockdev-preload") != nullptr) {
          *static_cast<int*>(data) = 1;
        }
        return 0;
      },
      &found);
  return found != 0;
}

std::string EmulatedPrinter::LoadDescription(const std::string& name) {
  std::ifstream in(std::string(TERVANE_REPO_DIR) + "/tests/usb/" + name);
  std::string text;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] == '#') continue;
    text += line + "\n";
  }
  return text;
}

std::string EmulatedPrinter::DevNode(int address) const {
  char node[32];
  std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", address);
  return node;
}

bool EmulatedPrinter::Plug(int address, std::string* error) {
  if (testbed_ == nullptr) {
    if (error) *error = "no test bed";
    return false;
  }
  if (plugged_) Unplug();
  char devnum[8], busdev[16];
  std::snprintf(devnum, sizeof devnum, "%03d", address);
  std::snprintf(busdev, sizeof busdev, "001/%03d", address);
  std::string text = description_;
  ReplaceAll(text, "@BUSNUM@", "001");
  ReplaceAll(text, "@DEVNUM@", devnum);
  ReplaceAll(text, "@BUSDEV@", busdev);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    gone_ = false;
    unplugPending_ = false;
    replugPending_ = false;
    driverBound_ = true;
    claimed_.clear();
    address_ = address;
  }
  GError* failure = nullptr;
  // The handler goes on the node before the device appears, so that a host reacting to
  // the arrival finds it answering.
  if (!umockdev_testbed_attach_ioctl(testbed_, DevNode(address).c_str(), handler_, &failure)) {
    if (error) *error = failure != nullptr ? failure->message : "attach failed";
    g_clear_error(&failure);
    return false;
  }
  if (!umockdev_testbed_add_from_string(testbed_, text.c_str(), &failure)) {
    if (error) *error = failure != nullptr ? failure->message : "add failed";
    g_clear_error(&failure);
    umockdev_testbed_detach_ioctl(testbed_, DevNode(address).c_str(), nullptr);
    return false;
  }
  const size_t start = text.find("P: ");
  syspath_ = "/sys" + text.substr(start + 3, text.find('\n', start) - start - 3);
  plugged_ = true;
  return true;
}

void EmulatedPrinter::Unplug() {
  if (!plugged_) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    gone_ = true;
    unplugPending_ = false;
  }
  umockdev_testbed_uevent(testbed_, syspath_.c_str(), "remove");
  umockdev_testbed_remove_device(testbed_, syspath_.c_str());
  umockdev_testbed_detach_ioctl(testbed_, DevNode(address_).c_str(), nullptr);
  plugged_ = false;
}

void EmulatedPrinter::Pending() {
  bool unplug = false, replug = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    unplug = unplugPending_;
    replug = replugPending_;
    unplugPending_ = replugPending_ = false;
  }
  if (replug) {
    const int next = address_ + 1;
    Unplug();
    Plug(next);
  } else if (unplug) {
    Unplug();
  }
}

void EmulatedPrinter::QueueStatus(Reply reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  status_.push_back(std::move(reply));
}

void EmulatedPrinter::QueueData(Reply reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  data_.push_back(std::move(reply));
}

void EmulatedPrinter::SetStandingStatus(std::vector<std::uint8_t> bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  standingStatus_ = std::move(bytes);
}

void EmulatedPrinter::ClearReplies() {
  std::lock_guard<std::mutex> lock(mutex_);
  status_.clear();
  data_.clear();
}

void EmulatedPrinter::SetBulkRule(const BulkRule& rule) {
  std::lock_guard<std::mutex> lock(mutex_);
  bulk_ = rule;
}

void EmulatedPrinter::SetResponder(Responder responder) {
  std::lock_guard<std::mutex> lock(mutex_);
  responder_ = std::move(responder);
}

void EmulatedPrinter::SetDisconnectClaim(bool value) {
  std::lock_guard<std::mutex> lock(mutex_);
  disconnectClaim_ = value;
}

void EmulatedPrinter::SetReenumerateOnReset(bool value) {
  std::lock_guard<std::mutex> lock(mutex_);
  reenumerateOnReset_ = value;
}

std::vector<std::uint8_t> EmulatedPrinter::Written() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return written_;
}

std::vector<int> EmulatedPrinter::Submitted() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return submitted_;
}

EmulatedPrinter::Counts EmulatedPrinter::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return counts_;
}

int EmulatedPrinter::InFlight() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(done_.size() + waiting_.size());
}

bool EmulatedPrinter::KernelDriverBound() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return driverBound_;
}

void EmulatedPrinter::OnConnected(UMockdevIoctlBase*, UMockdevIoctlClient*, EmulatedPrinter* self) {
  std::lock_guard<std::mutex> lock(self->mutex_);
  ++self->counts_.opens;
}

int EmulatedPrinter::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, EmulatedPrinter* self) {
  std::lock_guard<std::mutex> lock(self->mutex_);
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  if (!self->HandleLocked(client, request, arg)) {
    ++self->counts_.unknownRequests;
    umockdev_ioctl_client_complete(client, -1, ENOTTY);
  }
  return TRUE;
}

bool EmulatedPrinter::HandleLocked(UMockdevIoctlClient* client, unsigned long request, UMockdevIoctlData* arg) {
  // Handles left open on an earlier appearance of the device see it gone.
  const bool stale = DevNode(address_) != umockdev_ioctl_client_get_devnode(client);
  if (request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY) {
    Reap(client, arg);
    return true;
  }
  if (request == USBDEVFS_DISCARDURB) {
    const auto found = std::find_if(waiting_.begin(), waiting_.end(), [&](Urb* urb) {
      return urb->urb->client_addr == *reinterpret_cast<gulong*>(arg->data);
    });
    if (found == waiting_.end()) {
      umockdev_ioctl_client_complete(client, -1, EINVAL);
      return true;
    }
    (*found)->status = -ENOENT;
    done_.push_back(*found);
    waiting_.erase(found);
    ++counts_.discarded;
    umockdev_ioctl_client_complete(client, 0, 0);
    return true;
  }
  if (gone_ || stale) {
    umockdev_ioctl_client_complete(client, -1, ENODEV);
    return true;
  }
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData* caps = Pointee(arg, sizeof(std::uint32_t));
      *reinterpret_cast<std::uint32_t*>(caps->data) = USBDEVFS_CAP_BULK_CONTINUATION |
                                                      USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                                      USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
      umockdev_ioctl_client_complete(client, 0, 0);
      g_object_unref(caps);
      return true;
    }
    case USBDEVFS_DISCONNECT_CLAIM: {
      if (!disconnectClaim_) return false;
      UMockdevIoctlData* block = Pointee(arg, sizeof(usbdevfs_disconnect_claim));
      const auto* claim = reinterpret_cast<const usbdevfs_disconnect_claim*>(block->data);
      int error = 0;
      if (claim->interface != 0) {
        error = EINVAL;
      } else if (std::find(claimed_.begin(), claimed_.end(), 0u) != claimed_.end()) {
        error = EBUSY;
      } else {
        const bool keep = (claim->flags & USBDEVFS_DISCONNECT_CLAIM_EXCEPT_DRIVER) != 0 &&
                          std::strncmp(claim->driver, kKernelDriver, sizeof claim->driver) == 0;
        if (driverBound_ && !keep) {
          driverBound_ = false;
          ++counts_.detaches;
        }
        if (driverBound_) {
          error = EBUSY;
        } else {
          claimed_.push_back(0);
          ++counts_.claims;
        }
      }
      umockdev_ioctl_client_complete(client, error != 0 ? -1 : 0, error);
      g_object_unref(block);
      return true;
    }
    case USBDEVFS_CLAIMINTERFACE: {
      UMockdevIoctlData* number = Pointee(arg, sizeof(unsigned));
      const unsigned interface = *reinterpret_cast<const unsigned*>(number->data);
      int error = 0;
      if (interface != 0) {
        error = EINVAL;
      } else if (driverBound_ || std::find(claimed_.begin(), claimed_.end(), interface) != claimed_.end()) {
        error = EBUSY;
      } else {
        claimed_.push_back(interface);
        ++counts_.claims;
      }
      umockdev_ioctl_client_complete(client, error != 0 ? -1 : 0, error);
      g_object_unref(number);
      return true;
    }
    case USBDEVFS_RELEASEINTERFACE: {
      UMockdevIoctlData* number = Pointee(arg, sizeof(unsigned));
      const unsigned interface = *reinterpret_cast<const unsigned*>(number->data);
      const auto found = std::find(claimed_.begin(), claimed_.end(), interface);
      if (found == claimed_.end()) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
      } else {
        claimed_.erase(found);
        ++counts_.releases;
        umockdev_ioctl_client_complete(client, 0, 0);
      }
      g_object_unref(number);
      return true;
    }
    case USBDEVFS_GETDRIVER: {
      UMockdevIoctlData* block = Pointee(arg, sizeof(usbdevfs_getdriver));
      auto* driver = reinterpret_cast<usbdevfs_getdriver*>(block->data);
      const char* name = driverBound_ ? kKernelDriver : claimed_.empty() ? nullptr : "usbfs";
      if (driver->interface != 0 || name == nullptr) {
        umockdev_ioctl_client_complete(client, -1, ENODATA);
      } else {
        std::snprintf(driver->driver, sizeof driver->driver, "%s", name);
        umockdev_ioctl_client_complete(client, 0, 0);
      }
      g_object_unref(block);
      return true;
    }
    case USBDEVFS_IOCTL: {
      // Detaching and re-attaching the kernel driver.
      UMockdevIoctlData* block = Pointee(arg, sizeof(usbdevfs_ioctl));
      const auto* command = reinterpret_cast<const usbdevfs_ioctl*>(block->data);
      int error = 0;
      if (command->ifno != 0) {
        error = EINVAL;
      } else if (command->ioctl_code == static_cast<int>(USBDEVFS_DISCONNECT)) {
        if (!driverBound_) {
          error = ENODATA;
        } else {
          driverBound_ = false;
          ++counts_.detaches;
        }
      } else if (command->ioctl_code == static_cast<int>(USBDEVFS_CONNECT)) {
        if (!claimed_.empty()) {
          error = EBUSY;
        } else if (!driverBound_) {
          driverBound_ = true;
          ++counts_.reattaches;
        }
      } else {
        error = ENOTTY;
      }
      umockdev_ioctl_client_complete(client, error != 0 ? -1 : 0, error);
      g_object_unref(block);
      return true;
    }
    case USBDEVFS_SETINTERFACE: {
      UMockdevIoctlData* block = Pointee(arg, sizeof(usbdevfs_setinterface));
      const auto* setting = reinterpret_cast<const usbdevfs_setinterface*>(block->data);
      const bool ok = setting->interface == 0 && setting->altsetting == 0;
      umockdev_ioctl_client_complete(client, ok ? 0 : -1, ok ? 0 : EINVAL);
      g_object_unref(block);
      return true;
    }
    case USBDEVFS_SETCONFIGURATION: {
      UMockdevIoctlData* value = Pointee(arg, sizeof(unsigned));
      const bool ok = *reinterpret_cast<const unsigned*>(value->data) == 1;
      umockdev_ioctl_client_complete(client, ok ? 0 : -1, ok ? 0 : EINVAL);
      g_object_unref(value);
      return true;
    }
    case USBDEVFS_CLEAR_HALT:
      ++counts_.clearHalts;
      umockdev_ioctl_client_complete(client, 0, 0);
      return true;
    case USBDEVFS_RESET:
      ++counts_.resets;
      if (reenumerateOnReset_) {
        // The printer comes back as a new device: the kernel reports this handle's
        // device gone, and the new one appears at the next address.
        gone_ = true;
        replugPending_ = true;
        umockdev_ioctl_client_complete(client, -1, ENODEV);
      } else {
        umockdev_ioctl_client_complete(client, 0, 0);
      }
      return true;
    case USBDEVFS_SUBMITURB:
      Submit(client, arg);
      return true;
    default:
      return false;
  }
}

void EmulatedPrinter::Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  auto* urb = new Urb;
  urb->urb = Pointee(arg, sizeof(usbdevfs_urb));
  const usbdevfs_urb* fields = urb->Fields();
  if (fields->buffer_length > 0) {
    urb->buffer = umockdev_ioctl_data_resolve(urb->urb, offsetof(usbdevfs_urb, buffer),
                                              static_cast<gsize>(fields->buffer_length), nullptr);
  }
  if (fields->type == USBDEVFS_URB_TYPE_CONTROL && urb->Length() >= static_cast<int>(kSetupSize)) {
    AnswerControl(*urb);
  } else if (fields->type == USBDEVFS_URB_TYPE_BULK && fields->endpoint == kOutEndpoint) {
    submitted_.push_back(urb->Length());
    AnswerBulk(*urb);
  } else {
    delete urb;
    umockdev_ioctl_client_complete(client, -1, ENOENT);
    return;
  }
  umockdev_ioctl_client_complete(client, 0, 0);
}

void EmulatedPrinter::AnswerControl(Urb& urb) {
  std::uint8_t* setup = urb.Bytes();
  const int asked = setup[6] | setup[7] << 8;
  const int room = std::min(asked, urb.Length() - static_cast<int>(kSetupSize));
  Reply reply;
  if (setup[0] == kClassInDevice && setup[1] == kStatusRequest) {
    ++counts_.statusRequests;
    reply.bytes = standingStatus_;
    if (!status_.empty()) {
      reply = std::move(status_.front());
      status_.pop_front();
    }
  } else if (setup[0] == kClassInDevice && setup[1] == kDataRequest) {
    ++counts_.dataRequests;
    reply.bytes.assign(kMarker, kMarker + 8);
    if (!data_.empty()) {
      reply = std::move(data_.front());
      data_.pop_front();
    }
  } else {
    // The printer has no other request; standard ones are not asked by this host.
    ++counts_.otherControl;
    reply.kind = Reply::Kind::kStall;
  }
  switch (reply.kind) {
    case Reply::Kind::kData: {
      // A device answering more than the data stage holds babbles: the host controller
      // ends the transfer with an overflow after filling the buffer.
      const int count = std::min(static_cast<int>(reply.bytes.size()), room);
      std::memcpy(setup + kSetupSize, reply.bytes.data(), static_cast<size_t>(count));
      urb.actual = count;
      urb.status = static_cast<int>(reply.bytes.size()) > room ? -EOVERFLOW : 0;
      done_.push_back(&urb);
      return;
    }
    case Reply::Kind::kStall:
      urb.status = -EPIPE;
      done_.push_back(&urb);
      return;
    case Reply::Kind::kNoAnswer:
      waiting_.push_back(&urb);
      return;
    case Reply::Kind::kGone:
      urb.status = -ESHUTDOWN;
      gone_ = true;
      unplugPending_ = true;
      done_.push_back(&urb);
      return;
  }
}

void EmulatedPrinter::AnswerBulk(Urb& urb) {
  if (bulk_.noAnswer) {
    waiting_.push_back(&urb);
    return;
  }
  if (bulk_.stalls != 0) {
    if (bulk_.stalls > 0) --bulk_.stalls;
    urb.status = -EPIPE;
    done_.push_back(&urb);
    return;
  }
  int count = urb.Length();
  if (bulk_.acceptLimit > 0) count = std::min(count, bulk_.acceptLimit);
  if (bulk_.unplugAfter >= 0 && count >= bulk_.unplugAfter) {
    // Pulled out while the transfer ran: what went before arrived, the rest did not.
    count = bulk_.unplugAfter;
    bulk_.unplugAfter = -1;
    urb.status = -ESHUTDOWN;
    gone_ = true;
    unplugPending_ = true;
  } else if (bulk_.unplugAfter >= 0) {
    bulk_.unplugAfter -= count;
  }
  written_.insert(written_.end(), urb.Bytes(), urb.Bytes() + count);
  urb.actual = count;
  if (responder_ && count > 0) {
    const std::vector<std::uint8_t> reply = responder_(urb.Bytes(), static_cast<size_t>(count));
    for (size_t at = 0; at < reply.size(); at += 8) {
      const size_t end = std::min(reply.size(), at + 8);
      data_.push_back({Reply::Kind::kData, {reply.begin() + static_cast<std::ptrdiff_t>(at),
                                            reply.begin() + static_cast<std::ptrdiff_t>(end)}});
    }
  }
  done_.push_back(&urb);
}

void EmulatedPrinter::Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  if (done_.empty()) {
    umockdev_ioctl_client_complete(client, -1, gone_ ? ENODEV : EAGAIN);
    return;
  }
  Urb* urb = done_.front();
  done_.pop_front();
  urb->Fields()->status = urb->status;
  urb->Fields()->actual_length = urb->actual;
  UMockdevIoctlData* slot = Pointee(arg, sizeof(void*));
  umockdev_ioctl_data_set_ptr(slot, 0, urb->urb);
  umockdev_ioctl_client_complete(client, 0, 0);
  g_object_unref(slot);
  delete urb;
}

}  // namespace tervane::testing
