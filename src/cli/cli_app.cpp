#include "cli/cli_app.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <ostream>

#include "cli/catalogue_command.h"
#include "cli/cli_command.h"
#include "cli/cli_environment.h"
#include "cli/cli_support.h"
#include "cli/decode_command.h"
#include "cli/detect_command.h"
#include "cli/diagnose_command.h"
#include "cli/equipment_command.h"
#include "cli/frame_command.h"
#include "cli/monitor_command.h"
#include "cli/pdf417_command.h"
#include "cli/ports_command.h"
#include "cli/profile_command.h"
#include "cli/send_command.h"
#include "cli/sequence_command.h"
#include "cli/status_command.h"
#include "cli/transcript_command.h"
#include "cli/usb_command.h"
#include "core/common/version.h"
// Memory tools.
#include "cli/keys_command.h"
#include "cli/mf_command.h"
#include "cli/mfd_command.h"
#include "cli/sb_command.h"
#include "cli/validate_command.h"
#ifdef TERVANE_HAVE_LOGO
#include "cli/logo/logo_command.h"
#endif

namespace tervane::cli {

namespace {

int RunCliWith(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const CliContext& context, const CliEnvironment& environment) {
  OutputOptions output;
  CLI::App app(
      "tervane-cli: the Tervane core from a terminal. Sends catalogue commands to a printer, "
      "finds the printer and lists the ports; lists the command catalogue, builds command "
      "frames, decodes replies and status bytes; keeps and runs command sequences; reads a "
      "printer's configuration into an equipment profile and programs a printer from one.",
      "tervane-cli");
  app.add_flag("--raw", output.raw,
               "Write texts as the core holds them: Windows-1252 bytes with CR LF line ends "
               "(default: UTF-8 with LF)");
  app.set_version_flag("--version", std::string("tervane-cli ") + kVersion, "Print the version and exit");
  app.require_subcommand(1);
  app.footer(
      "Numbers (indexes, parameter numbers, bytes) are decimal or 0x-prefixed hexadecimal.\n"
      "The catalogue is comandos.xml in --workdir, or in the current directory.\n"
      "Commands that talk to a printer (send, detect) take --workdir, --extended and --model;\n"
      "send also --port, --address and --exchange-dir. Their exchanges go to the daily log in\n"
      "<workdir>/log. Ctrl-C cancels an exchange as the Cancel button does.\n"
      "Exit status:\n"
      "  0  success\n"
      "  1  usage error, unknown command, or catalogue not loadable\n"
      "  2  a mandatory parameter is empty (frame, send, sequence run)\n"
      "  3  a parameter has the wrong size (frame, send, sequence run)\n"
      "  4  the exchange with the printer failed, or no printer answered (send, detect, sequence run,\n"
      "     equipment); a programming command was refused (equipment program)\n"
      "  5  a command was cancelled with Ctrl-C (send, detect, sequence run)\n"
      "  6  a sequence was cancelled between commands (sequence run)\n"
      "  7  the memory library or its entry point is missing (mf, mfd, sb, keys, validate)\n"
      "  8  the memory library reported a failure, or the file did not validate (mf, mfd, sb, keys,\n"
      "     validate)");

  std::vector<std::unique_ptr<CliCommand>> commands;
  commands.push_back(std::make_unique<CatalogueCommand>(output));
  commands.push_back(std::make_unique<FrameCommand>(output));
  commands.push_back(std::make_unique<DecodeCommand>(output));
  commands.push_back(std::make_unique<StatusCommand>(output));
  commands.push_back(std::make_unique<SendCommand>(output, context));
  commands.push_back(std::make_unique<DetectCommand>(output, context));
  commands.push_back(std::make_unique<PortsCommand>(output));
  commands.push_back(std::make_unique<UsbCommand>(output));
  commands.push_back(std::make_unique<SequenceCommand>(output, environment));
  commands.push_back(std::make_unique<EquipmentCommand>(output, environment));
  commands.push_back(std::make_unique<ProfileCommand>(output));
  commands.push_back(std::make_unique<DiagnoseCommand>(output, context));
  commands.push_back(std::make_unique<MonitorCommand>(output));
  commands.push_back(std::make_unique<TranscriptCommand>(output));
  // Memory tools.
  commands.push_back(std::make_unique<MfCommand>(output, environment));
  commands.push_back(std::make_unique<MfdCommand>(output, environment));
  commands.push_back(std::make_unique<SbCommand>(output, environment));
  commands.push_back(std::make_unique<KeysCommand>(output, environment));
  commands.push_back(std::make_unique<ValidateCommand>(output, environment));
  commands.push_back(std::make_unique<Pdf417Command>(output, environment));
#ifdef TERVANE_HAVE_LOGO
  commands.push_back(std::make_unique<LogoCommand>(output));
#endif
  std::vector<std::pair<CLI::App*, CliCommand*>> subcommands;
  for (auto& command : commands) {
    CLI::App* sub = command->attach(app);
    sub->fallthrough();  // --raw may follow the command name
    subcommands.emplace_back(sub, command.get());
  }

  // CLI11 takes the arguments last one first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e, out, err);
  } catch (const CLI::ParseError& e) {
    app.exit(e, out, err);
    return kExitUsage;
  }

  for (const auto& [sub, command] : subcommands) {
    if (sub->parsed()) return command->execute(out, err);
  }
  return kExitUsage;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliContext& context) {
  CliEnvironment environment;
  environment.clock = context.clock;
  // A progress line only where a person watches it.
  if (&err == &std::cerr && ::isatty(STDERR_FILENO)) environment.progress = &std::cerr;
  return RunCliWith(args, out, err, context, environment);
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment) {
  CliContext context;
  context.clock = environment.clock;
  return RunCliWith(args, out, err, context, environment);
}

}  // namespace tervane::cli
