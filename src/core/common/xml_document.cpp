#include "core/common/xml_document.h"

#include <pugixml.hpp>

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "core/common/atomic_file.h"
#include "core/common/charset.h"
#include "core/common/text.h"

namespace tervane {
namespace {

// Inside a document every name and text is held as Windows-1252 bytes. pugixml is told
// the buffer is UTF-8, which makes it pass bytes from 80h up through untouched; only
// character references (&#...;) come out as UTF-8 and need converting afterwards.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments |
                                   pugi::parse_pi | pugi::parse_declaration;

// Walk-only loads keep blank text only when alone in its element and, unless the texts
// must be rewritten after parsing (which the library allows only for text nodes), store
// an element's leading text with the element.
unsigned ParseOptions(XmlLoadMode mode, bool rewriteTexts) {
  if (mode == XmlLoadMode::kFull) return kParseOptions | pugi::parse_ws_pcdata;
  return kParseOptions | pugi::parse_ws_pcdata_single |
         (rewriteTexts ? 0u : pugi::parse_embed_pcdata);
}

// pugi::xml_node is a single pointer to its node, copyable as plain bytes; converting
// without the library's out-of-line constructor and accessor keeps walks over large
// documents cheap.
static_assert(sizeof(pugi::xml_node) == sizeof(pugi::xml_node_struct*));
static_assert(std::is_trivially_copyable_v<pugi::xml_node>);

pugi::xml_node Pugi(pugi::xml_node_struct* node) { return std::bit_cast<pugi::xml_node>(node); }
pugi::xml_node_struct* Raw(pugi::xml_node node) { return std::bit_cast<pugi::xml_node_struct*>(node); }

constexpr char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>";

enum class SourceEncoding { kCp1252, kUtf8 };

enum class ConvertStatus { kOk, kInvalid, kUnrepresentable };

// The byte that holds a code point in a document: U+0000..U+00FF keep their value (so
// bytes 80h..9Fh read as ISO-8859-1 come back unchanged), beyond that Windows-1252's own
// letters (the euro sign, curly quotes, ...). -1 when there is none.
int DocumentByteOf(char32_t cp) {
  if (cp <= 0xFF) return static_cast<int>(cp);
  return Cp1252ByteOf(cp);
}

size_t FirstNonAscii(std::string_view text) {
  size_t i = 0;
  // Eight bytes at a time while they are all ASCII.
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    if (word & 0x8080808080808080ULL) break;
  }
  for (; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) return i;
  }
  return text.size();
}

// UTF-8 to document bytes, in place from `start` on (a document byte never takes more
// room than its UTF-8). On failure `badOffset` is the offset of the offending sequence
// in the original text, and `text` holds a mixture to be thrown away.
ConvertStatus Utf8ToDocumentInPlace(std::string& text, size_t start, size_t& badOffset) {
  const std::string_view in = std::string_view(text).substr(start);
  char* const begin = text.data() + start;
  const size_t size = in.size();
  constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
  size_t i = FirstNonAscii(in);
  // `out` never passes `i`, so a word is always read before the bytes it covers are
  // written, and the forward byte copies below are safe where the two overlap.
  char* out = begin + i;
  while (i < size) {
    // Eight ASCII bytes at a time; of a word holding a lead byte, the ASCII before it.
    while (i + 8 <= size) {
      std::uint64_t word;
      std::memcpy(&word, begin + i, 8);
      const std::uint64_t high = word & kHighBits;
      if (high == 0) {
        std::memcpy(out, &word, 8);
        out += 8;
        i += 8;
        continue;
      }
      for (int ascii = std::countr_zero(high) / 8; ascii > 0; --ascii) *out++ = begin[i++];
      break;
    }
    if (i == size) break;
    const auto b = static_cast<unsigned char>(in[i]);
    if (b < 0x80) {
      *out++ = static_cast<char>(b);
      ++i;
      continue;
    }
    size_t len = 0;
    const int byte = DocumentByteOfUtf8(in, i, len);
    if (byte < 0) {
      badOffset = i;
      return len == 0 ? ConvertStatus::kInvalid : ConvertStatus::kUnrepresentable;
    }
    *out++ = static_cast<char>(byte);
    i += len;
  }
  text.resize(static_cast<size_t>(out - text.data()));
  return ConvertStatus::kOk;
}

