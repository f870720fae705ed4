// A scripted USB printer behind the back-end interface, for the device access and link
// tests. Every transfer costs simulated time on the FakeClock (1 ms by default; a
// timed-out one the whole time-out), so the link's waits and limits run in
// milliseconds. The test scripts status answers, data answers, busy periods, faults and
// removal, and reads back what was written and which operations ran.
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "support/fake_clock.h"
#include "core/transport/usb_backend.h"
#include "core/transport/usbio_device.h"

namespace tervane::testing {

class FakeUsbBackend final : public UsbBackend {
 public:
  enum class Op { kEnumerate, kOpen, kDriverInfo, kClaim, kConfig, kStatus, kPoll, kOtherControl, kBulk, kClearHalt, kReset };

  // What a scripted fault does to one call.
  struct Fault {
    UsbError error = UsbError::kIo;
    int transferred = 0;   // bulk: bytes the printer took before the failure
    bool unplug = false;   // the printer disappears with this call
  };

  using Status = std::array<std::uint8_t, 8>;

  explicit FakeUsbBackend(FakeClock& clock, UsbHardwareId id = {0x7e4a, 0x0001}) : clock_(clock), id_(id) {}

  // --- the printer -------------------------------------------------------------------
  bool present = true;                 // plugged in
  bool enumerationWorks = true;        // false: the system has no USB support
  std::uint16_t apiVersion = kUsbioApiVersion;
  bool hasOutEndpoint = true;          // the configuration offers bulk OUT endpoint 0x02
  int controlCostMs = 1;               // simulated time of one control transfer
  int bulkCostMs = 1;                  // simulated time of one bulk transfer
  int bulkAcceptLimit = 0;             // > 0: the printer takes at most this much per transfer
  bool honestOverflow = true;          // false: an oversize answer is reported as success with its size
  Status steadyStatus{};               // the status when none is queued
  std::optional<std::vector<std::uint8_t>> idleAnswer;  // data answer when none is queued (default: the marker)
  std::function<void(Op)> onCall;      // runs at the start of every call, for scripting
  std::vector<UsbDeviceDescription> otherDevices;  // listed by Describe after the printer
  std::string maker = "KELO", product = "ECF";     // the printer's strings

  void Unplug() { present = false; }
  void Plug() {
    present = true;
    ++address_;  // a replugged device comes back at a new address
  }

  void QueueStatus(Status status) { statuses_.push_back(status); }
  // s0 bits 5 and 6 (busy) from now on for `ms` of simulated time.
  void BusyFor(std::int64_t ms) { busyUntil_ = clock_.MonotonicMs() + ms; }
  // One data poll's answer (may be empty or longer than 8 bytes).
  void QueueAnswer(std::vector<std::uint8_t> answer) { answers_.push_back(std::move(answer)); }
  // A reply, handed over 8 bytes per poll.
  void QueueData(const std::vector<std::uint8_t>& bytes) {
    for (size_t at = 0; at < bytes.size(); at += 8) {
      answers_.emplace_back(bytes.begin() + at, bytes.begin() + std::min(bytes.size(), at + 8));
    }
  }
  void Fail(Op op, Fault fault, int times = 1) {
    for (int k = 0; k < times; ++k) faults_[op].push_back(fault);
  }
  void Fail(Op op, UsbError error, int times = 1) { Fail(op, Fault{error}, times); }
  void FailAlways(Op op, UsbError error) { persistent_[op] = error; }
  void StopFailing() {
    faults_.clear();
    persistent_.clear();
  }

  // --- what happened -----------------------------------------------------------------
  std::vector<Op> calls;                               // every call, in order
  std::vector<std::vector<std::uint8_t>> bulkWrites;   // bytes taken by each bulk transfer
  std::vector<unsigned> bulkTimeouts;                  // the wait each bulk transfer was given
  std::vector<std::uint8_t> controlRequestTypes;       // bmRequestType of each control transfer
  int successfulOpens = 0;
  int badHandleCalls = 0;                              // calls on a handle that is not open

