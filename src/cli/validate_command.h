// `validate FILE PUB` and `validate FILE RSA PUB`: a signed file checked against the
// printer's public key, with the signature inside the file or in a separate file.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_environment.h"
#include "cli/printer_options.h"

namespace tervane::cli {

class ValidateCommand : public CliCommand {
 public:
  ValidateCommand(const OutputOptions& output, const CliEnvironment& environment)
      : output_(output), environment_(environment) {}

  CLI::App* attach(CLI::App& app) override;

  // Writes "Arquivo validado" or "Arquivo NÃO validado". Returns 0 when valid; 1 for bad
  // arguments; 7 when the memory library or its entry point is missing; 8 when the file
  // is not valid or the model's library has no signature check.
  int execute(std::ostream& out, std::ostream& err) override;

 private:
  const OutputOptions& output_;
  const CliEnvironment& environment_;
  PrinterOptions options_;
  std::vector<std::string> files_;
};

}  // namespace tervane::cli
