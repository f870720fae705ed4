// What the memory commands of tervane-cli share: the memory tools' dialogs answered from
// the command line, the range options, the printer link for downloads, and the exit
// status of an operation's outcome.
#pragma once

#include <deque>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_environment.h"
#include "cli/printer_options.h"
#include "core/common/prompter.h"
#include "core/fiscalmemory/memory_forms.h"
#include "core/fiscalmemory/memory_operations.h"

namespace tervane::cli {

// Exit statuses of the memory commands, beyond those of the exchange (0, 1, 4, 5).
inline constexpr int kExitLibraryMissing = 7;  // the memory library or its entry point is missing
inline constexpr int kExitMemoryFailed = 8;    // the library reported a failure, the file did not
                                               // validate, or the operation does not exist for the model

inline constexpr const char* kMemoryExitNote =
    "Exit status: 0 success; 1 bad arguments; 4 the printer did not answer (status 3 from the "
    "library, or the user-number query failed); 5 cancelled with Ctrl-C; 7 the memory library or "
    "its entry point is missing; 8 the library reported a failure (status 2, 4-7 or another code), "
    "the file did not validate, or the operation does not exist for the model.";

// The dialogs of a memory operation answered from the command line: open dialogs take
// the queued files in order, the save dialog the output, the range dialogs their forms.
// A dialog with no answer is cancelled. Messages are written to `messages` and kept;
// the success prompt is answered No.
class CommandLineAnswers final : public DecliningPrompter, public MemoryForms {
 public:
  CommandLineAnswers(std::ostream& messages, const OutputOptions& output) : messages_(messages), output_(output) {}

  std::deque<std::string> openFiles;
  std::string saveFile;
  std::optional<MemoryRangeForm> range;
  std::optional<MfReportForm> report;
  std::optional<TypeERecordsForm> typeE;
  std::vector<std::string> bitmaps;
  bool resume = false;             // the answer to "continuar o download anterior?"
  std::vector<std::string> shown;  // every message shown (Windows-1252)
  // What went to the results window: result text and hexadecimal trace, for the command
  // to write.
  std::vector<std::pair<std::string, std::string>> results;

  bool ChooseOpenFile(const std::string&, const std::string&, std::string& path) override;
  bool ChooseSaveFile(const std::string&, const std::string&, std::string& path) override;
  bool ChooseOpenFiles(const std::string&, const std::string&, const std::string&,
                       std::vector<std::string>& paths) override;
  bool AskMemoryRange(MemoryRangeForm& form) override { return Take(range, form); }
  bool AskMfReportRange(MfReportForm& form) override { return Take(report, form); }
  bool AskTypeERecords(TypeERecordsForm& form) override { return Take(typeE, form); }
  void ShowMessage(const std::string&, const std::string& text) override;
  bool AskYesNo(const std::string&, const std::string& question) override;
  void ShowCommandResults(const std::string& resultText, const std::string& hexTrace) override {
    results.emplace_back(resultText, hexTrace);
  }

 private:
  template <typename Form>
  static bool Take(std::optional<Form>& answer, Form& form) {
    if (!answer) return false;
    form = *answer;
    answer.reset();
    return true;
  }
  std::ostream& messages_;
  const OutputOptions& output_;
};

// The range options of the MFD and MPK downloads, documents and databases:
// --coo FIRST LAST with --user N, or --dates DDMMYY DDMMYY; neither is the whole memory.
struct RangeOptions {
  std::vector<std::string> coo;
  std::string user;
  std::vector<std::string> dates;
};
void AddRangeOptions(CLI::App& sub, RangeOptions& options);
// Builds the range form; false, after saying why on `err`, for numbers outside 0-999999
// (COO) or 0-255 (user), a --user without --coo, or dates that are not DDMMYY.
bool RangeFromOptions(const RangeOptions& options, MemoryRangeForm& form, std::ostream& err,
                      const OutputOptions& output);

// Reads a DDMMYY date (year 2000 + YY). False for anything else or an impossible date.
bool ParseDdMmYy(const std::string& text, CivilTime& date);

// Runs one memory operation with the settings of `options`: for downloads (`printer`)
// the exchange is set up on the port and, without --model, the printer is asked for its
// model first; file operations use --model or, without it, the library of a printer not
// yet identified. Writes the outcome's notes to `err` and returns the exit status.
class MemoryRun {
 public:
  MemoryRun(const PrinterOptions& options, const CliEnvironment& environment, const OutputOptions& output,
            bool printer);
  ~MemoryRun();

  // Applies the options; false (exit 1 or 4 in `status`) when they are unusable or the
  // printer does not answer the model query.
  bool Prepare(std::ostream& err, int& status);
  // The context for the operation, with `answers` as its prompter.
  MemoryToolContext Context(Prompter& answers);
  // The exit status of an outcome, with a note on `err` for a missing library or entry
  // point or an unexplained library result; with `announceOutput` the file made (and a
  // report's digest) is named on `out`.
  int Finish(const MemoryOutcome& outcome, bool announceOutput, std::ostream& out, std::ostream& err);

 private:
  struct Link;
  const PrinterOptions& options_;
  const CliEnvironment& environment_;
  const OutputOptions& output_;
  bool printer_;
  ProgramSettings settings_;
  std::unique_ptr<Link> link_;
};

}  // namespace tervane::cli