// The same into `out`, leaving `in` alone.
ConvertStatus Utf8ToDocument(std::string_view in, std::string& out, size_t& badOffset) {
  out.assign(in);
  return Utf8ToDocumentInPlace(out, 0, badOffset);
}

// Document bytes to UTF-8 with one code point per byte (ISO-8859-1 sense), the form in
// which pugixml decodes character references correctly next to them.
std::string BytesToLatin1Utf8(std::string_view in) {
  std::string out;
  out.reserve(in.size() + in.size() / 8);
  for (unsigned char b : in) {
    if (b < 0x80) {
      out += static_cast<char>(b);
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The value of the encoding pseudo-attribute of a leading <?xml ...?> declaration.
// Returns false when there is no declaration or it names no encoding; `offset` is where
// the value starts.
bool DeclaredEncoding(std::string_view text, std::string_view& name, size_t& offset) {
  if (text.substr(0, 5) != "<?xml" || text.size() < 6 || !IsXmlSpace(text[5])) return false;
  const size_t end = text.find("?>");
  const std::string_view decl = text.substr(0, end);
  size_t pos = decl.find("encoding");
  if (pos == std::string_view::npos) return false;
  pos += 8;
  while (pos < decl.size() && IsXmlSpace(decl[pos])) ++pos;
  if (pos >= decl.size() || decl[pos] != '=') return false;
  ++pos;
  while (pos < decl.size() && IsXmlSpace(decl[pos])) ++pos;
  if (pos >= decl.size() || (decl[pos] != '"' && decl[pos] != '\'')) return false;
  const char quote = decl[pos++];
  const size_t close = decl.find(quote, pos);
  if (close == std::string_view::npos) return false;
  name = decl.substr(pos, close - pos);
  offset = pos;
  return true;
}

const char* StatusText(pugi::xml_parse_status status) {
  switch (status) {
    case pugi::status_ok: return "no error";
    case pugi::status_file_not_found: return "file not found";
    case pugi::status_io_error: return "read error";
    case pugi::status_out_of_memory: return "out of memory";
    case pugi::status_internal_error: return "internal parser error";
    case pugi::status_unrecognized_tag: return "unrecognized tag";
    case pugi::status_bad_pi: return "malformed declaration or processing instruction";
    case pugi::status_bad_comment: return "malformed comment";
    case pugi::status_bad_cdata: return "malformed CDATA section";
    case pugi::status_bad_doctype: return "malformed document type declaration";
    case pugi::status_bad_pcdata: return "malformed text";
    case pugi::status_bad_start_element: return "malformed start tag";
    case pugi::status_bad_attribute: return "malformed attribute";
    case pugi::status_bad_end_element: return "malformed end tag";
    case pugi::status_end_element_mismatch: return "mismatched end tag";
    case pugi::status_append_invalid_root: return "invalid root";
    case pugi::status_no_document_element: return "no root element";
  }
  return "unknown parser error";
}

// How offsets in the buffer handed to pugixml map back to the original input.
enum class OffsetMap { kIdentity, kFromCp1252Conversion, kFromLatin1Expansion };

struct Source {
  std::string_view original;
  SourceEncoding encoding = SourceEncoding::kCp1252;
  size_t bomLength = 0;
  bool declared = false;   // by a byte order mark or a declaration
  OffsetMap map = OffsetMap::kIdentity;
};

size_t OriginalOffset(const Source& src, size_t parsed) {
  const std::string_view body = src.original.substr(src.bomLength);
  size_t i = 0;
  switch (src.map) {
    case OffsetMap::kIdentity:
      i = parsed;
      break;
    case OffsetMap::kFromCp1252Conversion:
      // One parsed byte per UTF-8 character of the original.
      for (size_t chars = 0; i < body.size() && chars < parsed; ++chars) {
        char32_t cp = 0;
        const size_t len = DecodeUtf8Char(body, i, cp);
        i += len ? len : 1;
      }
      break;
    case OffsetMap::kFromLatin1Expansion:
      // Two parsed bytes for each original byte from 80h up.
      for (size_t used = 0; i < body.size(); ++i) {
        used += static_cast<unsigned char>(body[i]) < 0x80 ? 1 : 2;
        if (used > parsed) break;
      }
      break;
  }
  return std::min(src.bomLength + i, src.original.size());
}

struct EncodingCheck {
  bool ok = true;
  size_t offset = 0;
  std::string what;
};

// Reads the input's byte order mark and declaration into `src`: its encoding and whether
// that is known (a mark or a declaration) rather than to be found from the bytes.
// Refuses UTF-16 and UTF-32, NUL bytes (unless `findNul` is false, for a reader that
// refuses them itself) and undeclarable encodings, saying where.
EncodingCheck ResolveEncoding(std::string_view text, Source& src, bool findNul = true) {
  auto refuse = [](size_t offset, std::string what) { return EncodingCheck{false, offset, std::move(what)}; };
  if (text.substr(0, 3) == "\xEF\xBB\xBF") {
    src.encoding = SourceEncoding::kUtf8;
    src.bomLength = 3;
  } else if (text.substr(0, 2) == "\xFE\xFF" || text.substr(0, 2) == "\xFF\xFE" ||
             (text.size() >= 2 && (text[0] == '\0' || text[1] == '\0'))) {
    return refuse(0, "UTF-16 and UTF-32 files are not supported (save it as Windows-1252 or UTF-8)");
  }
  if (const size_t nul = findNul ? text.find('\0') : std::string_view::npos; nul != std::string_view::npos) {
    return refuse(nul, "NUL byte (not allowed in an XML file)");
  }
  src.declared = src.bomLength > 0;
  std::string_view declared;
  size_t declaredAt = 0;
  if (!DeclaredEncoding(text.substr(src.bomLength), declared, declaredAt)) return {};
  declaredAt += src.bomLength;
  if (EqualsIgnoreCase(declared, "utf-8") || EqualsIgnoreCase(declared, "utf8") ||
      EqualsIgnoreCase(declared, "us-ascii") || EqualsIgnoreCase(declared, "ascii")) {
    src.encoding = SourceEncoding::kUtf8;
  } else if (EqualsIgnoreCase(declared, "windows-1252") || EqualsIgnoreCase(declared, "cp1252") ||
             EqualsIgnoreCase(declared, "iso-8859-1") || EqualsIgnoreCase(declared, "iso8859-1") ||
             EqualsIgnoreCase(declared, "iso_8859-1") || EqualsIgnoreCase(declared, "latin1")) {
    if (src.bomLength > 0) {
      return refuse(declaredAt, "the file starts with a UTF-8 byte order mark but declares \"" +
                                    Utf8ToCp1252Lossy(declared) + "\"");
    }
    src.encoding = SourceEncoding::kCp1252;
  } else {
    return refuse(declaredAt, "unsupported encoding \"" + Utf8ToCp1252Lossy(declared) +
                                  "\" (use Windows-1252, ISO-8859-1 or UTF-8)");
  }
  src.declared = true;
  return {};
}

XmlLoadResult Failure(const Source& src, size_t offset, const std::string& what) {
  XmlLoadResult r;
  r.ok = false;
  r.offset = offset;
  if (src.original.empty() && offset > 0) {
    // The original bytes are gone (a file that changed while it was read).
    r.description = Format("byte offset %zu: ", offset) + what;
    return r;
  }
  r.line = 1;
  size_t lineStart = 0;
  for (size_t i = 0; i < offset && i < src.original.size(); ++i) {
    if (src.original[i] == '\n') {
      ++r.line;
      lineStart = i + 1;
    }
  }
  int column = 1;
  for (size_t i = lineStart; i < offset && i < src.original.size(); ++i) {
    // A column counts characters: continuation bytes of UTF-8 do not start one.
    const auto b = static_cast<unsigned char>(src.original[i]);
    if (src.encoding == SourceEncoding::kCp1252 || (b & 0xC0) != 0x80) ++column;
  }
  r.column = column;
  r.description = Format("line %d, column %d: ", r.line, r.column) + what;
  return r;
}

XmlLoadResult Success() {
  XmlLoadResult r;
  r.ok = true;
  return r;
}

const char* PseudoName(pugi::xml_node_type type) {
  switch (type) {
    case pugi::node_document: return "#document";
    case pugi::node_pcdata: return "#text";
    case pugi::node_cdata: return "#cdata-section";
    case pugi::node_comment: return "#comment";
    case pugi::node_doctype: return "#doctype";
    default: return nullptr;
  }
}

bool HoldsNul(std::string_view text) { return text.find('\0') != std::string_view::npos; }

// Compares a NUL-terminated string with a view, reading no further than either end.
bool CStringEquals(const char* s, std::string_view v) {
  for (size_t i = 0; i < v.size(); ++i) {
    if (s[i] == '\0' || s[i] != v[i]) return false;
  }
  return s[v.size()] == '\0';
}

// Next node in document order (pre-order) within the subtree of `top`.
pugi::xml_node NextInOrder(pugi::xml_node n, pugi::xml_node top) {
  if (const pugi::xml_node c = n.first_child(); Raw(c)) return c;
  while (Raw(n) && Raw(n) != Raw(top)) {
    if (const pugi::xml_node s = n.next_sibling(); Raw(s)) return s;
    n = n.parent();
  }
  return {};
}

class StringWriter final : public pugi::xml_writer {
 public:
  explicit StringWriter(std::string& out) : out_(out) {}
  void write(const void* data, size_t size) override {
    out_.append(static_cast<const char*>(data), size);
  }

 private:
  std::string& out_;
};

// Collects the elements of one name in document order, walking inside the library.
class ElementCollector final : public pugi::xml_tree_walker {
 public:
  ElementCollector(std::string_view name, std::vector<pugi::xml_node_struct*>& out)
      : name_(name), out_(out) {}
  bool for_each(pugi::xml_node& node) override {
    // Text nodes have an empty name, so most nodes cost one call.
    const char* n = node.name();
    if (!name_.empty() && n[0] == name_[0] && CStringEquals(n, name_) &&
        node.type() == pugi::node_element) {
      out_.push_back(Raw(node));
    }
    return true;
  }

 private:
  std::string_view name_;
  std::vector<pugi::xml_node_struct*>& out_;
};

}  // namespace

// ---------------------------------------------------------------------------- XmlNode

XmlNodeType XmlNode::Type() const {
  switch (Pugi(node_).type()) {
    case pugi::node_null: return XmlNodeType::kNull;
    case pugi::node_document: return XmlNodeType::kDocument;
    case pugi::node_element: return XmlNodeType::kElement;
    case pugi::node_pcdata: return XmlNodeType::kText;
    case pugi::node_cdata: return XmlNodeType::kCData;
    case pugi::node_comment: return XmlNodeType::kComment;
    case pugi::node_pi: return XmlNodeType::kProcessingInstruction;
    case pugi::node_declaration: return XmlNodeType::kDeclaration;
    case pugi::node_doctype: return XmlNodeType::kComment;   // never kept by a load
  }
  return XmlNodeType::kNull;
}

std::string_view XmlNode::NameView() const {
  if (!node_) return {};
  const pugi::xml_node n = Pugi(node_);
  // Elements and processing instructions have a name of their own; the others answer
  // with a "#" name, so one call settles most nodes.
  const char* own = n.name();
  if (*own) return own;
  const char* pseudo = PseudoName(n.type());
  return pseudo ? pseudo : "";
}

std::string XmlNode::Name() const { return std::string(NameView()); }

bool XmlNode::NameIs(std::string_view name) const { return NameView() == name; }

std::string XmlNode::Text() const {
  if (!node_) return {};
  const pugi::xml_node n = Pugi(node_);
  const pugi::xml_node_type type = n.type();
  if (type != pugi::node_element && type != pugi::node_document) return n.value();
  // The usual element holds a single text node: no walk needed.
  const pugi::xml_node first = n.first_child();
  if (!Raw(first)) return n.value();   // an element's own value: leading text stored with it
  if (!Raw(first.next_sibling()) && !*n.value()) {
    const pugi::xml_node_type t = first.type();
    if (t == pugi::node_pcdata || t == pugi::node_cdata) return first.value();
  }
  std::string out;
  for (pugi::xml_node c = n; Raw(c); c = NextInOrder(c, n)) {
    const pugi::xml_node_type t = c.type();
    if (t == pugi::node_pcdata || t == pugi::node_cdata || t == pugi::node_element) out += c.value();
  }
  return out;
}

XmlNodeList XmlNode::Children() const {
  XmlNodeList list;
  ChildrenInto(list);
  return list;
}

void XmlNode::ChildrenInto(XmlNodeList& list) const {
  list.nodes_.clear();
  if (!node_) return;
  for (pugi::xml_node c = Pugi(node_).first_child(); Raw(c); c = c.next_sibling()) {
    list.nodes_.push_back(Raw(c));
  }
}

XmlNode XmlNode::FirstChild() const {
  return XmlNode(Raw(Pugi(node_).first_child()));
}

XmlNode XmlNode::NextSibling() const {
  return XmlNode(Raw(Pugi(node_).next_sibling()));
}

XmlNode XmlNode::Parent() const {
  return XmlNode(Raw(Pugi(node_).parent()));
}

std::string XmlNode::Attribute(std::string_view name) const {
  for (pugi::xml_attribute a = Pugi(node_).first_attribute(); a; a = a.next_attribute()) {
    if (CStringEquals(a.name(), name)) return a.value();
  }
  return {};
}

bool XmlNode::HasAttribute(std::string_view name) const {
  for (pugi::xml_attribute a = Pugi(node_).first_attribute(); a; a = a.next_attribute()) {
    if (CStringEquals(a.name(), name)) return true;
  }
  return false;
}

long long XmlNode::SourceOffset() const {
  return static_cast<long long>(Pugi(node_).offset_debug());
}

XmlNode XmlNode::AppendElement(std::string_view name) {
  pugi::xml_node n(node_);
  if (!n || HoldsNul(name) || name.empty()) return {};
  if (n.type() != pugi::node_element && n.type() != pugi::node_document) return {};
  if (n.type() == pugi::node_document) {
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
      if (c.type() == pugi::node_element) return {};
    }
  }
  pugi::xml_node e = n.append_child(pugi::node_element);
  if (!e || !e.set_name(std::string(name).c_str())) return {};
  return XmlNode(Raw(e));
}

XmlNode XmlNode::AppendText(std::string_view text) {
  pugi::xml_node n(node_);
  if (!n || HoldsNul(text) || n.type() != pugi::node_element) return {};
  pugi::xml_node t = n.append_child(pugi::node_pcdata);
  if (!t || !t.set_value(std::string(text).c_str())) return {};
  return XmlNode(Raw(t));
}

bool XmlNode::SetAttribute(std::string_view name, std::string_view value) {
  pugi::xml_node n(node_);
  if (!n || n.type() != pugi::node_element || name.empty() || HoldsNul(name) || HoldsNul(value)) {
    return false;
  }
  const std::string key(name);
  pugi::xml_attribute a = n.attribute(key.c_str());
  if (!a) a = n.append_attribute(key.c_str());
  return a && a.set_value(std::string(value).c_str());
}

int FindChild(const XmlNodeList& children, std::string_view name, int k) {
  if (k < 0) return -1;
  for (int i = 0; i < children.size(); ++i) {
    if (children[i].NameIs(name) && k-- == 0) return i;
  }
  return -1;
}

// ------------------------------------------------------------------------ XmlDocument

struct XmlDocument::Impl {
  pugi::xml_document doc;
  std::string buffer;   // parsed in place: the document's names and texts point into it
  bool embedded = false;   // elements hold their leading text (walk-only loads)

  void Reset() {
    doc.reset();
    std::string().swap(buffer);
    embedded = false;
  }

  // Loads `original`. When `movable` is given it holds the same bytes and may become the
  // parse buffer; positions of a failure are then taken from a fresh read of `path`.
  XmlLoadResult Load(std::string_view original, std::string* movable, const std::string* path,
                     XmlLoadMode mode);
  XmlLoadResult ConvertReferences(const Source& src);
};

XmlDocument::XmlDocument() : impl_(std::make_unique<Impl>()) {}
XmlDocument::~XmlDocument() = default;
XmlDocument::XmlDocument(XmlDocument&&) noexcept = default;
XmlDocument& XmlDocument::operator=(XmlDocument&&) noexcept = default;

XmlLoadResult XmlDocument::LoadFile(const std::string& path, XmlLoadMode mode) {
  impl_->Reset();
  std::string bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, &error)) {
    XmlLoadResult r;
    r.description = error;
    return r;
  }
  XmlLoadResult r = impl_->Load(bytes, &bytes, &path, mode);
  if (!r.ok) r.description = Utf8ToCp1252Lossy(path) + ": " + r.description;
  return r;
}

