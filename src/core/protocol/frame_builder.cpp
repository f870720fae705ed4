#include "core/protocol/frame_builder.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <string_view>

#include "core/common/frame_bytes.h"
#include "core/common/string_table.h"
#include "core/catalogue/parameter_kinds.h"
#include "core/common/charset.h"
#include "core/common/text.h"

namespace tervane {
namespace {

constexpr size_t kHeaderBytes = 3;    // STX and the two length bytes
constexpr size_t kChecksumBytes = 2;
// Parameters may fill the frame only up to where the checksum still fits.
constexpr size_t kParameterLimit = kFrameCapacity - kChecksumBytes;

// How a kind turns its value into bytes. Kinds that share a rule share an entry.
enum class Encoding {
  kNotEditable,
  kBinario,
  kDigits,          // INTEGER, FINANCE, FINANCE_3, PERCENTAGE
  kRandomDigits,    // RANDOM_NUMBER
  kBcdInteger,
  kString,          // STRING
  kBigString,       // BIG_STRING: CR LF becomes LF
  kRandomString,    // RANDOM_STRING
  kVarSizeLf,       // STRING_VAR_SIZE, BIG_STRING_VAR_SIZE: CR LF -> LF, ends with LF
  kCliche,          // as kVarSizeLf, after the markup tokens
  kVarSizePlain,    // the other variable-size kinds: charset only
  kDate,            // DATA, DATA_2_2_4, HORA: "/" removed, exact size
  kUpToSize,        // composed values: at most size bytes
  kUpToSizeCharset, // the payment descriptions: as kUpToSize after the charset
  kChequePos,
  kDigHex,
  kTrocaSitTrib,
  kCupomOuBilhete,
  kExact,           // VINC_ISS, OPTIONS
};

struct KindEntry {
  std::string_view name;
  Encoding encoding;
  bool mayBeEmpty;  // exempt from the mandatory check: the value is made or fixed here
};

// Sorted by name for the binary search below.
constexpr std::array<KindEntry, 36> kKinds{{
    {"AC_OU_DESC_ITEM", Encoding::kUpToSize, false},
    {"AC_OU_DESC_SUB", Encoding::kUpToSize, false},
    {"BCD_INTEGER", Encoding::kBcdInteger, false},
    {"BIG_STRING", Encoding::kBigString, false},
    {"BIG_STRING_VAR_SIZE", Encoding::kVarSizeLf, false},
    {"BILHETE_PASSAGEM", Encoding::kVarSizePlain, false},
    {"BINARIO", Encoding::kBinario, false},
    {"CAR_GRAF_AUTENTICACAO", Encoding::kDigHex, false},
    {"CHEQUE_POS", Encoding::kChequePos, false},
    {"CLICHE", Encoding::kCliche, false},
    {"CUPOM_OU_BILHETE_CONV_156", Encoding::kCupomOuBilhete, false},
    {"DATA", Encoding::kDate, false},
    {"DATA_2_2_4", Encoding::kDate, false},
    {"DESCR_FORMA_PAGAMENTO", Encoding::kUpToSizeCharset, false},
    {"DESCR_FORMA_PAGAMENTO_SEM_TEF", Encoding::kUpToSizeCharset, false},
    {"DIG_HEX", Encoding::kDigHex, false},
    {"DIG_HEX_NOT_EDITABLE", Encoding::kDigHex, true},
    {"DISCOUNT", Encoding::kVarSizePlain, false},
    {"FECHA_CUPOM", Encoding::kUpToSize, false},
    {"FINANCE", Encoding::kDigits, false},
    {"FINANCE_3", Encoding::kDigits, false},
    {"HORA", Encoding::kDate, false},
    {"IMPR_FITA_DETALHE", Encoding::kUpToSize, false},
    {"INTEGER", Encoding::kDigits, false},
    {"LEIT_DADOS_MEM_FISCAL", Encoding::kVarSizePlain, false},
    {"LEIT_MEM_FISCAL", Encoding::kUpToSize, false},
    {"NOT_EDITABLE", Encoding::kNotEditable, true},
    {"OPTIONS", Encoding::kExact, false},
    {"PERCENTAGE", Encoding::kDigits, false},
    {"RANDOM_NUMBER", Encoding::kRandomDigits, true},
    {"RANDOM_STRING", Encoding::kRandomString, true},
    {"STRING", Encoding::kString, false},
    {"STRING_VAR_SIZE", Encoding::kVarSizeLf, false},
    {"STRING_VAR_SIZE_WITHOUT_CR", Encoding::kVarSizePlain, false},
    {"TROCA_SIT_TRIB", Encoding::kTrocaSitTrib, false},
    {"VINC_ISS", Encoding::kExact, false},
}};

constexpr bool KindsSorted() {
  for (size_t i = 1; i < kKinds.size(); ++i) {
    if (!(kKinds[i - 1].name < kKinds[i].name)) return false;
  }
  return true;
}
static_assert(KindsSorted(), "the kind table must stay sorted by name");

// The entry of a kind name, or nullptr for a name the frame does not know.
const KindEntry* FindKind(std::string_view name) {
  const auto it = std::lower_bound(kKinds.begin(), kKinds.end(), name,
                                   [](const KindEntry& e, std::string_view n) { return e.name < n; });
  if (it == kKinds.end() || it->name != name) return nullptr;
  return &*it;
}

struct ClicheToken {
  std::string_view token;
  std::string_view bytes;
};

constexpr std::array<ClicheToken, 8> kClicheTokens{{
    {"CLICHE_SUB_INI_XML", std::string_view("\x1B\x2D\x01", 3)},
    {"CLICHE_SUB_END_XML", std::string_view("\x1B\x2D\x30", 3)},
    {"CLICHE_IT_INI_XML", std::string_view("\x1B\x34", 2)},
    {"CLICHE_IT_END_XML", std::string_view("\x1B\x35", 2)},
    {"CLICHE_ENF_INI_XML", std::string_view("\x1B\x45", 2)},
    {"CLICHE_ENF_END_XML", std::string_view("\x1B\x46", 2)},
    {"CLICHE_EXP_INI_XML", std::string_view("\x1B\x57\x01", 3)},
    {"CLICHE_EXP_END_XML", std::string_view("\x1B\x57\x02", 3)},
}};

enum class Outcome {
  kEncoded,    // bytes appended, or nothing when the rule says so
  kWrongSize,  // the value does not have the size the kind requires
  kTooLong,    // the bytes would not fit in the frame
};

// Appends parameter bytes to a frame, never past the room the checksum needs.
class ParameterSink {
 public:
  explicit ParameterSink(FrameBuffer& frame) : frame_(frame) {}

