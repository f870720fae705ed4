#include "core/monitor/protocol_monitor.h"

#include <algorithm>
#include <utility>

namespace tervane {
namespace {

constexpr std::uint8_t kFrameStart = 0x02;
constexpr std::size_t kLengthFieldEnd = 3;
// More printer bytes than this with nothing to answer are shown in pieces.
constexpr std::size_t kMaxUnsolicitedBytes = 4096;

}  // namespace

ProtocolMonitor::ProtocolMonitor(const CommandCatalogue& catalogue, Clock& clock, Sink sink)
    : catalogue_(catalogue), clock_(clock), sink_(std::move(sink)) {}

void ProtocolMonitor::FromPos(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  const std::int64_t now = clock_.MonotonicMs();
  for (std::size_t i = 0; i < size; ++i) PosByte(data[i], now);
}

void ProtocolMonitor::PosByte(std::uint8_t b, std::int64_t now) {
  if (trailerNeeded_ > 0) {
    trailer_ |= b << (8 * (2 - trailerNeeded_));
    if (--trailerNeeded_ == 0 && exchange_) exchange_->announced = trailer_;
    return;
  }
  if (frame_.empty()) {
    if (b != kFrameStart) {
      if (stray_.empty()) {
        strayStartMs_ = now;
        strayTime_ = clock_.UtcNow();
      }
      stray_.push_back(b);
      if (stray_.size() >= kFrameCapacity) EmitStray();
      return;
    }
    EmitStray();
    StartFrame(now);
  }
  frame_.push_back(b);
  frameLastMs_ = now;
  if (frame_.size() == kLengthFieldEnd) {
    const std::size_t length = frame_[1] | (static_cast<std::size_t>(frame_[2]) << 8);
    if (length < 3 || length + kLengthFieldEnd > kFrameCapacity) {
      // Not a length any frame has: show the header as a bad frame and look for the next.
      FrameDone(now);
      return;
    }
    frameNeeds_ = length + kLengthFieldEnd;
  }
  if (frameNeeds_ > 0 && frame_.size() >= frameNeeds_) FrameDone(now);
}

void ProtocolMonitor::StartFrame(std::int64_t now) {
  frame_.clear();
  frameNeeds_ = 0;
  frameStartMs_ = now;
  frameTime_ = clock_.UtcNow();
}

MonitorPending ProtocolMonitor::Collect(WireBytes& command, const CivilTime& time, std::int64_t startMs,
                                       std::int64_t endMs) {
  Pending pending;
  pending.command = std::move(command);
  command.clear();
  pending.time = time;
  pending.sentMs = startMs;
  pending.frameEndMs = endMs;
  pending.lastMs = endMs;
  return pending;
}

void ProtocolMonitor::EmitUnsolicited() {
  if (!unsolicited_) return;
  Emit(*unsolicited_);
  unsolicited_.reset();
}

void ProtocolMonitor::FrameDone(std::int64_t now) {
  EmitExchange();
  EmitUnsolicited();
  Pending pending = Collect(frame_, frameTime_, frameStartMs_, now);
  const int index = MatchCommand(catalogue_, pending.command);
  pending.layout = ExpectedReply(catalogue_, index, pending.command);
  pending.tracker.emplace(pending.layout);
  exchange_ = std::move(pending);
  frame_.clear();
  frameNeeds_ = 0;
  if (bridgeFraming_) {
    trailerNeeded_ = 2;
    trailer_ = 0;
  }
}

void ProtocolMonitor::FromPrinter(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  const std::int64_t now = clock_.MonotonicMs();
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint8_t b = data[i];
    if (exchange_) {
      Pending& pending = *exchange_;
      if (pending.replyMs < 0) pending.replyMs = now;
      pending.reply.push_back(b);
      pending.lastMs = now;
      if (pending.tracker->Feed(b)) EmitExchange();
      continue;
    }
    if (!unsolicited_) {
      unsolicited_.emplace();
      unsolicited_->time = clock_.UtcNow();
      unsolicited_->sentMs = now;
      unsolicited_->frameEndMs = now;
      unsolicited_->replyMs = now;
    }
    unsolicited_->reply.push_back(b);
    unsolicited_->lastMs = now;
    if (unsolicited_->reply.size() >= kMaxUnsolicitedBytes) EmitUnsolicited();
  }
}

void ProtocolMonitor::Emit(Pending& pending) {
  MonitoredExchange exchange;
  exchange.decoded = DecodeExchange(catalogue_, pending.command, pending.reply);
  exchange.time = pending.time;
  exchange.sentMs = pending.sentMs;
  exchange.replyMs = pending.replyMs;
  exchange.endMs = pending.lastMs;
  exchange.announcedReplyLength = pending.announced;
  if (pending.replyMs >= 0 && !pending.command.empty()) {
    exchange.roundTripMs = std::max<std::int64_t>(0, pending.lastMs - pending.frameEndMs);
  }
  ++emitted_;
  if (sink_) sink_(exchange);
}

void ProtocolMonitor::EmitExchange() {
  if (!exchange_) return;
  Pending pending = std::move(*exchange_);
  exchange_.reset();
  Emit(pending);
}

void ProtocolMonitor::EmitStray() {
  if (stray_.empty()) return;
  EmitExchange();
  Pending pending = Collect(stray_, strayTime_, strayStartMs_, strayStartMs_);
  Emit(pending);
}

std::int64_t ProtocolMonitor::NextDeadlineMs() const {
  std::int64_t next = -1;
  auto lower = [&next](std::int64_t t) {
    if (next < 0 || t < next) next = t;
  };
  if (!frame_.empty()) lower(frameLastMs_ + kUnfinishedFrameMs);
  if (!stray_.empty()) lower(strayStartMs_ + kUnknownReplyQuietMs);
  if (unsolicited_) lower(unsolicited_->lastMs + kUnknownReplyQuietMs);
  if (exchange_) {
    const bool unknown = exchange_->layout.shape == ReplyShape::kUnknown;
    lower(exchange_->lastMs + (unknown && exchange_->replyMs >= 0 ? kUnknownReplyQuietMs : kAbandonedReplyMs));
  }
  return next;
}

void ProtocolMonitor::Tick() {
  const std::int64_t now = clock_.MonotonicMs();
  if (!frame_.empty() && now >= frameLastMs_ + kUnfinishedFrameMs) FrameDone(frameLastMs_);
  if (!stray_.empty() && now >= strayStartMs_ + kUnknownReplyQuietMs) EmitStray();
  if (unsolicited_ && now >= unsolicited_->lastMs + kUnknownReplyQuietMs) EmitUnsolicited();
  if (exchange_) {
    const bool unknown = exchange_->layout.shape == ReplyShape::kUnknown;
    const std::int64_t wait = unknown && exchange_->replyMs >= 0 ? kUnknownReplyQuietMs : kAbandonedReplyMs;
    if (now >= exchange_->lastMs + wait) EmitExchange();
  }
}

void ProtocolMonitor::Finish() {
  if (!frame_.empty()) FrameDone(frameLastMs_);
  EmitStray();
  EmitExchange();
  EmitUnsolicited();
}

}  // namespace tervane