XmlLoadResult XmlDocument::LoadBytes(std::string_view bytes, XmlLoadMode mode) {
  impl_->Reset();
  return impl_->Load(bytes, nullptr, nullptr, mode);
}

XmlLoadResult XmlDocument::Impl::Load(std::string_view original, std::string* movable,
                                      const std::string* path, XmlLoadMode mode) {
  Source src;
  src.original = original;
  // Set when the parse buffer is the original itself: parsing in place changes it, so
  // a failure found after that reads the file again for its line and column.
  bool inPlace = false;
  std::string reread;

  auto fail = [&](size_t offset, const std::string& what) {
    if (inPlace) {
      src.original = {};
      if (path && ReadWholeFile(*path, reread) && reread.size() == buffer.size()) {
        src.original = reread;
      }
    }
    XmlLoadResult r = Failure(src, offset, what);
    doc.reset();
    buffer.clear();
    return r;
  };

  // Byte order marks, the encodings this document model does not read, the declared one.
  const std::string_view text = original;
  if (const EncodingCheck check = ResolveEncoding(text, src); !check.ok) return fail(check.offset, check.what);
  const bool known = src.declared;

  const std::string_view body = text.substr(src.bomLength);
  const bool references = body.find("&#") != std::string_view::npos;
  if (src.encoding == SourceEncoding::kUtf8 || !known) {
    std::string converted;
    size_t bad = 0;
    switch (Utf8ToDocument(body, converted, bad)) {
      case ConvertStatus::kOk:
        src.encoding = SourceEncoding::kUtf8;
        if (references) {
          // pugixml decodes references into UTF-8 next to the UTF-8 text; the whole tree
          // is converted after parsing.
          buffer.assign(body);
          src.map = OffsetMap::kIdentity;
        } else {
          buffer = std::move(converted);
          src.map = OffsetMap::kFromCp1252Conversion;
        }
        break;
      case ConvertStatus::kInvalid:
        if (known) {
          return fail(src.bomLength + bad, "invalid UTF-8 byte sequence (the file is declared UTF-8)");
        }
        src.encoding = SourceEncoding::kCp1252;  // no declaration and not UTF-8
        break;
      case ConvertStatus::kUnrepresentable:
        return fail(src.bomLength + bad, "character that Windows-1252 cannot hold");
    }
  }
  if (src.encoding == SourceEncoding::kCp1252) {
    src.map = OffsetMap::kIdentity;
    if (references) {
      buffer = BytesToLatin1Utf8(body);
      src.map = OffsetMap::kFromLatin1Expansion;
    } else if (movable && src.bomLength == 0) {
      buffer = std::move(*movable);
      src.original = buffer;
      inPlace = true;
    } else {
      buffer.assign(body);
    }
  }

  const pugi::xml_parse_result parsed =
      doc.load_buffer_inplace(buffer.data(), buffer.size(), ParseOptions(mode, references),
                              pugi::encoding_utf8);
  if (!parsed) {
    const size_t at = OriginalOffset(src, static_cast<size_t>(parsed.offset));
    std::string what = StatusText(parsed.status);
    if (parsed.status != pugi::status_no_document_element && at + 1 >= src.original.size()) {
      what = "unexpected end of file (" + what + "); is the file cut short?";
    }
    return fail(at, what);
  }

  bool rootSeen = false;
  for (pugi::xml_node c = doc.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element) continue;
    if (rootSeen) {
      return fail(OriginalOffset(src, static_cast<size_t>(c.offset_debug())),
                  "more than one root element");
    }
    rootSeen = true;
  }

  if (references) {
    XmlLoadResult r = ConvertReferences(src);
    if (!r.ok) {
      doc.reset();
      buffer.clear();
      return r;
    }
  }
  embedded = mode == XmlLoadMode::kWalkOnly && !references;
  return Success();
}

