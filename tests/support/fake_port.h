// A scripted port and port factory for tests. A stream port hands out scripted reply
// bytes and time-outs (advancing a FakeClock by the time-out, as a real wait would), can
// break after N bytes or never stop sending; a "FILE" port models the reply file, with a
// stale reply, chunks that arrive over time, failing or partial request writes and a peer
// that never stops writing. Every call is recorded in a FakePortRecord that outlives the
// port, so tests can check the order of calls and that each port was closed and destroyed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/protocol/command_exchange.h"
#include "support/fake_clock.h"
#include "core/transport/port.h"

namespace tervane::testing {

// One step of a stream reply: some bytes, or some time-outs in a row.
struct ReplyStep {
  std::vector<std::uint8_t> bytes;
  int timeouts = 0;
};

inline ReplyStep Bytes(std::vector<std::uint8_t> bytes) { return ReplyStep{std::move(bytes), 0}; }
inline ReplyStep Text(const std::string& text) {
  return ReplyStep{std::vector<std::uint8_t>(text.begin(), text.end()), 0};
}
inline ReplyStep Timeouts(int count) { return ReplyStep{{}, count}; }

// Reply bytes that appear in the reply file `afterMs` after the last request write.
struct FileChunk {
  std::int64_t afterMs = 0;
  std::vector<std::uint8_t> bytes;
};

struct FakePortScript {
  bool openOk = true;
  // Stream kinds.
  std::vector<ReplyStep> reply;  // handed out by Receive, in order; then time-outs
  int breakAfterBytes = -1;      // >= 0: the link dies after this many bytes (Receive fails at once)
  LinkLossKind lossOnBreak = LinkLossKind::kNone;  // what the port then knows of it (kNone: nothing)
  int endlessByte = -1;          // >= 0: after the script every Receive brings this byte
  int pendingInput = 0;          // bytes reported waiting by PendingInput before the first Purge
  PortOpenFailure openFailure;   // the reason a failing Open keeps
  // The "FILE" kind.
  std::vector<std::uint8_t> staleReply;  // in the reply file when the port is created
  int staleRefills = 0;                  // the stale reply comes back after this many Purges
  std::vector<FileChunk> chunks;
  int failWrites = 0;       // the first N WriteRequest calls fail; -1: all of them
  int writeChunk = 0;       // > 0: a WriteRequest writes at most this many bytes
  int growPerPoll = 0;      // > 0: the peer appends this many 'A's at every PendingReplySize
};

// What happened to one port; kept by the factory after the port is gone.
struct FakePortRecord {
  std::string name;
  std::vector<std::string> calls;  // "Open(9600)", "Purge", "Send", "Receive", "Drain", "Close",
                                   // "WriteRequest", "ReadReply", "Destroy" (runs of Receive,
                                   // Drain and PendingReplySize are recorded once)
  int opens = 0, openedOk = 0, closes = 0, destroyed = 0, purges = 0, sends = 0;
  int sendParam = 0;
  std::vector<std::uint8_t> sent;
  int receives = 0;      // Receive calls with the 2000 ms reply time-out (or any but 10 ms)
  int drainCalls = 0;    // Receive calls with the drain's quiet time-out
  int timeouts = 0;      // Receive calls that waited in vain
  int bytesDelivered = 0;
  std::vector<std::uint8_t> requestFile;
  int writeCalls = 0, readCalls = 0, pendingCalls = 0;

  // True when the port was closed (if it ever opened) and then destroyed once.
  bool ClosedThenDestroyed() const {
    if (destroyed != 1 || calls.empty() || calls.back() != "Destroy") return false;
    if (openedOk == 0) return true;
    return calls.size() >= 2 && calls[calls.size() - 2] == "Close";
  }
};

class FakePort final : public CPort {
 public:
  FakePort(std::string name, FakePortScript script, std::shared_ptr<FakePortRecord> record, FakeClock* clock)
      : CPort(name),
        script_(std::move(script)),
        record_(std::move(record)),
        clock_(clock),
        fileKind_(name == "FILE"),
        file_(script_.staleReply) {
    record_->name = std::move(name);
  }
  ~FakePort() override {
    ++record_->destroyed;
    Log("Destroy");
  }

