// Feeds arbitrary bytes to the sequence file reader and checks what must hold for any
// input: no crash or overrun, a failed read leaves the list alone, the one-pass reading
// gives exactly what looking every element up in the full document gives, and what was
// read is written and read back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalogue/catalogue.h"
#include "core/common/text.h"
#include "core/common/xml_document.h"
#include "core/sequences/sequence_store.h"

namespace {

using tervane::CommandRecord;
using tervane::CSequence;
using tervane::XmlNode;
using tervane::XmlNodeList;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool FieldText(const XmlNodeList& children, std::string_view name, std::string& text) {
  const int at = tervane::FindChild(children, name, 0);
  if (at < 0) return false;
  text = children[at].Text();
  return true;
}

// The reading rules applied the slow, plain way: every element looked up by name in
// the whole document.
std::vector<CSequence> ReadByLookup(const tervane::XmlDocument& document) {
  std::vector<CSequence> out;
  const XmlNodeList elements = document.SelectElements("sequencia");
  for (int i = 0; i < elements.size(); ++i) {
    CSequence sequence;
    const XmlNodeList children = elements[i].Children();
    FieldText(children, "titulo", sequence.name);
    for (int k = 0; k < children.size(); ++k) {
      if (!children[k].NameIs("cmd")) continue;
      CommandRecord c;
      const XmlNodeList fields = children[k].Children();
      std::string text;
      FieldText(fields, "tipo", c.group);
      if (FieldText(fields, "equipamentos_hab", text)) c.modelMask = static_cast<std::uint32_t>(tervane::Atoi(text));
      FieldText(fields, "titulo", c.title);
      c.hasEscape = FieldText(fields, "escape", c.escapeText);
      if (FieldText(fields, "tamanho_retorno", text)) c.declaredReturnSize = tervane::Atoi(text);
      FieldText(fields, "tipo_retorno", c.returnKind);
      tervane::ParameterRecord p;
      for (int n = 0; tervane::FindChild(fields, "parametro", n) >= 0; ++n) {
        const XmlNodeList sub = fields[tervane::FindChild(fields, "parametro", n)].Children();
        FieldText(sub, "titulo", p.title);
        if (FieldText(sub, "tamanho", text)) p.size = tervane::Atoi(text);
        FieldText(sub, "formato", p.kind);
        if (FieldText(sub, "obrigatorio", text)) p.mandatory = text == "S";
        if (!FieldText(sub, "valor", p.value)) p.value.clear();
        c.parameters.push_back(p);
      }
      tervane::ReturnFieldRecord f;
      for (int n = 0; tervane::FindChild(fields, "retorno", n) >= 0; ++n) {
        const XmlNodeList sub = fields[tervane::FindChild(fields, "retorno", n)].Children();
        FieldText(sub, "titulo", f.title);
        if (FieldText(sub, "tamanho", text)) f.size = tervane::Atoi(text);
        FieldText(sub, "formato", f.kind);
        c.returnFields.push_back(f);
      }
      sequence.commands.push_back(std::move(c));
    }
    out.push_back(std::move(sequence));
  }
  return out;
}

void CheckSame(const std::vector<CSequence>& a, const std::vector<CSequence>& b, bool maskAndEscapePresence) {
  Check(a.size() == b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    Check(a[i].name == b[i].name);
    Check(a[i].commands.size() == b[i].commands.size());
    for (size_t k = 0; k < a[i].commands.size(); ++k) {
      const CommandRecord& x = a[i].commands[k];
      const CommandRecord& y = b[i].commands[k];
      Check(x.group == y.group && x.title == y.title && x.escapeText == y.escapeText);
      Check(x.declaredReturnSize == y.declaredReturnSize && x.returnKind == y.returnKind);
      if (maskAndEscapePresence) Check(x.modelMask == y.modelMask && x.hasEscape == y.hasEscape);
      Check(x.escapeCount >= 0 && x.escapeCount <= tervane::kMaxEscapeBytes);
      Check(x.parameters.size() == y.parameters.size());
      for (size_t n = 0; n < x.parameters.size(); ++n) {
        const auto& p = x.parameters[n];
        const auto& q = y.parameters[n];
        Check(p.title == q.title && p.size == q.size && p.kind == q.kind && p.mandatory == q.mandatory &&
              p.value == q.value);
      }
      Check(x.returnFields.size() == y.returnFields.size());
      for (size_t n = 0; n < x.returnFields.size(); ++n) {
        const auto& f = x.returnFields[n];
        const auto& g = y.returnFields[n];
        Check(f.title == g.title && f.size == g.size && f.kind == g.kind);
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  std::vector<CSequence> read(1);
  read[0].name = "KEEP";
  tervane::SequenceLoadResult result;
  const int code = tervane::ReadSequenceDocument(bytes, read, &result);

  tervane::XmlDocument document;
  const tervane::XmlLoadResult loaded = document.LoadBytes(bytes);
  Check((code == 0) == loaded.ok);
  if (code != 0) {
    Check(code == -1 && read.size() == 1 && read[0].name == "KEEP" && !result.description.empty());
    return 0;
  }
  Check(!read.empty() && read[0].name == "KEEP");
  read.erase(read.begin());
  CheckSame(read, ReadByLookup(document), true);

  std::string written;
  if (!tervane::WriteSequenceDocument(read, written)) return 0;   // a NUL byte from a reference
  std::vector<CSequence> again;
  Check(tervane::ReadSequenceDocument(written, again) == 0);
  CheckSame(again, read, false);
  return 0;
}