// After parsing a buffer in UTF-8 form, turns every name and text of the tree into
// document bytes.
XmlLoadResult XmlDocument::Impl::ConvertReferences(const Source& src) {
  std::string converted;
  size_t bad = 0;
  auto convert = [&](const char* s) {
    return Utf8ToDocument(s, converted, bad) == ConvertStatus::kOk;
  };
  auto failAt = [&](pugi::xml_node n) {
    return Failure(src, OriginalOffset(src, static_cast<size_t>(std::max<std::ptrdiff_t>(0, n.offset_debug()))),
                   "character reference to a character that Windows-1252 cannot hold");
  };
  for (pugi::xml_node n = doc.first_child(); n; n = NextInOrder(n, doc)) {
    if (*n.name()) {
      if (!convert(n.name())) return failAt(n);
      if (!n.set_name(converted.c_str())) return failAt(n);
    }
    if (*n.value()) {
      if (!convert(n.value())) return failAt(n);
      if (!n.set_value(converted.c_str())) return failAt(n);
    }
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
      if (!convert(a.name()) || !a.set_name(converted.c_str())) return failAt(n);
      if (!convert(a.value()) || !a.set_value(converted.c_str())) return failAt(n);
    }
  }
  return Success();
}

void XmlDocument::Clear() { impl_->Reset(); }

