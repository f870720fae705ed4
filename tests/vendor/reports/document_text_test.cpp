// Text documents from a detail-tape file: the printed layout the MFD diagnostics read,
// the three ranges, and the status of unusable inputs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vendor/reports/document_text.h"
#include "vendor/reports/sample_memories.h"
#include "vendor/reports/vendor_test_files.h"

namespace tervane {
namespace {

using namespace vendortest;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "text not ended by CR LF";
  return lines;
}

// The COOs in the order the documents appear, read as the diagnostics read them: six
// characters after a "COO:" standing beyond column 37.
std::vector<int> Coos(const std::vector<std::string>& lines) {
  std::vector<int> coos;
  for (const std::string& line : lines)
    if (const size_t at = line.find("COO:"); at != std::string::npos && at > 37)
      coos.push_back(std::stoi(line.substr(at + 4, 6)));
  return coos;
}

size_t IndexOf(const std::vector<std::string>& lines, const std::string& text, size_t from = 0) {
  for (size_t i = from; i < lines.size(); ++i)
    if (lines[i].find(text) != std::string::npos) return i;
  return std::string::npos;
}

class DocumentText : public ::testing::Test {
 protected:
  void SetUp() override { WriteBytes(mfd_, MfdFile(SampleMfd())); }

  std::vector<std::string> Total() {
    auto* total = library_.Entry<void(const char*, const char*)>("KeloGeraTxtTotal");
    total(mfd_.c_str(), txt_.c_str());
    return Lines(ReadBytes(txt_));
  }

