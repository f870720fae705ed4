// XmlDocument: the DOM used for comandos.xml, sequencias.xml and equipamentos.xml.
//
// Files are read in their declared encoding (Windows-1252, ISO-8859-1 or UTF-8; a file
// without a declaration is UTF-8 when its bytes are valid UTF-8, Windows-1252 otherwise)
// with white space preserved: text nodes made only of blanks, tabs and line breaks are
// kept. Every name and text handed out or taken in is Windows-1252, one byte per
// character, like all text of the core. Documents are saved in Windows-1252 with the
// declaration <?xml version="1.0" encoding="Windows-1252"?>, through an atomic save.
//
// XmlNode and XmlNodeList are light handles into a document; they stay valid while the
// document lives and is neither reloaded nor cleared.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pugi {
struct xml_node_struct;
}

namespace tervane {

class XmlNodeList;

// Outcome of a load, for a person to act on.
struct XmlLoadResult {
  bool ok = false;
  size_t offset = 0;         // byte offset in the input where the problem was found
  int line = 0;              // 1-based line of that offset (0 when not tied to a place)
  int column = 0;            // 1-based character column on that line
  std::string description;   // e.g. "line 12, column 5: mismatched end tag"; empty when ok
  explicit operator bool() const { return ok; }
};

// How a document is loaded.
enum class XmlLoadMode {
  // The document as written: every node, text nodes made only of blanks, tabs and line
  // breaks included.
  kFull,
  // For a large document read whole with Walk, in about half the time: a blank text node
  // is kept only when it is its element's only child, and an element's leading text is
  // stored with the element, so node handles do not show it as a child (Walk and Text()
  // still report it). An element that holds nothing but text reads exactly as in kFull.
  kWalkOnly,
};

enum class XmlNodeType {
  kNull,
  kDocument,
  kElement,
  kText,
  kCData,
  kComment,
  kProcessingInstruction,
  kDeclaration,
};

class XmlNode {
 public:
  XmlNode() = default;

  bool IsNull() const { return node_ == nullptr; }
  explicit operator bool() const { return node_ != nullptr; }
  XmlNodeType Type() const;

  // The node's name: the tag of an element, the target of a processing instruction
  // ("xml" for the declaration), "#text", "#cdata-section", "#comment" or "#document".
  // Empty for a null node.
  std::string Name() const;
  // The same as a view into the document (or a constant), valid while the document
  // lives unchanged; no copy is made.
  std::string_view NameView() const;
  // True when Name() equals `name` exactly.
  bool NameIs(std::string_view name) const;

  // The concatenated text of every text and CDATA node below this one, in document
  // order, white space as written; the node's own text for a text or CDATA node, the
  // data of a comment or processing instruction. Empty for a null node.
  std::string Text() const;

  // Child nodes in document order (text and comment nodes included). Empty for a null
  // node. ChildrenInto reuses the list's storage.
  XmlNodeList Children() const;
  void ChildrenInto(XmlNodeList& list) const;

  XmlNode FirstChild() const;
  XmlNode NextSibling() const;
  XmlNode Parent() const;

  // The attribute's value, or "" when the node has no such attribute.
  std::string Attribute(std::string_view name) const;
  bool HasAttribute(std::string_view name) const;

  // Byte offset of the node in the loaded input, or -1 when unknown (built nodes).
  long long SourceOffset() const;

  // Building. Each returns the new node, or a null node when this node cannot hold one
  // (a null node, or a text node as parent) or when a name or text holds a NUL byte.
  XmlNode AppendElement(std::string_view name);
  XmlNode AppendText(std::string_view text);
  // Sets (adds or replaces) an attribute. Returns false on an element-less node or a
  // NUL byte in name or value.
  bool SetAttribute(std::string_view name, std::string_view value);

  friend bool operator==(const XmlNode& a, const XmlNode& b) { return a.node_ == b.node_; }

 private:
  friend class XmlDocument;
  friend class XmlNodeList;
  explicit XmlNode(pugi::xml_node_struct* node) : node_(node) {}
  pugi::xml_node_struct* node_ = nullptr;
};

// An ordered list of nodes.
class XmlNodeList {
 public:
  int size() const { return static_cast<int>(nodes_.size()); }
  bool empty() const { return nodes_.empty(); }
  // The i-th node, or a null node when i is out of range.
  XmlNode operator[](int i) const {
    return i >= 0 && i < size() ? XmlNode(nodes_[static_cast<size_t>(i)]) : XmlNode();
  }

