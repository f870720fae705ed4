// Running a list of commands one after another through ExecuteCommand: a progress
// display with cancel, a pause after each command that succeeded, an optional
// confirmation after each command, a stop at the first failure, and two running texts
// (the readable results with an opening and a closing banner, and the hex trace).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/catalogue/command_record.h"
#include "core/common/progress.h"
#include "core/common/prompter.h"
#include "core/protocol/command_exchange.h"

namespace tervane {

// Limits of a repeated run, as the sequence window and the command line accept them.
inline constexpr int kMinExecutions = 1;
inline constexpr int kMaxExecutions = 999;
inline constexpr int kMaxWaitSeconds = 99;

// What a run needs besides its commands. `progress` is the run's own display, one step
// per command, whose cancel ends the run before the next command (the exchange has its
// display in `exchange.progress`); null shows nothing and never cancels. `prompter`
// asks the step-mode question; with a null one step mode never stops. The wait goes
// through `exchange.clock` (the system clock when null).
struct SequenceRunContext {
  ExchangeContext exchange;
  ProgressSink* progress = nullptr;
  Prompter* prompter = nullptr;
  // When set, ExecuteSequence appends each run's commands as the run left them (frames,
  // replies, decoded fields; a command the run did not reach keeps no frame and no
  // texts). Left null where nobody reads them: a long repeated run would keep them all.
  std::vector<std::vector<CommandRecord>>* runCommands = nullptr;
};

// The text added after a run's results for its code (Windows-1252): "Sequência
// cancelada." for -6, the exchange's texts for -5 to -2, "ERRO" for any other nonzero
// code, "" for 0.
std::string SequenceCodeText(int code);

class CSequenceRunner {
 public:
  // `commands` are this run's own copies. `stepMode` asks after each command but the
  // last whether to go on; `waitMs` is the pause after each command that succeeded
  // (0 or less: none).
  CSequenceRunner(std::vector<CommandRecord> commands, bool stepMode, int waitMs);

  // Runs the commands in order. Returns 0 when all ran, or when the person stopped the
  // run at a step-mode question (then without the closing banner); -6 when the run's
  // progress display was cancelled (nothing more is appended); otherwise the first
  // nonzero code of ExecuteCommand (-1 to -5), after that command's result text, the
  // closing banner and its trace have been appended. Each call starts the texts afresh.
  int Run(const SequenceRunContext& context);

  // Asked before each command with its index and the commands as the run has left them
  // so far; false skips the command (it is not sent and its texts stay empty), as a
  // caller does with commands that depend on one the printer refused. Without a filter
  // every command runs.
  using CommandFilter = std::function<bool(size_t index, const std::vector<CommandRecord>& commands)>;
  void SetFilter(CommandFilter filter) { filter_ = std::move(filter); }

  // The banners and the commands' result texts, in order (CR LF line ends).
  const std::string& ResultText() const { return resultText_; }
  // The commands' hex traces, in order.
  const std::string& HexTrace() const { return hexTrace_; }
  // The commands as the run left them (reply data, decoded fields).
  const std::vector<CommandRecord>& Commands() const { return commands_; }

 private:
  // Pauses waitMs_, in short slices so that the progress display stays alive; stops
  // early when it is cancelled (the next command then does not start).
  void Wait(Clock& clock, ProgressSink& progress);

  std::vector<CommandRecord> commands_;
  CommandFilter filter_;
  bool stepMode_;
  int waitMs_;
  std::string resultText_;
  std::string hexTrace_;
};

// The outcome of a repeated run.
struct SequenceExecution {
  int code = 0;              // the code of the last run
  int runs = 0;              // runs started
  std::string resultText;    // every run's result text, each failure's code text after it
  std::string hexTrace;      // every run's trace
  std::string portFailure;   // why the port did not open, when that stopped the run
};

// Runs `commands` up to `executions` times, each time from a fresh copy, with a wait of
// `waitSeconds` between commands and step mode as asked; stops repeating after a run
// whose code is nonzero, whose text (SequenceCodeText) then follows its results. A step-
// mode stop ends only that run. The counts are taken as given: callers check them
// against kMinExecutions..kMaxExecutions and 0..kMaxWaitSeconds first.
SequenceExecution ExecuteSequence(const std::vector<CommandRecord>& commands, int executions, bool stepMode,
                                  int waitSeconds, const SequenceRunContext& context);

}  // namespace tervane
