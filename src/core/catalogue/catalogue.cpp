#include "catalogue/catalogue.h"

#include <array>
#include <cstdio>
#include <iterator>

#include "common/charset.h"
#include "common/text.h"
#include "common/xml_document.h"

namespace tervane {
namespace {

constexpr char kCatalogueFileName[] = "comandos.xml";
constexpr char kLoadFailureLine[] = "Failed to instantiate an XML DOM.\n";

// Reads one `parametro` into the working record. Elements present overwrite the working
// values, so absent ones keep the previous parameter's; only the value starts afresh.
// The first occurrence of each name counts.
void ReadParameter(XmlNode element, ParameterRecord& work) {
  bool title = false, size = false, kind = false, mandatory = false, value = false;
  work.value.clear();
  for (XmlNode c = element.FirstChild(); c; c = c.NextSibling()) {
    if (c.Type() != XmlNodeType::kElement) continue;
    if (!title && c.NameIs("titulo")) {
      work.title = c.Text();
      title = true;
    } else if (!size && c.NameIs("tamanho")) {
      work.size = Atoi(c.Text());
      size = true;
    } else if (!kind && c.NameIs("formato")) {
      work.kind = c.Text();
      kind = true;
    } else if (!mandatory && c.NameIs("obrigatorio")) {
      work.mandatory = c.Text() == "S";
      mandatory = true;
    } else if (!value && c.NameIs("valor")) {
      work.value = c.Text();
      value = true;
    }
  }
}

// Reads one `retorno` into the working record, with the same inheritance.
void ReadReturnField(XmlNode element, ReturnFieldRecord& work) {
  bool title = false, size = false, kind = false;
  for (XmlNode c = element.FirstChild(); c; c = c.NextSibling()) {
    if (c.Type() != XmlNodeType::kElement) continue;
    if (!title && c.NameIs("titulo")) {
      work.title = c.Text();
      title = true;
    } else if (!size && c.NameIs("tamanho")) {
      work.size = Atoi(c.Text());
      size = true;
    } else if (!kind && c.NameIs("formato")) {
      work.kind = c.Text();
      kind = true;
    }
  }
}

// One pass over the children of a `cmd`: the first occurrence of each single-valued
// element, and every `parametro` and `retorno` in document order (the same as looking
// up the k-th of each for k = 0, 1, ... until there is none).
void ReadCommand(XmlNode element, CommandRecord& command) {
  bool group = false, mask = false, title = false, returnSize = false, returnKind = false;
  ParameterRecord parameter;
  ReturnFieldRecord returnField;
  for (XmlNode c = element.FirstChild(); c; c = c.NextSibling()) {
    if (c.Type() != XmlNodeType::kElement) continue;
    if (c.NameIs("parametro")) {
      ReadParameter(c, parameter);
      command.parameters.push_back(parameter);
    } else if (c.NameIs("retorno")) {
      ReadReturnField(c, returnField);
      command.returnFields.push_back(returnField);
    } else if (!group && c.NameIs("tipo")) {
      command.group = c.Text();
      group = true;
    } else if (!mask && c.NameIs("equipamentos_hab")) {
      command.modelMask = static_cast<std::uint32_t>(Atoi(c.Text()));
      mask = true;
    } else if (!title && c.NameIs("titulo")) {
      command.title = c.Text();
      title = true;
    } else if (!command.hasEscape && c.NameIs("escape")) {
      command.escapeText = c.Text();
      command.hasEscape = true;
    } else if (!returnSize && c.NameIs("tamanho_retorno")) {
      command.declaredReturnSize = Atoi(c.Text());
      returnSize = true;
    } else if (!returnKind && c.NameIs("tipo_retorno")) {
      command.returnKind = c.Text();
      returnKind = true;
    }
  }
  // Parsed once the title is known, so that a refusal can name the command.
  if (command.hasEscape) ParseEscapeText(command.escapeText, command);
}

int Fail(const XmlLoadResult& loaded, CatalogueLoadResult* result) {
  std::fputs(kLoadFailureLine, stdout);
  std::fflush(stdout);
  if (result) {
    result->code = kCatalogueNotLoadable;
    result->description = loaded.description;
  }
  return kCatalogueNotLoadable;
}

int Build(const XmlDocument& document, CommandCatalogue& catalogue, CatalogueLoadResult* result) {
  const XmlNodeList elements = document.SelectElements("cmd");
  std::vector<CommandRecord> commands(static_cast<size_t>(elements.size()));
  for (int i = 0; i < elements.size(); ++i) {
    ReadCommand(elements[i], commands[static_cast<size_t>(i)]);
  }
  if (catalogue.commands.empty()) {
    catalogue.commands.swap(commands);
  } else {
    catalogue.commands.insert(catalogue.commands.end(), std::make_move_iterator(commands.begin()),
                              std::make_move_iterator(commands.end()));
  }
  if (result) {
    result->code = kOk;
    result->description.clear();
  }
  return kOk;
}

std::string EscapeError(const CommandRecord& command, const char* reasonUtf8) {
  return Utf8ToCp1252Lossy("Comando \"") + command.title +
         Utf8ToCp1252Lossy("\": texto de escape inválido (") + Utf8ToCp1252Lossy(reasonUtf8) + ")";
}

}  // namespace

int LoadCatalogue(const std::string& directory, CommandCatalogue& catalogue,
                  CatalogueLoadResult* result) {
  std::string path = directory;
  if (path.empty() || path.back() != '/') path += '/';
  path += kCatalogueFileName;
  return LoadCatalogueFile(path, catalogue, result);
}

int LoadCatalogueFile(const std::string& path, CommandCatalogue& catalogue,
                      CatalogueLoadResult* result) {
  XmlDocument document;
  const XmlLoadResult loaded = document.LoadFile(path);
  if (!loaded) return Fail(loaded, result);
  return Build(document, catalogue, result);
}

int LoadCatalogueBytes(std::string_view bytes, CommandCatalogue& catalogue,
                       CatalogueLoadResult* result) {
  XmlDocument document;
  const XmlLoadResult loaded = document.LoadBytes(bytes);
  if (!loaded) return Fail(loaded, result);
  return Build(document, catalogue, result);
}

bool ParseEscapeText(std::string_view text, CommandRecord& command, std::string* error) {
  std::array<std::uint8_t, kMaxEscapeBytes> bytes{};
  int count = 0;
  const char* reason = nullptr;
  // Every single space ends a token, so n spaces make n + 1 tokens, empty ones included;
  // each token is one byte, the low eight bits of its atoi value.
  for (size_t start = 0;;) {
    size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view token = text.substr(start, end - start);
    if (token.size() > static_cast<size_t>(kMaxEscapeToken)) {
      reason = "número com mais de 15 caracteres";
      break;
    }
    if (count == kMaxEscapeBytes) {
      reason = "mais de 12 números";
      break;
    }
    bytes[static_cast<size_t>(count++)] = static_cast<std::uint8_t>(Atoi(token) & 0xFF);
    if (end == text.size()) break;
    start = end + 1;
  }
  if (reason) {
    command.escapeBytes.fill(0);
    command.escapeCount = 0;
    command.escapeError = EscapeError(command, reason);
    if (error) *error = command.escapeError;
    return false;
  }
  command.escapeBytes = bytes;
  command.escapeCount = count;
  command.escapeError.clear();
  return true;
}

bool IsCommandEnabled(const CommandRecord& command, const ProgramSettings& settings) {
  return !settings.g_filterByModel || (command.modelMask & settings.g_modelMask) != 0;
}

}  // namespace tervane
