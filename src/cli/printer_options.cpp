#include "cli/printer_options.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <ostream>
#include <system_error>

#include "core/app/model_table.h"
#include "core/catalogue/command_record.h"
#include "cli/cli_support.h"
#include "core/common/charset.h"
#include "core/transport/port_factory.h"
#include "core/transport/socket_port.h"

namespace tervane::cli {

void AddPrinterOptions(CLI::App& sub, PrinterOptions& options, bool withPort) {
  sub.add_option("--workdir", options.workdir,
                 "Work folder: comandos.xml and the daily log in its \"log\" folder (default: the "
                 "current directory)")
      ->type_name("DIR");
  if (withPort) {
    sub.add_option("--port", options.port,
                   "Port: COM1: to COM8: (through the COM-port map, see `ports`), a serial device "
                   "path, SOCKET (TCP bridge at --address) or FILE (exchange files in --exchange-dir)")
        ->type_name("NAME")
        ->required();
    sub.add_option("--address", options.address,
                   "Printer address for SOCKET: a.b.c.d (TCP port 21) or a.b.c.d:port")
        ->type_name("A");
    sub.add_option("--exchange-dir", options.exchangeDir,
                   "Folder of the exchange files comando.dat and retorno.dat for FILE (default: "
                   "the work folder)")
        ->type_name("DIR");
  }
  sub.add_flag("--extended", options.extended,
               "Extended-reply mode: frames start with 1Ch and replies carry the extended error code");
  sub.add_option("--model", options.model,
                 "Printer model, set as the settings dialog sets it (\"ZT-300 A\"; mask from the "
                 "model table, every model bit for a name it does not hold)")
      ->type_name("NAME");
  sub.add_flag("--progress", options.progress,
               "Draw the progress bar on standard error even when it is not a terminal");
}

bool ApplyPrinterOptions(const PrinterOptions& options, ProgramSettings& settings, std::ostream& err,
                         const OutputOptions& output) {
  settings.g_workDir = ResolveWorkDir(options.workdir);
  settings.g_portName = options.port;
  settings.g_printerAddress = options.address;
  settings.g_exchangeDir = options.exchangeDir;
  settings.g_extendedReply = options.extended;
  if (!options.model.empty()) {
    const std::string model = Utf8ToCp1252Lossy(options.model);
    ChooseModel(settings, model);
    if (!FindModel(model)) {
      WriteMessage(err,
                   "Model \"" + options.model + "\" is not in the model table; every model bit is enabled.",
                   output);
    }
  }

  if (settings.g_portName == "SOCKET") {
    sockaddr_in address{};
    if (!ParsePrinterAddress(settings.g_printerAddress, &address)) {
      WriteMessage(err,
                   settings.g_printerAddress.empty()
                       ? std::string("--port SOCKET needs --address a.b.c.d or a.b.c.d:port.")
                       : "--address \"" + options.address + "\" is not a.b.c.d or a.b.c.d:port.",
                   output);
      return false;
    }
  }
  if (settings.g_portName == "FILE") {
    const std::string folder = ExchangeFolder(settings);
    std::error_code ec;
    if (!std::filesystem::is_directory(folder.empty() ? "." : folder, ec)) {
      WriteMessage(err, "The exchange folder \"" + folder + "\" is not a folder.", output);
      return false;
    }
  }
  return true;
}

int ExitStatusFor(int result) {
  switch (result) {
    case kOk: return kExitOk;
    case kMandatoryEmpty: return kExitMandatoryEmpty;
    case kWrongSize: return kExitWrongSize;
    case kExchangeFailed: return kExitExchangeFailed;
    case kCancelled: return kExitCancelled;
    default: return kExitUsage;
  }
}

}  // namespace tervane::cli
