#include "cli/sb_command.h"

#include <CLI/CLI.hpp>

#include "cli/memory_answers.h"

namespace tervane::cli {

CLI::App* SbCommand::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand("sb", "Basic software (SB) of the printer.");
  sub->require_subcommand(1);
  CLI::App* download = sub->add_subcommand("download", "Download the printer's basic software into a .bin file.");
  AddPrinterOptions(*download, options_, true);
  download->add_option("-o,--output", file_, "The .bin file to write")->required()->type_name("FILE");
  download->fallthrough();
  download->footer(std::string("Without --model the printer is asked for its model first.\n") + kMemoryExitNote);
  return sub;
}

int SbCommand::execute(std::ostream& out, std::ostream& err) {
  MemoryRun run(options_, environment_, output_, true);
  int status = kExitOk;
  if (!run.Prepare(err, status)) return status;
  CommandLineAnswers answers(err, output_);
  answers.saveFile = file_;
  return run.Finish(DownloadMemory(run.Context(answers), MemoryDownload::kSb), true, out, err);
}

}  // namespace tervane::cli