XmlNode XmlDocument::DocumentNode() const {
  return XmlNode(Raw(static_cast<const pugi::xml_node&>(impl_->doc)));
}

XmlNode XmlDocument::RootElement() const {
  return XmlNode(Raw(impl_->doc.document_element()));
}

XmlNodeList XmlDocument::SelectElements(std::string_view name) const {
  XmlNodeList list;
  ElementCollector collector(name, list.nodes_);
  impl_->doc.traverse(collector);
  return list;
}

void XmlDocument::Walk(XmlVisitor& visitor) const {
  // A loop over the tree rather than the library's traverse: no virtual call and no
  // depth count per node, and an element's end is reported as the walk leaves it.
  const bool embedded = impl_->embedded;
  const pugi::xml_node top = impl_->doc;
  pugi::xml_node n = top.first_child();
  int depth = 0;  // elements open around n
  while (Raw(n)) {
    bool element = false;
    switch (n.type()) {
      case pugi::node_element:
        element = true;
        visitor.StartElement(n.name());
        // Its leading text, when the load stored it with the element.
        if (embedded && visitor.wantsText) {
          if (const char* text = n.value(); *text) visitor.Text(text, false);
        }
        break;
      case pugi::node_pcdata:
        if (visitor.wantsText) visitor.Text(n.value(), false);
        break;
      case pugi::node_cdata:
        if (visitor.wantsText) visitor.Text(n.value(), true);
        break;
      case pugi::node_comment:
      case pugi::node_pi:
        if (depth > 0) visitor.Markup();
        break;
      default:
        break;
    }
    if (element) {
      if (const pugi::xml_node child = n.first_child(); Raw(child)) {
        n = child;
        ++depth;
        continue;
      }
      visitor.EndElement();
    }
    // On to the next node in document order, ending the elements left on the way up
    // (only elements hold children below the document).
    for (;;) {
      if (const pugi::xml_node sibling = n.next_sibling(); Raw(sibling)) {
        n = sibling;
        break;
      }
      n = n.parent();
      if (!Raw(n) || Raw(n) == Raw(top)) {
        n = pugi::xml_node();
        break;
      }
      --depth;
      visitor.EndElement();
    }
  }
}

