#include "sim/sim_frame.h"

#include <algorithm>

namespace tervane::sim {

FrameCheck CheckFrame(const std::uint8_t* data, std::size_t size, std::size_t* frameLength) {
  if (size == 0) return FrameCheck::kIncomplete;
  if (data[0] != kStx) return FrameCheck::kBadLength;
  if (size < 3) return FrameCheck::kIncomplete;
  const std::size_t l = data[1] | (static_cast<std::size_t>(data[2]) << 8);
  // L counts the body and the two sum bytes; the body holds at least the ESC/FS byte and
  // one command byte.
  if (l < 4 || l + 3 > kMaxFrame) return FrameCheck::kBadLength;
  const std::size_t total = l + 3;
  if (size < total) return FrameCheck::kIncomplete;
  unsigned sum = 0;
  for (std::size_t i = 3; i < total - 2; ++i) sum += data[i];
  sum &= 0xFFFF;
  const unsigned got = data[total - 2] | (static_cast<unsigned>(data[total - 1]) << 8);
  if (frameLength) *frameLength = total;
  return sum == got ? FrameCheck::kComplete : FrameCheck::kBadSum;
}

Bytes FrameBody(const Bytes& frame) {
  std::size_t length = 0;
  if (CheckFrame(frame.data(), frame.size(), &length) != FrameCheck::kComplete ||
      length != frame.size()) {
    return {};
  }
  return Bytes(frame.begin() + 3, frame.end() - 2);
}

Bytes MakeFrame(const Bytes& body) {
  Bytes frame;
  const std::size_t l = body.size() + 2;
  frame.push_back(kStx);
  frame.push_back(static_cast<std::uint8_t>(l & 0xFF));
  frame.push_back(static_cast<std::uint8_t>((l >> 8) & 0xFF));
  unsigned sum = 0;
  for (std::uint8_t b : body) {
    frame.push_back(b);
    sum += b;
  }
  frame.push_back(static_cast<std::uint8_t>(sum & 0xFF));
  frame.push_back(static_cast<std::uint8_t>((sum >> 8) & 0xFF));
  return frame;
}

std::vector<FrameAssembler::Event> FrameAssembler::Feed(const std::uint8_t* data, std::size_t size,
                                                        std::int64_t nowMs) {
  std::vector<Event> events;
  if (size > 0) lastByteMs_ = nowMs;
  buffer_.insert(buffer_.end(), data, data + size);
  for (;;) {
    // Noise before a frame is dropped without an answer.
    auto stx = std::find(buffer_.begin(), buffer_.end(), kStx);
    buffer_.erase(buffer_.begin(), stx);
    if (buffer_.empty()) break;
    std::size_t length = 0;
    const FrameCheck check = CheckFrame(buffer_.data(), buffer_.size(), &length);
    if (check == FrameCheck::kIncomplete) break;
    if (check == FrameCheck::kBadLength) {
      // Nothing tells where this frame would end: answer it and look for the next STX.
      events.push_back(Event{EventKind::kBad, {}, -1});
      buffer_.erase(buffer_.begin());
      continue;
    }
    const std::size_t consumed = length + (trailer_ ? 2 : 0);
    if (buffer_.size() < consumed) break;
    Event event{check == FrameCheck::kComplete ? EventKind::kFrame : EventKind::kBad, {}, -1};
    if (event.kind == EventKind::kFrame) event.frame.assign(buffer_.begin(), buffer_.begin() + length);
    if (trailer_) {
      const int expected = buffer_[length] | (buffer_[length + 1] << 8);
      event.expectedReplyLength = expected == 0xFFFF ? -1 : expected;
    }
    buffer_.erase(buffer_.begin(), buffer_.begin() + consumed);
    events.push_back(std::move(event));
  }
  return events;
}

bool FrameAssembler::Expire(std::int64_t nowMs, std::int64_t idleMs) {
  if (buffer_.empty() || nowMs - lastByteMs_ <= idleMs) return false;
  buffer_.clear();
  return true;
}

}  // namespace tervane::sim