  int Count(Op op) const { return static_cast<int>(std::count(calls.begin(), calls.end(), op)); }
  int OpenHandles() const { return static_cast<int>(handles_.size()); }
  std::vector<std::uint8_t> Written() const {
    std::vector<std::uint8_t> all;
    for (const auto& chunk : bulkWrites) all.insert(all.end(), chunk.begin(), chunk.end());
    return all;
  }
  // The sizes of the bulk transfers, each preceded by the number of status requests
  // made since the one before: "S512 S512 S276" for three chunks with one check each.
  std::string Trace() const {
    std::string trace;
    size_t bulk = 0;
    for (Op op : calls) {
      if (op == Op::kStatus) trace += "S";
      if (op == Op::kBulk) trace += std::to_string(bulkWrites.at(bulk++).size()) + " ";
    }
    return trace;
  }
  void ClearRecords() {
    calls.clear();
    bulkWrites.clear();
    bulkTimeouts.clear();
    controlRequestTypes.clear();
  }

  // --- UsbBackend ----------------------------------------------------------------------
  UsbError Enumerate(std::span<const UsbHardwareId> ids, std::vector<UsbDeviceInfo>* devices) override {
    devices->clear();
    if (auto e = Begin(Op::kEnumerate); e) return *e;
    if (!enumerationWorks) return UsbError::kNotSupported;
    if (present && std::find(ids.begin(), ids.end(), id_) != ids.end()) {
      devices->push_back({1, address_, id_.vendorId, id_.productId});
    }
    return UsbError::kSuccess;
  }
  UsbError Open(const UsbDeviceInfo& device, UsbHandle* handle) override {
    *handle = 0;
    if (auto e = Begin(Op::kOpen); e) return *e;
    if (!present || device.address != address_) return UsbError::kNoDevice;
    *handle = nextHandle_++;
    handles_.insert(*handle);
    ++successfulOpens;
    return UsbError::kSuccess;
  }
  UsbError DriverInfo(UsbHandle handle, UsbDriverInfo* info) override {
    if (auto e = Begin(Op::kDriverInfo, handle); e) return *e;
    info->apiVersion = apiVersion;
    return UsbError::kSuccess;
  }
  UsbError ClaimInterface(UsbHandle handle, int, int interfaceNumber, int alternateSetting) override {
    if (auto e = Begin(Op::kClaim, handle); e) return *e;
    return interfaceNumber == 0 && alternateSetting == 0 ? UsbError::kSuccess : UsbError::kNotFound;
  }
  UsbError GetConfiguration(UsbHandle handle, UsbConfigInfo* info) override {
    if (auto e = Begin(Op::kConfig, handle); e) return *e;
    info->interfaces = {UsbInterfaceInfo{0, 0, 0xFF, 0, 0, 2}};
    info->endpoints.clear();
    if (hasOutEndpoint) info->endpoints.push_back({0x02, 0x02, 64, 0, 0});
    info->endpoints.push_back({0x81, 0x02, 64, 0, 0});
    return UsbError::kSuccess;
  }
  UsbError ControlIn(UsbHandle handle, std::uint8_t requestType, std::uint8_t request, std::uint16_t,
                     std::uint16_t, std::uint8_t* data, std::uint16_t length, unsigned timeoutMs,
                     int* transferred) override {
    *transferred = 0;
    const Op op = request == 0x80 ? Op::kStatus : request == 0x81 ? Op::kPoll : Op::kOtherControl;
    controlRequestTypes.push_back(requestType);
    if (auto e = Begin(op, handle, timeoutMs, controlCostMs); e) return *e;
    std::vector<std::uint8_t> answer;
    if (op == Op::kStatus) {
      Status status = steadyStatus;
      if (!statuses_.empty()) {
        status = statuses_.front();
        statuses_.pop_front();
      }
      if (clock_.MonotonicMs() < busyUntil_) status[0] |= 0x60;
      answer.assign(status.begin(), status.end());
    } else if (op == Op::kPoll) {
      if (!answers_.empty()) {
        answer = std::move(answers_.front());
        answers_.pop_front();
      } else if (idleAnswer) {
        answer = *idleAnswer;
      } else {
        answer.assign({'K', 'E', 'L', 'O', 'O', 'L', 'E', 'K'});
      }
    } else {
      return UsbError::kPipe;  // the printer knows no other request
    }
    if (!answer.empty()) std::memcpy(data, answer.data(), std::min<size_t>(answer.size(), length));
    if (answer.size() > length) {
      if (honestOverflow) {
        *transferred = length;
        return UsbError::kOverflow;
      }
      *transferred = static_cast<int>(answer.size());
      return UsbError::kSuccess;
    }
    *transferred = static_cast<int>(answer.size());
    return UsbError::kSuccess;
  }
  UsbError BulkWrite(UsbHandle handle, std::uint8_t endpoint, const std::uint8_t* data, int length,
                     unsigned timeoutMs, int* transferred) override {
    *transferred = 0;
    bulkTimeouts.push_back(timeoutMs);
    Fault fault;
    const bool failed = TakeFault(Op::kBulk, fault);
    if (auto e = Begin(Op::kBulk, handle, timeoutMs, bulkCostMs, failed ? &fault : nullptr); e) {
      const int taken = std::clamp(fault.transferred, 0, length);
      bulkWrites.emplace_back(data, data + (failed ? taken : 0));
      *transferred = failed ? taken : 0;
      return *e;
    }
    if (endpoint != 0x02) {
      bulkWrites.emplace_back();
      return UsbError::kPipe;
    }
    const int taken = bulkAcceptLimit > 0 ? std::min(length, bulkAcceptLimit) : length;
    bulkWrites.emplace_back(data, data + taken);
    *transferred = taken;
    return UsbError::kSuccess;
  }
  UsbError ClearHalt(UsbHandle handle, std::uint8_t) override {
    if (auto e = Begin(Op::kClearHalt, handle, 0, controlCostMs); e) return *e;
    return UsbError::kSuccess;
  }
  UsbError ResetDevice(UsbHandle handle) override {
    if (auto e = Begin(Op::kReset, handle, 0, controlCostMs); e) return *e;
    return UsbError::kSuccess;
  }
  void Close(UsbHandle handle) override {
    if (handles_.erase(handle) == 0) ++badHandleCalls;
  }
  UsbError Describe(std::vector<UsbDeviceDescription>* devices) override {
    devices->clear();
    if (!enumerationWorks) return UsbError::kNotSupported;
    if (present) devices->push_back({{1, address_, id_.vendorId, id_.productId}, 0, {0xFF}, maker, product});
    devices->insert(devices->end(), otherDevices.begin(), otherDevices.end());
    return UsbError::kSuccess;
  }

