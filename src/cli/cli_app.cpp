#include "cli/cli_app.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <memory>
#include <ostream>

#include "cli/catalogue_command.h"
#include "cli/cli_command.h"
#include "cli/cli_support.h"
#include "cli/decode_command.h"
#include "cli/frame_command.h"
#include "cli/status_command.h"
#ifdef TERVANE_HAVE_LOGO
#include "cli/logo/logo_command.h"
#endif

namespace tervane::cli {

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  OutputOptions output;
  CLI::App app(
      "tervane-cli: the Tervane core from a terminal. Lists the command catalogue, builds "
      "command frames, decodes replies and status bytes.",
      "tervane-cli");
  app.add_flag("--raw", output.raw,
               "Write texts as the core holds them: Windows-1252 bytes with CR LF line ends "
               "(default: UTF-8 with LF)");
  app.require_subcommand(1);
  app.footer(
      "Numbers (indexes, parameter numbers, bytes) are decimal or 0x-prefixed hexadecimal.\n"
      "The catalogue is comandos.xml in --workdir, or in the current directory.\n"
      "Exit status:\n"
      "  0  success\n"
      "  1  usage error, unknown command, or catalogue not loadable\n"
      "  2  a mandatory parameter is empty (frame)\n"
      "  3  a parameter has the wrong size (frame)");

  std::vector<std::unique_ptr<CliCommand>> commands;
  commands.push_back(std::make_unique<CatalogueCommand>(output));
  commands.push_back(std::make_unique<FrameCommand>(output));
  commands.push_back(std::make_unique<DecodeCommand>(output));
  commands.push_back(std::make_unique<StatusCommand>(output));
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
  } catch (const CLI::ParseError& e) {
    app.exit(e, out, err);
    return kExitUsage;
  }

  for (const auto& [sub, command] : subcommands) {
    if (sub->parsed()) return command->execute(out, err);
  }
  return kExitUsage;
}

}  // namespace tervane::cli