  bool HasRoom(size_t count) const {
    return frame_.length <= kParameterLimit && count <= kParameterLimit - frame_.length;
  }
  // Room for a size taken from the catalogue, which may be negative or huge.
  bool HasRoom(long long count) const {
    return count >= 0 && HasRoom(static_cast<size_t>(count));
  }
  // The callers check the room first.
  void Put(std::uint8_t b) { frame_.bytes[frame_.length++] = b; }
  void Put(std::string_view s) {
    if (s.empty()) return;
    std::memcpy(&frame_.bytes[frame_.length], s.data(), s.size());
    frame_.length += s.size();
  }
  void Fill(std::uint8_t b, size_t count) {
    if (count == 0) return;
    std::memset(&frame_.bytes[frame_.length], b, count);
    frame_.length += count;
  }
  std::uint8_t* Cursor() { return &frame_.bytes[frame_.length]; }
  void Advance(size_t count) { frame_.length += count; }

 private:
  FrameBuffer& frame_;
};

bool LengthIs(std::string_view s, long long size) {
  return size >= 0 && s.size() == static_cast<size_t>(size);
}

// Reads a decimal integer the way atoi does (blanks, sign, digits up to the first
// non-digit), in 64 bits, saturating instead of overflowing.
long long ReadDecimal64(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  unsigned long long value = 0;
  constexpr unsigned long long kCap = static_cast<unsigned long long>(LLONG_MAX) + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
    if (value > kCap) value = kCap;
  }
  if (negative) return value == kCap ? LLONG_MIN : -static_cast<long long>(value);
  return value >= kCap ? LLONG_MAX : static_cast<long long>(value);
}

// Prefixes "0"s to the value up to size characters.
void PadWithZeros(std::string& value, long long size) {
  if (size > 0 && value.size() < static_cast<size_t>(size)) {
    value.insert(0, static_cast<size_t>(size) - value.size(), '0');
  }
}

// Number of CR LF pairs, which become a single LF in the kinds that fold them.
size_t CountCrLf(std::string_view s) {
  size_t n = 0;
  for (size_t i = 0; i + 1 < s.size(); ++i) {
    if (s[i] == '\r' && s[i + 1] == '\n') ++n;
  }
  return n;
}

// Writes s converted to the printer's character set, each CR LF folded to LF when
// foldCrLf is set. Returns the number of bytes written; the caller checked the room.
size_t PutPrinterText(ParameterSink& sink, std::string_view s, bool foldCrLf) {
  std::uint8_t* out = sink.Cursor();
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (foldCrLf && s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;
    out[n++] = ToPrinterByte(static_cast<unsigned char>(s[i]));
  }
  sink.Advance(n);
  return n;
}

// RANDOM_NUMBER, INTEGER, FINANCE, FINANCE_3, PERCENTAGE.
Outcome EncodeDigits(ParameterRecord& p, bool random, ParameterSink& sink, Clock& clock) {
  const long long size = p.size;
  if (random) {
    if (size > 0 && !sink.HasRoom(size)) return Outcome::kTooLong;
    p.value = MakeRandomDigits(p.size, clock);
  }
  std::erase(p.value, ',');
  if (size < 0 || p.value.size() > static_cast<size_t>(size)) return Outcome::kWrongSize;
  if (!sink.HasRoom(size)) return Outcome::kTooLong;
  PadWithZeros(p.value, size);
  sink.Put(p.value);
  return Outcome::kEncoded;
}

// BCD_INTEGER: the number's low byte first, then its further bytes in the same order
// (two's complement, so a negative number continues with FFh), size bytes in all.
Outcome EncodeBcdInteger(ParameterRecord& p, ParameterSink& sink) {
  const long long size = p.size;
  if (size < 0 || p.value.size() > static_cast<size_t>(size)) return Outcome::kWrongSize;
  if (!sink.HasRoom(size)) return Outcome::kTooLong;
  PadWithZeros(p.value, size);
  const auto number = static_cast<unsigned long long>(ReadDecimal64(p.value));
  const std::uint8_t extension = static_cast<long long>(number) < 0 ? 0xFF : 0x00;
  for (long long i = 0; i < size; ++i) {
    sink.Put(i < 8 ? static_cast<std::uint8_t>(number >> (8 * i)) : extension);
  }
  return Outcome::kEncoded;
}

// STRING, BIG_STRING, RANDOM_STRING: converted, space-padded to exactly size bytes.
Outcome EncodeFixedString(ParameterRecord& p, Encoding encoding, ParameterSink& sink, Clock& clock) {
  const long long size = p.size;
  if (encoding == Encoding::kRandomString) {
    if (size > 0 && !sink.HasRoom(size)) return Outcome::kTooLong;
    p.value = MakeRandomText(p.size, clock);
  }
  const bool fold = encoding == Encoding::kBigString;
  const size_t length = p.value.size() - (fold ? CountCrLf(p.value) : 0);
  if (size < 0 || length > static_cast<size_t>(size)) return Outcome::kWrongSize;
  if (!sink.HasRoom(size)) return Outcome::kTooLong;
  const size_t written = PutPrinterText(sink, p.value, fold);
  sink.Fill(' ', static_cast<size_t>(size) - written);
  return Outcome::kEncoded;
}

// The variable-size kinds: the whole converted text, never a size error. The kinds that
// fold CR LF also end the text with LF: appended while it is shorter than size,
// otherwise written over its last character.
Outcome EncodeVariableText(std::string_view text, long long size, bool lineRule, ParameterSink& sink) {
  size_t length = text.size() - (lineRule ? CountCrLf(text) : 0);
  bool appendLf = false;
  bool overwriteLast = false;
  if (lineRule && length > 0 && text.back() != '\n') {
    if (static_cast<long long>(length) < size) {
      appendLf = true;
    } else {
      overwriteLast = true;
    }
  }
  if (!sink.HasRoom(length + (appendLf ? 1 : 0))) return Outcome::kTooLong;
  PutPrinterText(sink, text, lineRule);
  if (overwriteLast) sink.Cursor()[-1] = '\n';
  if (appendLf) sink.Put('\n');
  return Outcome::kEncoded;
}

Outcome EncodeCliche(const ParameterRecord& p, ParameterSink& sink) {
  std::string text = p.value;
  for (const auto& t : kClicheTokens) ReplaceAll(text, t.token, t.bytes);
  return EncodeVariableText(text, p.size, true, sink);
}

// CHEQUE_POS (pairs of decimal digits) and the hexadecimal kinds (pairs of nibbles):
// 2 x size characters give size bytes.
Outcome EncodePairs(const ParameterRecord& p, bool hex, ParameterSink& sink) {
  const long long size = p.size;
  if (!LengthIs(p.value, 2 * size)) return Outcome::kWrongSize;
  if (!sink.HasRoom(size)) return Outcome::kTooLong;
  for (size_t i = 0; i < p.value.size(); i += 2) {
    const auto hi = static_cast<unsigned char>(p.value[i]);
    const auto lo = static_cast<unsigned char>(p.value[i + 1]);
    if (hex) {
      sink.Put(static_cast<std::uint8_t>(HexNibble(hi) * 16 + HexNibble(lo)));
    } else {
      sink.Put(static_cast<std::uint8_t>(Atoi(std::string_view(p.value).substr(i, 2))));
    }
  }
  return Outcome::kEncoded;
}

// TROCA_SIT_TRIB: a byte from the two leading digits, then the last 64 characters.
Outcome EncodeTrocaSitTrib(const ParameterRecord& p, ParameterSink& sink) {
  const std::string_view v = p.value;
  if (static_cast<long long>(p.size) < static_cast<long long>(v.size()) - 2) return Outcome::kWrongSize;
  const std::string_view tail = v.substr(v.size() > 64 ? v.size() - 64 : 0);
  if (!sink.HasRoom(1 + tail.size())) return Outcome::kTooLong;
  sink.Put(static_cast<std::uint8_t>(Atoi(v.substr(0, 2))));
  sink.Put(tail);
  return Outcome::kEncoded;
}

Outcome EncodeParameter(ParameterRecord& p, const KindEntry& kind, ParameterSink& sink, Clock& clock) {
  const long long size = p.size;
  switch (kind.encoding) {
    case Encoding::kNotEditable:
      if (LengthIs(p.value, size)) {
        if (!sink.HasRoom(p.value.size())) return Outcome::kTooLong;
        sink.Put(p.value);
      } else if (p.mandatory && size > 0) {
        if (!sink.HasRoom(size)) return Outcome::kTooLong;
        sink.Fill(' ', static_cast<size_t>(size));
      }
      return Outcome::kEncoded;

    case Encoding::kBinario: {
      if (!sink.HasRoom(size_t{1})) return Outcome::kTooLong;
      const int n = Atoi(p.value);
      sink.Put(n > 255 ? std::uint8_t{0xFF} : static_cast<std::uint8_t>(n));
      return Outcome::kEncoded;
    }

    case Encoding::kDigits:
    case Encoding::kRandomDigits:
      return EncodeDigits(p, kind.encoding == Encoding::kRandomDigits, sink, clock);

    case Encoding::kBcdInteger:
      return EncodeBcdInteger(p, sink);

    case Encoding::kString:
    case Encoding::kBigString:
    case Encoding::kRandomString:
      return EncodeFixedString(p, kind.encoding, sink, clock);

    case Encoding::kVarSizeLf:
      return EncodeVariableText(p.value, size, true, sink);
    case Encoding::kVarSizePlain:
      return EncodeVariableText(p.value, size, false, sink);
    case Encoding::kCliche:
      return EncodeCliche(p, sink);

    case Encoding::kDate:
      std::erase(p.value, '/');
      [[fallthrough]];
    case Encoding::kExact:
      if (!LengthIs(p.value, size)) return Outcome::kWrongSize;
      if (!sink.HasRoom(p.value.size())) return Outcome::kTooLong;
      sink.Put(p.value);
      return Outcome::kEncoded;

    case Encoding::kUpToSize:
    case Encoding::kUpToSizeCharset:
      if (static_cast<long long>(p.value.size()) > size) return Outcome::kWrongSize;
      if (!sink.HasRoom(p.value.size())) return Outcome::kTooLong;
      if (kind.encoding == Encoding::kUpToSizeCharset) {
        PutPrinterText(sink, p.value, false);
      } else {
        sink.Put(p.value);
      }
      return Outcome::kEncoded;

    case Encoding::kChequePos:
      return EncodePairs(p, false, sink);
    case Encoding::kDigHex:
      return EncodePairs(p, true, sink);

    case Encoding::kTrocaSitTrib:
      return EncodeTrocaSitTrib(p, sink);

    case Encoding::kCupomOuBilhete:
      if (!sink.HasRoom(size_t{1})) return Outcome::kTooLong;
      sink.Put(p.value == "b" || p.value == "B" ? std::uint8_t{0xFF} : std::uint8_t{0x00});
      return Outcome::kEncoded;
  }
  return Outcome::kEncoded;
}

// Fails an encoding: the message, the reply length back to the catalogue's, and the
// frame back to what it held before the parameters.
int FailEncoding(CommandRecord& command, size_t frameLength, const std::string& message, int code) {
  command.ResultText += message;
  command.ExpectedReplyLength = command.declaredReturnSize;
  command.frame.length = frameLength;
  return code;
}

int SaturatingSum(int a, int b) {
  const long long sum = static_cast<long long>(a) + b;
  return static_cast<int>(std::clamp<long long>(sum, INT_MIN, INT_MAX));
}

}  // namespace

