// `detect`: finds the printer as the workbench does at start-up (the USB link, then
// "COM1:" to "COM8:"), asks it for its model and prints what was found.
#pragma once

#include "cli/cli_command.h"
#include "cli/printer_options.h"

namespace tervane::cli {

class DetectCommand : public CliCommand {
 public:
  DetectCommand(const OutputOptions& output, const CliContext& context) : output_(output), context_(context) {}

  CLI::App* attach(CLI::App& app) override;

  // Prints the port found, the mode text, and the model with its mask; says when
  // extended-reply mode was switched on. Returns kExitExchangeFailed when no printer
  // answered or the model query failed, kExitCancelled after Ctrl-C during the model
  // query, kExitUsage for bad arguments.
  int execute(std::ostream& out, std::ostream& err) override;
  bool offersJson() const override { return true; }

 private:
  const OutputOptions& output_;
  const CliContext& context_;
  PrinterOptions printer_;
};

}  // namespace tervane::cli
