#include "control/logo_strings.h"

#include <cstdlib>

#include "core/common/charset.h"

namespace tervane {
namespace {

struct Entry {
  int id;
  const char* english;
  const char* spanish;
  const char* portuguese;
};

// Source texts are UTF-8; LogoString hands them out in Windows-1252.
constexpr Entry kStrings[] = {
    {1, "Brandel Control", "Brandel Control", "Brandel Control"},
    {2, "Brandel Property Page", "Brandel Property Page", "Brandel Property Page"},
    {3, "Invalid file!", "archivo inválido", "Arquivo inválido!"},
    {4, "Printer off-line", "Impressora off-line", "Impressora off-line"},
    {5, "Error accessing printer port", "Error de comunicación", "Erro ao acessar porta de comunicação"},
    {6, "Error sending data to printer", "No pueda enviar el paquete", "Erro ao enviar pacote"},
    {7, "Coorporate name", "Razón Social", "Razão Social"},
    {8, "DBA", "Nombre fantasia", "Nome fantasia"},
    {9, "Address", "Direccion", "Endereço"},
    {10, "Font...", "Fuente...", "Fonte..."},
    {11, "Add", "Agregue", "Adicionar"},
    {12, "Send", "Enviar", "Enviar"},
    {13, "Save", "Salvar", "Salvar"},
    {14, "Logo upload succeeded!", "Actualización tenida éxito", "Logo carregado com sucesso"},
    {15, "Communication error!", "Error de comunicación", "Erro comunicação"},
    {16, "Generated graphic is invalid\r\nMaximum size of 12K may have been exceeded!",
     "Gráfico generado inválido\r\n¡El tamaño máximo de 12K pudo haber sido excedido!",
     "Gráfico gerado inválido\r\nTamanho Máximo de 12K pode ter sido excedido!"},
    {17, "Invalid text", "Texto inválido!", "Texto passado não é válido!"},
    {18, "Execution error", "error de la ejecución", "Erro execução"},
    {19, "No more free space for logo storage!", "¡No más espacio libre para el almacenaje del logo!",
     "Espaço de armazenamento do cliche esgotado!"},
    {20, "No logo available to save!", "¡Ningun logo disponible para ahorrar!",
     "Cliche não disponível para confirmação"},
    {21, "Logo saving succeeded!", "¡Ahorro del logo tenido éxito!", "Logo confirmado com sucesso"},
    {22, "Operation permited only during technical intervention!",
     "¡La operación es permitida solamente durante la intervención técnica!",
     "Operação permitida apenas em intervenção técnica!"},
    {23, "Alignment", "Alineación", "Alinhamento"},
    {200, "General", "General", "General"},
};

}  // namespace

LogoLanguage LogoLanguageForLocale(const std::string& locale) {
  if (locale.rfind("pt_BR", 0) == 0) return LogoLanguage::kPortuguese;
  if (locale.rfind("es", 0) == 0 && (locale.size() == 2 || locale[2] == '_' || locale[2] == '.')) {
    return LogoLanguage::kSpanish;
  }
  return LogoLanguage::kEnglish;
}

LogoLanguage UserLogoLanguage() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return LogoLanguageForLocale(value);
  }
  return LogoLanguage::kEnglish;
}

std::string LogoString(int id, LogoLanguage language) {
  for (const Entry& entry : kStrings) {
    if (entry.id != id) continue;
    switch (language) {
      case LogoLanguage::kEnglish: return Utf8ToCp1252Lossy(entry.english);
      case LogoLanguage::kSpanish: return Utf8ToCp1252Lossy(entry.spanish);
      case LogoLanguage::kPortuguese: return Utf8ToCp1252Lossy(entry.portuguese);
    }
  }
  return {};
}

AlignmentTexts LogoAlignmentTexts(LogoLanguage language) {
  switch (language) {
    case LogoLanguage::kSpanish:
      return {Utf8ToCp1252Lossy("Alineación"), "Izquierdo", "Derecho"};
    case LogoLanguage::kPortuguese:
      return {"Alinhamento", "Esquerda", "Centro"};
    case LogoLanguage::kEnglish:
      break;
  }
  return {"Alingment", "Left", "Center"};
}

}  // namespace tervane