 private:
  friend class XmlNode;
  friend class XmlDocument;
  std::vector<pugi::xml_node_struct*> nodes_;
};

// Index within `children` of the k-th (0-based) node whose name equals `name` exactly,
// or -1 when there are not that many (or k is negative). Text and comment nodes never
// match, since their names start with "#".
int FindChild(const XmlNodeList& children, std::string_view name, int k);

// Turns a document's bytes into document bytes (Windows-1252, one byte per character,
// no byte order mark), read in the encoding a load would read them in, for a reader of
// its own that takes only plain documents. False, with `text` perhaps changed, when a
// load would refuse the encoding or the bytes, or when the document holds a character
// reference (&#...;): a load of the original then says what is wrong, or decodes them.
bool ToDocumentBytes(std::string& text);

// How a reader of plain documents may take a document's bytes as they stand: as document
// bytes (declared Windows-1252 or ISO-8859-1), as UTF-8 (a byte order mark, whose length
// is set in `bomLength`, or a declaration), or neither because nothing declares the
// encoding (ToDocumentBytes then finds it) or a load refuses the one declared. Such a
// reader must itself refuse NUL bytes and character references, as ToDocumentBytes does.
enum class PlainEncoding { kDocument, kUtf8, kUndeclared, kRefused };
PlainEncoding DeclaredPlainEncoding(std::string_view text, size_t& bomLength);

// The document byte of the UTF-8 character at `text[i]`, which is at least 80h, with its
// length in `length`; -1 when the bytes there are not UTF-8 or the character has no
// document byte (a load then refuses the document). `length` is 0 only for bytes that
// are not UTF-8.
int DocumentByteOfAnyUtf8(std::string_view text, size_t i, size_t& length);

// The same, with U+0080..U+00FF (the accented letters of Portuguese, two bytes each and
// their own value) taken inline.
inline int DocumentByteOfUtf8(std::string_view text, size_t i, size_t& length) {
  const auto b = static_cast<unsigned char>(text[i]);
  if ((b == 0xC2 || b == 0xC3) && i + 1 < text.size() &&
      (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
    length = 2;
    return ((b & 0x03) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F);
  }
  return DocumentByteOfAnyUtf8(text, i, length);
}

// Receives the nodes of a document in document order (XmlDocument::Walk): one call when
// an element starts, one for each text, CDATA, comment or processing instruction, one
// when the element ends. The views stay valid while the document lives unchanged.
class XmlVisitor {
 public:
  virtual ~XmlVisitor() = default;
  virtual void StartElement(std::string_view name) = 0;
  virtual void EndElement() = 0;
  // A text node, or a CDATA section when `cdata` is set.
  virtual void Text(std::string_view text, bool cdata) = 0;
  // A comment or processing instruction inside an element (its content is not given).
  virtual void Markup() {}

  // While false, texts are skipped without a Text call (a visitor that reads only some
  // elements' text clears it outside them, which saves most of the work on the blanks
  // between elements).
  bool wantsText = true;
};

class XmlDocument {
 public:
  XmlDocument();
  ~XmlDocument();
  XmlDocument(XmlDocument&&) noexcept;
  XmlDocument& operator=(XmlDocument&&) noexcept;
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Loads a file or bytes, replacing the current content. On failure the document is
  // empty and the result says what was wrong and where (a file that cannot be read has
  // offset 0 and line 0). A file's description starts with its path.
  XmlLoadResult LoadFile(const std::string& path, XmlLoadMode mode = XmlLoadMode::kFull);
  XmlLoadResult LoadBytes(std::string_view bytes, XmlLoadMode mode = XmlLoadMode::kFull);

  // Empties the document, ready for building.
  void Clear();

  // The document node (parent of the top-level nodes) and the root element (null when
  // the document is empty).
  XmlNode DocumentNode() const;
  XmlNode RootElement() const;

  // Every element named `name` at any depth, in document order.
  XmlNodeList SelectElements(std::string_view name) const;

  // Reports the whole document to `visitor` in one pass; the quick way to read a large
  // document whole.
  void Walk(XmlVisitor& visitor) const;

  // Building at the top level. A processing instruction with target "xml" is the
  // declaration: saving always writes it as version 1.0, encoding Windows-1252. Each
  // returns a null node when a name or data holds a NUL byte, or when a second root
  // element is added.
  XmlNode AppendProcessingInstruction(std::string_view target, std::string_view data);
  XmlNode AppendElement(std::string_view name);

  // The document as Windows-1252 bytes: the declaration, then each top-level node on a
  // line of its own, exactly as built (no indentation is added). Returns false with
  // `error` set when the document cannot be written.
  bool SaveToBytes(std::string& out, std::string* error = nullptr) const;
  // Writes SaveToBytes' result to `path` atomically. Returns false with `error` set when
  // the document or the file cannot be written; the file is then left as it was.
  bool SaveFile(const std::string& path, std::string* error = nullptr) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tervane
