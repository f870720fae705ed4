#include "cli/validate_command.h"

#include <CLI/CLI.hpp>

#include "cli/memory_answers.h"

namespace tervane::cli {

CLI::App* ValidateCommand::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand(
      "validate", "Check a file's signature against the printer's public key (.pub): FILE PUB for a file that "
                  "carries its signature (MPK, MFK, SBK, a downloaded memory), FILE RSA PUB for a file with a "
                  "separate signature file (PDF-417 captures).");
  AddPrinterOptions(*sub, options_, false);
  sub->add_option("files", files_, "FILE PUB, or FILE RSA PUB")->required()->expected(2, 3);
  sub->footer(std::string("The check needs the second memory library: models of the first library "
                          "(--model ZK-110 A and the like) have none.\n") +
              kMemoryExitNote);
  return sub;
}

int ValidateCommand::execute(std::ostream& out, std::ostream& err) {
  MemoryRun run(options_, environment_, output_, false);
  int status = kExitOk;
  if (!run.Prepare(err, status)) return status;
  // The verdict is the command's output.
  CommandLineAnswers answers(out, output_);
  answers.openFiles.assign(files_.begin(), files_.end());
  const MemoryToolContext context = run.Context(answers);
  const MemoryOutcome outcome = files_.size() == 3 ? ValidatePdf417(context) : ValidateKeyFile(context);
  if (outcome.stage == MemoryStage::kNotAvailable) return kExitMemoryFailed;
  if (outcome.stage == MemoryStage::kCompleted) return outcome.succeeded ? kExitOk : kExitMemoryFailed;
  return run.Finish(outcome, false, out, err);
}

}  // namespace tervane::cli