XmlNode XmlDocument::AppendProcessingInstruction(std::string_view target, std::string_view data) {
  if (target.empty() || HoldsNul(target) || HoldsNul(data)) return {};
  pugi::xml_document& doc = impl_->doc;
  if (target == "xml") {
    for (pugi::xml_node c = doc.first_child(); c; c = c.next_sibling()) {
      if (c.type() == pugi::node_declaration) return {};
    }
    // Saving writes the declaration in its one form; the node records the same.
    pugi::xml_node d = doc.prepend_child(pugi::node_declaration);
    if (!d) return {};
    d.append_attribute("version") = "1.0";
    d.append_attribute("encoding") = "Windows-1252";
    return XmlNode(Raw(d));
  }
  pugi::xml_node pi = doc.append_child(pugi::node_pi);
  if (!pi || !pi.set_name(std::string(target).c_str()) || !pi.set_value(std::string(data).c_str())) {
    return {};
  }
  return XmlNode(Raw(pi));
}

XmlNode XmlDocument::AppendElement(std::string_view name) {
  return DocumentNode().AppendElement(name);
}

bool XmlDocument::SaveToBytes(std::string& out, std::string* error) const {
  out.clear();
  const pugi::xml_document& doc = impl_->doc;
  if (!doc.document_element()) {
    if (error) *error = "the document has no root element";
    return false;
  }
  out = kDeclaration;
  out += '\n';
  StringWriter writer(out);
  for (pugi::xml_node c = doc.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_declaration) continue;
    // The bytes are Windows-1252 already; "UTF-8" output copies them unchanged.
    c.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
    out += '\n';
  }
  return true;
}

