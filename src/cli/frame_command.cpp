#include "cli/frame_command.h"

#include <CLI/CLI.hpp>

#include <ostream>

#include "core/catalogue/catalogue.h"
#include "cli/json_output.h"
#include "core/common/charset.h"
#include "core/protocol/frame_builder.h"

namespace tervane::cli {

CLI::App* FrameCommand::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand(
      "frame",
      "Build the frame of a catalogue command and print it as upper-case hexadecimal bytes "
      "separated by spaces. Parameters not set keep their catalogue value.");
  sub->add_option("--workdir", workdir_, "Folder holding comandos.xml (default: the current directory)")
      ->type_name("DIR");
  AddCommandChoice(*sub, choice_);
  sub->add_option("--set", values_, kSetOptionHelp)->type_name("N=VALUE");
  sub->add_flag("--extended", extended_, "Extended-reply mode: the frame starts with 1Ch instead of 1Bh");
  sub->footer(
      std::string(kRawOptionNote) +
      "\nExit status: 0 frame printed; 1 bad arguments, unknown command or catalogue not loadable; "
      "2 a mandatory parameter is empty; 3 a parameter has the wrong size.\n" +
      kJsonOptionNote);
  return sub;
}

int FrameCommand::execute(std::ostream& out, std::ostream& err) {
  ProgramSettings settings;
  settings.g_workDir = ResolveWorkDir(workdir_);
  settings.g_extendedReply = extended_;

  CommandCatalogue catalogue;
  if (!LoadCatalogueOrReport(settings, catalogue, err, output_)) return kExitUsage;
  const CommandRecord* chosen = FindCommand(catalogue, choice_, err, output_);
  if (chosen == nullptr) return kExitUsage;

  CommandRecord command = *chosen;
  if (!ApplyParameterValues(command, values_, err, output_)) return kExitUsage;

  const int code = AssembleFrame(command, settings);
  if (output_.report) {
    output_.report->body["result"] = ResultJson(code);
    output_.report->body["record"] = RecordJson(command, extended_, true);
  }
  switch (code) {
    case kOk:
      WriteText(out, HexLine(command.frame.bytes.data(), command.frame.length), output_);
      return kExitOk;
    case kMandatoryEmpty:
      WriteText(err, command.ResultText, output_);
      return kExitMandatoryEmpty;
    case kWrongSize:
      WriteText(err, command.ResultText, output_);
      return kExitWrongSize;
    default:
      // The escape text lies outside the catalogue format (-1).
      if (!command.escapeError.empty()) {
        WriteText(err, command.escapeError, output_);
      } else {
        WriteMessage(err, "The command's escape text \"" + Cp1252ToUtf8(command.escapeText) +
                              "\" cannot be framed.", output_);
      }
      return kExitUsage;
  }
}

}  // namespace tervane::cli
