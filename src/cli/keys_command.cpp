#include "cli/keys_command.h"

#include <CLI/CLI.hpp>

#include "cli/cli_support.h"

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
  print_.attach(*sub);
  return sub;
}

int KeysCommand::execute(std::ostream& out, std::ostream& err) {
  if (print_.parsed()) return print_.execute(out, err);
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
