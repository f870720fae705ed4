#include "cli/printer_options.h"

#include <CLI/CLI.hpp>

#include <ostream>

#include "app/model_table.h"
#include "cli/cli_support.h"
#include "common/charset.h"

namespace tervane::cli {

void AddPrinterOptions(CLI::App& sub, PrinterOptions& options) {
  sub.add_option("--port", options.port,
                 "Port name: USB, COM1: to COM8:, FILE (exchange files in the working directory), "
                 "SOCKET (TCP bridge at --address) or a device path such as /dev/ttyUSB0")
      ->type_name("NAME")
      ->required();
  sub.add_option("--address", options.address,
                 "Printer address for SOCKET: a.b.c.d (port 21) or a.b.c.d:port")
      ->type_name("ADDR");
  sub.add_flag("--extended", options.extended, "Extended-reply mode (frames start with 1Ch)");
  sub.add_option("--model", options.model,
                 "Printer model as listed in the settings, e.g. \"ZK-110 A\" (default: none, all "
                 "commands enabled)")
      ->type_name("MODEL");
  sub.add_option("--workdir", options.workdir,
                 "Working directory: comandos.xml, the log folder and the exchange files "
                 "(default: the current directory)")
      ->type_name("DIR");
}

bool MakePrinterSettings(const PrinterOptions& options, ProgramSettings& settings, std::ostream& err,
                         const OutputOptions& output) {
  settings = ProgramSettings();
  settings.g_workDir = ResolveWorkDir(options.workdir);
  settings.g_portName = options.port;
  settings.g_printerAddress = options.address;
  settings.g_extendedReply = options.extended;
  settings.g_modelMask = kAllModelsMask;
  if (!options.model.empty()) {
    std::string model;
    if (!Utf8ToCp1252(options.model, model)) {
      WriteMessage(err, "--model \"" + options.model + "\": not a Windows-1252 text.", output);
      return false;
    }
    if (!FindModel(model)) {
      WriteMessage(err, "Note: model \"" + options.model + "\" is not in the model table; all commands stay enabled.",
                   output);
    }
    ChooseModel(settings, model);
  }
  return true;
}

}  // namespace tervane::cli
