// The memory tools: downloads of the printer's fiscal memory (MF), detail-tape memory
// (MFD), basic software and key files, and the documents, databases, reports and
// checks made from downloaded files. Each operation is a short flow of dialogs (through
// the Prompter) around one or a few calls into a memory library, loaded for the
// operation and unloaded at its end. While a library call runs the wait notice shows
// "Por favor, aguarde.....".
//
// Failures a person sees: a library that cannot be loaded shows "Não foi possível
// carregar a DLL"; a missing entry point ends the operation without a message; a
// cancelled dialog ends it without a message; the library status codes 2..7 show their
// warnings. Every operation also returns what happened, for callers without a person
// (the command line).
#pragma once

#include <functional>
#include <string>

#include "core/common/progress.h"
#include "core/common/prompter.h"
#include "core/fiscalmemory/vendor_library.h"
#include "core/protocol/command_exchange.h"

namespace tervane {

class CUsbLink;

struct MemoryToolContext {
  // Settings (port, model name and mask) are required; ports, clock and progress serve
  // the one printer command of the MF download (the user number).
  ExchangeContext exchange;
  Prompter* prompter = nullptr;        // required
  VendorLoader* loader = nullptr;      // null: SystemVendorLoader()
  WaitNotice* wait = nullptr;          // null: nothing shown
  // The platform's "open" action for a produced file, used when the person answers Yes
  // to the success prompt. Null: nothing is opened.
  std::function<bool(const std::string& path)> openFile;
  // The workbench's USB link, let go of while a library drives a "USB" printer (see
  // usb_hand_over.h). Null: the process's link.
  CUsbLink* usbLink = nullptr;
};

enum class MemoryStage {
  kCompleted,       // the library was called; `code` holds its result
  kDialogCancelled, // a dialog was cancelled
  kLibraryMissing,  // the library could not be loaded (message shown)
  kEntryMissing,    // the library lacks the entry point (nothing shown)
  kNotAvailable,    // the operation does not exist for the model (message shown)
  kCommandFailed,   // the printer command before the download failed (message shown)
  kBadContext,      // no settings or prompter
};

struct MemoryOutcome {
  MemoryStage stage = MemoryStage::kBadContext;
  int code = 0;            // the library's result, when it returns one
  bool succeeded = false;  // completed and the library reported success
  std::string output;      // the file written (or validated)
  std::string digest;      // MF report: the digest file written beside the report
};

// What each download fetches.
enum class MemoryDownload { kMf, kMfd, kSb, kMpk, kMfk, kSbk, kPublicKey };

// Downloads into a file chosen with the save dialog. kMf: for the models that keep a
// user number (model names beginning "ZK-110 B", "ZK-140 B", "ZB-110 B", "ZB-140 B") the
// printer is first asked for it (escape "35 1"); a failed send shows "Falha no envio do
// comando" and ends; then KeloDownloadMFFiscalII in libKeloMFD.so. Other models:
// KeloDownloadMF in the model's library. kMfd and kMpk ask the range first. kSbk and
// kPublicKey always use libKeloMFD2.so. When the library keeps an unfinished download of
// the kind, "Deseja continuar o download anterior?" is asked first and the answer passed
// on (core/common/partial_download.h). Success: the library returned 0 or 1.
MemoryOutcome DownloadMemory(const MemoryToolContext& context, MemoryDownload what);

// Documents (text) or a database from an .mfd file: open dialog, range dialog, save
// dialog, then the COO, date or total entry point; the COO entry's status message; the
// success prompt when the output file exists (and, for COO, the status is 0 or 1).
enum class MfdProduct { kDocuments, kDatabase };
MemoryOutcome MakeFromMfd(const MemoryToolContext& context, MfdProduct product);

// The fiscal-memory report: open dialog for the .mf file, the report dialog, save
// dialog, KeloRelatorioMFTxt. Result 0: the "_MD5.txt" digest is written beside the
// report and the success prompt offered. Other results: the status message. A digest
// that cannot be written is reported with a message and fails the operation.
MemoryOutcome MakeMfReport(const MemoryToolContext& context);

// Type E records: the "Registros Tipo E" dialog, open dialog for the input (by record
// type), save dialog, KeloGeraRegistrosParciaisTipoE with 22 texts. Result 0: the EAD
// signature line (when the library has KeloDLLGeraRegistroEAD) and then the success
// prompt; other results: the status message, then the EAD line as well.
MemoryOutcome MakeTypeERecords(const MemoryToolContext& context);

// PDF-417 bitmaps into an .mfd file: several bitmaps, the .mfd to write, then open, add
// each bitmap in selection order, close; the success prompt when the .mfd exists. Runs
// when the library has any of the three entry points.
MemoryOutcome DecodePdf417Bitmaps(const MemoryToolContext& context);

// Signature checks in libKeloMFD2.so (first-library models: "Função não disponível."):
// a file against a public key, or a file with its signature file against a public key.
// 0 shows "Arquivo validado" (succeeded), anything else "Arquivo NÃO validado".
MemoryOutcome ValidateKeyFile(const MemoryToolContext& context);
MemoryOutcome ValidatePdf417(const MemoryToolContext& context);

// The user-number query of the MF download: escape "35 1", one "BCD_INTEGER" return
// field of 2 bytes.
CommandRecord UserNumberCommand();

// True when the model name begins with one of the identifiers that keep a user number,
// compared over the identifier's length.
bool ModelKeepsUserNumber(const std::string& modelName);

// Hands the port settings a library cannot see in the port name to it, through its
// environment: the printer's address for "SOCKET" (when set) and the exchange folder
// for "FILE". Called before every library call that opens the port.
void ShareLinkSettings(const ProgramSettings& settings);

// The libraries' result when a download asked to continue a kept partial download found
// it belongs to another printer or another download; nothing was written.
inline constexpr int kResumeRefused = 8;
std::string ResumeRefusedText();

// Message texts (Windows-1252).
std::string FunctionNotAvailableText();  // "Função não disponível."
std::string FileValidText();             // "Arquivo validado"
std::string FileNotValidText();          // "Arquivo NÃO validado"

// The success prompt's text: string 32862 with the file, "\r\n", string 32889.
std::string SuccessPromptText(const std::string& path);

}  // namespace tervane
