#include "core/fiscalmemory/memory_operations.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

#include "core/common/string_table.h"
#include "core/common/charset.h"
#include "core/common/text.h"
#include "core/fiscalmemory/memory_digest.h"
#include "core/fiscalmemory/memory_forms.h"
#include "core/fiscalmemory/memory_ranges.h"
#include "core/common/partial_download.h"
#include "core/fiscalmemory/usb_hand_over.h"
#include "core/transport/port_factory.h"

namespace tervane {
namespace {

// One of the memory dialogs of the answerer; a cancel when it has none.
template <typename Form>
bool AskForm(Prompter& prompter, bool (MemoryForms::*dialog)(Form&), Form& form) {
  MemoryForms* forms = MemoryFormsOf(prompter);
  return forms != nullptr && (forms->*dialog)(form);
}

// File dialogs: filter and default name.
struct FileDialog {
  const char* filter;  // UTF-8 in the source
  const char* name;
};
constexpr FileDialog kMfFile{"Arquivos de Memória Fiscal (*.mf)|*.mf|Todos os Arquivos (*.*)|*.*||", "*.mf"};
constexpr FileDialog kMfdDownload{"Arquivos de MFD (*.mfd)|*.mfd|Todos os Arquivos (*.*)|*.*||", "*.mfd"};
constexpr FileDialog kMfdInput{"Arquivos de MFD(*.MFD)|*.mfd|Todos os Arquivos (*.*)|*.*||", "*.mfd"};
constexpr FileDialog kSbFile{"Arquivos Binários (*.BIN)|*.bin|Todos os Arquivos (*.*)|*.*||", "*.bin"};
constexpr FileDialog kMpkFile{"Arquivos de MPK (*.mpk)|*.mpk|Todos os Arquivos (*.*)|*.*||", "*.mpk"};
constexpr FileDialog kMfkFile{"Arquivos de MFK (*.mfk)|*.mfk|Todos os Arquivos (*.*)|*.*||", "*.mfk"};
constexpr FileDialog kSbkFile{"Arquivo SBK (*.sbk)|*.sbk|Todos os Arquivos (*.*)|*.*||", "*.sbk"};
constexpr FileDialog kPublicKeyFile{"Arquivos de chave pública (*.pub)|*.pub|Todos os Arquivos (*.*)|*.*||",
                                    "*.pub"};
constexpr FileDialog kDocumentsFile{"Arquivo de texto(*.TXT)|*.TXT|Todos os Arquivos (*.*)|*.*||", "*.TXT"};
constexpr FileDialog kDatabaseFile{"Arquivos de Banco de Dados (*.mdb)|*.mdb|Todos os Arquivos (*.*)|*.*||",
                                   "*.mdb"};
constexpr FileDialog kReportFile{"Arquivos de Texto (*.txt)|*.txt|Todos os Arquivos (*.*)|*.*||", "*.txt"};
constexpr FileDialog kBitmapFiles{"Arquivos de Bitmap (*.bmp)|*.bmp|Todos os Arquivos (*.*)|*.*||", "*.bmp"};
constexpr FileDialog kFileToValidate{"Arquivos a ser validado (*.*)|*.*|Todos os Arquivos (*.*)|*.*||", "*.*"};
constexpr FileDialog kSignatureFile{"RSA (*.*)|*.*|Todos os Arquivos (*.*)|*.*||", "*.*"};

constexpr const char* kMfReportTitle = "Arquivo de Memória Fiscal";
constexpr const char* kBitmapsTitle = "Selecione os Arquivos";

constexpr const char* kUserNumberModels[] = {"ZK-110 B", "ZK-140 B", "ZB-110 B", "ZB-140 B"};

bool AskSave(Prompter& prompter, const FileDialog& dialog, std::string& path, const char* name = nullptr) {
  path = name ? name : dialog.name;
  return prompter.ChooseSaveFile(name ? name : dialog.name, Cp(dialog.filter), path) && !path.empty();
}

bool AskOpen(Prompter& prompter, const FileDialog& dialog, std::string& path, const char* name = nullptr) {
  path = name ? name : dialog.name;
  return prompter.ChooseOpenFile(name ? name : dialog.name, Cp(dialog.filter), path) && !path.empty();
}

// Shows the wait notice for the lifetime of a library call.
class WaitDuring {
 public:
  explicit WaitDuring(WaitNotice* notice) : notice_(notice) {
    if (notice_) notice_->Show(LoadString(str::kAguarde));
  }
  ~WaitDuring() {
    if (notice_) notice_->Hide();
  }
  WaitDuring(const WaitDuring&) = delete;
  WaitDuring& operator=(const WaitDuring&) = delete;

