// The forwarding side of the protocol monitor: copies every byte between the
// point-of-sale side and the printer side as soon as it arrives, and only then shows it
// to the decoder. Runs on one thread until stopped from any thread (or a signal
// handler), or until the printer side goes away.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/common/clock.h"

namespace tervane {

enum class PassThroughEnd {
  kStopped,      // Stop was called
  kPrinterGone,  // the printer side hung up or failed (device unplugged, bridge closed)
  kPosGone,      // the point-of-sale side closed a connection that cannot come back
  kError,        // polling itself failed
};

struct PassThroughCounts {
  std::uint64_t toPrinter = 0;        // bytes forwarded from the point-of-sale side
  std::uint64_t toPos = 0;            // bytes forwarded from the printer
  std::uint64_t droppedToPos = 0;     // printer bytes nobody took (see kMaxQueuedBytes)
  std::uint64_t droppedToPrinter = 0;
};

// Bytes a side may leave unread before the oldest are dropped: a point-of-sale program
// that closed its port cannot hold up the other direction.
inline constexpr std::size_t kMaxQueuedBytes = std::size_t{1} << 20;

class PassThrough {
 public:
  using Observer = std::function<void(const std::uint8_t* data, std::size_t size)>;

  // Both descriptors are non-blocking and stay owned by the caller. The observers see
  // each chunk after it has been handed to the other side; `tick` runs whenever the
  // loop wakes, and `nextWakeMs` (monotonic, -1: none) says when it needs to.
  PassThrough(int posFd, int printerFd, Clock& clock);
  ~PassThrough();
  PassThrough(const PassThrough&) = delete;
  PassThrough& operator=(const PassThrough&) = delete;

  Observer fromPos;
  Observer fromPrinter;
  std::function<void()> tick;
  std::function<std::int64_t()> nextWakeMs;
  // Called when a read of the point-of-sale side reports a hang-up. Returning a new
  // descriptor (>= 0) goes on with it; -1 ends the run with kPosGone. Unset: the
  // hang-up is waited out (a pseudo-terminal whose slave is held open never reports one).
  std::function<int()> posHangup;

  // Forwards until stopped or a side is gone.
  PassThroughEnd Run();
  // Ends Run soon after; safe from any thread and from a signal handler.
  void Stop();

  const PassThroughCounts& Counts() const { return counts_; }

 private:
  bool Pump(int from, std::vector<std::uint8_t>& queue, const Observer& observer, std::uint64_t& counter,
            std::uint64_t& dropped, bool& hangup);
  bool Flush(int to, std::vector<std::uint8_t>& queue);

  int posFd_;
  int printerFd_;
  Clock& clock_;
  int wake_[2] = {-1, -1};
  std::atomic<bool> stop_{false};
  std::vector<std::uint8_t> toPrinter_;
  std::vector<std::uint8_t> toPos_;
  PassThroughCounts counts_;
};

}  // namespace tervane
