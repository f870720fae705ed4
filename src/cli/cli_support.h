// Helpers shared by the tervane-cli commands: reading numbers and byte lists from the
// command line, loading the catalogue and picking a command from it, and writing core
// texts (Windows-1252, CR LF) to the terminal.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/settings.h"
#include "core/catalogue/catalogue.h"
#include "cli/cli_command.h"

namespace CLI {
class Option;
}

namespace tervane::cli {

// Help line of the program-wide --raw option, shown under every command.
inline constexpr const char* kRawOptionNote =
    "--raw (before or after the command name) writes texts as the core holds them: "
    "Windows-1252 bytes with CR LF line ends, instead of UTF-8 with LF.";

// Help line of the program-wide --json option, shown under the commands that offer it.
inline constexpr const char* kJsonOptionNote =
    "--json (before or after the command name) writes one JSON document to standard output instead "
    "of the text: exit status, result code, texts, fields with titles and values, bytes in hex "
    "(described in docs/json/); messages still go to standard error.";

// Reads a non-negative number written in decimal or as 0x-prefixed hexadecimal.
// Returns nothing when the text is empty, holds anything else, or passes `max`.
std::optional<std::uint32_t> ParseNumber(std::string_view text, std::uint32_t max = 0xFFFFFFFFu);

// Reads reply bytes written as hexadecimal: tokens separated by blanks or commas, each
// one or two digits ("6", "06", "0x06") or an even run of digits ("063112"). Returns
// false and says why in `error` when a token is not hexadecimal.
bool ParseHexBytes(std::string_view text, std::vector<std::uint8_t>& bytes, std::string& error);

// Upper-case hexadecimal bytes separated by single spaces ("02 05 00").
std::string HexLine(const std::uint8_t* bytes, size_t count);

// Core text (Windows-1252, CR LF) as it is to be written: unchanged in raw mode, else
// converted to UTF-8 with LF line ends (a lone CR also becomes LF).
std::string ForTerminal(std::string_view coreText, const OutputOptions& options);

// Writes core text, then a line end when the text does not already end with one.
void WriteText(std::ostream& stream, std::string_view coreText, const OutputOptions& options);

// Writes one of the program's own messages (UTF-8 in the source) as a line.
void WriteMessage(std::ostream& stream, std::string_view utf8Message, const OutputOptions& options);

// The working directory to use: `workdir` when given, else the current directory.
std::string ResolveWorkDir(const std::string& workdir);

// Loads the catalogue of settings.g_workDir. On failure writes the message the workbench
// shows (string 32784) and what was wrong to `err`, and returns false.
bool LoadCatalogueOrReport(const ProgramSettings& settings, CommandCatalogue& catalogue,
                           std::ostream& err, const OutputOptions& options);

// How a command was named on the command line: by title or by index.
struct CommandChoice {
  std::string title;  // UTF-8
  std::string index;  // number text, 0-based catalogue index
  CLI::Option* titleOption = nullptr;
  CLI::Option* indexOption = nullptr;
};

// Picks the command named by `choice`: the first with that title, or the one at that
// index. Returns nothing and writes why to `err` when there is none.
const CommandRecord* FindCommand(const CommandCatalogue& catalogue, const CommandChoice& choice,
                                 std::ostream& err, const OutputOptions& options);

// Declares --title and --index (mutually exclusive, one required) on `sub`.
void AddCommandChoice(CLI::App& sub, CommandChoice& choice);

// Help text of --set, shared by the commands that take parameter values.
inline constexpr const char* kSetOptionHelp =
    "N=VALUE: value of parameter N (1-based, decimal or 0x hex); VALUE is UTF-8 and must be "
    "representable in Windows-1252. Repeatable.";

// Applies "N=VALUE" assignments to the command's parameters (VALUE converted from UTF-8
// to Windows-1252). Returns false, after writing why to `err`, on the first assignment
// that names no parameter or holds a character Windows-1252 cannot hold; earlier ones
// stay applied.
bool ApplyParameterValues(CommandRecord& command, const std::vector<std::string>& assignments,
                          std::ostream& err, const OutputOptions& options);

}  // namespace tervane::cli