 private:
  WaitNotice* notice_;
};

bool ValidContext(const MemoryToolContext& context) {
  return context.exchange.settings != nullptr && context.prompter != nullptr;
}

// Loads a library for the operation; shows "Não foi possível carregar a DLL" when it
// cannot be loaded.
std::unique_ptr<VendorLibrary> LoadLibrary(const MemoryToolContext& context, const std::string& file) {
  VendorLoader& loader = context.loader ? *context.loader : SystemVendorLoader();
  std::unique_ptr<VendorLibrary> library = loader.Load(file);
  if (!library) context.prompter->ShowMessage(LoadString(str::kMfMfd), LoadString(str::kDllNaoCarregada));
  return library;
}

std::string ModelLibrary(const MemoryToolContext& context) {
  return VendorLibraryFile(context.exchange.settings->g_modelMask);
}

// Shows the warning of a status code 2..7; returns whether one was shown.
bool ShowStatus(const MemoryToolContext& context, int code) {
  const int id = VendorStatusMessageId(code);
  if (id == 0) return false;
  context.prompter->ShowMessage(LoadString(str::kMfMfd), LoadString(id));
  return true;
}

// Whether a library call wrote its output file: it exists now and either did not exist
// before or changed since, so that a stale file left from an earlier run is not taken
// for the new one.
class OutputWatch {
 public:
  explicit OutputWatch(const std::string& path) : path_(path) { before_ = Stamp(); }
  bool Written() const {
    const std::optional<Snapshot> now = Stamp();
    return now && (!before_ || now->time != before_->time || now->size != before_->size);
  }

 private:
  struct Snapshot {
    std::filesystem::file_time_type time;
    std::uintmax_t size;
  };
  std::optional<Snapshot> Stamp() const {
    std::error_code ec;
    const auto status = std::filesystem::status(path_, ec);
    if (ec || !std::filesystem::is_regular_file(status)) return std::nullopt;
    Snapshot s{std::filesystem::last_write_time(path_, ec), std::filesystem::file_size(path_, ec)};
    if (ec) return std::nullopt;
    return s;
  }
  std::string path_;
  std::optional<Snapshot> before_;
};

// The success prompt; Yes opens the file with the platform's "open" action.
void OfferToOpen(const MemoryToolContext& context, const std::string& path) {
  if (context.prompter->AskYesNo(LoadString(str::kMfMfd), SuccessPromptText(path)) && context.openFile) {
    context.openFile(path);
  }
}

// A library call that returned nothing (or nothing telling) and left no output.
void ReportNotCreated(const MemoryToolContext& context, const std::string& path) {
  context.prompter->ShowMessage(LoadString(str::kMfMfd), Cp("O arquivo não foi criado: \r\n") + path);
}

bool DownloadSucceeded(int code) {
  return code == 0 || code == 1;
}

MemoryOutcome Stop(MemoryStage stage) {
  MemoryOutcome outcome;
  outcome.stage = stage;
  return outcome;
}

MemoryOutcome Completed(int code, bool succeeded, std::string output) {
  MemoryOutcome outcome;
  outcome.stage = MemoryStage::kCompleted;
  outcome.code = code;
  outcome.succeeded = succeeded;
  outcome.output = std::move(output);
  return outcome;
}

using PortFileEntry = int (*)(const char*, const char*);
using RangeEntry = int (*)(const char*, const char*, const char*, const char*, const char*, const char*);
using UserNumberEntry = int (*)(const char*, const char*, const char*);

// When the library keeps an unfinished download of this kind, asks whether to continue it
// and hands the answer to the library. Returns the answer.
bool OfferResume(const MemoryToolContext& context, char kindLetter) {
  const bool resume =
      PartialDownloadKept(kindLetter) && context.prompter->AskYesNo(LoadString(str::kMfMfd), ResumeQuestionText());
  ShareResumeChoice(resume);
  return resume;
}

// After a download: the status message, and why a continuation asked for was refused
// (a code the status messages leave silent).
void ShowDownloadStatus(const MemoryToolContext& context, int code, bool resumed) {
  if (resumed && code == kResumeRefused)
    context.prompter->ShowMessage(LoadString(str::kMfMfd), ResumeRefusedText());
  else ShowStatus(context, code);
}

MemoryOutcome DownloadMfWithUserNumber(const MemoryToolContext& context) {
  if (!context.exchange.ports) return Stop(MemoryStage::kBadContext);
  CommandRecord command = UserNumberCommand();
  const int result = ExecuteCommand(command, context.exchange);
  if (result == kExchangeFailed) {
    context.prompter->ShowMessage(LoadString(str::kMfMfd), LoadString(str::kFalhaEnvio));
    return Stop(MemoryStage::kCommandFailed);
  }
  // Any other outcome goes on, with whatever user number was decoded (possibly none).
  const std::string user = command.returnFields.empty() ? std::string() : command.returnFields[0].value;

  std::unique_ptr<VendorLibrary> library = LoadLibrary(context, kVendorLibrary1);
  if (!library) return Stop(MemoryStage::kLibraryMissing);
  auto entry = library->Entry<UserNumberEntry>("KeloDownloadMFFiscalII");
  if (!entry) return Stop(MemoryStage::kEntryMissing);
  std::string file;
  if (!AskSave(*context.prompter, kMfFile, file)) return Stop(MemoryStage::kDialogCancelled);
  ShareLinkSettings(*context.exchange.settings);
  const bool resumed = OfferResume(context, 'F');
  int code = 0;
  {
    UsbHandOver usb(context);
    WaitDuring wait(context.wait);
    code = entry(context.exchange.settings->g_portName.c_str(), file.c_str(), user.c_str());
  }
  ShowDownloadStatus(context, code, resumed);
  return Completed(code, DownloadSucceeded(code), file);
}

}  // namespace

void ShareLinkSettings(const ProgramSettings& settings) {
  if (!settings.g_printerAddress.empty()) ::setenv(kPrinterAddressVariable, settings.g_printerAddress.c_str(), 1);
  const std::string folder = ExchangeFolder(settings);
  if (!folder.empty()) ::setenv(kExchangeDirVariable, folder.c_str(), 1);
}

std::string ResumeRefusedText() {
  return Cp("O download guardado não pertence a este download desta impressora (número de série, tamanho ou "
            "dados diferentes) e não foi continuado; faça o download completo.");
}

std::string FunctionNotAvailableText() {
  return Cp("Função não disponível.");
}
std::string FileValidText() {
  return "Arquivo validado";
}
std::string FileNotValidText() {
  return Cp("Arquivo NÃO validado");
}

std::string SuccessPromptText(const std::string& path) {
  std::string text = LoadString(str::kArquivoCriado);
  const size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, path);
  return text + "\r\n" + LoadString(str::kAbrirDocumentoAgora);
}

