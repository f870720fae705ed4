#include "fiscalmemory/memory_public_key.h"

#include <cstdio>
#include <fstream>
#include <memory>

#include "app/settings.h"
#include "app/string_table.h"
#include "catalogue/catalogue.h"
#include "common/charset.h"
#include "common/text.h"

namespace tervane {
namespace {

constexpr int kStrCarregarDll = 32781;
constexpr int kStrMfMfd = 32882;
constexpr size_t kKeyLength = 256;
constexpr size_t kKeyLineLength = 32;
constexpr int kKeyLines = 8;
constexpr int kDadosSize = 620;
constexpr int kBarcodeHeaderSize = 9;
constexpr const char* kBarcodeHeader = "1D6B80050402FF";
constexpr int kDownloadOk = 1;

std::string Cp(const char* utf8) {
  return Utf8ToCp1252Lossy(utf8);
}

CommandRecord ReportCommand(const char* title, const char* escape) {
  CommandRecord command;
  command.title = Cp(title);
  command.hasEscape = true;
  command.escapeText = escape;
  ParseEscapeText(escape, command);
  return command;
}

ParameterRecord Parameter(const char* title, const char* kind, int size, std::string value) {
  ParameterRecord p;
  p.title = title;
  p.kind = kind;
  p.size = size;
  p.mandatory = true;
  p.value = std::move(value);
  return p;
}

std::string KeyText(const std::string& key) {
  std::string text = Cp(
      "\r\n     Em  conformidade  com a cláusula sexagésima\r\nsétima,  inciso VIII  do  convênio  ICMS  85/01,\r\n"
      "acrescida  pelo  convênio  ICMS 29/07 transcrita\r\nabaixo:\r\n\r\n");
  text += Cp(
      "\"VIII  -  O  ECF deve autenticar digitalmente os\r\narquivos  por  ele gerados utilizando-se padrões\r\n"
      "de chaves de mercado.\"\r\n\r\n");
  text += Cp("Este ECF possui a seguinte chave pública:\r\n\r\n");
  // A short key prints shorter (or empty) lines.
  for (int i = 0; i < kKeyLines; ++i) {
    const size_t from = i * kKeyLineLength;
    text += "        " + (from < key.size() ? key.substr(from, kKeyLineLength) : std::string()) + "\r\n";
  }
  return text + "\r\n\r\n";
}

std::string SignatureText(std::string place) {
  ReplaceAll(place, "Fecha", "Data");
  const std::string rule(48, '_');
  std::string text = "\r\n\r\n\r\n\r\n";
  text += Cp(
      "Na  condição  de  pretenso usuário do ECF abaixo\r\nidentificado,  neste documento,  declaro  estar\r\n"
      "ciente  das  informações  acima  prestadas  pelo seu fabricante.\r\n\r\n");
  text += "Local:_______________________,   " + place + "\r\n\r\n\r\n";
  text += rule + Cp("                Nome do Usuário\r\n\r\n");
  text += rule + Cp("                CPF do Usuário\r\n\r\n");
  text += rule + Cp("             Assinatura do Usuário\r\n\r\n");
  return text;
}

}  // namespace

std::vector<CommandRecord> PublicKeyPrintCommands(const PublicKeyLines& lines) {
  std::vector<CommandRecord> commands;

  CommandRecord keyText = ReportCommand("Chave Pública da impressora", "20");
  keyText.parameters.push_back(Parameter("Dados", "BIG_STRING_VAR_SIZE", kDadosSize, KeyText(lines[0])));
  commands.push_back(std::move(keyText));

  // The barcode data: the key counted as 256 characters (a longer one is cut there, a
  // shorter one is padded by its parameter), then lines 2 and 3.
  const size_t length = kKeyLength + lines[1].size() + lines[2].size();
  CommandRecord barcode = ReportCommand("Chave Pública da impressora 2", "20");
  barcode.parameters.push_back(Parameter("PDF417", "DIG_HEX", kBarcodeHeaderSize,
                                         std::string(kBarcodeHeader) + Format("%02X", unsigned(length & 0xFF)) +
                                             Format("%02X", unsigned((length >> 8) & 0xFF))));
  barcode.parameters.push_back(Parameter("Dados", "STRING", static_cast<int>(length),
                                         lines[0].substr(0, kKeyLength) + lines[1] + lines[2]));
  commands.push_back(std::move(barcode));

  CommandRecord signature = ReportCommand("Chave Pública da impressora 2", "20");
  signature.parameters.push_back(Parameter("Dados", "BIG_STRING_VAR_SIZE", kDadosSize, SignatureText(lines[2])));
  commands.push_back(std::move(signature));

  commands.push_back(ReportCommand("Fechamento de Relatório Gerencial", "21"));
  return commands;
}

bool ReadPublicKeyLines(const std::string& path, PublicKeyLines& lines) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  for (std::string& line : lines) {
    line.clear();
    if (!std::getline(in, line)) line.clear();
    if (!line.empty() && line.back() == '\r') line.pop_back();
  }
  return true;
}

MemoryOutcome PrintPublicKey(const MemoryToolContext& context) {
  MemoryOutcome outcome;
  if (!context.exchange.settings || !context.prompter || !context.exchange.ports) return outcome;
  const ProgramSettings& settings = *context.exchange.settings;
  if (UsesFirstVendorLibrary(settings.g_modelMask)) {
    outcome.stage = MemoryStage::kNotAvailable;
    return outcome;
  }
  const std::string caption = LoadString(kStrMfMfd);
  VendorLoader& loader = context.loader ? *context.loader : SystemVendorLoader();
  std::unique_ptr<VendorLibrary> library = loader.Load(kVendorLibrary2);
  if (!library) {
    context.prompter->ShowMessage(caption, LoadString(kStrCarregarDll));
    outcome.stage = MemoryStage::kLibraryMissing;
    return outcome;
  }
  auto download = library->Entry<int (*)(const char*, const char*)>("KeloDownloadPublicKey");
  if (!download) {
    outcome.stage = MemoryStage::kEntryMissing;
    return outcome;
  }
  const std::string keyFile = ResolveInWorkDir(settings, "CP.pub");
  ShareLinkSettings(settings);
  if (context.wait) context.wait->Show(LoadString(str::kAguarde));
  outcome.code = download(settings.g_portName.c_str(), keyFile.c_str());
  if (context.wait) context.wait->Hide();
  library.reset();
  outcome.stage = MemoryStage::kCompleted;
  if (const int id = VendorStatusMessageId(outcome.code); id != 0) context.prompter->ShowMessage(caption, LoadString(id));
  if (outcome.code != kDownloadOk) {
    std::remove(keyFile.c_str());  // a partial download is not left behind
    return outcome;
  }

  PublicKeyLines lines;
  const bool read = ReadPublicKeyLines(keyFile, lines);
  std::remove(keyFile.c_str());
  if (!read) {
    context.prompter->ShowMessage(caption, Cp("Não foi possível ler o arquivo ") + keyFile);
    return outcome;
  }
  bool all = true;
  for (CommandRecord& command : PublicKeyPrintCommands(lines)) {
    if (ExecuteCommand(command, context.exchange) != kOk) {
      all = false;
      context.prompter->ShowMessage(caption, Cp("ERRO DE COMUNICAÇÃO"));
    }
  }
  outcome.succeeded = all;
  return outcome;
}

}  // namespace tervane
