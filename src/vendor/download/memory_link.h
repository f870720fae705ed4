// One connection to the printer for the length of a download: the port is created by
// name and opened once, then commands go out as frames (STX, length, ESC, command,
// parameters, 16-bit sum) and fixed-size replies come back (ACK, data, ST1, ST2). Works
// on the stream kinds (a serial device, "COM1:".."COM8:", "SOCKET") and on the exchange
// files ("FILE").
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/common/clock.h"
#include "core/transport/port.h"

namespace tervane::vendor {

enum class LinkResult {
  kOk,
  kNak,        // the printer answered NAK: the frame did not arrive whole
  kNoAnswer,   // the reply did not come (time-out, a dropped link, a broken socket)
  kGarbled,    // something came, but not a reply: its first byte was neither ACK nor NAK
  kShort,      // the ACK came but the rest of the reply stopped short
};

struct Reply {
  std::string data;          // the data bytes between ACK and the status
  std::uint8_t st1 = 0;
  std::uint8_t st2 = 0;
};

class MemoryLink {
 public:
  // Milliseconds the first byte of a reply may take to arrive (the printer builds the
  // whole file when a download opens).
  static constexpr int kReplyTimeoutMs = 10000;
  // Once a reply has begun, a gap this long between its parts means it stopped short.
  static constexpr int kReplyGapMs = 3000;
  // The rest of a reply is read in parts of this size, each within kReplyGapMs: at
  // 1200 baud such a part takes about 1.2 s.
  static constexpr int kReplyPart = 128;
  // What is left on the line after a garbled or short reply is read away until it has
  // been quiet this long, then the link pauses kRetryPauseMs before the next request.
  static constexpr int kQuietMs = 100;
  static constexpr int kRetryPauseMs = 300;
  // A line that never falls quiet is given up on after this long.
  static constexpr int kLongestDrainMs = 15000;

  MemoryLink(PortFactory& ports, Clock& clock) : ports_(ports), clock_(clock) {}
  ~MemoryLink() { Close(); }
  MemoryLink(const MemoryLink&) = delete;
  MemoryLink& operator=(const MemoryLink&) = delete;

  // Creates and opens the port. False when it cannot be opened.
  bool Open(const std::string& portName);
  void Close();

  // Sends `body` (command bytes and parameters, without ESC) and reads a reply of
  // `dataSize` data bytes. After a garbled or short reply the line has been drained and
  // the pause taken, so the caller may ask again at once.
  LinkResult Exchange(const std::string& body, int dataSize, Reply& reply);

 private:
  bool SendFrame(const std::string& frame, int expectedReply);
  bool ReadExactly(std::uint8_t* buffer, int length, int timeoutMs);
  // Reads away what is left of a bad reply, then pauses before the next request.
  void DrainAndPause();

  PortFactory& ports_;
  Clock& clock_;
  std::unique_ptr<CPort> port_;
  bool files_ = false;
};

// The frame of a body that starts with the ESC byte's command: STX, L, ESC, body, sum.
std::string DownloadFrame(const std::string& body);

}  // namespace tervane::vendor
