// A printer on an emulated USB bus, for running the libusb back-end, the device access
// and the USB link as they run against hardware. The bus is a umockdev test bed: the
// device appears in its sysfs and /dev/bus/usb (so libusb enumerates and opens it as a
// real one), and every usbfs request made on the device node comes to this object,
// which answers it as the printer would: the class IN requests 80h (status) and 81h
// (data) from scripted replies, bulk OUT transfers to endpoint 02h into a record, and
// the kernel's part (the usblp driver holding the interface, claiming, reset).
//
// Requests arrive on umockdev's own thread; the state is guarded by one lock. Plugging
// and unplugging happen on the test's thread; a printer that re-enumerates itself (after
// a reset) or is pulled out mid-transfer asks for that through Pending, which the test
// runs from its clock.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace tervane::testing {

class EmulatedPrinter {
 public:
  // One answer to a class IN request.
  struct Reply {
    enum class Kind {
      kData,       // `bytes` (more than asked for: the transfer overflows)
      kStall,      // the endpoint stalls
      kNoAnswer,   // the request never completes (the host's time-out ends it)
      kGone,       // the printer drops off the bus during the request
    };
    Kind kind = Kind::kData;
    std::vector<std::uint8_t> bytes;
  };

  // What a bulk OUT transfer meets.
  struct BulkRule {
    int acceptLimit = 0;      // > 0: takes at most this many bytes per transfer (a short transfer)
    int stalls = 0;           // this many transfers stall first (-1: every one)
    bool noAnswer = false;    // transfers never complete
    int unplugAfter = -1;     // >= 0: drops off the bus after taking this many more bytes
  };

  // Counters of what the host did at the device.
  struct Counts {
    int opens = 0;          // device node opened
    int claims = 0;
    int releases = 0;
    int detaches = 0;       // the kernel driver taken off the interface
    int reattaches = 0;     // and given back
    int clearHalts = 0;
    int resets = 0;
    int statusRequests = 0;
    int dataRequests = 0;
    int otherControl = 0;
    int discarded = 0;      // transfers cancelled by the host
    int unknownRequests = 0;
  };

  // `description` is the text of a device description (see tests/usb/*.umockdev); its
  // @BUSNUM@, @DEVNUM@ and @BUSDEV@ are filled in when the device is plugged.
  explicit EmulatedPrinter(std::string description);
  ~EmulatedPrinter();
  EmulatedPrinter(const EmulatedPrinter&) = delete;
  EmulatedPrinter& operator=(const EmulatedPrinter&) = delete;

  // Whether the test bed could be created (umockdev's preload library is active).
  static bool Available();
  // Reads a description file of tests/usb.
  static std::string LoadDescription(const std::string& name);

  // Puts the printer on bus 1 at `address`, with the usblp driver bound to interface 0.
  // False (with `error`) when the test bed refuses the description.
  bool Plug(int address, std::string* error = nullptr);
  // Takes the printer off the bus: requests on handles still open fail as a removed
  // device's do.
  void Unplug();
  // Runs what the printer asked for from umockdev's thread: leaving the bus after a
  // transfer cut short, or coming back at the next address after a reset.
  void Pending();
  bool Plugged() const { return plugged_; }
  int Address() const { return address_; }

  // Scripted replies, used in order; when a queue is empty the status request answers
  // eight zero bytes and the data request the idle marker.
  void QueueStatus(Reply reply);
  void QueueData(Reply reply);
  // The status answered when no scripted status is left (eight zero bytes at first).
  void SetStandingStatus(std::vector<std::uint8_t> bytes);
  // Forgets the replies not used yet.
  void ClearReplies();
  void SetBulkRule(const BulkRule& rule);
  // What the printer makes of the bytes it takes: `responder` gets each bulk transfer's
  // bytes and returns the reply they complete (empty while a frame is still partial),
  // which the following data requests hand over in pieces of eight. Runs on umockdev's
  // thread with the printer's lock held.
  using Responder = std::function<std::vector<std::uint8_t>(const std::uint8_t* data, size_t size)>;
  void SetResponder(Responder responder);
  // A reset makes the printer re-enumerate at the next address (the reset request then
  // fails as the kernel's does for a device that came back changed).
  void SetReenumerateOnReset(bool value);
  // Without it the kernel knows no disconnect-and-claim request, as before Linux 3.8:
  // the host detaches the driver and claims in separate steps.
  void SetDisconnectClaim(bool value);

  std::vector<std::uint8_t> Written() const;
  // The length of each bulk transfer the host submitted.
  std::vector<int> Submitted() const;
  Counts Count() const;
  // Transfers submitted and not yet handed back to the host.
  int InFlight() const;
  // Whether usblp holds interface 0 now.
  bool KernelDriverBound() const;

 private:
  struct Urb;
  static int OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, EmulatedPrinter* self);
  static void OnConnected(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, EmulatedPrinter* self);
  bool HandleLocked(UMockdevIoctlClient* client, unsigned long request, UMockdevIoctlData* arg);
  void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  void AnswerControl(Urb& urb);
  void AnswerBulk(Urb& urb);
  std::string DevNode(int address) const;
  std::string SysPath() const;

  std::string description_;
  UMockdevTestbed* testbed_ = nullptr;
  UMockdevIoctlBase* handler_ = nullptr;
  bool plugged_ = false;
  int address_ = 0;
  std::string syspath_;

  mutable std::mutex mutex_;
  bool gone_ = false;           // off the bus for the host, sysfs entry maybe still there
  bool unplugPending_ = false;
  bool replugPending_ = false;
  bool reenumerateOnReset_ = false;
  bool disconnectClaim_ = true;
  bool driverBound_ = true;
  std::vector<unsigned> claimed_;
  std::deque<Reply> status_;
  std::vector<std::uint8_t> standingStatus_ = std::vector<std::uint8_t>(8, 0);
  std::deque<Reply> data_;
  BulkRule bulk_;
  Responder responder_;
  std::vector<std::uint8_t> written_;
  std::vector<int> submitted_;
  std::deque<Urb*> done_;       // completed, waiting to be reaped
  std::vector<Urb*> waiting_;   // never answered, until the host discards them
  Counts counts_;
};

}  // namespace tervane::testing
