#include "sim/stream_link.h"

#include <cerrno>

#include <unistd.h>

namespace tervane::sim {

void StreamLink::LowerWake(std::int64_t* wakeUs) const {
  auto lower = [wakeUs](std::int64_t t) {
    if (t >= 0 && (*wakeUs < 0 || t < *wakeUs)) *wakeUs = t;
  };
  if (!writeBlocked_) lower(out_.NextDueUs());
  if (in_.HasPartial()) lower((in_.LastByteMs() + kInterByteTimeoutMs + 1) * 1000);
}

void StreamLink::Answer(FaceContext& context, const Bytes* frame, int expectedLength, std::int64_t nowUs,
                        bool* hangup) {
  Delivery d = Respond(*context.handler, *context.faults, frame);
  if (d.fault && context.verbose) context.Warn(std::string(face_) + " fault " + FaultName(*d.fault));
  if (!d.fault && context.verbose && expectedLength >= 0 &&
      static_cast<std::size_t>(expectedLength) != d.bytes.size()) {
    // Usually a catalogue whose reply size differs from the printer's.
    context.Warn(std::string(face_) + " client expects " + std::to_string(expectedLength) + " bytes, reply has " +
                 std::to_string(d.bytes.size()));
  }
  if (d.hangup) {
    *hangup = true;
    return;
  }
  out_.Push(std::move(d.bytes), nowUs + static_cast<std::int64_t>(d.delayMs) * 1000);
}

StreamLink::Outcome StreamLink::Read(FaceContext& context, std::int64_t nowUs) {
  std::uint8_t buffer[4096];
  bool hangup = false;
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n == 0) {
      inputEnded_ = true;
      return out_.Empty() ? Outcome::kClosed : Outcome::kOk;
    }
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) break;
      return Outcome::kClosed;  // EIO on a pty master whose slave was closed, resets, …
    }
    context.Trace(face_, "<-", buffer, static_cast<std::size_t>(n));
    for (auto& event : in_.Feed(buffer, static_cast<std::size_t>(n), nowUs / 1000)) {
      Answer(context, event.kind == FrameAssembler::EventKind::kFrame ? &event.frame : nullptr,
             event.expectedReplyLength, nowUs, &hangup);
      if (hangup) return Outcome::kHangup;
    }
    if (static_cast<std::size_t>(n) < sizeof buffer) break;
  }
  return Outcome::kOk;
}

void StreamLink::CheckIdle(FaceContext& context, std::int64_t nowUs) {
  if (in_.Expire(nowUs / 1000, kInterByteTimeoutMs)) {
    bool hangup = false;
    Answer(context, nullptr, -1, nowUs, &hangup);
  }
}

StreamLink::Outcome StreamLink::Flush(FaceContext& context, std::int64_t nowUs) {
  writeBlocked_ = false;
  for (;;) {
    const std::uint8_t* data = nullptr;
    const std::size_t due = out_.Due(nowUs, &data);
    if (due == 0) return inputEnded_ && out_.Empty() ? Outcome::kClosed : Outcome::kOk;
    const ssize_t n = ::write(fd_, data, due);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        writeBlocked_ = true;
        return Outcome::kOk;
      }
      return Outcome::kClosed;
    }
    context.Trace(face_, "->", data, static_cast<std::size_t>(n));
    out_.Consume(static_cast<std::size_t>(n));
  }
}

void StreamLink::Reset() {
  in_.Reset();
  out_.Clear();
  writeBlocked_ = false;
  inputEnded_ = false;
}

}  // namespace tervane::sim
