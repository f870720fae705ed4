// The INI module: the lines every INI reader shares, the profile lookup, names as Qt's
// settings class writes them, and values written into a section with the rest kept.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/common/ini_file.h"

namespace tervane {
namespace {

std::string Found(std::string_view text, std::string_view section, std::string_view key) {
  std::string value = "<none>";
  FindIniValue(text, section, key, &value);
  return value;
}

TEST(IniFile, LinesAreClassifiedWithTheirBlanksTrimmed) {
  IniLineReader reader("  [ports ] x\r\n; note\n\t# other\nCOM1 = /dev/ttyS0 \r\n\nstray\n[open");
  std::vector<IniLine> lines;
  for (IniLine line; reader.Next(line);) lines.push_back(line);
  std::vector<IniLineKind> kinds;
  for (const IniLine& line : lines) kinds.push_back(line.kind);
  EXPECT_EQ(kinds, (std::vector<IniLineKind>{IniLineKind::kSection, IniLineKind::kComment,
                                             IniLineKind::kComment, IniLineKind::kValue,
                                             IniLineKind::kBlank, IniLineKind::kOther,
                                             IniLineKind::kSection}));
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0].name, "ports");
  EXPECT_TRUE(lines[0].closed);
  EXPECT_EQ(lines[0].text, "[ports ] x");
  EXPECT_EQ(lines[3].name, "COM1");
  EXPECT_EQ(lines[3].value, "/dev/ttyS0");
  EXPECT_EQ(lines[3].number, 4);
  EXPECT_FALSE(lines[6].closed);
  EXPECT_EQ(lines[6].name, "open");
}

TEST(IniFile, LookupIgnoresCaseAndQtEscapesAndTakesTheFirstValue) {
  const std::string text =
      "COM1=outside\n[Ports]\ncom1 = \"/dev/ttyUSB0\"\nCOM1=/dev/later\n"
      "[Scanner%20Port]\nPort%20name=COM2:\nQuoted=\"a \\\"b\\\" \\\\c\"\n[broken\nCOM2=x\n";
  EXPECT_EQ(Found(text, "ports", "COM1"), "/dev/ttyUSB0");
  EXPECT_EQ(Found(text, "Scanner Port", "Port name"), "COM2:");
  EXPECT_EQ(Found(text, "scanner port", "quoted"), "a \"b\" \\c");
  EXPECT_EQ(Found(text, "ports", "COM2"), "<none>");  // after a header without ']'
  EXPECT_EQ(Found(text, "other", "COM1"), "<none>");
}

TEST(IniFile, NamesAndValuesReadBackAsWritten) {
  EXPECT_EQ(IniEscapedName("Scanner Port"), "Scanner%20Port");
  EXPECT_EQ(IniEscapedName("a/b_c-d.e%"), "a\\b_c-d.e%25");
  EXPECT_EQ(IniUnescapedName("a\\b%20c%U00e7%U4e2d%2"), "a/b c\xE7%U4e2d%2");
  for (const std::string value : {"", "COM1:", " padded ", "a;b,c=d", "q\"uo\\te"}) {
    EXPECT_EQ(IniUnquotedValue(IniQuotedValue(value)), value);
  }
  EXPECT_EQ(IniQuotedValue("/dev/ttyS0"), "/dev/ttyS0");
}

TEST(IniFile, ValuesAreSetInPlaceAndEverythingElseIsKept) {
  const std::string text =
      "; profile\n[Settings]\nX=5\n\n[Scanner%20Port]\nParity=2\nPort%20name=COM1:\nOther=kept\n\n"
      "[ports]\nCOM1=/dev/ttyS0\n[scanner port]\nparity=1\n";
  const std::string out =
      WithIniValues(text, "Scanner Port", {{"Port name", "a;b"}, {"Parity", "0"}, {"Baud rate", "3"}});
  EXPECT_EQ(out,
            "; profile\n[Settings]\nX=5\n\n[Scanner%20Port]\nParity=0\nPort%20name=\"a;b\"\nOther=kept\n"
            "Baud%20rate=3\n\n[ports]\nCOM1=/dev/ttyS0\n[scanner port]\n");
  EXPECT_EQ(Found(out, "Scanner Port", "Port name"), "a;b");

  EXPECT_EQ(WithIniValues("", "Scanner Port", {{"Parity", "1"}}), "[Scanner%20Port]\nParity=1\n");
  EXPECT_EQ(WithIniValues("[a]\nk=v", "b", {{"k", "w"}}), "[a]\nk=v\n\n[b]\nk=w\n");
}

}  // namespace
}  // namespace tervane
