// The decoding side of the protocol monitor: takes the bytes seen in each direction, as
// they come, cuts them into exchanges (a frame from the point-of-sale side and the reply
// that answered it) and hands each one, decoded, to a callback. It never sees the
// forwarding itself, so it can neither delay nor change a byte; a window or the terminal
// monitor drives it the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "core/common/clock.h"
#include "core/monitor/exchange_decoder.h"

namespace tervane {

struct MonitoredExchange {
  DecodedExchange decoded;  // command empty: bytes from the printer that answered nothing
  CivilTime time;           // UTC, when the frame's first byte was seen
  std::int64_t sentMs = 0;  // monotonic: first byte of the frame
  std::int64_t replyMs = -1;  // first byte of the reply; -1 when none came
  std::int64_t endMs = 0;   // last byte seen of the exchange
  // Milliseconds from the frame's last byte to the reply's last byte; -1 without a reply.
  std::int64_t roundTripMs = -1;
  // With the network bridge's framing: the reply length the client announced (65535:
  // variable); -1 otherwise.
  int announcedReplyLength = -1;
};

// How long the monitor waits before it closes what is open.
inline constexpr std::int64_t kUnfinishedFrameMs = 1000;  // a frame that stops mid-way
inline constexpr std::int64_t kUnknownReplyQuietMs = 300; // a reply of unknown layout
inline constexpr std::int64_t kAbandonedReplyMs = 30000;  // a known reply that stops coming

// An exchange the monitor is still collecting.
struct MonitorPending {
  WireBytes command;
  WireBytes reply;
  CivilTime time;
  std::int64_t sentMs = 0;
  std::int64_t frameEndMs = 0;
  std::int64_t replyMs = -1;
  std::int64_t lastMs = 0;
  ReplyLayout layout;
  std::optional<ReplyTracker> tracker;
  int announced = -1;
};
class ProtocolMonitor {
 public:
  using Sink = std::function<void(const MonitoredExchange&)>;

  // The catalogue and the clock must outlive the monitor.
  ProtocolMonitor(const CommandCatalogue& catalogue, Clock& clock, Sink sink);

  // Bytes the point-of-sale side sent toward the printer.
  void FromPos(const std::uint8_t* data, std::size_t size);
  // Bytes the printer sent toward the point-of-sale side.
  void FromPrinter(const std::uint8_t* data, std::size_t size);
  // Closes what has waited too long (see the limits above).
  void Tick();
  // Closes everything still open, as at the end of a session.
  void Finish();
  // The monotonic time at which Tick has something to close; -1 when nothing waits.
  std::int64_t NextDeadlineMs() const;

  std::size_t ExchangeCount() const { return emitted_; }

  // The network bridge's framing: each frame from the point-of-sale side is followed by
  // two bytes with the reply length it expects (little-endian, FFFFh when variable).
  // They are taken apart from the frame and kept in the exchange.
  void SetBridgeFraming(bool on) { bridgeFraming_ = on; }

 private:


  using Pending = MonitorPending;

  void PosByte(std::uint8_t b, std::int64_t now);
  void StartFrame(std::int64_t now);
  void FrameDone(std::int64_t now);
  // A new exchange of `command` (which is left empty).
  static Pending Collect(WireBytes& command, const CivilTime& time, std::int64_t startMs, std::int64_t endMs);
  void Emit(Pending& pending);
  void EmitUnsolicited();
  void EmitExchange();
  void EmitStray();

  const CommandCatalogue& catalogue_;
  Clock& clock_;
  Sink sink_;
  // The frame arriving from the point-of-sale side.
  WireBytes frame_;
  std::int64_t frameStartMs_ = 0;
  std::int64_t frameLastMs_ = 0;
  CivilTime frameTime_;
  std::size_t frameNeeds_ = 0;  // 0 until the length field is in
  // Bytes from the point-of-sale side outside any frame.
  WireBytes stray_;
  std::int64_t strayStartMs_ = 0;
  CivilTime strayTime_;
  // The last frame, waiting for (or receiving) its reply.
  std::optional<Pending> exchange_;
  // Printer bytes with no frame to answer.
  std::optional<Pending> unsolicited_;
  std::size_t emitted_ = 0;
  bool bridgeFraming_ = false;
  // Bridge framing: bytes of the announced length still to come after the last frame.
  int trailerNeeded_ = 0;
  int trailer_ = 0;
};

}  // namespace tervane
