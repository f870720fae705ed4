// The child elements of a `cmd` element and of its `parametro` and `retorno` elements, as
// both the catalogue file and the sequence file write them. Shared by their one-pass
// readers so the two files can never disagree on a name.
#pragma once

#include <cstdint>
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

// The field an element of `name` sets under cmd; kNone for any other name.
inline CommandXmlField CommandFieldNamed(std::string_view name) {
  if (name == "tipo") return CommandXmlField::kGroup;
  if (name == "equipamentos_hab") return CommandXmlField::kMask;
  if (name == "titulo") return CommandXmlField::kTitle;
  if (name == "escape") return CommandXmlField::kEscape;
  if (name == "tamanho_retorno") return CommandXmlField::kReturnSize;
  if (name == "tipo_retorno") return CommandXmlField::kReturnKind;
  return CommandXmlField::kNone;
}

// The field an element of `name` sets under parametro; kNone for any other name.
inline CommandXmlField ParameterFieldNamed(std::string_view name) {
  if (name == "titulo") return CommandXmlField::kParamTitle;
  if (name == "tamanho") return CommandXmlField::kParamSize;
  if (name == "formato") return CommandXmlField::kParamKind;
  if (name == "obrigatorio") return CommandXmlField::kParamMandatory;
  if (name == "valor") return CommandXmlField::kParamValue;
  return CommandXmlField::kNone;
}

// The field an element of `name` sets under retorno; kNone for any other name.
inline CommandXmlField ReturnFieldNamed(std::string_view name) {
  if (name == "titulo") return CommandXmlField::kFieldTitle;
  if (name == "tamanho") return CommandXmlField::kFieldSize;
  if (name == "formato") return CommandXmlField::kFieldKind;
  return CommandXmlField::kNone;
}

}  // namespace tervane
