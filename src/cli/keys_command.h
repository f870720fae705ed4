// `keys download (mpk|mfk|sbk|pub)`: the printer's key files.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_environment.h"
#include "cli/key_print_command.h"
#include "cli/memory_answers.h"
#include "cli/printer_options.h"

namespace tervane::cli {

class KeysCommand : public CliCommand {
 public:
  KeysCommand(const OutputOptions& output, const CliEnvironment& environment)
      : output_(output), environment_(environment), print_(output, environment) {}

  CLI::App* attach(CLI::App& app) override;

  // Returns 0 when the file was made (its path on standard output); 1 for bad options; 4
  // when the printer did not answer; 5 after Ctrl-C; 7 when the memory library or its
  // entry point is missing; 8 when the library reported a failure.
  int execute(std::ostream& out, std::ostream& err) override;

 private:
  const OutputOptions& output_;
  const CliEnvironment& environment_;
  PrinterOptions options_;
  RangeOptions range_;
  std::string kind_;
  std::string file_;
  KeyPrintCommand print_;  // `keys print`
};

}  // namespace tervane::cli
