// The child elements of a `cmd` element and of its `parametro` and `retorno` elements, as
// both the catalogue file and the sequence file write them. Shared by their one-pass
// readers so the two files can never disagree on a name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tervane {

enum class CommandXmlField : std::uint8_t {
  kNone,
  kSequenceName,  // the sequence file's own name element; not a command field
  // Under cmd.
  kGroup, kMask, kTitle, kEscape, kReturnSize, kReturnKind,
  // Under parametro.
  kParamTitle, kParamSize, kParamKind, kParamMandatory, kParamValue,
  // Under retorno.
  kFieldTitle, kFieldSize, kFieldKind,
};

// Whether `name` is the element name `literal`: a comparison of known length, which the
// compiler does inline instead of calling a general string comparison.
template <std::size_t N>
inline bool NameEquals(std::string_view name, const char (&literal)[N]) {
  return name.size() == N - 1 && std::memcmp(name.data(), literal, N - 1) == 0;
}

// The lookups go by the name's length first, so that most names cost one comparison.

// The field an element of `name` sets under cmd; kNone for any other name.
inline CommandXmlField CommandFieldNamed(std::string_view name) {
  switch (name.size()) {
    case 4: return NameEquals(name, "tipo") ? CommandXmlField::kGroup : CommandXmlField::kNone;
    case 6:
      if (NameEquals(name, "titulo")) return CommandXmlField::kTitle;
      return NameEquals(name, "escape") ? CommandXmlField::kEscape : CommandXmlField::kNone;
    case 12: return NameEquals(name, "tipo_retorno") ? CommandXmlField::kReturnKind : CommandXmlField::kNone;
    case 15: return NameEquals(name, "tamanho_retorno") ? CommandXmlField::kReturnSize : CommandXmlField::kNone;
    case 16: return NameEquals(name, "equipamentos_hab") ? CommandXmlField::kMask : CommandXmlField::kNone;
    default: return CommandXmlField::kNone;
  }
}

// The field an element of `name` sets under parametro; kNone for any other name.
inline CommandXmlField ParameterFieldNamed(std::string_view name) {
  switch (name.size()) {
    case 5: return NameEquals(name, "valor") ? CommandXmlField::kParamValue : CommandXmlField::kNone;
    case 6: return NameEquals(name, "titulo") ? CommandXmlField::kParamTitle : CommandXmlField::kNone;
    case 7:
      if (NameEquals(name, "tamanho")) return CommandXmlField::kParamSize;
      return NameEquals(name, "formato") ? CommandXmlField::kParamKind : CommandXmlField::kNone;
    case 11: return NameEquals(name, "obrigatorio") ? CommandXmlField::kParamMandatory : CommandXmlField::kNone;
    default: return CommandXmlField::kNone;
  }
}

// The field an element of `name` sets under retorno; kNone for any other name.
inline CommandXmlField ReturnFieldNamed(std::string_view name) {
  switch (name.size()) {
    case 6: return NameEquals(name, "titulo") ? CommandXmlField::kFieldTitle : CommandXmlField::kNone;
    case 7:
      if (NameEquals(name, "tamanho")) return CommandXmlField::kFieldSize;
      return NameEquals(name, "formato") ? CommandXmlField::kFieldKind : CommandXmlField::kNone;
    default: return CommandXmlField::kNone;
  }
}

}  // namespace tervane
