#include "cli/cli_support.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <ostream>
#include <system_error>

#include "core/common/string_table.h"
#include "core/common/charset.h"
#include "core/common/text.h"

namespace tervane::cli {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool EndsWithLineEnd(std::string_view text) {
  return !text.empty() && (text.back() == '\n' || text.back() == '\r');
}

}  // namespace

std::optional<std::uint32_t> ParseNumber(std::string_view text, std::uint32_t max) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    const int d = HexDigit(c);
    if (d < 0 || d >= base) return std::nullopt;
    value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    if (value > max) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

bool ParseHexBytes(std::string_view text, std::vector<std::uint8_t>& bytes, std::string& error) {
  bytes.clear();
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == '\t' || text[i] == ',' || text[i] == '\n' || text[i] == '\r') {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t' && text[end] != ',' &&
           text[end] != '\n' && text[end] != '\r') {
      ++end;
    }
    std::string_view token = text.substr(i, end - i);
    const std::string_view written = token;
    i = end;
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) token.remove_prefix(2);
    bool digitsOk = !token.empty();
    for (char c : token) digitsOk = digitsOk && HexDigit(c) >= 0;
    if (!digitsOk) {
      error = "\"" + std::string(written) + "\" is not a hexadecimal byte";
      return false;
    }
    if (token.size() == 1) {
      bytes.push_back(static_cast<std::uint8_t>(HexDigit(token[0])));
      continue;
    }
    if (token.size() % 2 != 0) {
      error = "\"" + std::string(written) + "\" has an odd number of hexadecimal digits";
      return false;
    }
    for (size_t k = 0; k < token.size(); k += 2) {
      bytes.push_back(static_cast<std::uint8_t>(HexDigit(token[k]) * 16 + HexDigit(token[k + 1])));
    }
  }
  return true;
}

std::string HexLine(const std::uint8_t* bytes, size_t count) {
  std::string line;
  line.reserve(count * 3);
  for (size_t k = 0; k < count; ++k) {
    if (k > 0) line += ' ';
    line += HexByte(bytes[k]);
  }
  return line;
}

std::string ForTerminal(std::string_view coreText, const OutputOptions& options) {
  if (options.raw) return std::string(coreText);
  std::string lines;
  lines.reserve(coreText.size());
  for (size_t k = 0; k < coreText.size(); ++k) {
    if (coreText[k] == '\r') {
      lines += '\n';
      if (k + 1 < coreText.size() && coreText[k + 1] == '\n') ++k;
    } else {
      lines += coreText[k];
    }
  }
  return Cp1252ToUtf8(lines);
}

void WriteText(std::ostream& stream, std::string_view coreText, const OutputOptions& options) {
  stream << ForTerminal(coreText, options);
  if (!EndsWithLineEnd(coreText)) stream << (options.raw ? "\r\n" : "\n");
}

void WriteMessage(std::ostream& stream, std::string_view utf8Message, const OutputOptions& options) {
  if (options.raw) {
    stream << Utf8ToCp1252Lossy(utf8Message) << "\r\n";
  } else {
    stream << utf8Message << '\n';
  }
}

std::string ResolveWorkDir(const std::string& workdir) {
  if (!workdir.empty()) return workdir;
  std::error_code ec;
  const auto current = std::filesystem::current_path(ec);
  return ec ? std::string(".") : current.string();
}

bool LoadCatalogueOrReport(const ProgramSettings& settings, CommandCatalogue& catalogue,
                           std::ostream& err, const OutputOptions& options) {
  CatalogueLoadResult result;
  if (LoadCatalogue(settings.g_workDir, catalogue, &result) == 0) return true;
  WriteText(err, LoadString(str::kCatalogoNaoCarregado), options);
  if (!result.description.empty()) WriteText(err, result.description, options);
  return false;
}

const CommandRecord* FindCommand(const CommandCatalogue& catalogue, const CommandChoice& choice,
                                 std::ostream& err, const OutputOptions& options) {
  const bool byTitle = choice.titleOption != nullptr && choice.titleOption->count() > 0;
  const bool byIndex = choice.indexOption != nullptr && choice.indexOption->count() > 0;
  if (byTitle == byIndex) {
    WriteMessage(err, "Name the command with either --title or --index.", options);
    return nullptr;
  }
  if (byIndex) {
    const auto index = ParseNumber(choice.index);
    if (!index || *index >= static_cast<std::uint32_t>(catalogue.count())) {
      WriteMessage(err,
                   "No command with index " + choice.index + "; the catalogue holds " +
                       std::to_string(catalogue.count()) + " commands, numbered from 0.",
                   options);
      return nullptr;
    }
    return &catalogue.commands[*index];
  }
  std::string title;
  if (Utf8ToCp1252(choice.title, title)) {
    for (const auto& command : catalogue.commands) {
      if (command.title == title) return &command;
    }
  }
  WriteMessage(err, "No command titled \"" + choice.title + "\".", options);
  return nullptr;
}

void AddCommandChoice(CLI::App& sub, CommandChoice& choice) {
  choice.titleOption = sub.add_option("--title", choice.title,
                                      "The command with this title (the first one when several share it)")
                           ->type_name("TITLE");
  choice.indexOption = sub.add_option("--index", choice.index,
                                      "The command at this catalogue index (0-based, as `catalogue` lists "
                                      "it; decimal or 0x hex)")
                           ->type_name("INDEX");
  choice.titleOption->excludes(choice.indexOption);
}

bool ApplyParameterValues(CommandRecord& command, const std::vector<std::string>& assignments,
                          std::ostream& err, const OutputOptions& options) {
  for (const std::string& assignment : assignments) {
    const size_t equals = assignment.find('=');
    const auto number = equals == std::string::npos
                            ? std::nullopt
                            : ParseNumber(std::string_view(assignment).substr(0, equals));
    if (!number || *number < 1 || *number > static_cast<std::uint32_t>(command.parameterCount())) {
      WriteMessage(err,
                   "--set \"" + assignment + "\": expected N=VALUE with N from 1 to " +
                       std::to_string(command.parameterCount()) + " (the command's parameters).",
                   options);
      return false;
    }
    const std::string_view utf8 = std::string_view(assignment).substr(equals + 1);
    std::string value;
    size_t badOffset = 0;
    if (!Utf8ToCp1252(utf8, value, &badOffset)) {
      WriteMessage(err,
                   "--set " + std::to_string(*number) + ": the value holds a character that " +
                       "Windows-1252 cannot hold (or is not UTF-8) at byte " + std::to_string(badOffset) + ".",
                   options);
      return false;
    }
    command.parameters[*number - 1].value = value;
  }
  return true;
}

}  // namespace tervane::cli
