#include "cli/sequence_command.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <ostream>
#include <set>

#include "core/common/string_table.h"
#include "core/catalogue/catalogue.h"
#include "cli/json_output.h"
#include "cli/terminal_dialogs.h"
#include "cli/transcript_command.h"
#include "core/common/charset.h"
#include "core/protocol/command_log.h"
#include "core/sequences/sequence_editor.h"
#include "core/sequences/sequence_runner.h"
#include "core/sequences/sequence_store.h"
#include "core/transport/port_factory.h"

namespace tervane::cli {
namespace {

constexpr char kNotDeleted[] = "Registro não excluído";
constexpr char kInvalidName[] = "Nome inválido";

// The exit status for a run's code.
int ExitStatusOf(int code) {
  switch (code) {
    case kOk: return kExitOk;
    case kMandatoryEmpty: return kExitMandatoryEmpty;
    case kWrongSize: return kExitWrongSize;
    case kExchangeFailed: return kExitExchangeFailed;
    case kCancelled: return kExitCancelled;
    case kSequenceCancelled: return kExitSequenceCancelled;
    default: return kExitUsage;   // an escape text outside the catalogue format
  }
}

// A run's outcome for --json: the code, every run with its commands (those the run did
// not reach marked so), the accumulated result text and trace.
void ReportRun(JsonReport& report, const CSequence& sequence, const SequenceExecution& execution,
               const std::vector<std::vector<CommandRecord>>& runCommands) {
  Json& body = report.body;
  body["sequence"] = JsonText(sequence.name);
  body["result"] = ResultJson(execution.code);
  Json runs = Json::array();
  for (size_t r = 0; r < runCommands.size(); ++r) {
    Json run = Json::object();
    run["number"] = r + 1;
    Json commands = Json::array();
    for (const CommandRecord& command : runCommands[r]) {
      Json record = RecordJson(command, command.StatusBlockLength >= 5);
      record["ran"] = command.frame.length > 0 || !command.ResultText.empty();
      commands.push_back(std::move(record));
    }
    run["commands"] = std::move(commands);
    runs.push_back(std::move(run));
  }
  body["runs"] = std::move(runs);
  body["result_text"] = JsonText(execution.resultText);
  body["trace"] = execution.hexTrace.empty() ? Json(nullptr) : Json(JsonText(execution.hexTrace));
  body["port_failure"] = execution.portFailure.empty() ? Json(nullptr) : Json(JsonText(execution.portFailure));
}

void AddNameArgument(CLI::App& sub, std::string& name) {
  sub.add_option("NAME", name, "The sequence's name")->required()->type_name("NAME");
}

}  // namespace

CLI::App* SequenceCommand::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand(
      "sequence",
      "Command sequences kept in sequencias.xml: list, show, run, add a command, delete.");
  sub->add_option("--file", file_,
                  "Sequence file to use (default: sequencias.xml in the working directory)")
      ->type_name("FILE");
  sub->require_subcommand(1);
  const std::string workdirHelp =
      "Working directory: sequencias.xml and comandos.xml (default: the current directory)";

  list_ = sub->add_subcommand("list", "List the sequences' names in file order, one per line, with the "
                                      "number of commands after a tab.");
  list_->add_option("--workdir", workdir_, workdirHelp)->type_name("DIR");

  show_ = sub->add_subcommand("show", "Show a sequence: its commands with kind, escape, reply, parameter "
                                      "values and return fields.");
  AddNameArgument(*show_, name_);
  show_->add_option("--workdir", workdir_, workdirHelp)->type_name("DIR");

