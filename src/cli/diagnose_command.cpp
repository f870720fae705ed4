#include "cli/diagnose_command.h"

#include <CLI/CLI.hpp>

#include <ostream>

#include "core/app/model_table.h"
#include "core/common/settings.h"
#include "core/common/string_table.h"
#include "cli/cli_support.h"
#include "cli/terminal_progress.h"
#include "core/common/charset.h"
#include "core/fiscalmemory/mfd_diagnostics.h"

namespace tervane::cli {

CLI::App* DiagnoseCommand::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand(
      "diagnose",
      "Diagnose a detail-tape (MFD) text report: power failures, user changes, document-counter "
      "gaps not explained by voucher copies, and the Z reduction to rebuild when the counter runs "
      "backwards. The findings go to diagnostico_mfd.txt.");
  sub->add_option("REPORT", report_, "The text report made from the detail-tape memory")
      ->type_name("REPORT")
      ->required();
  sub->add_option("-o,--output", outputPath_,
                  "Findings file (default: diagnostico_mfd.txt in --workdir)")
      ->type_name("OUT");
  sub->add_option("--workdir", workdir_, "Work folder of the default findings file (default: the current directory)")
      ->type_name("DIR");
  sub->add_option("--model", model_,
                  "Printer model as the settings dialog sets it (\"ZT-310 A\"); with a model of mask "
                  "4096 the FAB: lines give no document date")
      ->type_name("NAME");
  sub->add_flag("--progress", progress_, "Draw the progress bar on standard error even when it is not a terminal");
  sub->footer(std::string(kRawOptionNote) +
              "\nLines longer than 500 characters are examined by their first 500 characters and "
              "count as one line.\nCtrl-C stops the scan; the findings then cover what was read.\n"
              "Exit status: 0 findings written; 1 bad arguments, report not readable or findings "
              "file not writable; 5 stopped with Ctrl-C.");
  return sub;
}

int DiagnoseCommand::execute(std::ostream& out, std::ostream& err) {
  ProgramSettings settings;
  settings.g_workDir = ResolveWorkDir(workdir_);
  if (!model_.empty()) ChooseModel(settings, Utf8ToCp1252Lossy(model_));
  const std::string outputPath =
      outputPath_.empty() ? ResolveInWorkDir(settings, kMfdDiagnosticsFileName) : outputPath_;

  TerminalProgress terminal(err, ShowProgressOnStderr(progress_));
  InterruptGuard interrupt;
  ProgressSink& progress = context_.progress ? *context_.progress : terminal;
  MfdScanOptions options;
  options.modelCode = settings.g_modelMask;
  options.progress = &progress;

  progress.Open(LoadString(str::kProgresso), LoadString(str::kRecebendoRetorno), 0, 10000);
  MfdScanOutcome outcome;
  std::string error;
  const int result = DiagnoseMfdReport(report_, outputPath, options, outcome, error);
  progress.Close();

  if (result != kMfdDiagOk && result != kMfdDiagReadError) {
    WriteText(err, error, output_);
    return kExitUsage;
  }
  std::string summary = outputPath + ": " + std::to_string(outcome.lines) + " lines, " +
                        std::to_string(outcome.powerFailures) + " power failure(s), " +
                        (outcome.errorSeen || outcome.rebuildPending ? "errors found" : "no errors found");
  if (outcome.end == MfdScanOutcome::End::kUserCancelled) summary += " (stopped before the end of the report)";
  WriteMessage(out, summary, output_);
  if (result == kMfdDiagReadError) {
    WriteText(err, error, output_);
    return kExitUsage;
  }
  return outcome.end == MfdScanOutcome::End::kUserCancelled ? kExitCancelled : kExitOk;
}

}  // namespace tervane::cli
