// The user texts of the PDF-417 capture, in Windows-1252. Kept in one place so the window,
// the command line and the tests show and expect the same bytes.
#pragma once

#include <string>

namespace tervane::pdf417text {

// Status line.
const std::string& AlreadyRead();        // "Símbolo já foi lido"
const std::string& SymbolReadFormat();   // "Símbolo lido: %d/%d"
// Status lines of refused symbols (the scanner's bytes did not fit the set).
const std::string& RefusedTooShortFormat();    // "%d": bytes in the buffer
const std::string& RefusedTooLongFormat();     // "%d": bytes in the buffer
const std::string& RefusedOverflow();
const std::string& RefusedLengthMismatchFormat();  // "%d" bytes received, "%d" bytes announced
const std::string& RefusedSetLengthFormat();   // "%u": the announced total length
const std::string& RefusedOtherSetFormat();    // "%u": the announced total length
const std::string& RefusedOffsetFormat();      // "%u": the offset
const std::string& RefusedSlotTakenFormat();   // "%u": the offset

// End of capture.
const std::string& AllReadCaption();     // "Fim da Captura"
const std::string& AllReadText();

// Stop.
const std::string& AttentionCaption();   // "Atenção"
const std::string& SomeMissingQuestion();
// The signature pass with symbols missing or cut short: "%d" complete, "%d" expected;
// Retry goes back to capturing, Cancel ends without saving.
const std::string& SignatureIncompleteFormat();
const std::string& MfdFilter();
const std::string& RsaFilter();
const std::string& ErrorCaption();       // "Erro"
const std::string& FileErrorFormat();    // "%s\nArquivo: %s"
const std::string& DoneCaption();        // "Concluído"
const std::string& DoneFormat();         // "%d" slots, "%s" file name

// Port.
const std::string& PortErrorCaptionPrefix();   // "Erro na porta "
std::string PortNotInitialised(const std::string& portName);
std::string PortNotReleased(const std::string& portName);

// Second pass.
const std::string& ReadSignatureQuestion();    // "Deseja ler autenticação digigal?"

// Window and settings dialog.
const std::string& WindowTitle();              // "pdf 417"

}  // namespace tervane::pdf417text
