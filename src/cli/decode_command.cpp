#include "cli/decode_command.h"

#include <CLI/CLI.hpp>

#include <ostream>

#include "cli/json_output.h"
#include "core/catalogue/catalogue.h"
#include "core/interpret/return_formatter.h"

namespace tervane::cli {
namespace {

// The reply length the exchange would read for this command, or the least it would read
// for the open-length replies (-1, -2): their status block.
int ExpectedLength(const CommandRecord& command, bool extended) {
  const int statusBlock = (extended && command.declaredReturnSize != -2) ? 5 : 3;
  return command.declaredReturnSize >= 0 ? command.declaredReturnSize + statusBlock : statusBlock;
}

}  // namespace

CLI::App* DecodeCommand::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand(
      "decode",
      "Decode a reply of a catalogue command: its return fields by kind and its status bytes, "
      "as the workbench shows them.");
  sub->add_option("--workdir", workdir_, "Folder holding comandos.xml (default: the current directory)")
      ->type_name("DIR");
  AddCommandChoice(*sub, choice_);
  sub->add_option("--reply", reply_,
                  "The reply as hexadecimal bytes, from the acknowledgement (06h) to the status "
                  "bytes: \"06 31 12 09 00 00\" (blanks or commas between bytes)")
      ->type_name("HEX")
      ->required();
  sub->add_flag("--extended", extended_,
                "Extended-reply mode: two extended error-code bytes follow ST1 and ST2");
  sub->footer(
      std::string(kRawOptionNote) +
      "\nGPRS commands are answered in their own form and are not decoded here.\n"
      "Exit status: 0 decoded; 1 bad arguments, unknown or GPRS command, or catalogue not loadable.\n" +
      kJsonOptionNote);
  return sub;
}

int DecodeCommand::execute(std::ostream& out, std::ostream& err) {
  ProgramSettings settings;
  settings.g_workDir = ResolveWorkDir(workdir_);
  settings.g_extendedReply = extended_;

  std::string joined;
  for (const std::string& part : reply_) joined += part + " ";
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ParseHexBytes(joined, bytes, error)) {
    WriteMessage(err, "--reply: " + error + ".", output_);
    return kExitUsage;
  }
  if (bytes.empty()) {
    WriteMessage(err, "--reply: no bytes given.", output_);
    return kExitUsage;
  }

  CommandCatalogue catalogue;
  if (!LoadCatalogueOrReport(settings, catalogue, err, output_)) return kExitUsage;
  const CommandRecord* chosen = FindCommand(catalogue, choice_, err, output_);
  if (chosen == nullptr) return kExitUsage;
  if (chosen->group == "GPRS") {
    WriteMessage(err, "GPRS commands are answered in their own form; decode does not read it.", output_);
    return kExitUsage;
  }

  CommandRecord command = *chosen;
  const int expected = ExpectedLength(command, extended_);
  const int received = static_cast<int>(bytes.size());
  if (command.declaredReturnSize >= 0 ? received != expected : received < expected) {
    WriteMessage(err,
                 "warning: the reply holds " + std::to_string(received) + " bytes; this command's " +
                     (command.declaredReturnSize >= 0 ? "reply has " : "reply has at least ") +
                     std::to_string(expected) + ".",
                 output_);
  }
  command.replyData = std::move(bytes);
  FormatReturn(command, settings);
  if (output_.report) {
    output_.report->body["expected_reply_length"] = expected;
    output_.report->body["open_length"] = command.declaredReturnSize < 0;
    output_.report->body["record"] = RecordJson(command, extended_);
  }
  WriteText(out, command.ResultText, output_);
  return kExitOk;
}

}  // namespace tervane::cli
