// The fiscal-memory report: ranges by CRZ and by date, normal and simplified, the
// period's totals, and the status of unusable inputs and arguments.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "vendor/reports/mf_report.h"
#include "vendor/reports/sample_memories.h"
#include "vendor/reports/vendor_test_files.h"

namespace tervane {
namespace {

using namespace vendortest;

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The report line that starts with `label`, or empty.
std::string LineOf(const std::string& text, const std::string& label) {
  const size_t at = text.find("\r\n" + label);
  if (at == std::string::npos) return {};
  return text.substr(at + 2, text.find("\r\n", at + 2) - at - 2);
}

// A label and a value at the right edge of the 48 columns.
std::string Row(const std::string& label, const std::string& value) {
  return label + std::string(48 - label.size() - value.size(), ' ') + value;
}

class MfReport : public ::testing::Test {
 protected:
  void SetUp() override { WriteBytes(mf_, vendor::MfFileBytes(SampleMf())); }

  int Report(const char* kind, const char* start, const char* end,
             const std::string& mf = std::string()) {
    return entry_((mf.empty() ? mf_ : mf).c_str(), txt_.c_str(), kind, start, end);
  }

  ScratchFolder folder_;
  const std::string mf_ = folder_ / "memory.mf";
  const std::string txt_ = folder_ / "report.txt";
  KeloLibrary library_;
  int (*entry_)(const char*, const char*, const char*, const char*, const char*) =
      library_.Entry<int(const char*, const char*, const char*, const char*, const char*)>(
          "KeloRelatorioMFTxt");
};

TEST_F(MfReport, NormalReportByCrzListsEachDayAndThePeriodTotals) {
  ASSERT_EQ(Report("C", "000002", "000004"), 0);
  const std::string text = ReadBytes(txt_);
  EXPECT_EQ(Count(text, "    COO:0000"), 3);
  EXPECT_NE(text.find("CRZ:000002    COO:000020    CRO:000001"), std::string::npos);
  EXPECT_EQ(text.find("CRZ:000001 "), std::string::npos);
  EXPECT_NE(text.find("INTERVALO POR CRZ: 000002 A 000004"), std::string::npos);
  // The change of user between CRZ 3 and 4 is among the listed days.
  EXPECT_NE(text.find(Cp("ALTERAÇÃO DE USUÁRIO: 002")), std::string::npos);
  // Period: gross 2.500,50 + 1.234.567,89 + 50,00; grand total before the period 1.000,00.
  EXPECT_EQ(LineOf(text, "GT INICIAL"), Row("GT INICIAL", "1.000,00"));
  EXPECT_EQ(LineOf(text, "GT FINAL"), Row("GT FINAL", "1.238.118,39"));
  EXPECT_EQ(Count(text, Row("VENDA BRUTA", "1.237.118,39")), 1);
  EXPECT_EQ(LineOf(text, Cp("REDUÇÕES NO PERÍODO")), Row(Cp("REDUÇÕES NO PERÍODO"), "3"));
  EXPECT_EQ(Count(text, Row("ISS  05,00%", "1,25")), 3);  // each day
  EXPECT_EQ(Count(text, Row("ISS  05,00%", "3,75")), 1);  // the period
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    EXPECT_LE(end - start, 48u) << text.substr(start, end - start);
}

TEST_F(MfReport, DateRangesUseTheDayOfMovementAndSimplifiedGivesOnlyTotals) {
  ASSERT_EQ(Report("D", "021226", "051226"), 0);
  std::string text = ReadBytes(txt_);
  EXPECT_EQ(Count(text, "MOVIMENTO: "), 3);  // 2, 4 and 5 December
  EXPECT_NE(text.find("INTERVALO POR DATA: 02/12/2026 A 05/12/2026"), std::string::npos);

  ASSERT_EQ(Report("d", "021226", "051226"), 0);
  text = ReadBytes(txt_);
  EXPECT_NE(text.find("SIMPLIFICADA"), std::string::npos);
  EXPECT_EQ(Count(text, "MOVIMENTO: "), 0);
  EXPECT_NE(text.find("CRZ INICIAL: 000002   CRZ FINAL: 000004"), std::string::npos);
  EXPECT_EQ(LineOf(text, "VENDA BRUTA"), Row("VENDA BRUTA", "1.237.118,39"));

  ASSERT_EQ(Report("c", "1", "999999"), 0);
  EXPECT_EQ(LineOf(ReadBytes(txt_), Cp("REDUÇÕES NO PERÍODO")), Row(Cp("REDUÇÕES NO PERÍODO"), "5"));
}

TEST_F(MfReport, UnusableArgumentsAndFilesGiveTheirStatusAndWriteNothing) {
  EXPECT_EQ(Report("X", "000001", "000002"), 7);
  EXPECT_EQ(Report("C", "", "000002"), 7);
  EXPECT_EQ(Report("C", "12a", "000002"), 7);
  EXPECT_EQ(Report("C", "1234567", "000002"), 7);
  EXPECT_EQ(Report("D", "310226", "010326"), 7);  // 31 February
  EXPECT_EQ(entry_(mf_.c_str(), txt_.c_str(), nullptr, nullptr, nullptr), 7);
  EXPECT_EQ(Report("C", "000006", "000009"), 6);  // no reduction there
  EXPECT_EQ(Report("C", "000004", "000002"), 6);  // reversed

  vendor::MfContents noSerial = SampleMf();
  noSerial.header.serial.clear();
  WriteBytes(folder_ / "noserial.mf", vendor::MfFileBytes(noSerial));
  EXPECT_EQ(Report("C", "1", "5", folder_ / "noserial.mf"), 2);
  const std::string whole = vendor::MfFileBytes(SampleMf());
  WriteBytes(folder_ / "cut.mf", whole.substr(0, whole.size() - 10));
  EXPECT_EQ(Report("C", "1", "5", folder_ / "cut.mf"), 6);
  std::string flipped = whole;
  flipped[whole.size() / 2] ^= 0x10;
  WriteBytes(folder_ / "flipped.mf", flipped);
  EXPECT_EQ(Report("C", "1", "5", folder_ / "flipped.mf"), 6);
  EXPECT_EQ(Report("C", "1", "5", folder_ / "missing.mf"), 6);
  EXPECT_FALSE(Exists(txt_));

  EXPECT_EQ(entry_(mf_.c_str(), (folder_ / "no/dir.txt").c_str(), "C", "1", "5"), 4);
}

TEST(MoneyText, GroupsThousandsAndKeepsTheSign) {
  EXPECT_EQ(MoneyText(0), "0,00");
  EXPECT_EQ(MoneyText(5), "0,05");
  EXPECT_EQ(MoneyText(-50), "-0,50");
  EXPECT_EQ(MoneyText(123456789), "1.234.567,89");
  EXPECT_EQ(MoneyText(100000), "1.000,00");
  EXPECT_EQ(MoneyText(std::numeric_limits<std::int64_t>::min()), "-92.233.720.368.547.758,08");
}

}  // namespace
}  // namespace tervane
