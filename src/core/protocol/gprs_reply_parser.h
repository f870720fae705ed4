// Parsing a GPRS reply byte by byte, shared by the command exchange and the protocol
// monitor, which both have to know where such a reply ends and what it says.
#pragma once

#include <cstdint>
#include <string>

#include "core/common/text.h"

namespace tervane {

// Parses a GPRS reply byte by byte: ACK, a kind byte, the kind's body, ST1, ST2 and, in
// extended-reply mode, the two extended-code bytes. A busy module's reply ends at its 00h
// with no status bytes.
class GprsReplyParser {
 public:
  explicit GprsReplyParser(bool extended) : extended_(extended) {}

  bool Finished() const { return state_ == State::kDone || state_ == State::kError; }
  bool Failed() const { return state_ == State::kError; }
  bool Busy() const { return busy_; }
  const std::string& Text() const { return text_; }
  int St1() const { return st1_; }
  int St2() const { return st2_; }
  int ExtLow() const { return extLow_; }
  int ExtHigh() const { return extHigh_; }

  void Feed(std::uint8_t b) {
    switch (state_) {
      case State::kAckByte:
        state_ = (b == 0x06) ? State::kKind : State::kError;
        break;
      case State::kKind:
        FeedKind(b);
        break;
      case State::kHeader:
        FeedHeader(b);
        break;
      case State::kBusyHeader:
        state_ = State::kBody;
        break;
      case State::kBody:
        FeedBody(b);
        break;
      case State::kSt1:
        st1_ = b;
        state_ = State::kSt2;
        break;
      case State::kSt2:
        st2_ = b;
        state_ = extended_ ? State::kExtLow : State::kDone;
        break;
      case State::kExtLow:
        extLow_ = b;
        state_ = State::kExtHigh;
        break;
      case State::kExtHigh:
        extHigh_ = b;
        state_ = State::kDone;
        break;
      case State::kDone:
      case State::kError:
        state_ = State::kError;
        break;
    }
  }

 private:
  // Where the parser is in the reply.
  enum class State {
    kAckByte,     // the first byte, which must be ACK
    kKind,        // the kind byte
    kHeader,      // the kind's header byte: a length, a terminator, or the busy header's first byte
    kBusyHeader,  // the busy header's second byte
    kBody,        // the kind's body
    kSt1,
    kSt2,
    kExtLow,  // the extended code, low byte first (extended-reply mode only)
    kExtHigh,
    kDone,
    kError,
  };

  // What the module answers, by the kind byte that follows ACK.
  enum class Kind {
    kExecution = 0,  // one byte: 0 executed, 1 not executed
    kNumber = 1,     // a 16-bit number, low byte first
    kCounted = 2,    // a length byte, then that many bytes, not shown
    kText = 3,       // a terminator byte, then text up to it
    kBusy = 4,       // a two-byte header, then bytes up to 00h: the module is busy
    kStatusOnly = 5, // no body: the status bytes follow at once
    kNone = 6,       // no kind read yet
  };

  void FeedKind(std::uint8_t b) {
    switch (b) {
      case 0:
        kind_ = Kind::kExecution;
        length_ = 1;
        state_ = State::kBody;
        break;
      case 1:
        kind_ = Kind::kNumber;
        length_ = 2;
        state_ = State::kBody;
        break;
      case 2:
      case 3:
      case 4:
        kind_ = static_cast<Kind>(b);
        state_ = State::kHeader;
        break;
      case 5:
        kind_ = Kind::kStatusOnly;
        state_ = State::kSt1;
        break;
      default:
        state_ = State::kError;
        break;
    }
  }

  void FeedHeader(std::uint8_t b) {
    switch (kind_) {
      case Kind::kCounted:
        length_ = b;
        // Nothing to skip: the status bytes follow at once.
        state_ = length_ == 0 ? State::kSt1 : State::kBody;
        break;
      case Kind::kText:
        terminator_ = b;
        length_ = 0;
        state_ = State::kBody;
        break;
      case Kind::kBusy:
        state_ = State::kBusyHeader;
        break;
      default:
        state_ = State::kError;
        break;
    }
  }

  void FeedBody(std::uint8_t b) {
    switch (kind_) {
      case Kind::kExecution:
        if (b == 0) text_ += "Executado";
        if (b == 1) text_ += "<N\xE3" "o> Executado";
        if (++count_ == length_) state_ = State::kSt1;
        break;
      case Kind::kNumber:
        if (count_ == 0) {
          number_ = b;
        } else {
          number_ |= static_cast<unsigned>(b) << 8;
        }
        if (++count_ == 2) {
          text_ += Format("%d", static_cast<int>(number_));
          state_ = State::kSt1;
        }
        break;
      case Kind::kCounted:
        if (++count_ == length_) state_ = State::kSt1;
        break;
      case Kind::kText:
        if ((b >= 0x20 && b < 0x7F) || (b >= 0x09 && b <= 0x0D)) text_ += static_cast<char>(b);
        if (b == terminator_) state_ = State::kSt1;
        break;
      case Kind::kBusy:
        if (b == 0) {
          text_ += "O M\xF3" "dulo GPRS est\xE1 ocupado, aguarde um (1) minuto e tente novamente.";
          busy_ = true;
          state_ = State::kDone;
        }
        break;
      case Kind::kStatusOnly:
      case Kind::kNone:
        kind_ = Kind::kNone;
        state_ = State::kDone;
        break;
    }
  }

  bool extended_;
  State state_ = State::kAckByte;
  Kind kind_ = Kind::kNone;
  int length_ = 0;
  int count_ = 0;
  std::uint8_t terminator_ = 0;
  unsigned number_ = 0;
  bool busy_ = false;
  std::string text_;
  int st1_ = 0, st2_ = 0, extLow_ = 0, extHigh_ = 0;
};

}  // namespace tervane
