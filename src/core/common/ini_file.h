// INI text: "[section]" and "name=value" lines, blank lines and comment lines starting
// with ';' or '#'. One reader of the lines for every INI file the programs keep (the
// application profile, the component registry), the lookup the profile's readers share,
// and the writer of profile values.
//
// Section and key names are kept as the Qt settings class writes them, so that the
// workbench's own QSettings and these functions can share one file: a byte other than a
// letter, a digit, '_', '-' or '.' is written "%XX" ("Scanner Port" is "Scanner%20Port")
// and a '/' is written '\'. A value holding a blank at either end, '"', '\', ';', ',' or
// '=' is written in double quotes with '"' and '\' escaped by '\'.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tervane {

enum class IniLineKind {
  kBlank,    // nothing but blanks
  kComment,  // starts with ';' or '#'
  kSection,  // starts with '['
  kValue,    // holds '='
  kOther,    // any other text
};

struct IniLine {
  IniLineKind kind = IniLineKind::kBlank;
  int number = 0;         // 1 for the first line
  std::string_view text;  // the line without its line end and the blanks around it
  // kSection: the text between '[' and the first ']' without blanks around it (all of the
  // text after '[' when there is no ']'). kValue: the text before the first '=' without
  // blanks around it.
  std::string_view name;
  bool closed = false;     // kSection: the line holds a ']'
  std::string_view value;  // kValue: the text after the first '=' without blanks around it
};

// Splits INI text into lines. A line ends at LF, a CR before it is dropped; blanks are
// spaces and tabs.
class IniLineReader {
 public:
  explicit IniLineReader(std::string_view text) : rest_(text) {}
  // The next line; false when the text is used up.
  bool Next(IniLine& line);

 private:
  std::string_view rest_;
  int number_ = 0;
};

// A section or key name as written in the file (see above), and back.
std::string IniEscapedName(std::string_view name);
std::string IniUnescapedName(std::string_view name);

// A value as written in the file (see above), and back: a value in double quotes loses
// them and its '\' escapes; any other is taken as it stands.
std::string IniQuotedValue(std::string_view value);
std::string IniUnquotedValue(std::string_view text);

// The first value of `key` in any section `section` of INI text. Names compare after
// IniUnescapedName and without regard to case. Returns false (value untouched) when
// there is none.
bool FindIniValue(std::string_view text, std::string_view section, std::string_view key,
                  std::string* value);

// FindIniValue on the file at `path`; false (value untouched) also when the file cannot
// be read.
bool ReadIniValue(const std::string& path, std::string_view section, std::string_view key,
                  std::string* value);

// INI text with `values` set in section `section` (compared as FindIniValue does): a key
// already there takes its new value in place and loses any later repetition, a missing
// one is added at the end of the first such section, and a missing section is added at
// the end of the text. Every other line is kept as it was.
std::string WithIniValues(std::string_view text, std::string_view section,
                          const std::vector<std::pair<std::string, std::string>>& values);

// WithIniValues on the file at `path` (a missing file counts as empty, and its folder is
// made), saved atomically. Returns false with `error` (when given) set when the file cannot be read
// or saved; the file is then unchanged.
bool WriteIniValues(const std::string& path, std::string_view section,
                    const std::vector<std::pair<std::string, std::string>>& values,
                    std::string* error = nullptr);

}  // namespace tervane
