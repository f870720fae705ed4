// The fiscal-memory integrity check ("Verifica integridade da MF"): asked of the printer
// through its memory-cell command, or run by the memory library on a downloaded .mf file.
#pragma once

#include "core/catalogue/command_record.h"
#include "core/fiscalmemory/memory_operations.h"

namespace tervane {

enum class IntegritySource { kAsk, kPort, kFile };

// kAsk first offers "Porta de Comunicação" and "Arquivo de MF" ("Selecione a origem dos
// dados da MF"); no choice ends the operation (kDialogCancelled).
// Port: for model codes above 255 the printer is first asked its model (escape "35 60");
// a ZT-800 A shows "Comando inexistente neste equipamento, faça verificação por
// arquivo!" and ends (kNotAvailable). Then the cell command ("126" below 256, else "95")
// runs and its result text (with "\r\n" after it when it failed) and hex trace go to the
// results window; `code` holds its ExecuteCommand result; succeeded when 0 and the reply
// counts no cell that is not OK.
// File: first-library models show "Função não disponível." (kNotAvailable); otherwise
// the .mf file and the report are chosen and KeloDLLVerifyMFFileIntegrity of
// libKeloMFD2.so runs; 0 opens the report; then the status message. Succeeded when 0.
MemoryOutcome CheckMfIntegrity(const MemoryToolContext& context, IntegritySource source = IntegritySource::kAsk);

// The commands built for the check.
CommandRecord IntegrityModelCommand();          // "35 60", ASCII 15, 20, 20; 42 reply bytes
CommandRecord MemoryCellsCommand(bool newer);   // "95" VER_INT_MEM_FISCAL_COMP 30, or "126" VER_INT_MEM_FISCAL 6

// True when the reply of an executed cell command counts cells that are not OK (any
// group's third count above 0). False for a reply too short to hold the counts.
bool MemoryCellsNotOk(const CommandRecord& cells);

}  // namespace tervane
