#include "sim/paced_output.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace tervane::sim {

std::int64_t MonotonicUs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void PacedOutput::Push(Bytes bytes, std::int64_t notBeforeUs) {
  if (bytes.empty()) return;
  chunks_.push_back(Chunk{std::move(bytes), notBeforeUs, 0});
}

std::int64_t PacedOutput::StartUs(const Chunk& chunk) const {
  return std::max(chunk.notBeforeUs, lastEndUs_);
}

std::size_t PacedOutput::Due(std::int64_t nowUs, const std::uint8_t** data) {
  if (chunks_.empty()) return 0;
  const Chunk& head = chunks_.front();
  const std::int64_t start = StartUs(head);
  if (nowUs < start) return 0;
  std::size_t dueTotal = head.bytes.size();
  if (baud_ > 0) {
    // Byte i has left the line once (i + 1) byte times have passed since the start.
    const double elapsed = static_cast<double>(nowUs - start);
    dueTotal = std::min(dueTotal, static_cast<std::size_t>(std::floor(elapsed / ByteUs())));
  }
  if (dueTotal <= head.sent) return 0;
  *data = head.bytes.data() + head.sent;
  return dueTotal - head.sent;
}

void PacedOutput::Consume(std::size_t count) {
  if (chunks_.empty()) return;
  Chunk& head = chunks_.front();
  head.sent = std::min(head.bytes.size(), head.sent + count);
  if (head.sent == head.bytes.size()) {
    lastEndUs_ = StartUs(head) + static_cast<std::int64_t>(std::ceil(ByteUs() * head.bytes.size()));
    chunks_.pop_front();
  }
}

std::int64_t PacedOutput::NextDueUs() const {
  if (chunks_.empty()) return -1;
  const Chunk& head = chunks_.front();
  const std::int64_t start = StartUs(head);
  if (baud_ <= 0) return start;
  // One microsecond of slack keeps a rounding error from waking the loop too early.
  return start + static_cast<std::int64_t>(std::ceil(ByteUs() * (head.sent + 1))) + 1;
}

void PacedOutput::Clear() { chunks_.clear(); }

}  // namespace tervane::sim
