// Compares what two catalogue loads gave, field by field, naming the first difference.
#pragma once

#include <string>
#include <vector>

#include "core/catalogue/catalogue.h"

namespace tervane::testing {

// "" when the catalogue fields of every command agree, else where they first differ.
inline std::string CatalogueDifference(const std::vector<CommandRecord>& a, const std::vector<CommandRecord>& b) {
  if (a.size() != b.size()) return "command count " + std::to_string(a.size()) + " vs " + std::to_string(b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    const CommandRecord& x = a[i];
    const CommandRecord& y = b[i];
    const std::string at = "command " + std::to_string(i) + ": ";
    if (x.group != y.group || x.title != y.title || x.returnKind != y.returnKind) return at + "texts";
    if (x.modelMask != y.modelMask || x.declaredReturnSize != y.declaredReturnSize) return at + "numbers";
    if (x.hasEscape != y.hasEscape || x.escapeText != y.escapeText || x.escapeBytes != y.escapeBytes ||
        x.escapeCount != y.escapeCount || x.escapeError != y.escapeError) {
      return at + "escape";
    }
    if (x.parameters.size() != y.parameters.size()) return at + "parameter count";
    for (size_t k = 0; k < x.parameters.size(); ++k) {
      const ParameterRecord& p = x.parameters[k];
      const ParameterRecord& q = y.parameters[k];
      if (p.size != q.size || p.mandatory != q.mandatory || p.title != q.title || p.kind != q.kind ||
          p.value != q.value || p.extra != q.extra) {
        return at + "parameter " + std::to_string(k);
      }
    }
    if (x.returnFields.size() != y.returnFields.size()) return at + "return field count";
    for (size_t k = 0; k < x.returnFields.size(); ++k) {
      const ReturnFieldRecord& p = x.returnFields[k];
      const ReturnFieldRecord& q = y.returnFields[k];
      if (p.size != q.size || p.title != q.title || p.kind != q.kind || p.text != q.text || p.value != q.value) {
        return at + "return field " + std::to_string(k);
      }
    }
  }
  return "";
}

}  // namespace tervane::testing
