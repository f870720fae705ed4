// One byte-stream connection to a client (the pty master or an accepted TCP socket):
// frames in, paced replies out.
#pragma once

#include <cstdint>
#include <vector>

#include <poll.h>

#include "sim/paced_output.h"
#include "sim/sim_server.h"

namespace tervane::sim {

// A partial frame left this long without a byte is answered with NAK and dropped.
inline constexpr std::int64_t kInterByteTimeoutMs = 1000;

class StreamLink {
 public:
  enum class Outcome {
    kOk,       // keep going
    kClosed,   // the other side went away
    kHangup,   // a fault asks to drop the link
  };

  StreamLink(int fd, bool lengthTrailer, long baud, const char* faceName)
      : fd_(fd), in_(lengthTrailer), out_(baud), face_(faceName) {}

  int fd() const { return fd_; }

  // The poll events the link needs now.
  short Events() const {
    return static_cast<short>((inputEnded_ ? 0 : POLLIN) | (writeBlocked_ ? POLLOUT : 0));
  }

  // When the link next needs the loop's attention (pacing, delays, inter-byte time-out).
  void LowerWake(std::int64_t* wakeUs) const;

  // Reads what is there and answers every frame it completes. kClosed on a read error, or
  // on end of file once nothing is left to send (a client that stopped writing still
  // gets its reply); kHangup when a fault drops the link.
  Outcome Read(FaceContext& context, std::int64_t nowUs);

  // Answers a partial frame that timed out with NAK.
  void CheckIdle(FaceContext& context, std::int64_t nowUs);

  // Writes the reply bytes that are due. kClosed on a write error, or when the input has
  // ended and everything was sent.
  Outcome Flush(FaceContext& context, std::int64_t nowUs);

  // Forgets partial input and pending output (the client went away).
  void Reset();

 private:
  void Answer(FaceContext& context, const Bytes* frame, int expectedLength, std::int64_t nowUs, bool* hangup);

  int fd_;
  FrameAssembler in_;
  PacedOutput out_;
  const char* face_;
  bool writeBlocked_ = false;
  bool inputEnded_ = false;
};

}  // namespace tervane::sim