const std::string& FrameTooLongText() {
  static const std::string text = "Comando excede o tamanho m\xE1ximo do quadro (4096 bytes)";
  return text;
}

const std::string& InvalidEscapeText() {
  static const std::string text = "Escape do comando fora do formato";
  return text;
}

bool AppendBytes(FrameBuffer& buffer, const std::uint8_t* bytes, size_t count) {
  if (buffer.length > kFrameCapacity || count > kFrameCapacity - buffer.length) return false;
  if (count == 0) return true;
  std::memcpy(&buffer.bytes[buffer.length], bytes, count);
  buffer.length += count;
  return true;
}

bool FinalizeFrame(FrameBuffer& buffer) {
  if (buffer.length < kHeaderBytes || buffer.length > kFrameCapacity - kChecksumBytes) return false;
  unsigned sum = 0;
  for (size_t i = kHeaderBytes; i < buffer.length; ++i) sum += buffer.bytes[i];
  const size_t following = buffer.length - 1;  // body + checksum = length - 3 + 2
  buffer.bytes[0] = kStx;
  buffer.bytes[1] = static_cast<std::uint8_t>(following & 0xFF);
  buffer.bytes[2] = static_cast<std::uint8_t>(following >> 8);
  buffer.bytes[buffer.length++] = static_cast<std::uint8_t>(sum & 0xFF);
  buffer.bytes[buffer.length++] = static_cast<std::uint8_t>((sum >> 8) & 0xFF);
  return true;
}