CommandRecord UserNumberCommand() {
  CommandRecord command;
  command.title = Cp("Número de usuário");
  command.hasEscape = true;
  command.escapeText = "35 1";
  command.escapeBytes[0] = 35;
  command.escapeBytes[1] = 1;
  command.escapeCount = 2;
  command.declaredReturnSize = 2;
  command.ExpectedReplyLength = command.declaredReturnSize;
  command.returnFields = {ReturnFieldRecord{2, Cp("Número de usuário"), "BCD_INTEGER", {}, {}}};
  return command;
}

bool ModelKeepsUserNumber(const std::string& modelName) {
  for (const char* identifier : kUserNumberModels) {
    if (modelName.compare(0, std::char_traits<char>::length(identifier), identifier) == 0) return true;
  }
  return false;
}

MemoryOutcome DownloadMemory(const MemoryToolContext& context, MemoryDownload what) {
  if (!ValidContext(context)) return Stop(MemoryStage::kBadContext);
  if (what == MemoryDownload::kMf && ModelKeepsUserNumber(context.exchange.settings->g_modelName)) {
    return DownloadMfWithUserNumber(context);
  }

  const char* entryName = nullptr;
  const FileDialog* dialog = nullptr;
  char kindLetter = 'F';  // the library's letter for the download, naming its kept partial file
  std::string libraryFile = ModelLibrary(context);
  bool ranged = false;
  switch (what) {
    case MemoryDownload::kMf: entryName = "KeloDownloadMF"; dialog = &kMfFile; kindLetter = 'F'; break;
    case MemoryDownload::kMfd: entryName = "KeloDownloadMFD"; dialog = &kMfdDownload; kindLetter = 'D'; ranged = true; break;
    case MemoryDownload::kMpk: entryName = "KeloDownloadMPK"; dialog = &kMpkFile; kindLetter = 'P'; ranged = true; break;
    case MemoryDownload::kSb: entryName = "KeloDownloadSB"; dialog = &kSbFile; kindLetter = 'S'; break;
    case MemoryDownload::kMfk: entryName = "KeloDownloadMFK"; dialog = &kMfkFile; kindLetter = 'K'; break;
    case MemoryDownload::kSbk:
      entryName = "KeloDownloadSBK";
      dialog = &kSbkFile;
      kindLetter = 'B';
      libraryFile = kVendorLibrary2;
      break;
    case MemoryDownload::kPublicKey:
      entryName = "KeloDownloadPublicKey";
      dialog = &kPublicKeyFile;
      kindLetter = 'C';
      libraryFile = kVendorLibrary2;
      break;
  }

  std::unique_ptr<VendorLibrary> library = LoadLibrary(context, libraryFile);
  if (!library) return Stop(MemoryStage::kLibraryMissing);
  void* entry = library->Find(entryName);
  if (!entry) return Stop(MemoryStage::kEntryMissing);

  VendorRange range;
  if (ranged) {
    MemoryRangeForm form;
    if (!AskForm(*context.prompter, &MemoryForms::AskMemoryRange, form)) return Stop(MemoryStage::kDialogCancelled);
    range = MemoryRangeArguments(form);
  }
  std::string file;
  if (!AskSave(*context.prompter, *dialog, file)) return Stop(MemoryStage::kDialogCancelled);

  const char* port = context.exchange.settings->g_portName.c_str();
  ShareLinkSettings(*context.exchange.settings);
  const bool resumed = OfferResume(context, kindLetter);
  int code = 0;
  {
    UsbHandOver usb(context);
    WaitDuring wait(context.wait);
    if (ranged) {
      code = reinterpret_cast<RangeEntry>(entry)(port, file.c_str(), range.kind.c_str(), range.start.c_str(),
                                                 range.end.c_str(), range.user.c_str());
    } else {
      code = reinterpret_cast<PortFileEntry>(entry)(port, file.c_str());
    }
  }
  ShowDownloadStatus(context, code, resumed);
  return Completed(code, DownloadSucceeded(code), file);
}

