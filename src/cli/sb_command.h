// `sb download`: the printer's basic software into a .bin file.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_environment.h"
#include "cli/printer_options.h"

namespace tervane::cli {

class SbCommand : public CliCommand {
 public:
  SbCommand(const OutputOptions& output, const CliEnvironment& environment)
      : output_(output), environment_(environment) {}

  CLI::App* attach(CLI::App& app) override;

  // Returns 0 when the file was made (its path on standard output); 1 for bad options; 4
  // when the printer did not answer; 5 after Ctrl-C; 7 when the memory library or its
  // entry point is missing; 8 when the library reported a failure.
  int execute(std::ostream& out, std::ostream& err) override;

 private:
  const OutputOptions& output_;
  const CliEnvironment& environment_;
  PrinterOptions options_;
  std::string file_;
};

}  // namespace tervane::cli
