#include "cli/exchange_options.h"

#include <CLI/CLI.hpp>

#include <ostream>

#include "app/model_table.h"
#include "app/printer_detection.h"
#include "cli/cli_support.h"
#include "common/charset.h"

namespace tervane::cli {

void AddExchangeOptions(CLI::App& sub, ExchangeOptions& options) {
  sub.add_option("--port", options.port,
                 "Port: COM1: to COM8:, USB, SOCKET (with --address), FILE (exchange files) or a "
                 "device path such as /dev/ttyUSB0 (default COM1:)")
      ->type_name("NAME");
  sub.add_option("--address", options.address, "SOCKET: the bridge, a.b.c.d (port 21) or a.b.c.d:port")
      ->type_name("ADDR");
  sub.add_option("--exchange-dir", options.exchangeDir,
                 "FILE: folder of comando.dat and retorno.dat (default: the working folder)")
      ->type_name("DIR");
  sub.add_option("--workdir", options.workdir, "Working folder (default: the current directory)")
      ->type_name("DIR");
  sub.add_flag("--extended", options.extended, "Extended-reply mode (1Ch frames, extended error codes)");
  sub.add_option("--model", options.model,
                 "Printer model, e.g. \"ZT-300 A\" or \"ZK-110 BR\" (default: ask the printer)")
      ->type_name("MODEL");
}

CliExchange::CliExchange(const ExchangeOptions& options) : options_(options) {
  settings_.g_workDir = ResolveWorkDir(options.workdir);
  settings_.g_portName = options.port;
  settings_.g_printerAddress = options.address;
  settings_.g_exchangeDir = options.exchangeDir;
  settings_.g_extendedReply = options.extended;
  settings_.g_modelMask = kAllModelsMask;
  ports_ = std::make_unique<SystemPortFactory>(PortContext{&settings_, nullptr});
  context_ = ExchangeContext{&settings_, ports_.get(), nullptr, &progress_, &wait_};
}

bool CliExchange::ResolveModel(bool mayAsk, std::ostream& err, const OutputOptions& output) {
  if (!options_.model.empty()) {
    ChooseModel(settings_, Utf8ToCp1252Lossy(options_.model));
    return true;
  }
  if (!mayAsk) return true;
  CommandRecord query = ModelQueryCommand();
  const int code = ExecuteCommand(query, context_);
  if (code != kOk) {
    WriteMessage(err, "The printer did not answer the model query on " + options_.port + ":", output);
    WriteText(err, query.ResultText, output);
    return false;
  }
  ApplyDetectedModel(settings_, query.returnFields[1].value);
  return true;
}

}  // namespace tervane::cli