  run_ = sub->add_subcommand(
      "run",
      "Run a sequence against the printer and print the accumulated result text. Ctrl-C cancels: during a "
      "reply the command is cancelled (status 5), between commands the sequence (status 6).");
  AddNameArgument(*run_, name_);
  AddPrinterOptions(*run_, printer_, true);
  run_->add_option("--times", times_, "Number of executions, 1 to 999 (default 1); a failing run ends them")
      ->check(CLI::Range(kMinExecutions, kMaxExecutions))
      ->type_name("N");
  run_->add_option("--wait", wait_, "Seconds of wait after each successful command, 0 to 99 (default 0)")
      ->check(CLI::Range(0, kMaxWaitSeconds))
      ->type_name("S");
  run_->add_flag("--step", step_, "Step mode: after each command but the last, ask on the terminal whether to go on");
  run_->add_flag("--hex", hex_, "Also print the dump of the bytes sent and received");
  run_->add_option("--record", record_, "Also write the exchanges as a transcript (JSON Lines, docs/transcripts.md); one that cannot be written makes a successful run end with status 1")
      ->type_name("FILE");
  run_->footer(
      "Exit status: 0 the sequence ran (or was stopped at a step question); 1 bad arguments, no such "
      "sequence or file; 2 a mandatory parameter is empty; 3 a parameter has the wrong size; "
      "4 the exchange failed; 5 a command was cancelled; 6 the sequence was cancelled.\n" +
      std::string(kJsonOptionNote));

  add_ = sub->add_subcommand(
      "add",
      "Append a catalogue command, with the values given by --set, to sequence NAME, creating the "
      "sequence when it does not exist. NAME is stored in upper case without < > \\ ' \" / ! ? ; .");
  AddNameArgument(*add_, name_);
  add_->add_option("--workdir", workdir_, workdirHelp)->type_name("DIR");
  AddCommandChoice(*add_, choice_);
  add_->add_option("--set", values_,
                   "N=VALUE: value of parameter N (1-based, decimal or 0x hex); VALUE is UTF-8 and must be "
                   "representable in Windows-1252. Repeatable; parameters not set keep their catalogue value.")
      ->type_name("N=VALUE");

  delete_ = sub->add_subcommand("delete", "Delete a sequence from the file.");
  AddNameArgument(*delete_, name_);
  delete_->add_option("--workdir", workdir_, workdirHelp)->type_name("DIR");

  for (CLI::App* action : {list_, show_, run_, add_, delete_}) {
    action->fallthrough();   // --file and --raw may follow the action
    action->footer(std::string(kRawOptionNote) + (action == run_ ? "\n" + run_->get_footer() : ""));
  }
  return sub;
}

int SequenceCommand::execute(std::ostream& out, std::ostream& err) {
  if (list_->parsed()) return list(out, err);
  if (show_->parsed()) return show(out, err);
  if (run_->parsed()) return run(out, err);
  if (add_->parsed()) return add(out, err);
  if (delete_->parsed()) return remove(out, err);
  return kExitUsage;
}

bool SequenceCommand::offersJson() const { return run_ != nullptr && run_->parsed(); }

std::string SequenceCommand::filePath(const std::string& workdir) const {
  if (!file_.empty()) return file_;
  ProgramSettings settings;
  settings.g_workDir = ResolveWorkDir(workdir);
  return DefaultSequenceFile(settings);
}

bool SequenceCommand::load(CSequenceStore& store, bool missingIsEmpty, std::ostream& err) const {
  SequenceLoadResult result;
  if (store.LoadSequences(store.FilePath(), &result) == 0) return true;
  if (result.missing && missingIsEmpty) return true;
  WriteText(err, SequenceFileLoadFailureText(store.FilePath()), output_);
  if (!result.description.empty()) WriteText(err, result.description, output_);
  return false;
}

const CSequence* SequenceCommand::find(const CSequenceStore& store, const std::string& name,
                                       std::ostream& err) const {
  std::string exact;
  if (Utf8ToCp1252(name, exact)) {
    if (const CSequence* s = store.FindSequence(exact)) return s;
    std::string cleaned;
    if (CleanSequenceName(exact, cleaned) == SequenceNameCheck::kValid) {
      if (const CSequence* s = store.FindSequence(cleaned)) return s;
    }
  }
  WriteMessage(err, "No sequence named \"" + name + "\" in " + store.FilePath() + ".", output_);
  return nullptr;
}

