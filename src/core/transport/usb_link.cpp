#include "core/transport/usb_link.h"

#include <algorithm>
#include <cstring>

namespace tervane {
namespace {

constexpr std::uint8_t kS0Fault = 0x04;
constexpr std::uint8_t kS0Busy = 0x60;  // both bits
constexpr std::uint8_t kS1PaperOut = 0x40;
constexpr std::uint8_t kS2Fault = 0x20;
constexpr std::uint8_t kS3Busy = 0x04;

constexpr int kWriteNotRespondingLimit = 2;
constexpr int kPollNotRespondingLimit = 3;
constexpr int kOpenAttempts = 2;

}  // namespace

CUsbLink::CUsbLink(UsbBackend& backend, Clock& clock, std::vector<UsbHardwareId> ids)
    : backend_(backend), clock_(clock), ids_(std::move(ids)), device_(backend), pipe_(backend) {
  received_.reserve(kUsbReceiveBufferReserve);
}

CUsbLink::~CUsbLink() { CloseAll(); }

void CUsbLink::Recover() {
  device_.SendRecoveryRequests();
  clock_.SleepMs(kUsbRecoveryPauseMs);
}

bool CUsbLink::EnsureOpen() {
  if (open_) return true;
  lastOpenError_ = UsbError::kSuccess;
  lastOpenDevice_.clear();
  for (int attempt = 1; attempt <= kOpenAttempts; ++attempt) {
    CloseAll();
    deviceSet_ = EnumerateUsbio(backend_, ids_);
    if (!deviceSet_.valid) {
      lastOpenStatus_ = kUsbioNoDeviceClass;
      return false;
    }
    if (static_cast<size_t>(deviceInstance_) < deviceSet_.devices.size()) {
      lastOpenDevice_ = UsbDeviceNode(deviceSet_.devices[static_cast<size_t>(deviceInstance_)]);
    }
    lastOpenStatus_ = device_.OpenInstance(deviceInstance_, deviceSet_);
    if (lastOpenStatus_ == kUsbioNoSuchInstance) {
      // No printer is plugged in: there is nothing to recover, and detection must move
      // on to the serial ports at once.
      CloseAll();
      return false;
    }
    if (lastOpenStatus_ == kUsbioOk) {
      UsbioSetConfiguration block;
      block.configurationIndex = configurationIndex_;
      block.interfaceCount = configureInterface_ ? 1 : 0;
      block.interfaces[0] = {interfaceIndex_, alternateSetting_, maximumTransferSize_};
      const auto bytes = block.Encode();
      lastOpenStatus_ = device_.Request(kUsbioSetConfiguration, bytes.data(),
                                        static_cast<std::uint32_t>(bytes.size()), nullptr, 0);
    }
    if (lastOpenStatus_ == kUsbioOk && !pipeBound_) {
      // A pipe that could not be bound would leave every write failing with "not open"
      // while the link believes itself open; it fails the attempt like a failed query.
      lastOpenStatus_ = pipe_.Bind(deviceInstance_, outEndpoint_, deviceSet_);
      if (lastOpenStatus_ == kUsbioOk) lastOpenStatus_ = device_.QueryConfigurationInfo();
      if (lastOpenStatus_ == kUsbioOk) {
        pipeBound_ = true;
      } else {
        pipe_.Unbind();
        pipe_.CloseHandles();
      }
    }
    if (lastOpenStatus_ == kUsbioOk) {
      open_ = true;
      removed_ = false;
      lastOpenError_ = UsbError::kSuccess;
      return true;
    }
    lastOpenError_ = device_.LastBackendError() != UsbError::kSuccess ? device_.LastBackendError()
                                                                        : pipe_.LastBackendError();
    // A device this user may not open, or whose interface another program holds, is
    // not ours to reset: no recovery requests, no second attempt.
    if (lastOpenError_ == UsbError::kAccess || lastOpenError_ == UsbError::kBusy) break;
    if (attempt == kOpenAttempts) break;
    Recover();
  }
  CloseAll();
  return false;
}

void CUsbLink::CloseAll() {
  device_.CloseHandles();
  deviceSet_ = UsbioDeviceSet{};
  if (pipe_.IsOpen()) {
    pipe_.Unbind();
    pipe_.CloseHandles();
  }
  pipeBound_ = false;
  open_ = false;
}

bool CUsbLink::ReadStatus(std::uint8_t status[kUsbAnswerSize]) {
  std::uint8_t answer[kUsbAnswerSize] = {};
  std::uint32_t returned = 0;
  const std::uint32_t result = device_.ClassIn(kUsbStatusRequest, answer, kUsbAnswerSize, &returned);
  std::memset(status, 0, kUsbAnswerSize);
  if (result == kUsbioOk) {
    std::memcpy(status, answer, std::min<std::uint32_t>(returned, kUsbAnswerSize));
    return true;
  }
  if (result == kUsbioNotOpen) {
    EnsureOpen();
  } else if (result == kUsbioDeviceRemoved) {
    removed_ = true;
    CloseAll();
    clock_.SleepMs(kUsbRemovedPauseMs);
  }
  return false;
}

bool CUsbLink::IsBusy() {
  std::uint8_t s[kUsbAnswerSize];
  if (!ReadStatus(s)) return false;
  if ((s[0] & kS0Fault) != 0 || (s[2] & kS2Fault) != 0 || (s[1] & kS1PaperOut) != 0) {
    CloseAll();
    return false;
  }
  if ((s[0] & kS0Busy) == kS0Busy) return true;
  if ((s[3] & kS3Busy) != 0) {
    clock_.SleepMs(kUsbBusyCheckPauseMs);
    return true;
  }
  return false;
}

bool CUsbLink::WriteChunk(const std::uint8_t* data, int length, int* written) {
  int total = 0;
  if (written) *written = 0;
  if (data == nullptr || length < 0 || length > kUsbChunkSize) return false;

  const std::int64_t busySince = clock_.MonotonicMs();
  while (IsBusy()) {
    if (Elapsed(busySince) >= kUsbBusyLimitMs) return false;
    clock_.SleepMs(kUsbBusyPollMs);
  }
  if (!open_ && !EnsureOpen()) return false;

  const std::int64_t transferSince = clock_.MonotonicMs();
  int notResponding = 0;
  for (;;) {
    const std::int64_t elapsed = Elapsed(transferSince);
    if (elapsed >= kUsbTransferLimitMs) break;
    // The wait for one transfer is bounded by what is left of the chunk's time, so that
    // a printer that never takes the data cannot hold the program.
    UsbioTransfer transfer{data + total, length - total};
    const std::uint32_t status = pipe_.Write(transfer, static_cast<unsigned>(kUsbTransferLimitMs - elapsed));
    total += transfer.transferred;
    if (written) *written = total;
    if (status == kUsbioOk) {
      if (total >= length) return true;
      continue;
    }
    if (status == kUsbioDeviceRemoved) {
      removed_ = true;
      CloseAll();
      if (!EnsureOpen()) return false;
    } else if (status == kUsbioNotOpen) {
      if (!EnsureOpen()) return false;
    } else if (status == kUsbioNotResponding) {
      if (++notResponding >= kWriteNotRespondingLimit) return false;
      Recover();
    } else {
      return false;
    }
  }
  return false;
}

bool CUsbLink::PollReceive(std::uint8_t* buffer, int length, int* delivered, int deadlineMs) {
  if (delivered) *delivered = 0;
  if (buffer == nullptr || length < 0) return false;
  const std::int64_t since = clock_.MonotonicMs();
  int idleAnswers = 0;
  int notResponding = 0;
  bool result = true;

  while (received_.size() < static_cast<size_t>(length)) {
    if (Elapsed(since) > deadlineMs || idleAnswers > idleAnswerLimit_) {
      result = false;
      length = static_cast<int>(received_.size());
      break;
    }
    std::uint8_t answer[kUsbAnswerSize];
    std::uint32_t returned = 0;
    const std::uint32_t status = device_.ClassIn(kUsbDataRequest, answer, kUsbAnswerSize, &returned);
    if (status == kUsbioOk) {
      if (returned == kUsbAnswerSize && std::memcmp(answer, kUsbIdleMarker, kUsbAnswerSize) == 0) {
        ++idleAnswers;
        clock_.SleepMs(kUsbIdlePauseMs);
      } else {
        idleAnswers = 0;
        received_.insert(received_.end(), answer, answer + returned);
        // An empty answer carries nothing either; pausing keeps a printer that keeps
        // answering with nothing from being polled back to back.
        if (returned == 0) clock_.SleepMs(kUsbIdlePauseMs);
      }
    } else if (status == kUsbioNotResponding) {
      if (++notResponding >= kPollNotRespondingLimit) return false;
      Recover();
    } else if (status == kUsbioDataOverrun) {
      // A printer answering more than a poll can take is polled again, but paced like
      // an idle one: a printer stuck in that state must not keep the processor busy.
      clock_.SleepMs(kUsbIdlePauseMs);
    } else if (status == kUsbioTimeout) {
      // The request's own time-out has already been waited; poll again.
    } else if (status == kUsbioDeviceRemoved) {
      removed_ = true;
      CloseAll();
      if (!EnsureOpen()) return false;
    } else if (status == kUsbioNotOpen) {
      if (!EnsureOpen()) return false;
    } else {
      return false;
    }
  }

  std::copy_n(received_.begin(), length, buffer);
  received_.erase(received_.begin(), received_.begin() + length);
  if (delivered) *delivered = length;
  return result;
}

void CUsbLink::Purge() { received_.clear(); }

void CUsbLink::Unread(const std::uint8_t* data, int length) {
  if (data == nullptr || length <= 0) return;
  received_.insert(received_.begin(), data, data + length);
}

CUsbLink& ProcessUsbLink(const std::string& workDir) {
  static CUsbLink link(SystemUsbBackend(), SystemClock(), ConfiguredUsbIds(workDir));
  return link;
}

}  // namespace tervane
