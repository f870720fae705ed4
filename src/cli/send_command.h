// `send`: runs one catalogue command against the printer, as the Command Dialog does,
// and prints its result text.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_support.h"
#include "cli/printer_options.h"

namespace tervane::cli {

class SendCommand : public CliCommand {
 public:
  SendCommand(const OutputOptions& output, const CliContext& context) : output_(output), context_(context) {}

  CLI::App* attach(CLI::App& app) override;

  // Prints the result text (and the trace or dump when asked). Returns kExitUsage for bad
  // arguments or an unloadable catalogue, kExitMandatoryEmpty or kExitWrongSize when a
  // parameter cannot be encoded (nothing is sent), kExitExchangeFailed when the exchange
  // failed or the port cannot be opened at all, kExitCancelled after Ctrl-C.
  int execute(std::ostream& out, std::ostream& err) override;
  bool offersJson() const override { return true; }

 private:
  const OutputOptions& output_;
  const CliContext& context_;
  PrinterOptions printer_;
  CommandChoice choice_;
  std::vector<std::string> values_;
  bool trace_ = false;
  bool dump_ = false;
  std::string record_;
};

}  // namespace tervane::cli
