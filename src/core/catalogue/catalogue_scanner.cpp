#include "core/catalogue/catalogue_scanner.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include "core/catalogue/command_xml_fields.h"
#include "core/common/text.h"
#include "core/common/xml_document.h"

namespace tervane {
namespace {

using Field = CommandXmlField;

// What each byte may be in this reader's names (ASCII only; a name with any other byte
// is left to the document reader).
enum : std::uint8_t { kNameStart = 1, kNameChar = 2 };
constexpr std::array<std::uint8_t, 256> kNameBytes = [] {
  std::array<std::uint8_t, 256> table{};
  for (int c = 0; c < 256; ++c) {
    const bool start = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    const bool other = (c >= '0' && c <= '9') || c == '-' || c == '.';
    table[static_cast<size_t>(c)] = static_cast<std::uint8_t>((start ? kNameStart | kNameChar : 0) | (other ? kNameChar : 0));
  }
  return table;
}();

// What a text's bytes need: the "<" that ends it, and the bytes that need more than a
// copy in a text that is kept (an entity, a CR, a NUL, which is refused, and in UTF-8 a
// character's lead byte) or checking in one that is skipped (the same but the CR).
enum : std::uint8_t { kEndsText = 1, kWorkWhenKept = 2, kWorkWhenSkipped = 4 };
constexpr std::array<std::uint8_t, 256> TextBytes(bool utf8) {
  std::array<std::uint8_t, 256> table{};
  table['<'] = kEndsText;
  table['&'] = table[0] = kWorkWhenKept | kWorkWhenSkipped;
  table['\r'] = kWorkWhenKept;
  for (int c = 0x80; c < 256 && utf8; ++c) table[static_cast<size_t>(c)] = kWorkWhenKept | kWorkWhenSkipped;
  return table;
}
constexpr std::array<std::uint8_t, 256> kDocumentTextBytes = TextBytes(false);
constexpr std::array<std::uint8_t, 256> kUtf8TextBytes = TextBytes(true);

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsNameStart(char c) { return kNameBytes[static_cast<unsigned char>(c)] & kNameStart; }
bool IsNameChar(char c) { return kNameBytes[static_cast<unsigned char>(c)] & kNameChar; }

// The character a named entity stands for, or 0 when `name` is none of the five.
char EntityChar(std::string_view name) {
  switch (name.size()) {
    case 2:
      if (name == "lt") return '<';
      return name == "gt" ? '>' : 0;
    case 3: return name == "amp" ? '&' : 0;
    case 4:
      if (name == "quot") return '"';
      return name == "apos" ? '\'' : 0;
    default: return 0;
  }
}

template <typename Word>
Word LoadWord(const char* p) {
  Word word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// Whether the `n` bytes at `a` and `b` are the same: names are short, so by overlapping
// words of eight or four bytes instead of a library call.
bool SameBytes(const char* a, const char* b, size_t n) {
  if (n >= 8) {
    for (; n > 8; a += 8, b += 8, n -= 8) {
      if (LoadWord<std::uint64_t>(a) != LoadWord<std::uint64_t>(b)) return false;
    }
    return LoadWord<std::uint64_t>(a + n - 8) == LoadWord<std::uint64_t>(b + n - 8);
  }
  if (n >= 4) {
    return LoadWord<std::uint32_t>(a) == LoadWord<std::uint32_t>(b) &&
           LoadWord<std::uint32_t>(a + n - 4) == LoadWord<std::uint32_t>(b + n - 4);
  }
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// Reads the bytes from the current position; every method returns false as soon as the
// document leaves the plain shape, and the caller then gives up on the whole document.
class Scanner {
 public:
  // `bytes` are document bytes, or UTF-8 when `utf8`: each character is then converted
  // as a text is kept, and checked where one is skipped.
  Scanner(std::string_view bytes, bool utf8)
      : p_(bytes.data()), end_(bytes.data() + bytes.size()), utf8_(utf8),
        textBytes_(utf8 ? kUtf8TextBytes.data() : kDocumentTextBytes.data()) {}

  bool Document(std::vector<CommandRecord>& commands) {
    if (!Declaration() || !Blanks()) return false;
    if (!At("<") || p_ + 1 >= end_ || p_[1] == '/' || p_[1] == '!' || p_[1] == '?') return false;
    ++p_;
    std::string_view root;
    bool empty = false;
    if (!StartTag(root, empty) || NameEquals(root, "cmd")) return false;
    if (!empty && !Root(root, commands)) return false;
    return Blanks() && p_ == end_;
  }

 private:
  template <size_t N>
  bool At(const char (&literal)[N]) const {
    return static_cast<size_t>(end_ - p_) >= N - 1 && std::memcmp(p_, literal, N - 1) == 0;
  }

  // A leading <?xml ...?> whose pseudo-attributes are well formed, or nothing. A
  // processing instruction anywhere else is beyond this reader.
  bool Declaration() {
    if (!At("<?")) return true;
    if (!At("<?xml") || p_ + 5 >= end_ || !IsBlank(p_[5])) return false;
    p_ += 5;
    for (;;) {
      const char* before = p_;
      p_ = SkipBlanks(p_);
      if (At("?>")) {
        p_ += 2;
        return true;
      }
      std::string_view name;
      if (p_ == before || !Name(name)) return false;
      p_ = SkipBlanks(p_);
      if (!At("=")) return false;
      ++p_;
      p_ = SkipBlanks(p_);
      if (p_ == end_ || (*p_ != '"' && *p_ != '\'')) return false;
      const char quote = *p_++;
      const char* close = static_cast<const char*>(std::memchr(p_, quote, static_cast<size_t>(end_ - p_)));
      if (close == nullptr) return false;
      // A "?>" in a value would end the declaration there for the document reader.
      for (const char* c = p_; c < close; ++c) {
        if (*c == '<' || *c == '&' || *c == '?' || *c == '\0' || (static_cast<unsigned char>(*c) & 0x80)) return false;
      }
      p_ = close + 1;
    }
  }

  // Blanks and comments between elements (at the top of the document).
  bool Blanks() {
    for (;;) {
      p_ = SkipBlanks(p_);
      if (!At("<!--")) return true;
      if (!Comment()) return false;
    }
  }

  // A comment, at "<!--". One holding "--" or ending in "-" is beyond this reader.
  bool Comment() {
    const std::string_view rest(p_ + 4, static_cast<size_t>(end_ - p_ - 4));
    const size_t close = rest.find("-->");
    if (close == std::string_view::npos) return false;
    const std::string_view content = rest.substr(0, close);
    if (content.find("--") != std::string_view::npos || (!content.empty() && content.back() == '-') ||
        !Readable(content)) {
      return false;
    }
    p_ += 4 + close + 3;
    return true;
  }

  // The hot loops below walk a local pointer and store p_ once at the end: walking the
  // member itself, the compiler stores it back on every byte.

  // The first byte from `q` on that is not a blank.
  const char* SkipBlanks(const char* q) const {
    while (q < end_ && IsBlank(*q)) ++q;
    return q;
  }

  bool Name(std::string_view& name) {
    const char* const start = p_;
    if (start == end_ || !IsNameStart(*start)) return false;
    const char* q = start + 1;
    while (q < end_ && IsNameChar(*q)) ++q;
    name = std::string_view(start, static_cast<size_t>(q - start));
    p_ = q;
    return true;
  }

  // After "<": the name, blanks, then ">" or "/>" (an attribute is beyond this reader).
  bool StartTag(std::string_view& name, bool& empty) {
    if (!Name(name)) return false;
    const char* const q = SkipBlanks(p_);
    if (q < end_ && *q == '>') {
      p_ = q + 1;
      empty = false;
      return true;
    }
    if (end_ - q >= 2 && q[0] == '/' && q[1] == '>') {
      p_ = q + 2;
      empty = true;
      return true;
    }
    return false;
  }

  // At "</": the end tag of `name`.
  bool EndTag(std::string_view name) {
    const char* q = p_ + 2;
    if (static_cast<size_t>(end_ - q) < name.size() || !SameBytes(q, name.data(), name.size())) return false;
    q += name.size();
    if (q < end_ && IsNameChar(*q)) return false;
    q = SkipBlanks(q);
    if (q == end_ || *q != '>') return false;
    p_ = q + 1;
    return true;
  }

  // Whether a load would take `text` as it stands: no NUL, and in UTF-8 only characters
  // that have a document byte.
  bool Readable(std::string_view text) const {
    for (size_t i = 0; i < text.size(); ++i) {
      const auto b = static_cast<unsigned char>(text[i]);
      if (b == 0) return false;
      if (b >= 0x80 && utf8_) {
        size_t length = 0;
        if (DocumentByteOfUtf8(text, i, length) < 0) return false;
        i += length - 1;
      }
    }
    return true;
  }

  // The text up to the next "<" when it is not kept: only what a load would refuse or
  // decode needs looking at.
  bool SkipText() {
    const char* q = p_;
    while (q < end_ && !(textBytes_[static_cast<unsigned char>(*q)] & (kEndsText | kWorkWhenSkipped))) ++q;
    if (q == end_) return false;
    if (*q != '<') return Text(nullptr);
    p_ = q;
    return true;
  }

  // The text up to the next "<", as a load reads it: the five entities decoded, CR LF
  // and a lone CR made LF, UTF-8 made document bytes. Written to `out` when given, else
  // only checked.
  bool Text(std::string* out) {
    // Texts here are short (a value, the blanks between tags), so a plain loop beats a
    // library search per text.
    const char* q = p_;
    while (q < end_ && !(textBytes_[static_cast<unsigned char>(*q)] & (kEndsText | kWorkWhenKept))) ++q;
    if (q == end_) return false;
    if (*q == '<') {
      if (out != nullptr) out->assign(p_, static_cast<size_t>(q - p_));
      p_ = q;
      return true;
    }
    const char* close = static_cast<const char*>(std::memchr(q, '<', static_cast<size_t>(end_ - q)));
    if (close == nullptr) return false;
    const std::string_view text(p_, static_cast<size_t>(close - p_));
    size_t i = static_cast<size_t>(q - p_);
    // Decoded text is never longer than its source: the whole source is copied once and
    // the decoded bytes written over it from the first one that needs work.
    char* written = nullptr;
    if (out != nullptr) {
      out->assign(text);
      written = out->data() + i;
    }
    p_ = close;
    for (; i < text.size(); ++i) {
      char c = text[i];
      if (c == '&') {
        const size_t semicolon = text.find(';', i + 1);
        if (semicolon == std::string_view::npos) return false;
        c = EntityChar(text.substr(i + 1, semicolon - i - 1));
        if (c == 0) return false;
        i = semicolon;
      } else if (c == '\r') {
        c = '\n';
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      } else if (c == '\0') {
        return false;
      } else if (utf8_ && (static_cast<unsigned char>(c) & 0x80)) {
        size_t length = 0;
        const int byte = DocumentByteOfUtf8(text, i, length);
        if (byte < 0) return false;
        c = static_cast<char>(byte);
        i += length - 1;
      }
      if (written != nullptr) *written++ = c;
    }
    if (out != nullptr) out->resize(static_cast<size_t>(written - out->data()));
    return true;
  }

  // An element of text alone (its start tag read): its text into `out` (cleared even for
  // an empty element) when given, then its end tag.
  bool TextElement(std::string_view name, bool empty, std::string* out) {
    if (empty) {
      if (out != nullptr) out->clear();
      return true;
    }
    return (out != nullptr ? Text(out) : SkipText()) && At("</") && EndTag(name);
  }

  // The content of an element up to its end tag: blanks, text and comments between the
  // children, each child handed to `child(name, empty)` once its start tag is read.
  template <typename Child>
  bool Content(std::string_view name, Child&& child) {
    for (;;) {
      if (!SkipText()) return false;
      if (p_ + 1 >= end_) return false;
      if (p_[1] == '/') return EndTag(name);
      if (p_[1] == '!') {
        if (!At("<!--") || !Comment()) return false;
        continue;
      }
      if (p_[1] == '?') return false;
      ++p_;
      std::string_view childName;
      bool empty = false;
      if (!StartTag(childName, empty) || !child(childName, empty)) return false;
    }
  }

  bool Root(std::string_view name, std::vector<CommandRecord>& commands) {
    return Content(name, [&](std::string_view child, bool empty) {
      if (!NameEquals(child, "cmd")) return TextElement(child, empty, nullptr);
      CommandRecord& command = commands.emplace_back();
      return empty || Command(command);
    });
  }

  // A command's fields: the first of each name counts. Every parametro and retorno adds
  // an entry, and a field it leaves out keeps the previous entry's value (only valor
  // starts empty each time); each entry's own fields are read straight into it, and
  // only the ones left out are copied from the entry before.
  bool Command(CommandRecord& command) {
    std::uint32_t seen = 0;
    parameters_.clear();
    returnFields_.clear();
    const bool read = Content("cmd", [&](std::string_view child, bool empty) {
      if (NameEquals(child, "parametro")) return Parameter(empty);
      if (NameEquals(child, "retorno")) return ReturnField(empty);
      if (NameEquals(child, "cmd")) return false;
      const Field field = CommandFieldNamed(child);
      if (!FirstOf(field, seen)) return TextElement(child, empty, nullptr);
      switch (field) {
        case Field::kGroup: return TextElement(child, empty, &command.group);
        case Field::kTitle: return TextElement(child, empty, &command.title);
        case Field::kReturnKind: return TextElement(child, empty, &command.returnKind);
        case Field::kEscape:
          command.hasEscape = true;
          return TextElement(child, empty, &command.escapeText);
        case Field::kMask:
          if (!TextElement(child, empty, &scratch_)) return false;
          command.modelMask = static_cast<std::uint32_t>(Atoi(scratch_));
          return true;
        case Field::kReturnSize: return Number(child, empty, command.declaredReturnSize);
        default: return false;
      }
    });
    // The lists are gathered in reused buffers and stored at their final size.
    command.parameters.assign(std::make_move_iterator(parameters_.begin()),
                              std::make_move_iterator(parameters_.end()));
    command.returnFields.assign(std::make_move_iterator(returnFields_.begin()),
                                std::make_move_iterator(returnFields_.end()));
    return read;
  }

  static bool LeftOut(Field field, std::uint32_t seen) { return !(seen & (1u << static_cast<unsigned>(field))); }

  // A number field's text as a number.
  bool Number(std::string_view child, bool empty, int& out) {
    if (!TextElement(child, empty, &scratch_)) return false;
    out = Atoi(scratch_);
    return true;
  }

  // One parametro or retorno: a new entry at the end of `list` whose own fields are read
  // by `read(field, child, empty, entry)`, then the ones it left out copied from the
  // entry before by `inherit(entry, previous, seen)`.
  template <typename Record, typename Lookup, typename Read, typename Inherit>
  bool Entry(std::vector<Record>& list, std::string_view name, bool empty, Lookup lookup, Read read,
             Inherit inherit) {
    Record& entry = list.emplace_back();
    std::uint32_t seen = 0;
    if (!empty && !Content(name, [&](std::string_view child, bool emptyChild) {
          if (NameEquals(child, "cmd")) return false;
          const Field field = lookup(child);
          if (!FirstOf(field, seen)) return TextElement(child, emptyChild, nullptr);
          return read(field, child, emptyChild, entry);
        })) {
      return false;
    }
    if (list.size() > 1) inherit(entry, list[list.size() - 2], seen);
    return true;
  }

  bool Parameter(bool empty) {
    return Entry(
        parameters_, "parametro", empty, ParameterFieldNamed,
        [this](Field field, std::string_view child, bool emptyChild, ParameterRecord& parameter) {
          switch (field) {
            case Field::kParamTitle: return TextElement(child, emptyChild, &parameter.title);
            case Field::kParamKind: return TextElement(child, emptyChild, &parameter.kind);
            case Field::kParamValue: return TextElement(child, emptyChild, &parameter.value);
            case Field::kParamSize: return Number(child, emptyChild, parameter.size);
            case Field::kParamMandatory:
              if (!TextElement(child, emptyChild, &scratch_)) return false;
              parameter.mandatory = scratch_ == "S";
              return true;
            default: return false;
          }
        },
        [](ParameterRecord& parameter, const ParameterRecord& previous, std::uint32_t seen) {
          if (LeftOut(Field::kParamTitle, seen)) parameter.title = previous.title;
          if (LeftOut(Field::kParamKind, seen)) parameter.kind = previous.kind;
          if (LeftOut(Field::kParamSize, seen)) parameter.size = previous.size;
          if (LeftOut(Field::kParamMandatory, seen)) parameter.mandatory = previous.mandatory;
        });
  }

  bool ReturnField(bool empty) {
    return Entry(
        returnFields_, "retorno", empty, ReturnFieldNamed,
        [this](Field field, std::string_view child, bool emptyChild, ReturnFieldRecord& returnField) {
          switch (field) {
            case Field::kFieldTitle: return TextElement(child, emptyChild, &returnField.title);
            case Field::kFieldKind: return TextElement(child, emptyChild, &returnField.kind);
            case Field::kFieldSize: return Number(child, emptyChild, returnField.size);
            default: return false;
          }
        },
        [](ReturnFieldRecord& returnField, const ReturnFieldRecord& previous, std::uint32_t seen) {
          if (LeftOut(Field::kFieldTitle, seen)) returnField.title = previous.title;
          if (LeftOut(Field::kFieldKind, seen)) returnField.kind = previous.kind;
          if (LeftOut(Field::kFieldSize, seen)) returnField.size = previous.size;
        });
  }

  // True the first time a known field is met in its parent.
  static bool FirstOf(Field field, std::uint32_t& seen) {
    if (field == Field::kNone) return false;
    const std::uint32_t bit = 1u << static_cast<unsigned>(field);
    if (seen & bit) return false;
    seen |= bit;
    return true;
  }

  const char* p_;
  const char* end_;
  bool utf8_;
  const std::uint8_t* textBytes_;
  std::string scratch_;   // a number's or a flag's text
  std::vector<ParameterRecord> parameters_;
  std::vector<ReturnFieldRecord> returnFields_;
};

}  // namespace

bool ScanPlainCatalogue(std::string_view bytes, std::vector<CommandRecord>& commands) {
  const size_t before = commands.size();
  size_t bomLength = 0;
  bool read = false;
  switch (DeclaredPlainEncoding(bytes, bomLength)) {
    case PlainEncoding::kDocument: read = Scanner(bytes, false).Document(commands); break;
    case PlainEncoding::kUtf8: read = Scanner(bytes.substr(bomLength), true).Document(commands); break;
    case PlainEncoding::kUndeclared: {
      // UTF-8 if the bytes are, else Windows-1252: found by converting them first.
      std::string converted(bytes);
      read = ToDocumentBytes(converted) && Scanner(converted, false).Document(commands);
      break;
    }
    case PlainEncoding::kRefused: break;
  }
  if (read) return true;
  commands.resize(before);
  return false;
}

}  // namespace tervane