int SequenceCommand::list(std::ostream& out, std::ostream& err) {
  CSequenceStore store(filePath(workdir_));
  if (!load(store, true, err)) return kExitUsage;
  std::string listing;
  for (const CSequence& s : store.Sequences()) {
    listing += s.name + "\t" + std::to_string(s.commands.size()) + "\r\n";
  }
  out << ForTerminal(listing, output_);
  return kExitOk;
}

int SequenceCommand::show(std::ostream& out, std::ostream& err) {
  CSequenceStore store(filePath(workdir_));
  if (!load(store, false, err)) return kExitUsage;
  const CSequence* sequence = find(store, name_, err);
  if (!sequence) return kExitUsage;

  // The command kinds the catalogue knows, to point out the ones it does not; without a
  // readable catalogue nothing is pointed out.
  ProgramSettings settings;
  settings.g_workDir = ResolveWorkDir(workdir_);
  CommandCatalogue catalogue;
  std::set<std::string> kinds;
  const bool haveCatalogue = LoadCatalogueFile(ResolveInWorkDir(settings, "comandos.xml"), catalogue) == 0;
  for (const CommandRecord& c : catalogue.commands) kinds.insert(c.group);

  std::string text = sequence->name + "\t" + std::to_string(sequence->commands.size()) + " commands\r\n";
  for (size_t i = 0; i < sequence->commands.size(); ++i) {
    const CommandRecord& c = sequence->commands[i];
    text += std::to_string(i + 1) + ". " + c.title + "\r\n";
    text += "   kind: " + c.group;
    if (haveCatalogue && !kinds.contains(c.group)) text += " (not in the catalogue)";
    text += "; escape: " + c.escapeText + "; reply: " + std::to_string(c.declaredReturnSize) + " bytes";
    if (!c.returnKind.empty()) text += ", " + c.returnKind;
    text += "\r\n";
    for (size_t k = 0; k < c.parameters.size(); ++k) {
      const ParameterRecord& p = c.parameters[k];
      text += "   parameter " + std::to_string(k + 1) + ": " + p.title + " (" + p.kind + ", " +
              std::to_string(p.size) + ", " + LoadString(p.mandatory ? str::kSim : str::kNao) + ") = \"" +
              p.value + "\"\r\n";
    }
    for (size_t k = 0; k < c.returnFields.size(); ++k) {
      const ReturnFieldRecord& f = c.returnFields[k];
      text += "   return field " + std::to_string(k + 1) + ": " + f.title + " (" + f.kind + ", " +
              std::to_string(f.size) + ")\r\n";
    }
  }
  out << ForTerminal(text, output_);
  return kExitOk;
}

int SequenceCommand::run(std::ostream& out, std::ostream& err) {
  ProgramSettings settings;
  if (!ApplyPrinterOptions(printer_, settings, err, output_)) return kExitUsage;
  CSequenceStore store(file_.empty() ? DefaultSequenceFile(settings) : file_);
  if (!load(store, false, err)) return kExitUsage;
  const CSequence* sequence = find(store, name_, err);
  if (!sequence) return kExitUsage;

  Clock& clock = environment_.clock ? *environment_.clock : SystemClock();
  SystemPortFactory systemPorts(PortContext{&settings, &clock});
  SequenceProgressLine sequenceProgress(environment_.progress, output_);
  SequenceProgressLine exchangeProgress(nullptr, output_);   // cancels on Ctrl-C; the sequence line is enough
  TerminalPrompter prompter(environment_.in ? *environment_.in : std::cin, err, output_);

  SequenceRunContext context;
  context.exchange.settings = &settings;
  SessionRecorder recorder;
  if (!recorder.Start(record_, printer_.workdir, err, output_)) return kExitUsage;
  context.exchange.ports = &recorder.Wrap(environment_.ports ? *environment_.ports : systemPorts, clock);
  context.exchange.clock = &clock;
  context.exchange.progress = &exchangeProgress;
  context.progress = &sequenceProgress;
  context.prompter = &prompter;
  std::vector<std::vector<CommandRecord>> runCommands;
  if (output_.report) context.runCommands = &runCommands;

  SequenceExecution execution;
  {
    InterruptGuard interrupt(environment_.catchInterrupt);
    execution = ExecuteSequence(sequence->commands, times_, step_, wait_, context);
  }
  const bool recorded = recorder.Finish(err, output_);
  WriteText(out, execution.resultText, output_);
  if (output_.report) ReportRun(*output_.report, *sequence, execution, runCommands);
  if (hex_) WriteText(out, HexDump(execution.hexTrace), output_);
  if (!execution.portFailure.empty()) WriteText(err, execution.portFailure, output_);
  if (execution.code == kOk && !recorded) return kExitUsage;
  return ExitStatusOf(execution.code);
}

