#include "cli/status_command.h"

#include <CLI/CLI.hpp>

#include <array>
#include <optional>
#include <utility>
#include <ostream>

#include "cli/cli_support.h"
#include "cli/json_output.h"
#include "core/interpret/status_text.h"

namespace tervane::cli {

CLI::App* StatusCommand::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand(
      "status",
      "Print the messages of the status bytes ST1 ST2 and, with LOW HIGH, of the extended error "
      "code HIGH * 256 + LOW, one message per line. \"status 0 0\" prints COMANDO OK.");
  sub->add_option("bytes", bytes_, "ST1 ST2 [LOW HIGH]: bytes 0-255, decimal or 0x hex")
      ->type_name("BYTE")
      ->required()
      ->expected(2, 4);
  sub->footer(std::string(kRawOptionNote) +
              "\nExit status: 0 printed; 1 bad arguments (not 2 or 4 bytes, or a byte outside 0-255).\n" +
              kJsonOptionNote);
  return sub;
}

int StatusCommand::execute(std::ostream& out, std::ostream& err) {
  if (bytes_.size() != 2 && bytes_.size() != 4) {
    WriteMessage(err, "status takes ST1 ST2, or ST1 ST2 LOW HIGH.", output_);
    return kExitUsage;
  }
  std::array<int, 4> values{};
  for (size_t k = 0; k < bytes_.size(); ++k) {
    const auto value = ParseNumber(bytes_[k], 255);
    if (!value) {
      WriteMessage(err, "\"" + bytes_[k] + "\" is not a byte (0-255, decimal or 0x hex).", output_);
      return kExitUsage;
    }
    values[k] = static_cast<int>(*value);
  }
  // The same composition as the status block of a reply: the status lines, then the
  // extended code's line. Every message is led by a line break; the first one is dropped
  // so that the output starts with a message.
  std::string text = StatusText(values[0], values[1]);
  if (bytes_.size() == 4) text += ExtendedErrorText(values[2], values[3]);
  if (text.starts_with("\r\n")) text.erase(0, 2);
  WriteText(out, text, output_);
  if (output_.report) {
    std::optional<std::pair<int, int>> extended;
    if (bytes_.size() == 4) extended = std::make_pair(values[2], values[3]);
    output_.report->body["status"] = StatusJson(values[0], values[1], extended);
  }
  return kExitOk;
}

}  // namespace tervane::cli
