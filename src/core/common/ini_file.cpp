#include "core/common/ini_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "core/common/atomic_file.h"
#include "core/common/text.h"

namespace tervane {
namespace {

std::string_view IniTrimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool IsPlainNameByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.';
}

bool SameName(std::string_view written, std::string_view wanted) {
  return ToLowerAscii(IniUnescapedName(written)) == ToLowerAscii(std::string(wanted));
}

bool NeedsQuotes(std::string_view value) {
  if (value.empty()) return false;
  if (value.front() == ' ' || value.front() == '\t' || value.back() == ' ' || value.back() == '\t')
    return true;
  return value.find_first_of("\"\\;,=") != std::string_view::npos;
}

}  // namespace

bool IniLineReader::Next(IniLine& line) {
  if (rest_.empty()) return false;
  const size_t end = rest_.find('\n');
  std::string_view text = rest_.substr(0, end);
  rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  line = IniLine{};
  line.number = ++number_;
  line.text = IniTrimmed(text);
  if (line.text.empty()) return true;
  if (line.text.front() == ';' || line.text.front() == '#') {
    line.kind = IniLineKind::kComment;
  } else if (line.text.front() == '[') {
    line.kind = IniLineKind::kSection;
    const size_t close = line.text.find(']');
    line.closed = close != std::string_view::npos;
    line.name = IniTrimmed(line.text.substr(1, line.closed ? close - 1 : std::string_view::npos));
  } else if (const size_t equals = line.text.find('='); equals != std::string_view::npos) {
    line.kind = IniLineKind::kValue;
    line.name = IniTrimmed(line.text.substr(0, equals));
    line.value = IniTrimmed(line.text.substr(equals + 1));
  } else {
    line.kind = IniLineKind::kOther;
  }
  return true;
}

std::string IniEscapedName(std::string_view name) {
  std::string out;
  for (unsigned char c : name) {
    if (c == '/') {
      out += '\\';
    } else if (IsPlainNameByte(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += HexByte(c);
    }
  }
  return out;
}

std::string IniUnescapedName(std::string_view name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (c == '\\') {
      out += '/';
      continue;
    }
    if (c == '%' && i + 2 < name.size() && HexDigitValue(name[i + 1]) >= 0 && HexDigitValue(name[i + 2]) >= 0) {
      out += static_cast<char>(HexDigitValue(name[i + 1]) * 16 + HexDigitValue(name[i + 2]));
      i += 2;
      continue;
    }
    // "%Uhhhh", a character beyond one byte: the bytes of a Latin-1 one, else as written.
    if (c == '%' && i + 5 < name.size() && name[i + 1] == 'U') {
      int code = 0;
      bool hex = true;
      for (size_t k = i + 2; k < i + 6; ++k) {
        hex = hex && HexDigitValue(name[k]) >= 0;
        if (hex) code = code * 16 + HexDigitValue(name[k]);
      }
      if (hex && code <= 0xFF) {
        out += static_cast<char>(code);
        i += 5;
        continue;
      }
    }
    out += c;
  }
  return out;
}

std::string IniQuotedValue(std::string_view value) {
  if (!NeedsQuotes(value)) return std::string(value);
  std::string out = "\"";
  for (char c : value) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + '"';
}

std::string IniUnquotedValue(std::string_view text) {
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') return std::string(text);
  text = text.substr(1, text.size() - 2);
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

bool FindIniValue(std::string_view text, std::string_view section, std::string_view key,
                  std::string* value) {
  IniLineReader reader(text);
  IniLine line;
  bool inSection = false;
  while (reader.Next(line)) {
    if (line.kind == IniLineKind::kSection) {
      inSection = line.closed && SameName(line.name, section);
    } else if (inSection && line.kind == IniLineKind::kValue && SameName(line.name, key)) {
      *value = IniUnquotedValue(line.value);
      return true;
    }
  }
  return false;
}

bool ReadIniValue(const std::string& path, std::string_view section, std::string_view key,
                  std::string* value) {
  std::string text;
  return ReadWholeFile(path, text) && FindIniValue(text, section, key, value);
}

std::string WithIniValues(std::string_view text, std::string_view section,
                          const std::vector<std::pair<std::string, std::string>>& values) {
  std::vector<bool> written(values.size(), false);
  auto lineFor = [&](size_t i) {
    written[i] = true;
    return IniEscapedName(values[i].first) + '=' + IniQuotedValue(values[i].second) + '\n';
  };
  auto missing = [&] {
    std::string lines;
    for (size_t i = 0; i < values.size(); ++i)
      if (!written[i]) lines += lineFor(i);
    return lines;
  };
  std::string out;
  std::string blanks;  // blank lines held back, so that added keys go before them
  bool inSection = false;
  bool seen = false;
  IniLineReader reader(text);
  IniLine line;
  std::string_view rest = text;
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    std::string raw(rest.substr(0, end == std::string_view::npos ? rest.size() : end + 1));
    rest.remove_prefix(raw.size());
    if (raw.back() != '\n') raw += '\n';
    reader.Next(line);
    if (line.kind == IniLineKind::kBlank) {
      blanks += raw;
      continue;
    }
    if (line.kind == IniLineKind::kSection) {
      if (inSection) out += missing();
      inSection = line.closed && SameName(line.name, section);
      seen = seen || inSection;
    } else if (inSection && line.kind == IniLineKind::kValue) {
      size_t match = values.size();
      for (size_t i = 0; i < values.size() && match == values.size(); ++i)
        if (SameName(line.name, values[i].first)) match = i;
      if (match < values.size()) {
        out += blanks;
        blanks.clear();
        if (!written[match]) out += lineFor(match);  // a repeated key is dropped
        continue;
      }
    }
    out += blanks;
    blanks.clear();
    out += raw;
  }
  if (inSection) out += missing();
  if (!seen) {
    if (!out.empty()) out += '\n';
    out += '[' + IniEscapedName(section) + "]\n" + missing();
  }
  return out + blanks;
}

bool WriteIniValues(const std::string& path, std::string_view section,
                    const std::vector<std::pair<std::string, std::string>>& values, std::string* error) {
  std::string text;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 || errno != ENOENT) {
    if (!ReadWholeFile(path, text, error)) return false;
  } else if (const std::filesystem::path folder = std::filesystem::path(path).parent_path(); !folder.empty()) {
    std::error_code code;
    std::filesystem::create_directories(folder, code);
    if (code) {
      if (error) *error = "cannot create " + folder.string() + ": " + code.message();
      return false;
    }
  }
  return SaveFileAtomically(path, WithIniValues(text, section, values), error);
}

}  // namespace tervane
