#include "core/monitor/exchange_decoder.h"

#include <algorithm>

#include "core/common/frame_bytes.h"
#include "core/common/charset.h"
#include "core/common/settings.h"
#include "core/common/string_ids.h"
#include "core/common/string_table.h"
#include "core/common/text.h"
#include "core/interpret/return_formatter.h"
#include "core/interpret/status_text.h"
#include "core/protocol/command_exchange.h"
#include "core/protocol/frame_builder.h"
#include "core/protocol/gprs_reply_parser.h"

namespace tervane {
namespace {

constexpr std::size_t kHeaderBytes = 3;  // STX and the length field

bool IsGprsGroup(const std::string& group) { return group == "GPRS"; }

// Kinds whose value is a text of variable length ended by LF.
bool EndsWithLineFeed(const std::string& kind) {
  return kind == "STRING_VAR_SIZE" || kind == "BIG_STRING_VAR_SIZE" || kind == "CLICHE";
}

// Kinds sent with all their bytes, however many.
bool IsOpenLength(const std::string& kind) {
  return EndsWithLineFeed(kind) || kind == "STRING_VAR_SIZE_WITHOUT_CR" || kind == "BILHETE_PASSAGEM" ||
         kind == "LEIT_DADOS_MEM_FISCAL" || kind == "DISCOUNT";
}

// Kinds sent with at most `size` bytes.
bool IsUpToSize(const std::string& kind) {
  return kind == "FECHA_CUPOM" || kind == "AC_OU_DESC_SUB" || kind == "AC_OU_DESC_ITEM" ||
         kind == "DESCR_FORMA_PAGAMENTO" || kind == "DESCR_FORMA_PAGAMENTO_SEM_TEF" ||
         kind == "IMPR_FITA_DETALHE" || kind == "LEIT_MEM_FISCAL";
}

bool IsOneByte(const std::string& kind) { return kind == "BINARIO" || kind == "CUPOM_OU_BILHETE_CONV_156"; }

bool IsHexKind(const std::string& kind) {
  return kind == "DIG_HEX" || kind == "DIG_HEX_NOT_EDITABLE" || kind == "CAR_GRAF_AUTENTICACAO";
}

// Bytes a parameter takes in a frame when it is present and its length is fixed; -1 for
// the kinds whose length depends on the value.
int FixedParameterBytes(const ParameterRecord& p) {
  if (IsOneByte(p.kind)) return 1;
  if (p.kind == "TROCA_SIT_TRIB" || IsOpenLength(p.kind) || IsUpToSize(p.kind)) return -1;
  return std::max(p.size, 0);
}

// A text from the printer as shown: code page 850 letters back to Windows-1252, control
// bytes as <hh>.
std::string ShownPrinterText(const std::uint8_t* p, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = FromPrinterByte(p[i]);
    if (c < 0x20 || c == 0x7F) {
      out += "<" + HexByte(c) + ">";
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string HexRun(const std::uint8_t* p, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += HexByte(p[i]);
  return out;
}

// Decodes the value of one parameter from the bytes at `p` (at most `available`), for a
// parameter that is the last one when `last`. Sets `used` to the bytes it took.
std::string DecodeParameterValue(const ParameterRecord& parameter, const std::uint8_t* p, std::size_t available,
                                 bool last, std::size_t& used) {
  const std::string& kind = parameter.kind;
  const std::size_t size = static_cast<std::size_t>(std::max(parameter.size, 0));
  if (IsOneByte(kind)) {
    used = std::min<std::size_t>(1, available);
    if (used == 0) return {};
    if (kind == "CUPOM_OU_BILHETE_CONV_156") return p[0] == 0xFF ? "b" : "c";
    return std::to_string(p[0]);
  }
  if (kind == "TROCA_SIT_TRIB") {
    used = std::min<std::size_t>(available, 1 + 64);
    if (used == 0) return {};
    return Format("%02d", p[0]) + ShownPrinterText(p + 1, used - 1);
  }
  if (EndsWithLineFeed(kind)) {
    const std::uint8_t* lf = std::find(p, p + available, 0x0A);
    used = lf == p + available ? available : static_cast<std::size_t>(lf - p) + 1;
    return ShownPrinterText(p, used);
  }
  if (IsOpenLength(kind)) {
    used = last ? available : std::min(size, available);
    return ShownPrinterText(p, used);
  }
  if (IsUpToSize(kind)) {
    used = std::min(size, available);
    return ShownPrinterText(p, used);
  }
  used = std::min(size, available);
  if (CommandRecord::IsSecretKind(kind)) return "**";
  if (IsHexKind(kind)) return HexRun(p, used);
  if (kind == "BCD_INTEGER") return used == 0 ? std::string() : std::to_string(p[0]);
  if (kind == "CHEQUE_POS") {
    std::string out;
    for (std::size_t i = 0; i < used; ++i) out += Format("%02d", p[i]);
    return out;
  }
  return ShownPrinterText(p, used);
}

// Whether the parameters of `command` can take exactly `bytes` parameter bytes.
bool LayoutFits(const CommandRecord& command, std::size_t bytes) {
  std::size_t fixed = 0;
  bool open = false;
  for (const ParameterRecord& p : command.parameters) {
    const int n = FixedParameterBytes(p);
    if (n < 0) {
      open = true;
    } else {
      fixed += static_cast<std::size_t>(n);
    }
  }
  return open ? bytes >= fixed || bytes > 0 : bytes == fixed;
}

std::size_t BodyEnd(const WireBytes& frame) { return frame.size() >= 2 ? frame.size() - 2 : 0; }

void DecodeParameters(const CommandRecord& command, const WireBytes& frame, DecodedExchange& out) {
  const std::size_t begin = kHeaderBytes + 1 + static_cast<std::size_t>(command.escapeCount);
  const std::size_t end = BodyEnd(frame);
  std::size_t at = std::min(begin, end);
  for (std::size_t i = 0; i < command.parameters.size() && at < end; ++i) {
    const ParameterRecord& parameter = command.parameters[i];
    std::size_t used = 0;
    const bool last = i + 1 == command.parameters.size();
    std::string value = DecodeParameterValue(parameter, frame.data() + at, end - at, last, used);
    out.parameters.push_back(DecodedParameter{parameter.title, parameter.kind, std::move(value)});
    at += used;
  }
  out.unexplainedBytes = end - at;
}

// The text of an open reply's data as the exchange shows it: through the display table,
// LF as CR LF, 00h left out, without the terminator.
std::string OpenReplyText(const WireBytes& reply, std::size_t from, bool complete) {
  std::string out;
  const std::size_t end = complete && reply.size() > from ? reply.size() - 1 : reply.size();
  for (std::size_t i = from; i < end; ++i) {
    const unsigned char c = DisplayByte(reply[i]);
    if (c == 0) continue;
    if (c == '\n') out += '\r';
    out += static_cast<char>(c);
  }
  return out;
}

void SetStatus(DecodedExchange& out, const WireBytes& reply, std::size_t at, bool extended) {
  if (reply.size() < at + 2) return;
  out.st1 = reply[at];
  out.st2 = reply[at + 1];
  out.statusText = StatusText(out.st1, out.st2);
  if (extended && reply.size() >= at + 4) {
    out.extendedCode = reply[at + 3] * 256 + reply[at + 2];
    out.extendedText = ExtendedErrorText(reply[at + 2], reply[at + 3]);
  }
}

std::string StatusBlockText(const DecodedExchange& out) {
  if (out.st1 < 0) return {};
  std::string text = out.statusText + "\r\n";
  if (out.extendedCode >= 0) text += out.extendedText + "\r\n";
  return text;
}

void DecodeFixed(const CommandRecord& catalogued, const ReplyLayout& layout, DecodedExchange& out) {
  CommandRecord command = catalogued;
  command.StatusBlockLength = layout.statusBlock;
  command.ExpectedReplyLength = layout.length;
  command.replyData = out.reply;
  ProgramSettings settings;
  settings.g_extendedReply = layout.extended;
  FormatReturn(command, settings);
  out.resultText = command.ResultText;
  std::size_t end = 1;
  for (const ReturnFieldRecord& field : command.returnFields) {
    end += static_cast<std::size_t>(std::max(field.size, 0));
    if (end > out.reply.size()) break;
    out.fields.push_back(DecodedField{field.title, field.value});
  }
  if (out.reply.size() >= static_cast<std::size_t>(layout.length) && layout.length >= layout.statusBlock) {
    SetStatus(out, out.reply, static_cast<std::size_t>(layout.length - layout.statusBlock) + 1, layout.extended);
  }
}

void DecodeGprs(const ReplyLayout& layout, DecodedExchange& out) {
  GprsReplyParser parser(layout.extended);
  for (std::uint8_t b : out.reply) {
    if (parser.Finished()) break;
    parser.Feed(b);
  }
  if (!parser.Finished() || parser.Failed()) {
    out.resultText = out.title + ":\r\n\r\n" + parser.Text();
    return;
  }
  if (!parser.Busy()) {
    out.st1 = parser.St1();
    out.st2 = parser.St2();
    out.statusText = StatusText(out.st1, out.st2);
    if (layout.extended) {
      out.extendedCode = parser.ExtHigh() * 256 + parser.ExtLow();
      out.extendedText = ExtendedErrorText(parser.ExtLow(), parser.ExtHigh());
    }
  }
  out.resultText = StatusBlockText(out) + out.title + ":\r\n\r\n" + parser.Text() + "\r\n";
}

}  // namespace

const char* FrameCheckName(FrameCheck check) {
  switch (check) {
    case FrameCheck::kGood: return "good";
    case FrameCheck::kBadLength: return "bad length";
    case FrameCheck::kBadChecksum: return "bad checksum";
    case FrameCheck::kIncomplete: return "incomplete";
  }
  return "bad length";
}

const char* ReplyOutcomeName(ReplyOutcome outcome) {
  switch (outcome) {
    case ReplyOutcome::kNone: return "none";
    case ReplyOutcome::kAck: return "ack";
    case ReplyOutcome::kNak: return "nak";
    case ReplyOutcome::kUnknown: return "unknown";
  }
  return "none";
}

FrameCheck CheckFrame(const WireBytes& frame) {
  if (frame.size() < kHeaderBytes || frame[0] != kStx) return FrameCheck::kBadLength;
  const std::size_t length = frame[1] | (static_cast<std::size_t>(frame[2]) << 8);
  if (length < 3 || length + kHeaderBytes > kFrameCapacity) return FrameCheck::kBadLength;
  if (frame.size() < length + kHeaderBytes) return FrameCheck::kIncomplete;
  if (frame.size() > length + kHeaderBytes) return FrameCheck::kBadLength;
  unsigned sum = 0;
  for (std::size_t i = kHeaderBytes; i < frame.size() - 2; ++i) sum += frame[i];
  const unsigned carried = frame[frame.size() - 2] | (static_cast<unsigned>(frame[frame.size() - 1]) << 8);
  return (sum & 0xFFFF) == carried ? FrameCheck::kGood : FrameCheck::kBadChecksum;
}

int MatchCommand(const CommandCatalogue& catalogue, const WireBytes& frame) {
  if (CheckFrame(frame) != FrameCheck::kGood) return -1;
  const std::size_t body = kHeaderBytes + 1;
  const std::size_t end = BodyEnd(frame);
  int best = -1;
  int bestLength = -1;
  bool bestFits = false;
  for (int i = 0; i < catalogue.count(); ++i) {
    const CommandRecord& command = catalogue.commands[static_cast<std::size_t>(i)];
    const std::size_t n = static_cast<std::size_t>(command.escapeCount);
    if (n == 0 || !command.escapeError.empty() || body + n > end) continue;
    if (!std::equal(command.escapeBytes.begin(), command.escapeBytes.begin() + n, frame.begin() + body)) continue;
    const bool fits = LayoutFits(command, end - body - n);
    const int length = static_cast<int>(n);
    if (length > bestLength || (length == bestLength && fits && !bestFits)) {
      best = i;
      bestLength = length;
      bestFits = fits;
    }
  }
  return best;
}

ReplyLayout ExpectedReply(const CommandCatalogue& catalogue, int index, const WireBytes& frame) {
  ReplyLayout layout;
  if (frame.size() > kHeaderBytes) layout.extended = frame[kHeaderBytes] == kFs;
  if (index < 0 || index >= catalogue.count()) return layout;
  const CommandRecord& command = catalogue.commands[static_cast<std::size_t>(index)];
  if (command.declaredReturnSize == -2) {
    layout.extended = false;
    layout.shape = ReplyShape::kOpenNul;
    return layout;
  }
  layout.statusBlock = layout.extended ? 5 : 3;
  if (IsGprsGroup(command.group)) {
    layout.shape = ReplyShape::kGprs;
    return layout;
  }
  CommandRecord framed = command;
  framed.frame.length = std::min(frame.size(), kFrameCapacity);
  std::copy(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(framed.frame.length), framed.frame.bytes.data());
  if (IsOpenEtxReply(framed)) {
    layout.shape = ReplyShape::kOpenEtx;
    return layout;
  }
  layout.shape = ReplyShape::kFixed;
  layout.length = std::max(command.declaredReturnSize, 0) + layout.statusBlock;
  return layout;
}

ReplyTracker::ReplyTracker(ReplyLayout layout) : layout_(layout), gprs_(layout.extended) {}

bool ReplyTracker::Feed(std::uint8_t b) {
  if (complete_) return true;
  ++count_;
  if (count_ == 1 && b != kAck) {
    // NAK, or an answer the layout cannot explain: nothing more belongs to it by rule.
    complete_ = layout_.shape != ReplyShape::kUnknown || b == kNak;
    return complete_;
  }
  switch (layout_.shape) {
    case ReplyShape::kFixed:
      complete_ = count_ >= static_cast<std::size_t>(layout_.length);
      break;
    case ReplyShape::kOpenEtx:
      complete_ = count_ > static_cast<std::size_t>(layout_.statusBlock) && b == 0x03;
      break;
    case ReplyShape::kOpenNul:
      complete_ = count_ > 3 && b == 0x00;
      break;
    case ReplyShape::kGprs: {
      gprs_.Feed(b);
      complete_ = gprs_.Finished() || count_ > static_cast<std::size_t>(kGprsReplyCapacity);
      break;
    }
    case ReplyShape::kUnknown:
      break;
  }
  return complete_;
}

DecodedExchange DecodeExchange(const CommandCatalogue& catalogue, const WireBytes& command, const WireBytes& reply) {
  DecodedExchange out;
  out.command = command;
  out.reply = reply;
  out.check = CheckFrame(command);
  if (command.size() > kHeaderBytes) out.extended = command[kHeaderBytes] == kFs;
  out.commandIndex = MatchCommand(catalogue, command);
  const ReplyLayout layout = ExpectedReply(catalogue, out.commandIndex, command);
  out.shape = layout.shape;
  if (out.commandIndex >= 0) {
    const CommandRecord& record = catalogue.commands[static_cast<std::size_t>(out.commandIndex)];
    out.title = record.title;
    out.group = record.group;
    DecodeParameters(record, command, out);
  }

  if (reply.empty()) return out;
  ReplyTracker tracker(layout);
  for (std::uint8_t b : reply) {
    if (tracker.Feed(b)) break;
  }
  out.replyComplete = tracker.Complete();
  if (reply[0] == kNak) {
    out.outcome = ReplyOutcome::kNak;
    out.resultText = LoadString(str::kComandoNaoRecebido);
    return out;
  }
  if (reply[0] != kAck) {
    out.outcome = ReplyOutcome::kUnknown;
    out.resultText = UnknownReplyText(reply);
    return out;
  }
  out.outcome = ReplyOutcome::kAck;
  if (out.commandIndex < 0) return out;
  const CommandRecord& record = catalogue.commands[static_cast<std::size_t>(out.commandIndex)];
  switch (layout.shape) {
    case ReplyShape::kFixed:
      DecodeFixed(record, layout, out);
      break;
    case ReplyShape::kOpenEtx: {
      SetStatus(out, reply, 1, layout.extended);
      const std::size_t data = static_cast<std::size_t>(layout.statusBlock);
      out.resultText = StatusBlockText(out) + OpenReplyText(reply, data, out.replyComplete);
      break;
    }
    case ReplyShape::kOpenNul:
      SetStatus(out, reply, 1, false);
      out.resultText = OpenReplyText(reply, 3, out.replyComplete);
      break;
    case ReplyShape::kGprs:
      DecodeGprs(layout, out);
      break;
    case ReplyShape::kUnknown:
      break;
  }
  return out;
}

std::string WireHex(const WireBytes& bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) out += ' ';
    out += HexByte(bytes[i]);
  }
  return out;
}

bool ParseWireHex(const std::string& text, WireBytes& bytes) {
  bytes.clear();
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    if (i + 1 >= text.size()) return false;
    const int high = HexDigitValue(text[i]);
    const int low = HexDigitValue(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    i += 2;
    if (i < text.size() && text[i] != ' ') return false;
  }
  return true;
}

}  // namespace tervane
