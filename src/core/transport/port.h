// The abstract port through which every frame and reply byte passes. Four kinds: a serial
// device, the USB link, a TCP bridge and a pair of exchange files. Every operation
// reports failure by returning false and keeps no error text; nothing throws.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/common/settings.h"
#include "core/common/clock.h"

namespace tervane {

class CUsbLink;

// Why the last Open of a port failed, so that the failure can be told to the user with
// its cause instead of showing up later as a silent printer.
enum class OpenFailureKind {
  kNone,          // the last Open succeeded, or none was made
  kPermission,    // the user may not open the device (EACCES, EPERM)
  kBusy,          // another open holds the device (its lock, or the kernel's exclusive flag)
  kMissing,       // no such device, or it went away (ENOENT, ENODEV, ENXIO)
  kNotTerminal,   // the path is not a serial line
  kLineSettings,  // the device refused the line settings (speed, framing)
  kOther,         // any other cause; `error` says which
};

struct PortOpenFailure {
  OpenFailureKind kind = OpenFailureKind::kNone;
  int error = 0;       // the system's error number, 0 when there is none
  std::string device;  // the device or file that was tried
};

// How a port learned that its link is gone for good, so that the exchange stops waiting
// for a reply that cannot come.
enum class LinkLossKind {
  kNone,           // the link is up, or the kind cannot tell
  kHangup,         // the serial line hung up, or the other side of a pseudo-terminal closed
  kPeerClosed,     // the TCP peer ended the connection
  kPeerReset,      // the TCP peer reset the connection
  kRefused,        // the TCP peer refused the connection
  kDeviceRemoved,  // the USB printer was unplugged
};

struct PortLinkLoss {
  LinkLossKind kind = LinkLossKind::kNone;
  int error = 0;       // the system's error number, 0 when there is none
  std::string device;  // the device or address of the link
};

class CPort {
 public:
  virtual ~CPort() = default;

  // Makes the port usable: a baud rate for the serial kind, 0 for the exchange files,
  // ignored by the others.
  virtual bool Open(int baudRate) = 0;
  // Releases what Open took. Safe to call more than once.
  virtual void Close() = 0;
  // Writes a whole frame on a stream kind; `param` is kind-specific (the TCP kind sends it
  // as the 16-bit expected reply length).
  virtual bool Send(const std::uint8_t* data, int length, int param) = 0;
  // Reads exactly `length` bytes on a stream kind, waiting at most about timeoutMs (the
  // serial kind applies its own per-byte time-outs). False on time-out or a dead link.
  virtual bool Receive(std::uint8_t* buffer, int length, int timeoutMs) = 0;
  // Throws away anything pending in both directions.
  virtual bool Purge() = 0;
  // Exchange-file kind: appends the bytes to the request file.
  virtual bool WriteRequest(const std::uint8_t* data, int length, std::uint32_t* written) = 0;
  // Exchange-file kind: reads reply bytes and empties the reply file.
  virtual bool ReadReply(std::uint8_t* buffer, int length, std::uint32_t* read) = 0;
  // Exchange-file kind: the number of reply bytes waiting; 0 for the other kinds.
  virtual int PendingReplySize() { return 0; }

  // The number of received bytes waiting to be read, as far as the kind can tell
  // without waiting; 0 when it cannot tell or nothing waits.
  virtual int PendingInput() { return 0; }

  // The device name the port was created with (serial kind); empty for the others.
  const std::string& Name() const { return name_; }

  // Why the last Open failed; kind kNone after a successful Open or before any. Kinds
  // that keep no reason leave it kNone even when Open fails.
  const PortOpenFailure& OpenFailure() const { return openFailure_; }

  // True once the port has seen that its link is gone (a hang-up, a closed or refused
  // connection, a device removed): every later read fails at once, and nothing will
  // arrive until the port is opened again. A silent link that is still up is not lost.
  bool LinkLost() const { return linkLoss_.kind != LinkLossKind::kNone; }
  const PortLinkLoss& LinkLoss() const { return linkLoss_; }

 protected:
  CPort() = default;
  explicit CPort(std::string name) : name_(std::move(name)) {}

  void SetOpenFailure(OpenFailureKind kind, int error, std::string device) {
    openFailure_ = PortOpenFailure{kind, error, std::move(device)};
  }
  void ClearOpenFailure() { openFailure_ = PortOpenFailure{}; }
  // The first loss seen is kept until ClearLinkLoss (a new Open).
  void SetLinkLost(LinkLossKind kind, int error, std::string device) {
    if (linkLoss_.kind == LinkLossKind::kNone) linkLoss_ = PortLinkLoss{kind, error, std::move(device)};
  }
  void ClearLinkLoss() { linkLoss_ = PortLinkLoss{}; }

 private:
  std::string name_;
  PortOpenFailure openFailure_;
  PortLinkLoss linkLoss_;
};

// What the port kinds need from the program: the settings (COM map, printer address,
// exchange folder) and the timing seam. `usbLink` is the link the "USB" kind uses; null
// means the process-wide one.
struct PortContext {
  const ProgramSettings* settings = nullptr;
  Clock* clock = nullptr;
  CUsbLink* usbLink = nullptr;
};

// Chooses the kind by exact, case-sensitive comparison of the whole name: "USB", "FILE"
// (creating it deletes the request file), "SOCKET", else a serial device of that name.
// Never returns null.
std::unique_ptr<CPort> CreatePort(const std::string& name, const PortContext& context);

// A factory seam so the exchange and detection can be run against fake ports in tests.
class PortFactory {
 public:
  virtual ~PortFactory() = default;
  virtual std::unique_ptr<CPort> Create(const std::string& name) = 0;
};

}  // namespace tervane
