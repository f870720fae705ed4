// The printer's side of the framing: checking a received frame (STX, 16-bit length,
// body, 16-bit sum) and cutting frames out of a byte stream that may arrive in pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tervane::sim {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEtx = 0x03;
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kEsc = 0x1B;
inline constexpr std::uint8_t kFs = 0x1C;

// The largest frame the printer accepts, the same bound the workbench keeps.
inline constexpr std::size_t kMaxFrame = 4096;

enum class FrameCheck {
  kComplete,    // a whole frame with a good sum lies at the start of the data
  kIncomplete,  // the data may still become a frame: more bytes are needed
  kBadLength,   // no STX first, or a length field no frame can have
  kBadSum,      // the frame is whole but its sum is wrong
};

// Examines the frame that starts at data[0]. On kComplete and kBadSum `frameLength`
// receives the frame's size in bytes (3 + L); on the other results it is left alone.
FrameCheck CheckFrame(const std::uint8_t* data, std::size_t size, std::size_t* frameLength);

// The body of a complete frame (from the ESC/FS byte up to the sum, exclusive).
// Returns an empty vector when `frame` is not exactly one complete frame.
Bytes FrameBody(const Bytes& frame);

// Builds a frame around a body (used by tests and by tools that talk to the simulator).
Bytes MakeFrame(const Bytes& body);

// Cuts frames out of a stream. Bytes before an STX are noise and dropped; a length field
// no frame can have, or a wrong sum, makes the frame "bad" (the caller answers NAK). On
// the TCP face every frame is followed by a 2-byte expected-reply length that belongs to
// the frame and is consumed with it.
class FrameAssembler {
 public:
  enum class EventKind { kFrame, kBad };
  struct Event {
    EventKind kind;
    Bytes frame;                        // the frame alone (kFrame)
    int expectedReplyLength = -1;       // TCP trailer: 0..65534, or -1 for FFFFh / none
  };

  explicit FrameAssembler(bool withLengthTrailer = false) : trailer_(withLengthTrailer) {}

  // Adds received bytes; `nowMs` is a monotonic time used for the inter-byte time-out.
  // Returns the frames (and bad frames) completed by these bytes, in order.
  std::vector<Event> Feed(const std::uint8_t* data, std::size_t size, std::int64_t nowMs);

  // A partial frame left without new bytes for longer than `idleMs` is dropped and
  // reported as bad (so the sender gets a NAK instead of waiting for ever). Returns true
  // when that happened.
  bool Expire(std::int64_t nowMs, std::int64_t idleMs);

  // Forgets any partial frame (the other side went away).
  void Reset() { buffer_.clear(); }

  bool HasPartial() const { return !buffer_.empty(); }
  std::int64_t LastByteMs() const { return lastByteMs_; }

 private:
  bool trailer_;
  Bytes buffer_;
  std::int64_t lastByteMs_ = 0;
};

}  // namespace tervane::sim
