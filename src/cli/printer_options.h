// The options shared by the tervane-cli commands that talk to a printer, and the exit
// status of an exchange's result.
#pragma once

#include <iosfwd>
#include <string>

#include "core/common/settings.h"
#include "cli/cli_command.h"

namespace CLI {
class App;
}

namespace tervane::cli {

struct PrinterOptions {
  std::string workdir;      // comandos.xml and the daily log ("log" folder)
  std::string port;         // g_portName
  std::string address;      // the printer address for "SOCKET"
  std::string exchangeDir;  // the folder of the exchange files for "FILE"
  std::string model;        // chosen as in the settings dialog
  bool extended = false;    // extended-reply mode
  bool progress = false;    // draw the progress bar even when standard error is no terminal
};

// Declares --workdir, --extended, --model and --progress on `sub`, and with `withPort`
// also --port (required), --address and --exchange-dir.
void AddPrinterOptions(CLI::App& sub, PrinterOptions& options, bool withPort);

// Fills the program settings from the options: work folder (default the current one),
// port, address, exchange folder, extended-reply mode, and the model as the settings
// dialog sets it (mask from the model table, 1FFFFh for a name it does not hold, with a
// note on `err`). Returns false, after saying why on `err`, for an address that is not
// "a.b.c.d" or "a.b.c.d:port" when the port is "SOCKET", or an exchange folder that is
// not a folder when the port is "FILE".
bool ApplyPrinterOptions(const PrinterOptions& options, ProgramSettings& settings, std::ostream& err,
                         const OutputOptions& output);

// The exit status for an ExecuteCommand result: 0, 1 (escape text outside the format),
// 2, 3, 4 or 5.
int ExitStatusFor(int result);

// Footer lines on the exit statuses of a command that runs an exchange.
inline constexpr const char* kExchangeExitNote =
    "Exit status: 0 success; 1 bad arguments, unknown command or catalogue not loadable; "
    "2 a mandatory parameter is empty; 3 a parameter has the wrong size; 4 the exchange "
    "failed (no answer, NAK, port not usable); 5 cancelled with Ctrl-C.";

}  // namespace tervane::cli