  ScratchFolder folder_;
  const std::string mfd_ = folder_ / "tape.mfd";
  const std::string txt_ = folder_ / "docs.txt";
  KeloLibrary library_;
  int (*byCoo_)(const char*, const char*, int, int, int) =
      library_.Entry<int(const char*, const char*, int, int, int)>("KeloGeraTxtPorCOO");
  void (*byDate_)(const char*, const char*, const char*, const char*) =
      library_.Entry<void(const char*, const char*, const char*, const char*)>("KeloGeraTxtPorData");
};

TEST_F(DocumentText, DocumentsArePrintedWithTheLinesTheDiagnosticsRead) {
  const std::vector<std::string> lines = Total();
  EXPECT_EQ(Coos(lines), (std::vector<int>{1, 2, 3, 4, 5, 1, 2}));

  // Every COO line: date and time first, "COO:" at column 38; the kind's title three
  // lines below.
  const size_t coo3 = IndexOf(lines, "COO:000003");
  ASSERT_NE(coo3, std::string::npos);
  EXPECT_EQ(lines[coo3], "01/12/2026 11:05:00                   COO:000003");
  // The reprint's copy mark two lines below its title.
  const size_t coo4 = IndexOf(lines, "COO:000004");
  EXPECT_NE(lines[coo4 + 3].find(Cp("COMPROVANTE DE CRÉDITO OU DÉBITO")), std::string::npos);
  EXPECT_GT(lines[coo4 + 5].find(Cp("2ªVIA")), 0u);
  EXPECT_NE(lines[coo4 + 5].find(Cp("2ªVIA")), std::string::npos);
  // The Z reduction's title with the blanks the diagnostics look for, and its recorded
  // heading again beyond the lines read ahead of its COO.
  const size_t coo5 = IndexOf(lines, "COO:000005");
  EXPECT_NE(lines[coo5 + 3].find(Cp("       REDUÇÃO Z        ")), std::string::npos);
  EXPECT_EQ(lines[coo5 + 5], Cp("       REDUÇÃO Z        "));

  // Footer: the model line, and two lines below it the date at column 28 of the "FAB:".
  const size_t model = IndexOf(lines, "QUORVEXA        ZT-310 A             ECF-IF", coo3);
  ASSERT_NE(model, std::string::npos);
  EXPECT_GE(lines[model].size(), 46u);
  EXPECT_EQ(lines[model + 2], "FAB:QV010000000000000123    01/12/2026 11:05:00");
  EXPECT_EQ(lines[model + 2].substr(28, 10), "01/12/2026");

  // The body lines as recorded, and the markers where they happened.
  EXPECT_NE(IndexOf(lines, "001 7891000100103 ARROZ 5KG"), std::string::npos);
  // A recorded title is the document's title, not repeated in its body.
  const size_t coo1 = IndexOf(lines, "COO:000001");
  EXPECT_EQ(lines[coo1 + 3], "                  CUPOM FISCAL                  ");
  EXPECT_EQ(IndexOf(lines, "CUPOM FISCAL", coo1 + 4), IndexOf(lines, "COO:000002") + 3);
  EXPECT_NE(lines[coo3 + 3].find(Cp("COMPROVANTE CRÉDITO OU DÉBITO")), std::string::npos);
  const size_t power = IndexOf(lines, "***********FALTA DE ENERGIA - RETORNO***********");
  EXPECT_LT(IndexOf(lines, "COO:000001"), power);
  EXPECT_LT(power, IndexOf(lines, "COO:000002"));
  const size_t change = IndexOf(lines, Cp("ALTERAÇÃO DE USUÁRIO"));
  EXPECT_LT(IndexOf(lines, "COO:000005"), change);
  EXPECT_LT(change, IndexOf(lines, "COO:000001", change));
}

TEST_F(DocumentText, RangesPickTheirDocumentsAndTheMarkersPrintedWithThem) {
  EXPECT_EQ(byCoo_(mfd_.c_str(), txt_.c_str(), 1, 2, 4), 0);
  std::vector<std::string> lines = Lines(ReadBytes(txt_));
  EXPECT_EQ(Coos(lines), (std::vector<int>{2, 3, 4}));
  EXPECT_NE(IndexOf(lines, "FALTA DE ENERGIA"), std::string::npos);

  // COO 1 of the second user comes after the user change, which comes with it.
  EXPECT_EQ(byCoo_(mfd_.c_str(), txt_.c_str(), 2, 1, 1), 0);
  lines = Lines(ReadBytes(txt_));
  EXPECT_EQ(Coos(lines), (std::vector<int>{1}));
  EXPECT_LT(IndexOf(lines, Cp("ALTERAÇÃO DE USUÁRIO")), IndexOf(lines, "COO:000001"));
  EXPECT_EQ(IndexOf(lines, "FALTA DE ENERGIA"), std::string::npos);

  byDate_(mfd_.c_str(), txt_.c_str(), "021226", "311226");
  EXPECT_EQ(Coos(Lines(ReadBytes(txt_))), (std::vector<int>{1, 2}));
  byDate_(mfd_.c_str(), txt_.c_str(), "011226", "011226");
  EXPECT_EQ(Coos(Lines(ReadBytes(txt_))), (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST_F(DocumentText, UnusableInputsGiveTheirStatusAndWriteNothing) {
  // No document in the range.
  EXPECT_EQ(byCoo_(mfd_.c_str(), txt_.c_str(), 1, 100, 200), 6);
  EXPECT_EQ(byCoo_(mfd_.c_str(), txt_.c_str(), 9, 1, 5), 6);
  byDate_(mfd_.c_str(), txt_.c_str(), "320126", "311226");  // not a date
  byDate_(mfd_.c_str(), txt_.c_str(), "311226", "011226");  // reversed
  EXPECT_FALSE(Exists(txt_));

  // A file without a serial number, a cut one, a changed record, one that is missing.
  vendor::MfdContents noSerial = SampleMfd();
  noSerial.header.serial.clear();
  WriteBytes(folder_ / "noserial.mfd", MfdFile(noSerial));
  EXPECT_EQ(byCoo_((folder_ / "noserial.mfd").c_str(), txt_.c_str(), 1, 1, 5), 2);
  const std::string whole = MfdFile(SampleMfd());
  WriteBytes(folder_ / "cut.mfd", whole.substr(0, whole.size() - 400));
  EXPECT_EQ(byCoo_((folder_ / "cut.mfd").c_str(), txt_.c_str(), 1, 1, 5), 6);
  WriteBytes(folder_ / "short.mfd", whole.substr(0, 1000));
  EXPECT_EQ(byCoo_((folder_ / "short.mfd").c_str(), txt_.c_str(), 1, 1, 5), 6);
  EXPECT_EQ(byCoo_((folder_ / "missing.mfd").c_str(), txt_.c_str(), 1, 1, 5), 6);
  EXPECT_EQ(byCoo_(nullptr, nullptr, 1, 1, 5), 6);
  EXPECT_FALSE(Exists(txt_));

  // The text file cannot be written.
  EXPECT_EQ(byCoo_(mfd_.c_str(), (folder_ / "no/folder.txt").c_str(), 1, 1, 5), 4);
}

}  // namespace
}  // namespace tervane