MemoryOutcome MakeFromMfd(const MemoryToolContext& context, MfdProduct product) {
  if (!ValidContext(context)) return Stop(MemoryStage::kBadContext);
  const bool text = product == MfdProduct::kDocuments;
  std::unique_ptr<VendorLibrary> library = LoadLibrary(context, ModelLibrary(context));
  if (!library) return Stop(MemoryStage::kLibraryMissing);

  std::string mfd;
  if (!AskOpen(*context.prompter, kMfdInput, mfd)) return Stop(MemoryStage::kDialogCancelled);
  MemoryRangeForm form;
  if (!AskForm(*context.prompter, &MemoryForms::AskMemoryRange, form)) return Stop(MemoryStage::kDialogCancelled);
  std::string output;
  if (!AskSave(*context.prompter, text ? kDocumentsFile : kDatabaseFile, output)) {
    return Stop(MemoryStage::kDialogCancelled);
  }
  const VendorRange range = MemoryRangeArguments(form);

  OutputWatch watch(output);
  int code = 0;
  bool statusShown = false;
  bool statusOk = true;
  switch (form.kind) {
    case MemoryRangeForm::Kind::kCoo: {
      using Entry = int (*)(const char*, const char*, int, int, int);
      auto entry = library->Entry<Entry>(text ? "KeloGeraTxtPorCOO" : "KeloGeraMdbPorCOO");
      if (!entry) return Stop(MemoryStage::kEntryMissing);
      {
        WaitDuring wait(context.wait);
        // The numbers as the library takes them: read back from the formatted texts.
        code = entry(mfd.c_str(), output.c_str(), Atoi(range.user), Atoi(range.start), Atoi(range.end));
      }
      statusShown = ShowStatus(context, code);
      statusOk = DownloadSucceeded(code);
      break;
    }
    case MemoryRangeForm::Kind::kDates: {
      using Entry = void (*)(const char*, const char*, const char*, const char*);
      auto entry = library->Entry<Entry>(text ? "KeloGeraTxtPorData" : "KeloGeraMdbPorData");
      if (!entry) return Stop(MemoryStage::kEntryMissing);
      WaitDuring wait(context.wait);
      entry(mfd.c_str(), output.c_str(), range.start.c_str(), range.end.c_str());
      break;
    }
    case MemoryRangeForm::Kind::kTotal: {
      using Entry = void (*)(const char*, const char*);
      auto entry = library->Entry<Entry>(text ? "KeloGeraTxtTotal" : "KeloGeraMdbTotal");
      if (!entry) return Stop(MemoryStage::kEntryMissing);
      WaitDuring wait(context.wait);
      entry(mfd.c_str(), output.c_str());
      break;
    }
  }
  // The success prompt only for a file that was really made.
  const bool made = statusOk && watch.Written();
  if (made) OfferToOpen(context, output);
  else if (!statusShown) ReportNotCreated(context, output);
  return Completed(code, made, output);
}

