// Feeds any byte sequence as the printer's reply to one exchange, through a fake port that
// hands the bytes out one at a time (stream kinds) or in blocks (exchange files) and then
// stays silent, with a clock that never really waits. Every reply must end in a result
// code with the port closed: no hang, no read past the bytes.
//
// Input: byte 0 flags (bits 0-1 the reply shape: fixed, open ended by 03h, open ended by
// 00h, GPRS; bit 2 extended reply; bit 3 the exchange files; bit 4 a port that does not
// open; bits 5-7 the block size on the exchange files), byte 1 the declared reply size
// (0..63), then the reply.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/protocol/command_exchange.h"

namespace {

class InstantClock final : public tervane::Clock {
 public:
  std::int64_t MonotonicMs() override { return now_; }
  void SleepMs(int milliseconds) override { now_ += std::max(milliseconds, 0); }
  tervane::CivilTime LocalNow() override { return tervane::CivilTime{2025, 1, 2, 3, 4, 5}; }
  tervane::CivilTime UtcNow() override { return LocalNow(); }

 private:
  std::int64_t now_ = 0;
};

class ReplyPort final : public tervane::CPort {
 public:
  ReplyPort(std::vector<std::uint8_t> reply, bool files, bool opens, size_t block, InstantClock& clock, bool& closed)
      : reply_(std::move(reply)), files_(files), opens_(opens), block_(block), clock_(clock), closed_(closed) {}
  bool Open(int) override {
    if (!opens_) SetOpenFailure(tervane::OpenFailureKind::kPermission, 13, "/dev/ttyFUZZ");
    return opens_;
  }
  void Close() override { closed_ = true; }
  bool Send(const std::uint8_t*, int, int) override { return !files_; }
  bool Receive(std::uint8_t* buffer, int length, int timeoutMs) override {
    if (files_) return false;
    for (int i = 0; i < length; ++i) {
      if (at_ >= reply_.size()) {
        clock_.SleepMs(timeoutMs);  // a silent line waits its time-out
        return false;
      }
      buffer[i] = reply_[at_++];
    }
    return true;
  }
  bool Purge() override { return true; }
  bool WriteRequest(const std::uint8_t*, int length, std::uint32_t* written) override {
    *written = static_cast<std::uint32_t>(length);
    written_ = true;
    return files_;
  }
  bool ReadReply(std::uint8_t* buffer, int length, std::uint32_t* read) override {
    *read = 0;
    if (!files_ || !written_) return files_;
    const size_t n = std::min({Pending(), static_cast<size_t>(std::max(length, 0)), block_});
    std::copy_n(reply_.begin() + static_cast<std::ptrdiff_t>(at_), n, buffer);
    at_ += n;
    *read = static_cast<std::uint32_t>(n);
    return true;
  }
  int PendingReplySize() override { return files_ && written_ ? static_cast<int>(Pending()) : 0; }

 private:
  size_t Pending() const { return reply_.size() - at_; }

  std::vector<std::uint8_t> reply_;
  size_t at_ = 0;
  bool files_, opens_;
  size_t block_;
  bool written_ = false;
  InstantClock& clock_;
  bool& closed_;
};

// The person at the Cancel button: an open reply's data are awaited without a limit (only
// Cancel ends that wait), so the harness cancels after many polls.
class PatientProgress final : public tervane::ProgressSink {
 public:
  void Open(const std::string&, const std::string&, long, long) override {}
  void SetPosition(long) override {}
  void Step() override {}
  bool IsCancelled() override { return ++polls_ > 5000; }
  void Close() override {}

 private:
  int polls_ = 0;
};

class OnePortFactory final : public tervane::PortFactory {
 public:
  explicit OnePortFactory(std::unique_ptr<tervane::CPort> port) : port_(std::move(port)) {}
  std::unique_ptr<tervane::CPort> Create(const std::string&) override { return std::move(port_); }

 private:
  std::unique_ptr<tervane::CPort> port_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 2 || size > 4096) return 0;
  const std::uint8_t flags = data[0];
  const int shape = flags & 3;
  const bool files = (flags & 8) != 0;
  const size_t block = static_cast<size_t>(((flags >> 5) & 7) + 1) * 3;

  tervane::ProgramSettings settings;
  settings.g_workDir = "/nonexistent-tervane-fuzz";  // the log is lost, as a log that cannot be written is
  settings.g_portName = files ? "FILE" : "COM1:";
  settings.g_extendedReply = (flags & 4) != 0;

  tervane::CommandRecord command;
  command.title = "Fuzz";
  command.hasEscape = true;
  command.escapeText = "35 20";
  command.escapeBytes[0] = 0x23;
  command.escapeBytes[1] = 0x14;
  command.escapeCount = 2;
  command.declaredReturnSize = shape == 1 ? -1 : shape == 2 ? -2 : (data[1] & 63);
  command.ExpectedReplyLength = command.declaredReturnSize;
  if (shape == 3) command.group = "GPRS";

  InstantClock clock;
  bool closed = false;
  OnePortFactory ports(std::make_unique<ReplyPort>(std::vector<std::uint8_t>(data + 2, data + size), files,
                                                   (flags & 16) == 0, block, clock, closed));
  PatientProgress progress;
  const tervane::ExchangeContext context{&settings, &ports, &clock, &progress, nullptr};
  const int result = tervane::ExecuteCommand(command, context);
  if (result != 0 && result != -4 && result != -5) __builtin_trap();
  if (result == 0 && !command.replyData.empty() && shape != 3 && command.replyData[0] != 0x06) __builtin_trap();
  return 0;
}
