#include "cli/keys_command.h"

#include <CLI/CLI.hpp>

#include <algorithm>

#include "cli/cli_support.h"
#include "common/charset.h"
#include "fiscalmemory/memory_public_key.h"

namespace tervane::cli {

CLI::App* KeysCommand::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand("keys", "Key files of the printer.");
  sub->require_subcommand(1);
  CLI::App* download = sub->add_subcommand(
      "download", "Download a key file: mpk (with an optional range, as `mfd download`), mfk, sbk or pub "
                  "(the public key; sbk and pub always through the second memory library).");
  AddPrinterOptions(*download, options_, true);
  download->add_option("kind", kind_, "mpk, mfk, sbk or pub")
      ->required()
      ->check(CLI::IsMember({"mpk", "mfk", "sbk", "pub"}));
  download->add_option("-o,--output", file_, "The file to write")->required()->type_name("FILE");
  AddRangeOptions(*download, range_);
  download->fallthrough();
  download->footer(std::string("The range options apply to mpk only.\nWithout --model the printer is asked for "
                               "its model first.\n") +
                   kMemoryExitNote);

  print_ = sub->add_subcommand(
      "print", "Print the printer's public key on a management report: the legal text, the key, its PDF-417 "
               "barcode and the block the user signs (models of the second memory library only).");
  AddPrinterOptions(*print_, printOptions_, true);
  print_->fallthrough();
  print_->footer(std::string("Without --model the printer is asked for its model first.\n") + kMemoryExitNote);
  return sub;
}

int KeysCommand::print(std::ostream& out, std::ostream& err) {
  MemoryRun run(printOptions_, environment_, output_, true);
  int status = kExitOk;
  if (!run.Prepare(err, status)) return status;
  CommandLineAnswers answers(err, output_);
  const MemoryOutcome outcome = PrintPublicKey(run.Context(answers));
  if (outcome.stage == MemoryStage::kNotAvailable) {
    WriteMessage(err, "The public key is printed only by models of the second memory library.", output_);
    return kExitMemoryFailed;
  }
  if (outcome.stage == MemoryStage::kCompleted && outcome.code == 1 && !outcome.succeeded) {
    // The key was fetched but not printed whole: a report command failed, or the key file
    // could not be read.
    const bool commandFailed = std::find(answers.shown.begin(), answers.shown.end(),
                                         Utf8ToCp1252Lossy("ERRO DE COMUNICAÇÃO")) != answers.shown.end();
    return commandFailed ? kExitExchangeFailed : kExitMemoryFailed;
  }
  return run.Finish(outcome, false, out, err);
}

int KeysCommand::execute(std::ostream& out, std::ostream& err) {
  if (print_ != nullptr && print_->parsed()) return print(out, err);
  MemoryDownload what = MemoryDownload::kPublicKey;
  if (kind_ == "mpk") what = MemoryDownload::kMpk;
  else if (kind_ == "mfk") what = MemoryDownload::kMfk;
  else if (kind_ == "sbk") what = MemoryDownload::kSbk;
  CommandLineAnswers answers(err, output_);
  if (what == MemoryDownload::kMpk) {
    MemoryRangeForm form;
    if (!RangeFromOptions(range_, form, err, output_)) return kExitUsage;
    answers.range = form;
  } else if (!range_.coo.empty() || !range_.dates.empty()) {
    WriteMessage(err, "--coo and --dates apply to mpk only.", output_);
    return kExitUsage;
  }
  MemoryRun run(options_, environment_, output_, true);
  int status = kExitOk;
  if (!run.Prepare(err, status)) return status;
  answers.saveFile = file_;
  return run.Finish(DownloadMemory(run.Context(answers), what), true, out, err);
}

}  // namespace tervane::cli