bool XmlDocument::SaveFile(const std::string& path, std::string* error) const {
  std::string bytes;
  if (!SaveToBytes(bytes, error)) return false;
  return SaveFileAtomically(path, bytes, error);
}

PlainEncoding DeclaredPlainEncoding(std::string_view text, size_t& bomLength) {
  Source src;
  if (!ResolveEncoding(text, src, /*findNul=*/false).ok) return PlainEncoding::kRefused;
  bomLength = src.bomLength;
  if (!src.declared) return PlainEncoding::kUndeclared;
  return src.encoding == SourceEncoding::kUtf8 ? PlainEncoding::kUtf8 : PlainEncoding::kDocument;
}

int DocumentByteOfAnyUtf8(std::string_view text, size_t i, size_t& length) {
  char32_t cp = 0;
  length = DecodeUtf8Char(text, i, cp);
  return length == 0 ? -1 : DocumentByteOf(cp);
}

bool ToDocumentBytes(std::string& text) {
  Source src;
  if (!ResolveEncoding(text, src).ok) return false;
  const std::string_view body = std::string_view(text).substr(src.bomLength);
  if (body.find("&#") != std::string_view::npos) return false;
  if (src.encoding == SourceEncoding::kUtf8 || !src.declared) {
    // Without a declaration the bytes may yet be Windows-1252: kept until they are known
    // to be UTF-8.
    std::string undeclared;
    if (!src.declared && FirstNonAscii(body) < body.size()) undeclared = text;
    size_t bad = 0;
    switch (Utf8ToDocumentInPlace(text, src.bomLength, bad)) {
      case ConvertStatus::kOk:
        text.erase(0, src.bomLength);
        return true;
      case ConvertStatus::kInvalid:
        if (src.declared) return false;
        text = std::move(undeclared);  // no declaration and not UTF-8: Windows-1252
        break;
      case ConvertStatus::kUnrepresentable:
        return false;
    }
  }
  text.erase(0, src.bomLength);
  return true;
}

}  // namespace tervane
