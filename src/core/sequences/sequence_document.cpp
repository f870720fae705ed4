// Reading and writing the sequence file's document.
#include <string>

#include "catalogue/catalogue.h"
#include "common/text.h"
#include "common/xml_document.h"
#include "sequences/sequence_store.h"

namespace tervane {
namespace {

// ------------------------------------------------------------------------------ reading

// The text of the first child element called `name`, if there is one.
bool FieldText(const XmlNodeList& children, std::string_view name, std::string& text) {
  const int at = FindChild(children, name, 0);
  if (at < 0) return false;
  text = children[at].Text();
  return true;
}

// Reads one "cmd" element as the catalogue reads its commands: each single-valued child
// by its first occurrence, absent ones keeping their defaults; the k-th "parametro" and
// "retorno" children in turn, each read into a working record shared by all of them so
// that an absent sub-element keeps the previous entry's value (only "valor" starts
// empty every time).
void ReadCommand(XmlNode element, CommandRecord& command, XmlNodeList& children, XmlNodeList& fields) {
  element.ChildrenInto(children);
  std::string text;
  FieldText(children, "tipo", command.group);
  if (FieldText(children, "equipamentos_hab", text)) {
    command.modelMask = static_cast<std::uint32_t>(Atoi(text));
  }
  FieldText(children, "titulo", command.title);
  command.hasEscape = FieldText(children, "escape", command.escapeText);
  if (FieldText(children, "tamanho_retorno", text)) command.declaredReturnSize = Atoi(text);
  FieldText(children, "tipo_retorno", command.returnKind);
  // Parsed once the title is known, so that a refusal can name the command.
  if (command.hasEscape) ParseEscapeText(command.escapeText, command);

  ParameterRecord parameter;
  for (int k = 0;; ++k) {
    const int at = FindChild(children, "parametro", k);
    if (at < 0) break;
    children[at].ChildrenInto(fields);
    FieldText(fields, "titulo", parameter.title);
    if (FieldText(fields, "tamanho", text)) parameter.size = Atoi(text);
    FieldText(fields, "formato", parameter.kind);
    if (FieldText(fields, "obrigatorio", text)) parameter.mandatory = text == "S";
    if (!FieldText(fields, "valor", parameter.value)) parameter.value.clear();
    command.parameters.push_back(parameter);
  }

  ReturnFieldRecord field;
  for (int k = 0;; ++k) {
    const int at = FindChild(children, "retorno", k);
    if (at < 0) break;
    children[at].ChildrenInto(fields);
    FieldText(fields, "titulo", field.title);
    if (FieldText(fields, "tamanho", text)) field.size = Atoi(text);
    FieldText(fields, "formato", field.kind);
    command.returnFields.push_back(field);
  }
}

// ------------------------------------------------------------------------------ writing

// The blanks before an element at each depth below the root: a line break and one tab
// per level.
constexpr std::string_view kIndent1 = "\n\t";
constexpr std::string_view kIndent2 = "\n\t\t";
constexpr std::string_view kIndent3 = "\n\t\t\t";
constexpr std::string_view kIndent4 = "\n\t\t\t\t";

// Builds the document, remembering the first failure (a NUL byte in a text).
class Builder {
 public:
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }

  XmlNode Element(XmlNode parent, std::string_view indent, std::string_view name) {
    Check(parent.AppendText(indent), name);
    XmlNode e = parent.AppendElement(name);
    Check(e, name);
    return e;
  }

  // An element holding `text`; an empty element when the text is empty.
  void Leaf(XmlNode parent, std::string_view indent, std::string_view name, std::string_view text) {
    XmlNode e = Element(parent, indent, name);
    if (!text.empty()) Check(e.AppendText(text), name);
  }

  void Text(XmlNode parent, std::string_view text) { Check(parent.AppendText(text), "text"); }

 private:
  void Check(XmlNode node, std::string_view what) {
    if (node || !ok_) return;
    ok_ = false;
    error_ = "cannot write \"" + std::string(what) + "\": a text holds a NUL byte";
  }

