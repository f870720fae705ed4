#include "core/fiscalmemory/mf_integrity.h"

#include <memory>

#include "core/app/model_table.h"
#include "core/common/string_table.h"
#include "core/catalogue/catalogue.h"
#include "core/common/charset.h"

namespace tervane {
namespace {

constexpr int kStrArquivoMf = 33029;
constexpr std::uint32_t kOlderModelsBelow = 256;

CommandRecord BuiltCommand(const char* escape, int declared, std::vector<ReturnFieldRecord> fields) {
  CommandRecord command;
  command.hasEscape = true;
  command.escapeText = escape;
  ParseEscapeText(escape, command);
  command.declaredReturnSize = declared;
  command.ExpectedReplyLength = declared;
  command.returnFields = std::move(fields);
  return command;
}

MemoryOutcome Ended(MemoryStage stage, int code = 0, bool succeeded = false) {
  MemoryOutcome outcome;
  outcome.stage = stage;
  outcome.code = code;
  outcome.succeeded = succeeded;
  return outcome;
}

MemoryOutcome CheckThroughPort(const MemoryToolContext& context) {
  if (!context.exchange.ports) return Ended(MemoryStage::kBadContext);
  // The detected model decides the command, also when detection kept the all-models mask.
  const std::uint32_t mask = ModelCodeForRules(*context.exchange.settings);
  if (mask >= kOlderModelsBelow) {
    CommandRecord model = IntegrityModelCommand();
    if (ExecuteCommand(model, context.exchange) == kOk && model.returnFields.size() > 1 &&
        model.returnFields[1].value == PadModelName("ZT-800 A")) {
      context.prompter->ShowMessage(
          LoadString(str::kMfMfd),
          Utf8ToCp1252Lossy("Comando inexistente neste equipamento, faça verificação por arquivo!"));
      return Ended(MemoryStage::kNotAvailable);
    }
  }
  CommandRecord cells = MemoryCellsCommand(mask >= kOlderModelsBelow);
  const int result = ExecuteCommand(cells, context.exchange);
  std::string text = cells.ResultText;
  if (result != kOk) text += "\r\n";
  context.prompter->ShowCommandResults(text, cells.HexTrace);
  // A reply that counts cells not OK is a memory that failed the check.
  return Ended(MemoryStage::kCompleted, result, result == kOk && !MemoryCellsNotOk(cells));
}

MemoryOutcome CheckFile(const MemoryToolContext& context) {
  if (UsesFirstVendorLibrary(context.exchange.settings->g_modelMask)) {
    context.prompter->ShowMessage(LoadString(str::kMfMfd), FunctionNotAvailableText());
    return Ended(MemoryStage::kNotAvailable);
  }
  VendorLoader& loader = context.loader ? *context.loader : SystemVendorLoader();
  std::unique_ptr<VendorLibrary> library = loader.Load(kVendorLibrary2);
  if (!library) {
    context.prompter->ShowMessage(LoadString(str::kMfMfd), LoadString(str::kDllNaoCarregada));
    return Ended(MemoryStage::kLibraryMissing);
  }
  auto entry = library->Entry<int (*)(const char*, const char*, int)>("KeloDLLVerifyMFFileIntegrity");
  if (!entry) return Ended(MemoryStage::kEntryMissing);

  std::string mf = "*.*";
  if (!context.prompter->ChooseOpenFile("*.*", "Arquivos .MF (*.*)|*.*|Todos os Arquivos (*.*)|*.*||", mf) ||
      mf.empty()) {
    return Ended(MemoryStage::kDialogCancelled);
  }
  // The report is a text file: offering ".mf" for it would invite writing it over an
  // .mf file, the one being checked included.
  std::string report = "*.TXT";
  if (!context.prompter->ChooseSaveFile("*.TXT", "Arquivo de texto(*.TXT)|*.TXT|Todos os Arquivos (*.*)|*.*||",
                                        report) ||
      report.empty()) {
    return Ended(MemoryStage::kDialogCancelled);
  }
  if (report == mf) {
    context.prompter->ShowMessage(LoadString(str::kMfMfd),
                                  Utf8ToCp1252Lossy("O relatório não pode substituir o arquivo de MF."));
    return Ended(MemoryStage::kDialogCancelled);
  }
  int code = 0;
  if (context.wait) context.wait->Show(LoadString(str::kAguarde));
  code = entry(mf.c_str(), report.c_str(), 0);
  if (context.wait) context.wait->Hide();
  if (code == 0 && context.openFile) context.openFile(report);
  const int id = VendorStatusMessageId(code);
  if (id != 0) context.prompter->ShowMessage(LoadString(str::kMfMfd), LoadString(id));
  MemoryOutcome outcome = Ended(MemoryStage::kCompleted, code, code == 0);
  outcome.output = report;
  return outcome;
}

}  // namespace

CommandRecord IntegrityModelCommand() {
  return BuiltCommand("35 60", 42,
                      {ReturnFieldRecord{15, "", "ASCII", {}, {}}, ReturnFieldRecord{20, "", "ASCII", {}, {}},
                       ReturnFieldRecord{20, "", "ASCII", {}, {}}});
}

CommandRecord MemoryCellsCommand(bool newer) {
  if (newer) return BuiltCommand("95", 30, {ReturnFieldRecord{30, "", "VER_INT_MEM_FISCAL_COMP", {}, {}}});
  return BuiltCommand("126", 6, {ReturnFieldRecord{6, "", "VER_INT_MEM_FISCAL", {}, {}}});
}

bool MemoryCellsNotOk(const CommandRecord& cells) {
  if (cells.returnFields.empty()) return false;
  const ReturnFieldRecord& field = cells.returnFields[0];
  // Runs of (recorded, OK, not OK) counts, 16 bits each, low byte first, from byte 1.
  const size_t groups = field.kind == "VER_INT_MEM_FISCAL_COMP" ? 5 : 1;
  const std::vector<std::uint8_t>& reply = cells.replyData;
  for (size_t g = 0; g < groups; ++g) {
    const size_t at = 1 + g * 6 + 4;
    if (at + 1 >= reply.size()) break;
    if ((reply[at] | (reply[at + 1] << 8)) != 0) return true;
  }
  return false;
}

MemoryOutcome CheckMfIntegrity(const MemoryToolContext& context, IntegritySource source) {
  if (!context.exchange.settings || !context.prompter) return Ended(MemoryStage::kBadContext);
  if (source == IntegritySource::kAsk) {
    const int choice = context.prompter->Choose("Selecione a origem dos dados da MF",
                                                {LoadString(str::kPortaComunicacao), LoadString(kStrArquivoMf)});
    if (choice == 1) source = IntegritySource::kPort;
    else if (choice == 2) source = IntegritySource::kFile;
    else return Ended(MemoryStage::kDialogCancelled);
  }
  return source == IntegritySource::kPort ? CheckThroughPort(context) : CheckFile(context);
}

}  // namespace tervane
