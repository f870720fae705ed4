#include "core/monitor/recording_port.h"

#include <algorithm>
#include <utility>

namespace tervane {
namespace {

class RecordingPort final : public CPort {
 public:
  RecordingPort(std::unique_ptr<CPort> inner, const CommandCatalogue& catalogue, Clock& clock,
                TranscriptWriter& writer, std::string portName)
      : CPort(inner->Name()),
        inner_(std::move(inner)),
        catalogue_(catalogue),
        clock_(clock),
        writer_(writer),
        portName_(std::move(portName)) {}
  ~RecordingPort() override { Note(); }

  bool Open(int baudRate) override {
    const bool opened = inner_->Open(baudRate);
    if (!opened) {
      const PortOpenFailure& failure = inner_->OpenFailure();
      SetOpenFailure(failure.kind, failure.error, failure.device);
    } else {
      ClearOpenFailure();
    }
    return opened;
  }
  void Close() override {
    inner_->Close();
    Note();
  }
  bool Send(const std::uint8_t* data, int length, int param) override {
    Sent(data, length);
    return inner_->Send(data, length, param);
  }
  bool Receive(std::uint8_t* buffer, int length, int timeoutMs) override {
    const bool got = inner_->Receive(buffer, length, timeoutMs);
    if (got) Received(buffer, static_cast<std::size_t>(length));
    return got;
  }
  bool Purge() override { return inner_->Purge(); }
  bool WriteRequest(const std::uint8_t* data, int length, std::uint32_t* written) override {
    const bool ok = inner_->WriteRequest(data, length, written);
    // The request file may take a frame in several writes: one frame is one exchange.
    if (ok && written && *written > 0) Sent(data, std::min<std::uint32_t>(*written, static_cast<std::uint32_t>(length)));
    return ok;
  }
  bool ReadReply(std::uint8_t* buffer, int length, std::uint32_t* read) override {
    const bool ok = inner_->ReadReply(buffer, length, read);
    if (ok && read && *read > 0) Received(buffer, std::min<std::uint32_t>(*read, static_cast<std::uint32_t>(length)));
    return ok;
  }
  int PendingReplySize() override { return inner_->PendingReplySize(); }
  int PendingInput() override { return inner_->PendingInput(); }

 private:
  void Sent(const std::uint8_t* data, std::size_t length) {
    if (length == 0) return;
    if (!reply_.empty()) Note();  // a new frame: the last exchange is over
    if (command_.empty()) time_ = clock_.UtcNow();
    command_.insert(command_.end(), data, data + length);
    sentMs_ = clock_.MonotonicMs();
  }
  void Received(const std::uint8_t* data, std::size_t length) {
    if (command_.empty()) return;  // bytes purged or drained before any frame
    reply_.insert(reply_.end(), data, data + length);
    lastMs_ = clock_.MonotonicMs();
  }
  void Note() {
    if (command_.empty()) return;
    ExchangeContextInfo info;
    info.time = IsoUtcTime(time_);
    info.port = portName_.empty() ? Name() : portName_;
    info.roundTripMs = reply_.empty() ? -1 : std::max<std::int64_t>(0, lastMs_ - sentMs_);
    writer_.Write(TranscriptLine(DecodeExchange(catalogue_, command_, reply_), info));
    command_.clear();
    reply_.clear();
  }

  std::unique_ptr<CPort> inner_;
  const CommandCatalogue& catalogue_;
  Clock& clock_;
  TranscriptWriter& writer_;
  std::string portName_;
  WireBytes command_;
  WireBytes reply_;
  CivilTime time_;
  std::int64_t sentMs_ = 0;
  std::int64_t lastMs_ = 0;
};

}  // namespace

RecordingPortFactory::RecordingPortFactory(PortFactory& inner, const CommandCatalogue& catalogue, Clock& clock,
                                           TranscriptWriter& writer, std::string portName)
    : inner_(inner), catalogue_(catalogue), clock_(clock), writer_(writer), portName_(std::move(portName)) {}

std::unique_ptr<CPort> RecordingPortFactory::Create(const std::string& name) {
  return std::make_unique<RecordingPort>(inner_.Create(name), catalogue_, clock_, writer_,
                                         portName_.empty() ? name : portName_);
}

}  // namespace tervane
