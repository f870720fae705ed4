// Output that leaves at the speed of a serial line: 11 bit times per byte (start, 8 data
// bits, parity, stop) at the chosen rate, scheduled on a monotonic clock so a long reply
// takes its true time however often the loop wakes. Rate 0 sends at once.
#pragma once

#include <cstdint>
#include <deque>

#include "sim/sim_frame.h"

namespace tervane::sim {

class PacedOutput {
 public:
  explicit PacedOutput(long baud = 0) : baud_(baud) {}

  // Queues bytes to go after what is already queued, not before `notBeforeUs`.
  void Push(Bytes bytes, std::int64_t notBeforeUs);

  // The bytes whose time has come by `nowUs` and that were not taken yet, as a pointer
  // into the head chunk and a count (0 when none is due).
  std::size_t Due(std::int64_t nowUs, const std::uint8_t** data);

  // Marks `count` due bytes as written.
  void Consume(std::size_t count);

  // When the next byte falls due; -1 when nothing is queued.
  std::int64_t NextDueUs() const;

  bool Empty() const { return chunks_.empty(); }
  void Clear();

  // Microseconds one byte takes on the line (0 when unpaced).
  double ByteUs() const { return baud_ > 0 ? 11e6 / static_cast<double>(baud_) : 0.0; }

 private:
  struct Chunk {
    Bytes bytes;
    std::int64_t notBeforeUs = 0;
    std::size_t sent = 0;
  };
  std::int64_t StartUs(const Chunk& chunk) const;

  long baud_;
  std::deque<Chunk> chunks_;
  std::int64_t lastEndUs_ = 0;  // when the previous chunk's last byte was due
};

// Microseconds on the monotonic clock.
std::int64_t MonotonicUs();

}  // namespace tervane::sim