  bool Open(int baudRate) override {
    ++record_->opens;
    Log("Open(" + std::to_string(baudRate) + ")");
    open_ = script_.openOk;
    if (open_) {
      ++record_->openedOk;
      ClearOpenFailure();
    } else {
      SetOpenFailure(script_.openFailure.kind, script_.openFailure.error, script_.openFailure.device);
    }
    return open_;
  }
  void Close() override {
    ++record_->closes;
    Log("Close");
    open_ = false;
  }
  bool Send(const std::uint8_t* data, int length, int param) override {
    ++record_->sends;
    Log("Send");
    record_->sendParam = param;
    record_->sent.assign(data, data + length);
    return open_ && !fileKind_;
  }
  bool Receive(std::uint8_t* buffer, int length, int timeoutMs) override {
    const bool drain = timeoutMs == kDrainQuietMs;
    if (drain) {
      ++record_->drainCalls;
    } else {
      ++record_->receives;
    }
    Log(drain ? "Drain" : "Receive");
    if (fileKind_) return false;
    for (int i = 0; i < length; ++i) {
      if (!NextByte(buffer[i], timeoutMs)) return false;
    }
    return true;
  }
  int PendingInput() override { return record_->purges == 0 ? script_.pendingInput : 0; }
  bool Purge() override {
    ++record_->purges;
    Log("Purge");
    if (!fileKind_) return true;
    Arrive();
    file_.clear();
    if (script_.staleRefills > 0) {
      --script_.staleRefills;
      file_ = script_.staleReply;
    }
    return true;
  }
  bool WriteRequest(const std::uint8_t* data, int length, std::uint32_t* written) override {
    ++record_->writeCalls;
    Log("WriteRequest");
    *written = 0;
    if (!fileKind_) return false;
    if (script_.failWrites < 0 || record_->writeCalls <= script_.failWrites) return false;
    const int n = script_.writeChunk > 0 ? std::min(length, script_.writeChunk) : length;
    record_->requestFile.insert(record_->requestFile.end(), data, data + n);
    *written = static_cast<std::uint32_t>(n);
    writtenAt_ = Now();
    return true;
  }
  bool ReadReply(std::uint8_t* buffer, int length, std::uint32_t* read) override {
    ++record_->readCalls;
    Log("ReadReply");
    *read = 0;
    if (!fileKind_) return false;
    Arrive();
    const size_t n = std::min(file_.size(), static_cast<size_t>(std::max(length, 0)));
    std::copy_n(file_.begin(), n, buffer);
    if (n > 0) file_.clear();  // the rest is lost with the truncation, as with the real file
    *read = static_cast<std::uint32_t>(n);
    return true;
  }
  int PendingReplySize() override {
    ++record_->pendingCalls;
    Log("PendingReplySize");
    if (!fileKind_) return 0;
    Arrive();
    if (script_.growPerPoll > 0 && writtenAt_ >= 0) file_.insert(file_.end(), script_.growPerPoll, 'A');
    return static_cast<int>(file_.size());
  }

 private:
  std::int64_t Now() const { return clock_ ? clock_->MonotonicMs() : 0; }

  void Log(const std::string& call) {
    const bool collapsible = call == "Receive" || call == "Drain" || call == "PendingReplySize";
    if (collapsible && !record_->calls.empty() && record_->calls.back() == call) return;
    record_->calls.push_back(call);
  }

  void Wait(int timeoutMs) {
    ++record_->timeouts;
    if (clock_) clock_->Advance(timeoutMs);
  }

  bool NextByte(std::uint8_t& b, int timeoutMs) {
    if (!open_) {
      Wait(timeoutMs);
      return false;
    }
    if (script_.breakAfterBytes >= 0 && record_->bytesDelivered >= script_.breakAfterBytes) {
      if (script_.lossOnBreak != LinkLossKind::kNone) SetLinkLost(script_.lossOnBreak, 0, "/dev/fake");
      return false;
    }
    while (step_ < script_.reply.size()) {
      const ReplyStep& s = script_.reply[step_];
      if (pos_ < s.bytes.size()) {
        b = s.bytes[pos_++];
        ++record_->bytesDelivered;
        return true;
      }
      if (pos_ < s.bytes.size() + static_cast<size_t>(s.timeouts)) {
        ++pos_;
        Wait(timeoutMs);
        return false;
      }
      ++step_;
      pos_ = 0;
    }
    if (script_.endlessByte >= 0) {
      b = static_cast<std::uint8_t>(script_.endlessByte);
      ++record_->bytesDelivered;
      return true;
    }
    Wait(timeoutMs);
    return false;
  }

  // Moves the chunks whose time has come into the reply file.
  void Arrive() {
    if (writtenAt_ < 0) return;
    while (!script_.chunks.empty() && Now() >= writtenAt_ + script_.chunks.front().afterMs) {
      const auto& c = script_.chunks.front().bytes;
      file_.insert(file_.end(), c.begin(), c.end());
      script_.chunks.erase(script_.chunks.begin());
    }
  }

  FakePortScript script_;
  std::shared_ptr<FakePortRecord> record_;
  FakeClock* clock_;
  bool fileKind_;
  bool open_ = false;
  size_t step_ = 0, pos_ = 0;
  std::vector<std::uint8_t> file_;
  std::int64_t writtenAt_ = -1;
};

// Hands out FakePorts: each port of a name takes the next script queued for that name;
// when none is left it gets `defaultScript` (opens, never answers).
class FakePortFactory final : public PortFactory {
 public:
  explicit FakePortFactory(FakeClock* clock = nullptr) : clock_(clock) {}

  void Script(const std::string& name, FakePortScript script) { scripts_[name].push_back(std::move(script)); }

  std::unique_ptr<CPort> Create(const std::string& name) override {
    auto record = std::make_shared<FakePortRecord>();
    records.push_back(record);
    FakePortScript script = defaultScript;
    auto it = scripts_.find(name);
    if (it != scripts_.end() && !it->second.empty()) {
      script = std::move(it->second.front());
      it->second.pop_front();
    }
    return std::make_unique<FakePort>(name, std::move(script), record, clock_);
  }

  std::vector<std::string> CreatedNames() const {
    std::vector<std::string> names;
    for (const auto& r : records) names.push_back(r->name);
    return names;
  }
  const FakePortRecord& Last() const { return *records.back(); }
  // True when every port handed out has been closed (when opened) and destroyed.
  bool AllClosedAndDestroyed() const {
    return std::all_of(records.begin(), records.end(), [](const auto& r) { return r->ClosedThenDestroyed(); });
  }

  FakePortScript defaultScript;
  std::vector<std::shared_ptr<FakePortRecord>> records;

 private:
  FakeClock* clock_;
  std::map<std::string, std::deque<FakePortScript>> scripts_;
};

}  // namespace tervane::testing