int EncodeParameters(CommandRecord& command, Clock& clock) {
  if (command.parameters.empty()) return kOk;
  const size_t frameLength = command.frame.length;
  ParameterSink sink(command.frame);
  for (ParameterRecord& p : command.parameters) {
    const KindEntry* kind = FindKind(p.kind);
    if (p.value.empty()) {
      if (p.mandatory && (kind == nullptr || !kind->mayBeEmpty)) {
        return FailEncoding(command, frameLength, LoadString(str::kParametroObrigatorio), kMandatoryEmpty);
      }
      if (!p.mandatory) continue;
    }
    if (kind == nullptr) continue;  // a kind the frame does not know contributes nothing
    const size_t start = command.frame.length;
    switch (EncodeParameter(p, *kind, sink, clock)) {
      case Outcome::kEncoded:
        if (CommandRecord::IsSecretKind(p.kind) && command.frame.length > start) {
          command.secretFrameBytes.emplace_back(start, command.frame.length);
        }
        break;
      case Outcome::kWrongSize:
        if (p.mandatory) {
          return FailEncoding(command, frameLength, LoadString(str::kParametroTamanho), kWrongSize);
        }
        break;  // an optional parameter of the wrong size is left out
      case Outcome::kTooLong:
        return FailEncoding(command, frameLength, FrameTooLongText(), kWrongSize);
    }
  }
  return kOk;
}

