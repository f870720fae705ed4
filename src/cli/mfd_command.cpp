#include "cli/mfd_command.h"

#include <CLI/CLI.hpp>

#include <ostream>

#include "cli/cli_support.h"

namespace tervane::cli {
namespace {

constexpr const char* kRangeNote =
    "Range: --coo FIRST LAST (with --user N, default 0), or --dates DDMMYY DDMMYY; neither means the "
    "whole memory.";

}  // namespace

CLI::App* MfdCommand::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand(
      "mfd", "Detail-tape memory (MFD): download it from the printer, make text documents or a database of it.");
  sub->require_subcommand(1);

  download_ = sub->add_subcommand("download", "Download the printer's detail-tape memory into an .mfd file.");
  AddPrinterOptions(*download_, downloadOptions_, true);
  download_->add_option("-o,--output", downloadFile_, "The .mfd file to write")->required()->type_name("FILE");
  AddRangeOptions(*download_, downloadRange_);
  download_->add_flag("--resume", resume_,
                      "Continue the download that failed or was stopped, from its last good block (kept in the "
                      "state folder; only for the same printer, range and size)");
  download_->fallthrough();
  download_->footer(std::string(kRangeNote) + "\nWithout --model the printer is asked for its model first.\n" +
                    kMemoryExitNote);

  // documents and database share their options: only one of them runs.
  const auto fileCommand = [&](const char* name, const char* help, const char* outputHelp) {
    CLI::App* command = sub->add_subcommand(name, help);
    AddPrinterOptions(*command, fileOptions_, false);
    command->add_option("mfd", mfdFile_, "The .mfd file")->required()->type_name("MFD_FILE");
    command->add_option("-o,--output", outputFile_, outputHelp)->required()->type_name("FILE");
    AddRangeOptions(*command, fileRange_);
    command->fallthrough();
    command->footer(std::string(kRangeNote) +
                    "\nThe library is that of --model (without it, that of an unidentified printer).\n" +
                    kMemoryExitNote);
    return command;
  };
  documents_ = fileCommand("documents", "Make the text documents of an .mfd file, as they were printed.",
                           "The text file to write");
  database_ = fileCommand("database", "Make a database (SQLite) of the documents and items of an .mfd file.",
                          "The database file to write");
  return sub;
}

int MfdCommand::execute(std::ostream& out, std::ostream& err) {
  if (download_ != nullptr && download_->parsed()) return download(out, err);
  if (documents_ != nullptr && documents_->parsed()) return make(MfdProduct::kDocuments, out, err);
  return make(MfdProduct::kDatabase, out, err);
}

int MfdCommand::download(std::ostream& out, std::ostream& err) {
  MemoryRangeForm form;
  if (!RangeFromOptions(downloadRange_, form, err, output_)) return kExitUsage;
  MemoryRun run(downloadOptions_, environment_, output_, true);
  int status = kExitOk;
  if (!run.Prepare(err, status)) return status;
  CommandLineAnswers answers(err, output_);
  answers.range = form;
  answers.saveFile = downloadFile_;
  answers.resume = resume_;
  return run.Finish(DownloadMemory(run.Context(answers), MemoryDownload::kMfd), true, out, err);
}

int MfdCommand::make(MfdProduct product, std::ostream& out, std::ostream& err) {
  MemoryRangeForm form;
  if (!RangeFromOptions(fileRange_, form, err, output_)) return kExitUsage;
  MemoryRun run(fileOptions_, environment_, output_, false);
  int status = kExitOk;
  if (!run.Prepare(err, status)) return status;
  CommandLineAnswers answers(err, output_);
  answers.openFiles = {mfdFile_};
  answers.range = form;
  answers.saveFile = outputFile_;
  return run.Finish(MakeFromMfd(run.Context(answers), product), true, out, err);
}

}  // namespace tervane::cli
