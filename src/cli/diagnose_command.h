// `diagnose`: the MFD report diagnostics from a terminal: scans a detail-tape text report
// and writes the findings file, as the workbench's "Diagnostico do relatório da MFD".
#pragma once

#include <string>

#include "cli/cli_command.h"

namespace tervane::cli {

class DiagnoseCommand : public CliCommand {
 public:
  DiagnoseCommand(const OutputOptions& output, const CliContext& context) : output_(output), context_(context) {}

  CLI::App* attach(CLI::App& app) override;

  // Writes the findings file and a summary line on `out`. Returns kExitOk when the
  // findings were written, kExitCancelled after Ctrl-C (the findings cover what was read),
  // kExitUsage when the report cannot be opened or read or the findings file cannot be
  // written (the reason on `err`).
  int execute(std::ostream& out, std::ostream& err) override;

 private:
  const OutputOptions& output_;
  const CliContext& context_;
  std::string report_;
  std::string outputPath_;
  std::string workdir_;
  std::string model_;
  bool progress_ = false;
};

}  // namespace tervane::cli
