#include "cli/send_command.h"

#include <CLI/CLI.hpp>

#include <sys/stat.h>

#include <memory>
#include <ostream>

#include "core/common/string_table.h"
#include "core/catalogue/catalogue.h"
#include "cli/terminal_progress.h"
#include "core/protocol/command_exchange.h"
#include "core/protocol/command_log.h"
#include "core/protocol/frame_builder.h"
#include "core/transport/com_port_map.h"
#include "core/transport/port_factory.h"

namespace tervane::cli {
namespace {

// A port that the exchange would only find silent: the device is missing, is no
// terminal, or another program holds it. Stream ports other than the TCP bridge are
// opened once before the exchange, so such a port fails at once with its reason instead
// of after the exchange's time-outs. Returns the reason, or an empty text when the port
// opens (or is of a kind not checked here).
std::string PortUnusable(const std::string& name, PortFactory& ports) {
  if (name == "SOCKET" || name == "FILE") return {};
  std::unique_ptr<CPort> port = ports.Create(name);
  if (port && port->Open(9600)) {
    port->Close();
    return {};
  }
  if (name == "USB") return "the USB link cannot be opened";
  const std::string device = ResolvePortDevice(name);
  struct stat st {};
  if (::stat(device.c_str(), &st) != 0) return "the device " + device + " does not exist";
  if (!S_ISCHR(st.st_mode)) return device + " is not a serial device";
  return "the device " + device + " cannot be opened: it is not a terminal, refuses the line settings, "
         "or another program holds it";
}

}  // namespace

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
  sub->footer(std::string(kRawOptionNote) +
              "\nEvery exchange is appended to the daily log, <workdir>/log/Log_YYYY_MM_DD.txt.\n" +
              kExchangeExitNote);
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
      return ExitStatusFor(framed);
    }
  }
  SystemPortFactory ports(PortContext{&settings, &clock});
  if (const std::string reason = PortUnusable(settings.g_portName, ports); !reason.empty()) {
    WriteMessage(err, "Port " + printer_.port + ": " + reason + ".", output_);
    // What the exchange would have ended with, without its time-outs.
    WriteText(out, LoadString(str::kComando) + ":\t" + command.title + "\r\n" + LoadString(str::kFalhaEnvio),
              output_);
    return kExitExchangeFailed;
  }

  TerminalProgress terminal(err, ShowProgressOnStderr(printer_.progress));
  InterruptGuard interrupt;
  ExchangeContext exchange{&settings, &ports, &clock, context_.progress ? context_.progress : &terminal,
                           nullptr};
  const int result = ExecuteCommand(command, exchange);
  terminal.Close();

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
  return ExitStatusFor(result);
}

}  // namespace tervane::cli