int SequenceCommand::add(std::ostream& out, std::ostream& err) {
  std::string typed;
  std::string name;
  if (!Utf8ToCp1252(name_, typed) || CleanSequenceName(typed, name) == SequenceNameCheck::kInvalid) {
    WriteMessage(err, kInvalidName, output_);
    return kExitUsage;
  }
  if (CleanSequenceName(typed, name) == SequenceNameCheck::kEmpty) {
    WriteText(err, LoadString(str::kRegistroNaoSalvo), output_);
    return kExitUsage;
  }
  if (typed.size() > static_cast<size_t>(kMaxSequenceNameLength)) {
    WriteMessage(err, "A sequence name has at most " + std::to_string(kMaxSequenceNameLength) + " characters.",
                 output_);
    return kExitUsage;
  }

  ProgramSettings settings;
  settings.g_workDir = ResolveWorkDir(workdir_);
  CommandCatalogue catalogue;
  if (!LoadCatalogueOrReport(settings, catalogue, err, output_)) return kExitUsage;
  const CommandRecord* chosen = FindCommand(catalogue, choice_, err, output_);
  if (!chosen) return kExitUsage;
  CommandRecord command = *chosen;
  if (!ApplyParameterValues(command, values_, err, output_)) return kExitUsage;

  // A file that exists but cannot be read is never replaced.
  CSequenceStore store(filePath(workdir_));
  if (!load(store, true, err)) return kExitUsage;
  CSequence* sequence = store.FindSequence(name);
  const bool created = sequence == nullptr;
  if (created) {
    CSequence fresh;
    fresh.name = name;
    store.UpsertSequence(std::move(fresh), false);
    sequence = store.FindSequence(name);
  }
  // Appended in place, so the sequence keeps its position in the file.
  sequence->commands.push_back(std::move(command));
  const size_t count = sequence->commands.size();

  std::string error;
  if (store.SaveSequences(&error) != 0) {
    WriteText(err, LoadString(str::kRegistroNaoSalvo), output_);
    WriteText(err, Utf8ToCp1252Lossy(error), output_);
    return kExitUsage;
  }
  WriteText(out,
            name + (created ? ": created with " : ": now ") + std::to_string(count) +
                (count == 1 ? " command" : " commands"),
            output_);
  return kExitOk;
}

int SequenceCommand::remove(std::ostream& out, std::ostream& err) {
  CSequenceStore store(filePath(workdir_));
  if (!load(store, false, err)) return kExitUsage;
  const CSequence* sequence = find(store, name_, err);
  std::string error;
  if (!sequence) {
    WriteMessage(err, kNotDeleted, output_);
    return kExitUsage;
  }
  const std::string name = sequence->name;
  if (store.RemoveSequence(name) != 0 || store.SaveSequences(&error) != 0) {
    WriteMessage(err, kNotDeleted, output_);
    if (!error.empty()) WriteText(err, Utf8ToCp1252Lossy(error), output_);
    return kExitUsage;
  }
  WriteText(out, name + ": deleted", output_);
  return kExitOk;
}

}  // namespace tervane::cli
