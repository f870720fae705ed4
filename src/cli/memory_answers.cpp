#include "cli/memory_answers.h"

#include <CLI/CLI.hpp>

#include <ostream>

#include "core/app/model_table.h"
#include "core/app/printer_detection.h"
#include "cli/cli_support.h"
#include "cli/terminal_progress.h"
#include "core/common/partial_download.h"
#include "core/transport/port_factory.h"

namespace tervane::cli {

bool CommandLineAnswers::ChooseOpenFile(const std::string&, const std::string&, std::string& path) {
  if (openFiles.empty()) return false;
  path = openFiles.front();
  openFiles.pop_front();
  return true;
}

bool CommandLineAnswers::ChooseSaveFile(const std::string&, const std::string&, std::string& path) {
  if (saveFile.empty()) return false;
  path = saveFile;
  return true;
}

bool CommandLineAnswers::ChooseOpenFiles(const std::string&, const std::string&, const std::string&,
                                         std::vector<std::string>& paths) {
  if (bitmaps.empty()) return false;
  paths = bitmaps;
  return true;
}

bool CommandLineAnswers::AskYesNo(const std::string&, const std::string& question) {
  // Only the question about a kept download has an answer here (--resume); the success
  // prompt's "open it now?" is No.
  return question == ResumeQuestionText() && resume;
}

void CommandLineAnswers::ShowMessage(const std::string&, const std::string& text) {
  shown.push_back(text);
  WriteText(messages_, text, output_);
}

void AddRangeOptions(CLI::App& sub, RangeOptions& options) {
  CLI::Option* coo = sub.add_option("--coo", options.coo, "COO range: first and last COO (0-999999)")
                         ->expected(2)
                         ->type_name("FIRST LAST");
  sub.add_option("--user", options.user, "User number of the COO range (0-255, default 0)")
      ->type_name("N")
      ->needs(coo);
  sub.add_option("--dates", options.dates, "Date range: first and last date as DDMMYY")
      ->expected(2)
      ->type_name("DDMMYY DDMMYY")
      ->excludes(coo);
}

bool ParseDdMmYy(const std::string& text, CivilTime& date) {
  if (text.size() != 6) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const int day = std::stoi(text.substr(0, 2));
  const int month = std::stoi(text.substr(2, 2));
  const int year = 2000 + std::stoi(text.substr(4, 2));
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
  const bool leap = year % 4 == 0;  // 2000-2099
  if (month == 2 && day == 29 && !leap) return false;
  date = CivilTime{};
  date.year = year;
  date.month = month;
  date.day = day;
  return true;
}

bool RangeFromOptions(const RangeOptions& options, MemoryRangeForm& form, std::ostream& err,
                      const OutputOptions& output) {
  form = MemoryRangeForm{};
  if (options.coo.size() == 2) {
    const auto first = ParseNumber(options.coo[0], 999999);
    const auto last = ParseNumber(options.coo[1], 999999);
    if (!first || !last) {
      WriteMessage(err, "--coo takes two numbers from 0 to 999999.", output);
      return false;
    }
    std::optional<std::uint32_t> user = 0;
    if (!options.user.empty()) user = ParseNumber(options.user, 255);
    if (!user) {
      WriteMessage(err, "--user takes a number from 0 to 255.", output);
      return false;
    }
    form.kind = MemoryRangeForm::Kind::kCoo;
    form.firstCoo = static_cast<long>(*first);
    form.lastCoo = static_cast<long>(*last);
    form.user = static_cast<int>(*user);
    return true;
  }
  if (options.dates.size() == 2) {
    if (!ParseDdMmYy(options.dates[0], form.firstDate) || !ParseDdMmYy(options.dates[1], form.lastDate)) {
      WriteMessage(err, "--dates takes two dates written DDMMYY.", output);
      return false;
    }
    form.kind = MemoryRangeForm::Kind::kDates;
    return true;
  }
  form.kind = MemoryRangeForm::Kind::kTotal;
  return true;
}

// The ports, clock and progress display of a download.
struct MemoryRun::Link {
  Link(ProgramSettings& settings, const CliEnvironment& environment, const PrinterOptions& options,
       std::ostream& err)
      : clock(environment.clock ? *environment.clock : SystemClock()),
        systemPorts(PortContext{&settings, &clock}),
        progress(err, environment.progress != nullptr || ShowProgressOnStderr(options.progress)),
        interrupt(environment.catchInterrupt) {
    exchange = ExchangeContext{&settings, environment.ports ? environment.ports : &systemPorts, &clock, &progress,
                               nullptr};
  }
  Clock& clock;
  SystemPortFactory systemPorts;
  TerminalProgress progress;
  InterruptGuard interrupt;
  ExchangeContext exchange;
};

MemoryRun::MemoryRun(const PrinterOptions& options, const CliEnvironment& environment, const OutputOptions& output,
                     bool printer)
    : options_(options), environment_(environment), output_(output), printer_(printer) {}

MemoryRun::~MemoryRun() = default;

bool MemoryRun::Prepare(std::ostream& err, int& status) {
  // Without a model the library is that of a printer not identified.
  settings_.g_modelMask = kAllModelsMask;
  if (!ApplyPrinterOptions(options_, settings_, err, output_)) {
    status = kExitUsage;
    return false;
  }
  if (!printer_) return true;
  link_ = std::make_unique<Link>(settings_, environment_, options_, err);
  if (!options_.model.empty()) return true;
  // As the workbench does at start-up: the model decides the library and the user number.
  CommandRecord query = ModelQueryCommand();
  const int result = ExecuteCommand(query, link_->exchange);
  if (result != kOk) {
    WriteMessage(err, "The printer did not answer the model query on " + options_.port + ":", output_);
    WriteText(err, query.ResultText, output_);
    status = ExitStatusFor(result);
    return false;
  }
  ApplyDetectedModel(settings_, query.returnFields[1].value);
  return true;
}

MemoryToolContext MemoryRun::Context(Prompter& answers) {
  MemoryToolContext context;
  context.exchange = link_ ? link_->exchange : ExchangeContext{&settings_, nullptr, nullptr, nullptr, nullptr};
  context.prompter = &answers;
  return context;
}

int MemoryRun::Finish(const MemoryOutcome& outcome, bool announceOutput, std::ostream& out, std::ostream& err) {
  switch (outcome.stage) {
    case MemoryStage::kCompleted:
      if (outcome.succeeded) {
        if (announceOutput && !outcome.output.empty()) WriteMessage(out, outcome.output, output_);
        if (!outcome.digest.empty()) WriteMessage(out, outcome.digest, output_);
        return kExitOk;
      }
      if (outcome.code == 3) return kExitExchangeFailed;
      // Codes 0 and 1 without success come with the flow's own message (file not made),
      // as does a refused resume.
      if (VendorStatusMessageId(outcome.code) == 0 && outcome.code != 0 && outcome.code != 1 &&
          outcome.code != kResumeRefused) {
        WriteMessage(err, "The memory library returned " + std::to_string(outcome.code) + ".", output_);
      }
      return kExitMemoryFailed;
    case MemoryStage::kLibraryMissing:
      WriteMessage(err,
                   "The memory library could not be loaded (see " + std::string(kVendorDirVariable) +
                       " to load it from a folder).",
                   output_);
      return kExitLibraryMissing;
    case MemoryStage::kEntryMissing:
      WriteMessage(err, "The memory library lacks the entry point of this operation.", output_);
      return kExitLibraryMissing;
    case MemoryStage::kNotAvailable: return kExitMemoryFailed;
    case MemoryStage::kCommandFailed: return kExitExchangeFailed;
    case MemoryStage::kDialogCancelled:
    case MemoryStage::kBadContext: break;
  }
  return kExitUsage;
}

}  // namespace tervane::cli
