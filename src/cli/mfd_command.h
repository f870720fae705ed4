// `mfd download`, `mfd documents` and `mfd database`: the printer's detail-tape memory
// into an .mfd file, and the text documents or the database made from an .mfd file.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_environment.h"
#include "cli/memory_answers.h"
#include "cli/printer_options.h"

namespace tervane::cli {

class MfdCommand : public CliCommand {
 public:
  MfdCommand(const OutputOptions& output, const CliEnvironment& environment)
      : output_(output), environment_(environment) {}

  CLI::App* attach(CLI::App& app) override;

  // Returns 0 when the file was made (its path on standard output); 1 for bad options; 4
  // when the printer did not answer; 5 after Ctrl-C; 7 when the memory library or its
  // entry point is missing; 8 when the library reported a failure or made no file.
  int execute(std::ostream& out, std::ostream& err) override;

 private:
  int download(std::ostream& out, std::ostream& err);
  int make(MfdProduct product, std::ostream& out, std::ostream& err);

  const OutputOptions& output_;
  const CliEnvironment& environment_;
  CLI::App* download_ = nullptr;
  CLI::App* documents_ = nullptr;
  CLI::App* database_ = nullptr;
  PrinterOptions downloadOptions_;
  PrinterOptions fileOptions_;
  RangeOptions downloadRange_;
  RangeOptions fileRange_;
  std::string downloadFile_;
  bool resume_ = false;  // --resume: continue a kept partial download
  std::string mfdFile_;
  std::string outputFile_;
};

}  // namespace tervane::cli
