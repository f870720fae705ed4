#include "cli/mf_command.h"

#include <CLI/CLI.hpp>

#include <ostream>

#include "cli/cli_support.h"
#include "cli/memory_answers.h"

namespace tervane::cli {

CLI::App* MfCommand::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand("mf", "Fiscal memory (MF): download it from the printer, make its report.");
  sub->require_subcommand(1);

  download_ = sub->add_subcommand(
      "download", "Download the printer's fiscal memory into an .mf file through the memory library "
                  "(models ZK-110 B and ZK-140 B: the printer's user number is asked for first).");
  AddPrinterOptions(*download_, downloadOptions_, true);
  download_->add_option("-o,--output", downloadFile_, "The .mf file to write")->required()->type_name("FILE");
  download_->add_flag("--resume", resume_,
                      "Continue the download that failed or was stopped, from its last good block (only for the "
                      "same printer and size)");
  download_->fallthrough();
  download_->footer(std::string("Without --model the printer is asked for its model first.\n") + kMemoryExitNote);

  report_ = sub->add_subcommand(
      "report", "Make the fiscal-memory report of an .mf file, by reductions (CRZ) or by dates, and write "
                "its MD5 digest beside it as <report without its last 4 characters>_MD5.txt.");
  AddPrinterOptions(*report_, reportOptions_, false);
  report_->add_option("mf", mfFile_, "The .mf file")->required()->type_name("MF_FILE");
  report_->add_option("-o,--output", reportFile_, "The report to write (.txt)")->required()->type_name("TXT");
  CLI::Option* crz = report_->add_option("--crz", crz_, "Reductions: first and last CRZ (0-999999)")
                         ->expected(2)
                         ->type_name("FIRST LAST");
  report_->add_option("--dates", dates_, "Dates: first and last as DDMMYY")
      ->expected(2)
      ->type_name("DDMMYY DDMMYY")
      ->excludes(crz);
  report_->add_flag("--simplified", simplified_, "The simplified report");
  report_->fallthrough();
  report_->footer(std::string("Without --crz or --dates every reduction (000000 to 999999) is reported.\n"
                              "The library is that of --model (without it, that of an unidentified printer).\n") +
                  kMemoryExitNote);
  integrity_.attach(*sub);
  return sub;
}

int MfCommand::execute(std::ostream& out, std::ostream& err) {
  if (integrity_.parsed()) return integrity_.execute(out, err);
  if (download_ != nullptr && download_->parsed()) return download(out, err);
  return report(out, err);
}

int MfCommand::download(std::ostream& out, std::ostream& err) {
  MemoryRun run(downloadOptions_, environment_, output_, true);
  int status = kExitOk;
  if (!run.Prepare(err, status)) return status;
  CommandLineAnswers answers(err, output_);
  answers.saveFile = downloadFile_;
  answers.resume = resume_;
  const MemoryOutcome outcome = DownloadMemory(run.Context(answers), MemoryDownload::kMf);
  return run.Finish(outcome, true, out, err);
}

int MfCommand::report(std::ostream& out, std::ostream& err) {
  MfReportForm form;
  form.simplified = simplified_;
  if (dates_.size() == 2) {
    form.byReductions = false;
    if (!ParseDdMmYy(dates_[0], form.firstDate) || !ParseDdMmYy(dates_[1], form.lastDate)) {
      WriteMessage(err, "--dates takes two dates written DDMMYY.", output_);
      return kExitUsage;
    }
  } else if (crz_.size() == 2) {
    const auto first = ParseNumber(crz_[0], 999999);
    const auto last = ParseNumber(crz_[1], 999999);
    if (!first || !last) {
      WriteMessage(err, "--crz takes two numbers from 0 to 999999.", output_);
      return kExitUsage;
    }
    form.firstReduction = static_cast<long>(*first);
    form.lastReduction = static_cast<long>(*last);
  } else {
    form.firstReduction = 0;
    form.lastReduction = 999999;
  }

  MemoryRun run(reportOptions_, environment_, output_, false);
  int status = kExitOk;
  if (!run.Prepare(err, status)) return status;
  CommandLineAnswers answers(err, output_);
  answers.openFiles = {mfFile_};
  answers.report = form;
  answers.saveFile = reportFile_;
  const MemoryOutcome outcome = MakeMfReport(run.Context(answers));
  return run.Finish(outcome, true, out, err);
}

}  // namespace tervane::cli
