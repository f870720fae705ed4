// The options of the commands that talk to a printer (--port, --address, --extended,
// --model, --workdir) and the program settings made from them.
#pragma once

#include <iosfwd>
#include <string>

#include "app/settings.h"
#include "cli/cli_command.h"

namespace CLI {
class App;
}

namespace tervane::cli {

struct PrinterOptions {
  std::string port;       // g_portName: "USB", "COM1:".."COM8:", "FILE", "SOCKET" or a device path
  std::string address;    // g_printerAddress, for SOCKET
  bool extended = false;  // g_extendedReply
  std::string model;      // the model chosen as in the settings dialog (UTF-8)
  std::string workdir;    // g_workDir: catalogue, log folder, exchange files
};

// Declares the options on `sub`; --port is required.
void AddPrinterOptions(CLI::App& sub, PrinterOptions& options);

// The settings for the options: the working directory resolved (the current one when
// not given), the model name padded and its mask taken from the model table (all models
// when it names none; a model of no row is still used, with a note on `err`), results
// always shown. Returns false with the reason on `err` when the model name cannot be
// held in Windows-1252.
bool MakePrinterSettings(const PrinterOptions& options, ProgramSettings& settings, std::ostream& err,
                         const OutputOptions& output);

}  // namespace tervane::cli