MemoryOutcome MakeMfReport(const MemoryToolContext& context) {
  if (!ValidContext(context)) return Stop(MemoryStage::kBadContext);
  std::unique_ptr<VendorLibrary> library = LoadLibrary(context, ModelLibrary(context));
  if (!library) return Stop(MemoryStage::kLibraryMissing);
  using Entry = int (*)(const char*, const char*, const char*, const char*, const char*);
  auto entry = library->Entry<Entry>("KeloRelatorioMFTxt");
  if (!entry) return Stop(MemoryStage::kEntryMissing);

  std::string mf = kMfFile.name;
  if (!context.prompter->ChooseOpenFileTitled(Cp(kMfReportTitle), kMfFile.name, Cp(kMfFile.filter), mf) ||
      mf.empty()) {
    return Stop(MemoryStage::kDialogCancelled);
  }
  MfReportForm form;
  if (!AskForm(*context.prompter, &MemoryForms::AskMfReportRange, form)) return Stop(MemoryStage::kDialogCancelled);
  std::string report;
  if (!AskSave(*context.prompter, kReportFile, report)) return Stop(MemoryStage::kDialogCancelled);
  const VendorRange range = MfReportArguments(form);

  int code = 0;
  {
    WaitDuring wait(context.wait);
    code = entry(mf.c_str(), report.c_str(), range.kind.c_str(), range.start.c_str(), range.end.c_str());
  }
  MemoryOutcome outcome = Completed(code, false, report);
  if (code != 0) {
    ShowStatus(context, code);
    return outcome;
  }
  std::string error;
  if (!WriteReportDigest(report, &outcome.digest, &error)) {
    context.prompter->ShowMessage(LoadString(str::kMfMfd), Cp("Não foi possível gravar o arquivo ") + outcome.digest +
                                                               "\r\n" + Utf8ToCp1252Lossy(error));
    return outcome;
  }
  outcome.succeeded = true;
  OfferToOpen(context, report);
  return outcome;
}

MemoryOutcome MakeTypeERecords(const MemoryToolContext& context) {
  if (!ValidContext(context)) return Stop(MemoryStage::kBadContext);
  std::unique_ptr<VendorLibrary> library = LoadLibrary(context, ModelLibrary(context));
  if (!library) return Stop(MemoryStage::kLibraryMissing);
  using Entry = int (*)(const char*, const char*, const char*, const char*, const char*, const char*,
                        const char*, const char*, const char*, const char*, const char*, const char*,
                        const char*, const char*, const char*, const char*, const char*, const char*,
                        const char*, const char*, const char*, const char*);
  auto entry = library->Entry<Entry>("KeloGeraRegistrosParciaisTipoE");
  if (!entry) return Stop(MemoryStage::kEntryMissing);

  TypeERecordsForm form;
  if (!AskForm(*context.prompter, &MemoryForms::AskTypeERecords, form)) return Stop(MemoryStage::kDialogCancelled);
  std::string input;
  bool chosen = false;
  switch (form.record) {
    case TypeERecordsForm::Record::kMf: chosen = AskOpen(*context.prompter, kMfFile, input); break;
    case TypeERecordsForm::Record::kMfd:
    case TypeERecordsForm::Record::kTdm: chosen = AskOpen(*context.prompter, kMfdInput, input); break;
    case TypeERecordsForm::Record::kRz: chosen = AskOpen(*context.prompter, kMfdInput, input, "*.rz"); break;
  }
  if (!chosen) return Stop(MemoryStage::kDialogCancelled);
  std::string output;
  if (!AskSave(*context.prompter, kDocumentsFile, output, "*.txt")) return Stop(MemoryStage::kDialogCancelled);

  const VendorRange range = TypeEArguments(form);
  const std::string model = context.exchange.settings->g_modelName;
  const std::string record = TypeERecordCode(form.record);
  const char* e = "";
  auto sign = library->Entry<void (*)(const char*)>("KeloDLLGeraRegistroEAD");
  int code = 0;
  {
    WaitDuring wait(context.wait);
    code = entry(input.c_str(), output.c_str(), range.kind.c_str(), range.start.c_str(), range.end.c_str(), e, e,
                 model.c_str(), record.c_str(), e, e, e, e, e, e, e, e, e, e, e, e, e);
  }
  if (code == 0) {
    // The signature line goes in before the person may open the file.
    if (sign) {
      WaitDuring wait(context.wait);
      sign(output.c_str());
    }
    OfferToOpen(context, output);
  } else {
    ShowStatus(context, code);
    if (sign) {
      WaitDuring wait(context.wait);
      sign(output.c_str());
    }
  }
  return Completed(code, code == 0, output);
}

