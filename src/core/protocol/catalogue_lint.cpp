#include "core/protocol/catalogue_lint.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <sstream>
#include <utility>

#include "core/common/charset.h"
#include "core/common/clock.h"
#include "core/protocol/frame_builder.h"

namespace tervane {
namespace {

// The line of each `cmd` element's start tag, in document order; comments are skipped.
std::vector<int> CommandLines(std::string_view bytes) {
  std::vector<int> lines;
  int line = 1;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\n') {
      ++line;
      continue;
    }
    if (c != '<') continue;
    if (bytes.compare(i, 4, "<!--") == 0) {
      const size_t end = bytes.find("-->", i + 4);
      const size_t stop = end == std::string_view::npos ? bytes.size() : end + 3;
      line += static_cast<int>(std::count(bytes.begin() + static_cast<long>(i), bytes.begin() + static_cast<long>(stop), '\n'));
      i = stop - 1;
      continue;
    }
    if (bytes.compare(i, 4, "<cmd") == 0 && i + 4 < bytes.size()) {
      const char next = bytes[i + 4];
      if (next == '>' || next == '/' || std::isspace(static_cast<unsigned char>(next))) lines.push_back(line);
    }
  }
  return lines;
}

bool IsHexKind(const std::string& kind) {
  return kind == "DIG_HEX" || kind == "DIG_HEX_NOT_EDITABLE" || kind == "CAR_GRAF_AUTENTICACAO";
}

// What is wrong with an escape text as a list of byte numbers, or nothing.
std::vector<std::string> EscapeFindings(const std::string& text) {
  std::vector<std::string> found;
  if (!text.empty() && (text.front() == ' ' || text.back() == ' ' || std::isspace(static_cast<unsigned char>(text.back())))) {
    found.push_back(Cp("o escape \"") + text + Cp("\" tem espaço no início ou no fim (vira um byte 00h a mais)"));
  }
  if (text.find("  ") != std::string::npos) {
    found.push_back(Cp("o escape \"") + text + Cp("\" tem dois espaços seguidos (vira um byte 00h a mais)"));
  }
  std::istringstream tokens(text);
  std::string token;
  while (tokens >> token) {
    const bool digits = std::all_of(token.begin(), token.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || token.size() > 3 || std::stoi(token) > 255) {
      found.push_back(Cp("o escape tem \"") + token + Cp("\", que não é um número de byte de 0 a 255"));
    }
  }
  return found;
}

// A hexadecimal value: upper-case digits only, in pairs.
std::string HexValueFinding(const ParameterRecord& parameter, int index) {
  const std::string& value = parameter.value;
  for (char c : value) {
    if (c >= 'a' && c <= 'f') {
      return Cp("o valor do parâmetro ") + std::to_string(index) + " (" + parameter.title +
             Cp(") tem letras minúsculas; os dígitos hexadecimais aqui são 0-9 e A-F");
    }
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
      return Cp("o valor do parâmetro ") + std::to_string(index) + " (" + parameter.title + Cp(") tem \"") +
             std::string(1, c) + Cp("\", que não é um dígito hexadecimal");
    }
  }
  return {};
}

// Whether the parameter's default value can be encoded by its kind and size: framed alone
// in a copy of the command, as a mandatory one (an optional value of the wrong size would
// silently be left out of the frame).
bool ValueFits(const CommandRecord& command, const ParameterRecord& parameter) {
  static const ProgramSettings kSettings;
  CommandRecord trial = command;
  trial.parameters = {parameter};
  trial.parameters[0].mandatory = true;
  trial.ResultText.clear();
  return AssembleFrame(trial, kSettings, SystemClock()) != kWrongSize;
}

}  // namespace

std::vector<CatalogueFinding> LintCatalogue(std::string_view bytes, const CommandCatalogue& catalogue) {
  const std::vector<int> lines = CommandLines(bytes);
  std::vector<CatalogueFinding> findings;
  // Titles are told apart within their menu: the same title in two groups is two menu
  // entries a person can tell apart, the same title twice in one group is not.
  std::map<std::pair<std::string, std::string>, int> firstLine;
  for (size_t i = 0; i < catalogue.commands.size(); ++i) {
    const CommandRecord& command = catalogue.commands[i];
    const int line = i < lines.size() ? lines[i] : 0;
    auto add = [&](std::string message) { findings.push_back({line, command.title, std::move(message)}); };

    if (command.hasEscape) {
      for (std::string& message : EscapeFindings(command.escapeText)) add(std::move(message));
      if (!command.escapeError.empty()) add(Cp("o escape seria recusado no envio: ") + command.escapeError);
    }
    for (size_t p = 0; p < command.parameters.size(); ++p) {
      const ParameterRecord& parameter = command.parameters[p];
      const int index = static_cast<int>(p) + 1;
      if (IsHexKind(parameter.kind) && !parameter.value.empty()) {
        if (std::string message = HexValueFinding(parameter, index); !message.empty()) add(std::move(message));
      }
      if (!parameter.value.empty() && !ValueFits(command, parameter)) {
        add(Cp("o valor \"") + parameter.value + Cp("\" do parâmetro ") + std::to_string(index) + " (" +
            parameter.title + Cp(") não cabe no formato ") + parameter.kind + " de tamanho " +
            std::to_string(parameter.size));
      }
    }
    if (auto [it, inserted] = firstLine.try_emplace(std::make_pair(command.group, command.title), line); !inserted) {
      add(Cp("título repetido no grupo ") + command.group + Cp(" (também na linha ") + std::to_string(it->second) + ")");
    }
  }
  return findings;
}

int LintCatalogueFile(const std::string& directory, std::vector<CatalogueFinding>& findings,
                      CatalogueLoadResult* result) {
  findings.clear();
  const std::string path = (directory.empty() ? std::string(".") : directory) + "/comandos.xml";
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  CommandCatalogue catalogue;
  if (!in.good() && !in.eof()) return -1;
  if (LoadCatalogueBytes(bytes, catalogue, result) != 0) return -1;
  findings = LintCatalogue(bytes, catalogue);
  return 0;
}

std::string FindingText(const CatalogueFinding& finding) {
  return Cp("linha ") + std::to_string(finding.line) + ": " + finding.title + ": " + finding.message;
}

}  // namespace tervane