  bool ok_ = true;
  std::string error_;
};

void WriteCommand(Builder& b, XmlNode sequence, const CommandRecord& command) {
  XmlNode cmd = b.Element(sequence, kIndent2, "cmd");
  b.Leaf(cmd, kIndent3, "tipo", command.group);
  b.Leaf(cmd, kIndent3, "titulo", command.title);
  b.Leaf(cmd, kIndent3, "escape", command.escapeText);
  b.Leaf(cmd, kIndent3, "tamanho_retorno", std::to_string(command.declaredReturnSize));
  b.Leaf(cmd, kIndent3, "tipo_retorno", command.returnKind);
  for (const ParameterRecord& p : command.parameters) {
    XmlNode e = b.Element(cmd, kIndent3, "parametro");
    b.Leaf(e, kIndent4, "titulo", p.title);
    b.Leaf(e, kIndent4, "valor", p.value);
    b.Leaf(e, kIndent4, "tamanho", std::to_string(p.size));
    b.Leaf(e, kIndent4, "formato", p.kind);
    b.Leaf(e, kIndent4, "obrigatorio", p.mandatory ? "S" : "N");
    b.Text(e, kIndent3);
  }
  for (const ReturnFieldRecord& f : command.returnFields) {
    XmlNode e = b.Element(cmd, kIndent3, "retorno");
    b.Leaf(e, kIndent4, "titulo", f.title);
    b.Leaf(e, kIndent4, "tamanho", std::to_string(f.size));
    b.Leaf(e, kIndent4, "formato", f.kind);
    b.Text(e, kIndent3);
  }
  b.Text(cmd, kIndent2);
}

}  // namespace

int ReadSequenceDocument(std::string_view bytes, std::vector<CSequence>& sequences,
                         SequenceLoadResult* result) {
  XmlDocument document;
  const XmlLoadResult loaded = document.LoadBytes(bytes);
  if (!loaded) {
    if (result) {
      result->code = -1;
      result->description = loaded.description;
    }
    return -1;
  }
  const XmlNodeList elements = document.SelectElements("sequencia");
  std::vector<CSequence> read(static_cast<size_t>(elements.size()));
  XmlNodeList children, commandChildren, fields;
  for (int i = 0; i < elements.size(); ++i) {
    CSequence& sequence = read[static_cast<size_t>(i)];
    elements[i].ChildrenInto(children);
    FieldText(children, "titulo", sequence.name);
    for (int k = 0; k < children.size(); ++k) {
      if (!children[k].NameIs("cmd")) continue;
      sequence.commands.emplace_back();
      ReadCommand(children[k], sequence.commands.back(), commandChildren, fields);
    }
  }
  sequences.insert(sequences.end(), std::make_move_iterator(read.begin()),
                   std::make_move_iterator(read.end()));
  if (result) {
    result->code = 0;
    result->description.clear();
  }
  return 0;
}

bool WriteSequenceDocument(const std::vector<CSequence>& sequences, std::string& out, std::string* error) {
  out.clear();
  XmlDocument document;
  Builder b;
  document.AppendProcessingInstruction("xml", "version='1.0' encoding='Windows-1252'");
  document.AppendProcessingInstruction("xml-stylesheet", "type='text/xml' href='style.xsl'");
  XmlNode root = document.AppendElement("sequencias");
  root.SetAttribute("xml:space", "preserve");
  for (const CSequence& sequence : sequences) {
    XmlNode s = b.Element(root, kIndent1, "sequencia");
    b.Leaf(s, kIndent2, "titulo", sequence.name);
    for (const CommandRecord& command : sequence.commands) WriteCommand(b, s, command);
    b.Text(s, kIndent1);
  }
  b.Text(root, "\n");
  if (!b.ok()) {
    if (error) *error = b.error();
    return false;
  }
  std::string bytes;
  if (!document.SaveToBytes(bytes, error)) return false;
  // A carriage return written as such would come back as a line feed (a reader turns
  // every CR LF and lone CR into LF), so values with CR LF line ends, such as a cliché's
  // lines, would change size. Written as a character reference it is read back as CR.
  // Only texts can hold one: every name and the instructions are written by us.
  out.reserve(bytes.size());
  for (char c : bytes) {
    if (c == '\r') {
      out += "&#13;";
    } else {
      out += c;
    }
  }
  return true;
}

}  // namespace tervane
