// The printing of the printer's public key ("Impressão de Chave Pública"): the key is
// downloaded into "CP.pub", then printed on a management report with the legal text, as
// a barcode, and with the block the user signs; then the report is closed.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalogue/command_record.h"
#include "core/fiscalmemory/memory_operations.h"

namespace tervane {

// The three lines of a .pub file: the key (256 characters), and two further texts, the
// third carrying "Fecha" and a date.
using PublicKeyLines = std::array<std::string, 3>;

inline constexpr const char* kKeyFileName = "CP.pub";
inline constexpr size_t kPublicKeyLength = 256;
// The barcode parameter's fixed part; the data length follows as two bytes, low first.
inline constexpr const char* kKeyBarcodeHeader = "1D6B80050402FF";

// Why a downloaded key file is not printed.
enum class KeyFileProblem {
  kNone,
  kUnreadable,    // the file cannot be opened or read
  kTooFewLines,   // fewer than three lines
  kNoKey,         // line 1 is empty
  kKeyTooLong,    // line 1 holds more than 256 characters
  kNotText,       // a control byte (a binary file) in one of the three lines
  kTooLarge,      // the file, or the texts built from it, exceed what a frame carries
};

// The four commands of the print, in order: key text, key barcode, signature block,
// close of the report. A key shorter than 256 characters prints shorter (or empty) key
// lines; the barcode length still counts 256 for it, and its data is padded with blanks
// at the end up to that length.
std::vector<CommandRecord> PublicKeyPrintCommands(const PublicKeyLines& lines);

// Takes the first three lines of a key file's text (line ends LF or CR LF; the third
// line needs no line end). Returns kNone with `lines` filled, or the problem that makes
// the text unfit for printing (`lines` then holds whatever was read).
KeyFileProblem ParsePublicKeyText(std::string_view text, PublicKeyLines& lines);

// Reads and parses a key file; kUnreadable when it cannot be read, kTooLarge for a file
// larger than one frame.
KeyFileProblem ReadPublicKeyLines(const std::string& path, PublicKeyLines& lines);

// The message shown for a problem (Windows-1252); empty for kNone.
std::string KeyFileProblemText(KeyFileProblem problem);

// What the print did.
struct KeyPrintResult {
  MemoryOutcome outcome;                      // `code` is the download's result
  KeyFileProblem problem = KeyFileProblem::kNone;
  int commandsRun = 0;                        // of the four print commands
  int commandsFailed = 0;
};

// Runs the print for models of the second library (others: nothing happens,
// kNotAvailable without a message). Any old CP.pub in the work folder is removed, then
// KeloDownloadPublicKey(port, CP.pub) runs with its status message; only result 1 goes
// on. CP.pub is read and deleted; a file unfit for printing (see KeyFileProblem) is
// reported with a message and nothing is printed. Otherwise the four commands run; each
// one that fails shows "ERRO DE COMUNICAÇÃO" and the next one runs. Succeeded when all
// four ran without failure.
KeyPrintResult PrintPublicKeyReport(const MemoryToolContext& context);

// The same, for callers that only need the outcome.
MemoryOutcome PrintPublicKey(const MemoryToolContext& context);

}  // namespace tervane
