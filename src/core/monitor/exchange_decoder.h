// Decoding one exchange seen on the wire: the frame a point-of-sale program sent (checked,
// matched to the catalogue by its command bytes, its parameters decoded by kind) and the
// printer's reply (ACK or NAK, return fields, status and extended-code texts), without
// taking part in it. Used by the protocol monitor, the transcripts and their tools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/catalogue/catalogue.h"
#include "core/protocol/gprs_reply_parser.h"

namespace tervane {

using WireBytes = std::vector<std::uint8_t>;

// What the frame's own length and checksum say.
enum class FrameCheck {
  kGood,
  kBadLength,    // no STX, or a length field that cannot be a frame (below 3, over 4096 bytes in all)
  kBadChecksum,  // the sum of the body does not match the last two bytes
  kIncomplete,   // fewer bytes arrived than the length field announced
};
// "good", "bad length", "bad checksum", "incomplete".
const char* FrameCheckName(FrameCheck check);

// Checks STX, the length field (L = bytes after it) and the 16-bit sum of a whole frame.
FrameCheck CheckFrame(const WireBytes& frame);

// How the reply to a frame is laid out, so that its end can be told.
enum class ReplyShape {
  kFixed,    // `length` bytes: ACK, data, the status block
  kOpenEtx,  // the status block, then data up to and including 03h
  kOpenNul,  // ACK ST1 ST2, then data up to and including 00h
  kGprs,     // the GPRS reply form
  kUnknown,  // a frame that matches no catalogue command, or is not good
};

struct ReplyLayout {
  ReplyShape shape = ReplyShape::kUnknown;
  int length = 0;       // kFixed: the whole reply
  int statusBlock = 3;  // 3, or 5 when the frame asked for the extended code (1Ch)
  bool extended = false;
};

// The catalogue command a good frame addresses: the longest escape that the bytes after
// ESC/FS start with; among commands of equal escapes the first whose parameter layout
// fits the frame, else the first. -1 when none matches.
int MatchCommand(const CommandCatalogue& catalogue, const WireBytes& frame);

// The reply layout for a frame sent as command `index` of the catalogue (-1: unknown).
ReplyLayout ExpectedReply(const CommandCatalogue& catalogue, int index, const WireBytes& frame);

// Tells, byte by byte, when a reply of a given layout is complete. A first byte NAK (15h)
// or one that is neither ACK nor NAK completes it at once. kUnknown never completes: the
// caller ends such a reply when the line goes quiet or the next frame starts.
class ReplyTracker {
 public:
  explicit ReplyTracker(ReplyLayout layout);
  // Takes the next reply byte. Returns true when the reply is complete with it.
  bool Feed(std::uint8_t b);
  bool Complete() const { return complete_; }

 private:
  ReplyLayout layout_;
  std::size_t count_ = 0;
  bool complete_ = false;
  GprsReplyParser gprs_;
};

struct DecodedParameter {
  std::string title;  // Windows-1252
  std::string kind;
  std::string value;  // as shown: text, decimal, hexadecimal; "**" for a password
};

struct DecodedField {
  std::string title;  // Windows-1252
  std::string value;
};

enum class ReplyOutcome {
  kNone,     // no byte came back
  kAck,      // the reply starts with ACK
  kNak,      // the printer did not take the frame
  kUnknown,  // the first byte is neither ACK nor NAK
};
// "none", "ack", "nak", "unknown".
const char* ReplyOutcomeName(ReplyOutcome outcome);

struct DecodedExchange {
  WireBytes command;
  WireBytes reply;
  FrameCheck check = FrameCheck::kBadLength;
  bool extended = false;            // the frame used 1Ch: the reply carries the extended code
  int commandIndex = -1;            // into the catalogue; -1 when not matched
  std::string title;                // of the matched command (Windows-1252), empty when none
  std::string group;
  std::vector<DecodedParameter> parameters;
  std::size_t unexplainedBytes = 0; // parameter bytes beyond the catalogue's layout
  ReplyShape shape = ReplyShape::kUnknown;
  ReplyOutcome outcome = ReplyOutcome::kNone;
  bool replyComplete = false;       // the reply holds all its layout asks for
  int st1 = -1;                     // -1 when the reply does not carry it
  int st2 = -1;
  int extendedCode = -1;            // high * 256 + low; -1 when not carried
  std::string statusText;           // the status lines, "\r\n" separated (Windows-1252)
  std::string extendedText;         // the extended code's message, empty when none
  std::vector<DecodedField> fields; // return fields held entirely by the reply
  std::string resultText;           // the result text as the workbench shows it
};

// Decodes a frame and the reply bytes that answered it (the reply may be empty or cut
// short; the decoding goes as far as the bytes do). Never fails.
DecodedExchange DecodeExchange(const CommandCatalogue& catalogue, const WireBytes& command, const WireBytes& reply);

// Upper-case hexadecimal bytes separated by blanks: "02 05 00".
std::string WireHex(const WireBytes& bytes);
// The reverse; false for anything but hexadecimal pairs separated by blanks.
bool ParseWireHex(const std::string& text, WireBytes& bytes);

}  // namespace tervane
