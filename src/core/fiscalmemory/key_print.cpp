#include "core/fiscalmemory/key_print.h"

#include <cstdio>
#include <fstream>
#include <memory>

#include "core/common/settings.h"
#include "core/common/string_table.h"
#include "core/catalogue/catalogue.h"
#include "core/common/charset.h"
#include "core/common/text.h"
#include "core/fiscalmemory/usb_hand_over.h"
#include "core/protocol/frame_builder.h"

namespace tervane {
namespace {

constexpr size_t kKeyLineLength = 32;
constexpr int kKeyLines = 8;
constexpr int kDadosSize = 620;
constexpr int kBarcodeHeaderSize = 9;
constexpr int kDownloadOk = 1;
// A key file is three short lines; anything larger than a frame could not be printed.
constexpr size_t kMaxKeyFileBytes = kFrameCapacity;

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

bool HasControlByte(const std::string& line) {
  for (unsigned char c : line) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

// Every command of the print must frame: a key file whose texts would overflow a frame
// is refused before the report is opened, rather than printing part of it.
bool AllFrame(const std::vector<CommandRecord>& commands, const ProgramSettings& settings) {
  for (CommandRecord copy : commands) {
    if (AssembleFrame(copy, settings) != kOk) return false;
  }
  return true;
}

}  // namespace

std::vector<CommandRecord> PublicKeyPrintCommands(const PublicKeyLines& lines) {
  std::vector<CommandRecord> commands;

  CommandRecord keyText = ReportCommand("Chave Pública da impressora", "20");
  keyText.parameters.push_back(Parameter("Dados", "BIG_STRING_VAR_SIZE", kDadosSize, KeyText(lines[0])));
  commands.push_back(std::move(keyText));

  // The barcode data: the key counted as 256 characters, then lines 2 and 3. The STRING
  // kind pads a shorter text with blanks up to that length.
  const size_t length = kPublicKeyLength + lines[1].size() + lines[2].size();
  CommandRecord barcode = ReportCommand("Chave Pública da impressora 2", "20");
  barcode.parameters.push_back(Parameter("PDF417", "DIG_HEX", kBarcodeHeaderSize,
                                         std::string(kKeyBarcodeHeader) + Format("%02X", unsigned(length & 0xFF)) +
                                             Format("%02X", unsigned((length >> 8) & 0xFF))));
  barcode.parameters.push_back(
      Parameter("Dados", "STRING", static_cast<int>(length), lines[0] + lines[1] + lines[2]));
  commands.push_back(std::move(barcode));

  CommandRecord signature = ReportCommand("Chave Pública da impressora 2", "20");
  signature.parameters.push_back(Parameter("Dados", "BIG_STRING_VAR_SIZE", kDadosSize, SignatureText(lines[2])));
  commands.push_back(std::move(signature));

  commands.push_back(ReportCommand("Fechamento de Relatório Gerencial", "21"));
  return commands;
}

// The key file is the printer's word on a legal document the user signs: a file that
// is not the three text lines it should be (cut short, binary, a key longer than the
// printer's) prints nothing at all rather than a report from a part of it.
KeyFileProblem ParsePublicKeyText(std::string_view text, PublicKeyLines& lines) {
  for (std::string& line : lines) line.clear();
  if (text.size() > kMaxKeyFileBytes) return KeyFileProblem::kTooLarge;
  size_t start = 0;
  int found = 0;
  while (found < 3 && start < text.size()) {
    size_t end = text.find('\n', start);
    const size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(start, end - start));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines[found++] = std::move(line);
    start = next;
  }
  if (found < 3) return KeyFileProblem::kTooFewLines;
  for (const std::string& line : lines) {
    if (HasControlByte(line)) return KeyFileProblem::kNotText;
  }
  if (lines[0].empty()) return KeyFileProblem::kNoKey;
  if (lines[0].size() > kPublicKeyLength) return KeyFileProblem::kKeyTooLong;
  return KeyFileProblem::kNone;
}

KeyFileProblem ReadPublicKeyLines(const std::string& path, PublicKeyLines& lines) {
  for (std::string& line : lines) line.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return KeyFileProblem::kUnreadable;
  // One byte past the limit tells a file that is too large without reading all of it.
  std::string text(kMaxKeyFileBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad()) return KeyFileProblem::kUnreadable;
  text.resize(static_cast<size_t>(in.gcount()));
  return ParsePublicKeyText(text, lines);
}

std::string KeyFileProblemText(KeyFileProblem problem) {
  const char* why = nullptr;
  switch (problem) {
    case KeyFileProblem::kNone: return {};
    case KeyFileProblem::kUnreadable: return Cp("Não foi possível ler o arquivo CP.pub.");
    case KeyFileProblem::kTooFewLines: why = "tem menos de três linhas"; break;
    case KeyFileProblem::kNoKey: why = "não traz a chave na primeira linha"; break;
    case KeyFileProblem::kKeyTooLong: why = "traz uma chave com mais de 256 caracteres"; break;
    case KeyFileProblem::kNotText: why = "não é um arquivo de texto"; break;
    case KeyFileProblem::kTooLarge: why = "é grande demais para ser impresso"; break;
  }
  return Cp("O arquivo CP.pub ") + Cp(why) + Cp("; a chave pública não foi impressa.");
}

KeyPrintResult PrintPublicKeyReport(const MemoryToolContext& context) {
  KeyPrintResult result;
  MemoryOutcome& outcome = result.outcome;
  if (!context.exchange.settings || !context.prompter || !context.exchange.ports) return result;
  const ProgramSettings& settings = *context.exchange.settings;
  if (UsesFirstVendorLibrary(settings.g_modelMask)) {
    outcome.stage = MemoryStage::kNotAvailable;
    return result;
  }
  const std::string caption = LoadString(str::kMfMfd);
  VendorLoader& loader = context.loader ? *context.loader : SystemVendorLoader();
  std::unique_ptr<VendorLibrary> library = loader.Load(kVendorLibrary2);
  if (!library) {
    context.prompter->ShowMessage(caption, LoadString(str::kDllNaoCarregada));
    outcome.stage = MemoryStage::kLibraryMissing;
    return result;
  }
  auto download = library->Entry<int (*)(const char*, const char*)>("KeloDownloadPublicKey");
  if (!download) {
    outcome.stage = MemoryStage::kEntryMissing;
    return result;
  }
  // Only a key downloaded now is printed: a CP.pub left from an earlier run goes first.
  const std::string keyFile = ResolveInWorkDir(settings, kKeyFileName);
  std::remove(keyFile.c_str());
  ShareLinkSettings(settings);
  if (context.wait) context.wait->Show(LoadString(str::kAguarde));
  {
    UsbHandOver usb(context);  // the library drives a USB printer itself
    outcome.code = download(settings.g_portName.c_str(), keyFile.c_str());
  }
  if (context.wait) context.wait->Hide();
  library.reset();
  outcome.stage = MemoryStage::kCompleted;
  if (const int id = VendorStatusMessageId(outcome.code); id != 0) context.prompter->ShowMessage(caption, LoadString(id));
  if (outcome.code != kDownloadOk) {
    std::remove(keyFile.c_str());  // a partial download is not left behind
    return result;
  }

  PublicKeyLines lines;
  result.problem = ReadPublicKeyLines(keyFile, lines);
  std::remove(keyFile.c_str());
  std::vector<CommandRecord> commands;
  if (result.problem == KeyFileProblem::kNone) {
    commands = PublicKeyPrintCommands(lines);
    if (!AllFrame(commands, settings)) result.problem = KeyFileProblem::kTooLarge;
  }
  if (result.problem != KeyFileProblem::kNone) {
    context.prompter->ShowMessage(caption, KeyFileProblemText(result.problem));
    return result;
  }
  for (CommandRecord& command : commands) {
    ++result.commandsRun;
    if (ExecuteCommand(command, context.exchange) != kOk) {
      ++result.commandsFailed;
      context.prompter->ShowMessage(caption, Cp("ERRO DE COMUNICAÇÃO"));
    }
  }
  outcome.succeeded = result.commandsFailed == 0;
  return result;
}

MemoryOutcome PrintPublicKey(const MemoryToolContext& context) {
  return PrintPublicKeyReport(context).outcome;
}

}  // namespace tervane