 private:
  bool TakeFault(Op op, Fault& fault) {
    auto queued = faults_.find(op);
    if (queued != faults_.end() && !queued->second.empty()) {
      fault = queued->second.front();
      queued->second.pop_front();
      return true;
    }
    if (auto always = persistent_.find(op); always != persistent_.end()) {
      fault = Fault{always->second};
      return true;
    }
    return false;
  }

  // Records the call, charges its time and decides whether it fails: scripted fault,
  // printer gone, or a handle that is not open. Returns the error, or nothing when the
  // call goes ahead.
  std::optional<UsbError> Begin(Op op, UsbHandle handle = 0, unsigned timeoutMs = 0, int costMs = 0,
                                const Fault* taken = nullptr) {
    calls.push_back(op);
    if (onCall) onCall(op);
    if (op != Op::kEnumerate && op != Op::kOpen && handles_.count(handle) == 0) {
      ++badHandleCalls;
      return UsbError::kInvalidParam;
    }
    Fault fault;
    const bool failed = taken != nullptr ? (fault = *taken, true) : (op != Op::kBulk && TakeFault(op, fault));
    if (failed) {
      clock_.Advance(fault.error == UsbError::kTimeout ? static_cast<std::int64_t>(timeoutMs) : costMs);
      if (fault.unplug) Unplug();
      return fault.error;
    }
    clock_.Advance(costMs);
    if (!present && op != Op::kEnumerate && op != Op::kOpen) return UsbError::kNoDevice;
    return std::nullopt;
  }

  FakeClock& clock_;
  UsbHardwareId id_;
  std::uint8_t address_ = 4;
  UsbHandle nextHandle_ = 1;
  std::set<UsbHandle> handles_;
  std::deque<Status> statuses_;
  std::deque<std::vector<std::uint8_t>> answers_;
  std::int64_t busyUntil_ = 0;
  std::map<Op, std::deque<Fault>> faults_;
  std::map<Op, UsbError> persistent_;
};

}  // namespace tervane::testing
