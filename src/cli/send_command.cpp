#include "cli/send_command.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <ostream>

#include "core/common/string_table.h"
#include "core/catalogue/catalogue.h"
#include "cli/json_output.h"
#include "cli/terminal_progress.h"
#include "cli/transcript_command.h"
#include "core/protocol/command_exchange.h"
#include "core/protocol/command_log.h"
#include "core/protocol/frame_builder.h"
#include "core/transport/port_factory.h"

namespace tervane::cli {
CLI::App* SendCommand::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand(
      "send",
      "Send a catalogue command to the printer and print its result text, as the workbench's "
      "result window shows it. A progress bar shows on standard error while a longer reply "
      "arrives; Ctrl-C cancels as the Cancel button does (a second Ctrl-C stops at once).");
  AddPrinterOptions(*sub, printer_, true);
  AddCommandChoice(*sub, choice_);
  sub->add_option("--set", values_, kSetOptionHelp)->type_name("N=VALUE");
  sub->add_flag("--trace", trace_, "Also print the bytes sent and received (CMD: and RET: lines)");
  sub->add_flag("--dump", dump_, "Also print the bytes as a hexadecimal dump with a character column");
  sub->add_option("--record", record_, "Also write the exchange as a transcript (JSON Lines, docs/transcripts.md); one that cannot be written makes a successful exchange end with status 1")
      ->type_name("FILE");
  sub->footer(std::string(kRawOptionNote) +
              "\nEvery exchange is appended to the daily log, <workdir>/log/Log_YYYY_MM_DD.txt.\n" +
              kExchangeExitNote + "\n" + kJsonOptionNote);
  return sub;
}

int SendCommand::execute(std::ostream& out, std::ostream& err) {
  ProgramSettings settings;
  if (!ApplyPrinterOptions(printer_, settings, err, output_)) return kExitUsage;

  CommandCatalogue catalogue;
  if (!LoadCatalogueOrReport(settings, catalogue, err, output_)) return kExitUsage;
  const CommandRecord* chosen = FindCommand(catalogue, choice_, err, output_);
  if (chosen == nullptr) return kExitUsage;
  CommandRecord command = *chosen;
  if (!ApplyParameterValues(command, values_, err, output_)) return kExitUsage;

  Clock& clock = context_.clock ? *context_.clock : SystemClock();
  // A parameter that cannot be encoded is reported before any port is touched.
  {
    CommandRecord trial = command;
    if (const int framed = AssembleFrame(trial, settings, clock); framed != kOk) {
      WriteText(err, trial.ResultText, output_);
      if (output_.report) ReportCommand(*output_.report, framed, trial, settings.g_extendedReply);
      return ExitStatusFor(framed);
    }
  }
  // The exchange opens the port once, sends, reads and closes it: nothing opens it
  // beforehand to check it (on a real adapter every open and close toggles its lines).
  SystemPortFactory systemPorts(PortContext{&settings, &clock});
  SessionRecorder recorder;
  if (!recorder.Start(record_, printer_.workdir, err, output_)) return kExitUsage;
  PortFactory& ports = recorder.Wrap(context_.ports ? *context_.ports : systemPorts, clock);

  TerminalProgress terminal(err, ShowProgressOnStderr(printer_.progress));
  InterruptGuard interrupt;
  ExchangeContext exchange{&settings, &ports, &clock, context_.progress ? context_.progress : &terminal,
                           nullptr};
  const int result = ExecuteCommand(command, exchange);
  terminal.Close();
  const bool recorded = recorder.Finish(err, output_);
  // A port that did not open ends the exchange at once; its reason goes to the error
  // stream as well as into the result text.
  if (!command.portFailure.empty()) WriteText(err, command.portFailure, output_);
  if (output_.report) ReportCommand(*output_.report, result, command, command.StatusBlockLength >= 5);

  if (result != kOk && result != kExchangeFailed && result != kCancelled) {
    WriteText(err, command.ResultText, output_);  // a framing error after all
    return ExitStatusFor(result);
  }

  // The result text starts with a line break before its "Comando" line.
  std::string text = command.ResultText;
  while (!text.empty() && (text.front() == '\r' || text.front() == '\n')) text.erase(0, 1);
  WriteText(out, text, output_);
  if (trace_) WriteText(out, command.HexTrace, output_);
  if (dump_) WriteText(out, HexDump(command.HexTrace), output_);
  if (result == kOk && !recorded) return kExitUsage;
  return ExitStatusFor(result);
}

}  // namespace tervane::cli