int AssembleFrame(CommandRecord& command, const ProgramSettings& settings, Clock& clock) {
  command.frame.length = 0;
  command.secretFrameBytes.clear();
  command.ExpectedReplyLength = command.declaredReturnSize;
  if (!command.escapeError.empty()) {
    command.ResultText += command.escapeError;
    return kCatalogueNotLoadable;
  }
  if (command.escapeCount < 0 || command.escapeCount > kMaxEscapeBytes) {
    command.ResultText += InvalidEscapeText();
    return kCatalogueNotLoadable;
  }

  command.frame.length = kHeaderBytes;
  const bool extended = settings.g_extendedReply && command.declaredReturnSize != -2;
  const std::uint8_t lead = extended ? kFs : kEsc;
  command.StatusBlockLength = extended ? 5 : 3;
  command.ExpectedReplyLength = SaturatingSum(command.declaredReturnSize, command.StatusBlockLength);
  AppendBytes(command.frame, &lead, 1);
  AppendBytes(command.frame, command.escapeBytes.data(), static_cast<size_t>(command.escapeCount));

  const int rc = EncodeParameters(command, clock);
  if (rc != kOk) {
    command.frame.length = 0;
    return rc;
  }
  if (!FinalizeFrame(command.frame)) {  // cannot happen: the parameters leave room for the sum
    command.frame.length = 0;
    command.ExpectedReplyLength = command.declaredReturnSize;
    command.ResultText += FrameTooLongText();
    return kWrongSize;
  }
  return kOk;
}

bool IsOpenEtxReply(const CommandRecord& command) {
  if (command.declaredReturnSize == -1) return true;
  if (command.escapeCount < 1 || command.escapeBytes[0] != 0x08) return false;
  if (command.frame.length <= 17) return false;
  const std::uint8_t b = command.frame.bytes[17];
  return b == 'R' || b == 'r';
}

}  // namespace tervane