MemoryOutcome DecodePdf417Bitmaps(const MemoryToolContext& context) {
  if (!ValidContext(context)) return Stop(MemoryStage::kBadContext);
  std::unique_ptr<VendorLibrary> library = LoadLibrary(context, ModelLibrary(context));
  if (!library) return Stop(MemoryStage::kLibraryMissing);
  auto open = library->Entry<int (*)(const char*)>("KeloOpenPdf417ToMfd");
  auto add = library->Entry<int (*)(const char*)>("KeloAddBmpFile");
  auto close = library->Entry<int (*)()>("KeloClosePdf417ToMfd");
  if (!open && !add && !close) return Stop(MemoryStage::kEntryMissing);

  std::vector<std::string> bitmaps;
  if (!context.prompter->ChooseOpenFiles(Cp(kBitmapsTitle), kBitmapFiles.name, Cp(kBitmapFiles.filter),
                                         bitmaps) ||
      bitmaps.empty()) {
    return Stop(MemoryStage::kDialogCancelled);
  }
  std::string mfd;
  if (!AskSave(*context.prompter, kMfdDownload, mfd)) return Stop(MemoryStage::kDialogCancelled);

  OutputWatch watch(mfd);
  int code = 0;
  {
    WaitDuring wait(context.wait);
    if (open) code = open(mfd.c_str());
    if (add) {
      for (const std::string& bitmap : bitmaps) add(bitmap.c_str());
    }
    if (close) code = close();
  }
  const bool made = watch.Written();
  if (made) OfferToOpen(context, mfd);
  else ReportNotCreated(context, mfd);
  return Completed(code, made, mfd);
}

namespace {

MemoryOutcome Validate(const MemoryToolContext& context, bool withSignature) {
  if (!ValidContext(context)) return Stop(MemoryStage::kBadContext);
  if (UsesFirstVendorLibrary(context.exchange.settings->g_modelMask)) {
    context.prompter->ShowMessage(LoadString(str::kMfMfd), FunctionNotAvailableText());
    return Stop(MemoryStage::kNotAvailable);
  }
  std::unique_ptr<VendorLibrary> library = LoadLibrary(context, kVendorLibrary2);
  if (!library) return Stop(MemoryStage::kLibraryMissing);
  void* entry = library->Find(withSignature ? "KeloValidatePDF417" : "KeloValidate");
  if (!entry) return Stop(MemoryStage::kEntryMissing);

  std::string file, signature, key;
  if (!AskOpen(*context.prompter, kFileToValidate, file)) return Stop(MemoryStage::kDialogCancelled);
  if (withSignature && !AskOpen(*context.prompter, kSignatureFile, signature)) return Stop(MemoryStage::kDialogCancelled);
  if (!AskOpen(*context.prompter, kPublicKeyFile, key)) return Stop(MemoryStage::kDialogCancelled);

  int code = 0;
  {
    WaitDuring wait(context.wait);
    if (withSignature) {
      using Entry = int (*)(const char*, const char*, const char*);
      code = reinterpret_cast<Entry>(entry)(file.c_str(), signature.c_str(), key.c_str());
    } else {
      code = reinterpret_cast<PortFileEntry>(entry)(file.c_str(), key.c_str());
    }
  }
  context.prompter->ShowMessage(LoadString(str::kMfMfd), code == 0 ? FileValidText() : FileNotValidText());
  return Completed(code, code == 0, file);
}

}  // namespace

MemoryOutcome ValidateKeyFile(const MemoryToolContext& context) {
  return Validate(context, false);
}

MemoryOutcome ValidatePdf417(const MemoryToolContext& context) {
  return Validate(context, true);
}

}  // namespace tervane
