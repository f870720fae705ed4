// `mf download` and `mf report`: the printer's fiscal memory into an .mf file, and the
// fiscal-memory report of an .mf file with its "_MD5.txt" digest.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_environment.h"
#include "cli/key_print_command.h"
#include "cli/printer_options.h"

namespace tervane::cli {

class MfCommand : public CliCommand {
 public:
  MfCommand(const OutputOptions& output, const CliEnvironment& environment)
      : output_(output), environment_(environment), integrity_(output, environment) {}

  CLI::App* attach(CLI::App& app) override;

  // Returns 0 when the file was made (its path, and the digest's, on standard output);
  // 1 for bad options; 4 when the printer did not answer; 5 after Ctrl-C; 7 when the
  // memory library or its entry point is missing; 8 when the library reported a failure
  // or the digest could not be written.
  int execute(std::ostream& out, std::ostream& err) override;

 private:
  int download(std::ostream& out, std::ostream& err);
  int report(std::ostream& out, std::ostream& err);

  const OutputOptions& output_;
  const CliEnvironment& environment_;
  CLI::App* download_ = nullptr;
  CLI::App* report_ = nullptr;
  PrinterOptions downloadOptions_;
  PrinterOptions reportOptions_;
  std::string downloadFile_;
  bool resume_ = false;  // --resume: continue a kept partial download
  std::string mfFile_;
  std::string reportFile_;
  std::vector<std::string> crz_;
  std::vector<std::string> dates_;
  bool simplified_ = false;
  MfIntegrityCommand integrity_;  // `mf integrity`
};

}  // namespace tervane::cli
