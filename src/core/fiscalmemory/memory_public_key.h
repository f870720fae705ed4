// The printing of the printer's public key ("Impressão de Chave Pública"): the key is
// downloaded into "CP.pub", then printed on a management report with the legal text, as
// a barcode, and with the block the user signs; then the report is closed.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "catalogue/command_record.h"
#include "fiscalmemory/memory_operations.h"

namespace tervane {

// The three lines of a .pub file: the key (256 characters), and two further texts, the
// third carrying "Fecha" and a date.
using PublicKeyLines = std::array<std::string, 3>;

// The four commands of the print, in order: key text, key barcode, signature block,
// close of the report.
std::vector<CommandRecord> PublicKeyPrintCommands(const PublicKeyLines& lines);

// Reads the first three lines of a .pub file (line ends CR LF or LF, missing lines
// empty). False when the file cannot be read.
bool ReadPublicKeyLines(const std::string& path, PublicKeyLines& lines);

// Runs the print for models of the second library (others: nothing happens,
// kNotAvailable without a message). KeloDownloadPublicKey(port, "CP.pub" in the work
// folder) with its status message; only result 1 goes on. CP.pub is read and deleted;
// each of the four commands that fails shows "ERRO DE COMUNICAÇÃO" and the next one
// runs. Succeeded when all four ran; `code` is the download's result.
MemoryOutcome PrintPublicKey(const MemoryToolContext& context);

}  // namespace tervane
