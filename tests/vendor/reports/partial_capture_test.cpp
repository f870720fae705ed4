// A PDF-417 capture saved with symbols missing: the documents and the database are made
// from the documents that lie wholly in the symbols present, and say which COO ranges
// are missing, instead of refusing the whole file.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <string>

#include "core/fiscalmemory/pdf417_capture.h"
#include "vendor/formats/mfd_salvage.h"
#include "vendor/reports/sample_memories.h"
#include "vendor/reports/vendor_test_files.h"

namespace tervane {
namespace {

using namespace vendortest;

// Forty sales of user 1, each long enough that a symbol holds only a few of them.
vendor::MfdContents ManySales() {
  vendor::MfdContents c;
  c.header = {"QV010000000000000123", "QUORVEXA", "ZT-310 A", 1, vendor::MfdRange::kTotal, 1, 40,
              At(1, 12, 9), At(1, 12, 18)};
  for (int coo = 1; coo <= 40; ++coo) {
    std::vector<std::string> lines = {"CUPOM FISCAL"};
    for (int i = 1; i <= 3; ++i) lines.push_back(ItemLine(i, "789100010010", "ARROZ 5KG", "T01", "21,50"));
    lines.push_back("TOTAL R$                                   64,50");
    c.entries.push_back(Document(coo, 1, At(1, 12, 9), vendor::DocumentKind::kSale, lines));
  }
  return c;
}

// The capture of `stream` without the symbols whose 0-based indexes are in `dropped`.
std::string CaptureWithout(const std::string& stream, std::vector<std::size_t> dropped, std::size_t& symbols) {
  const auto all = SplitIntoPdf417Symbols(stream);
  symbols = all.size();
  Pdf417Capture capture;
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (std::find(dropped.begin(), dropped.end(), i) != dropped.end()) continue;
    capture.Append(all[i].data(), all[i].size());
    EXPECT_EQ(capture.TakeSymbol(), Pdf417SymbolOutcome::kStored);
  }
  return capture.FileBytes();
}

int Coo(const vendor::MfdEntry& e) { return std::get<vendor::MfdDocument>(e).coo; }

TEST(PartialCapture, DocumentsWhollyPresentAreReadAndTheRestNamed) {
  const vendor::MfdContents sales = ManySales();
  const std::string stream = vendor::MfdStreamBytes(sales);
  std::size_t symbols = 0;
  const std::string file = CaptureWithout(stream, {3}, symbols);
  ASSERT_GT(symbols, 6u);

  vendor::MfdContents strict;
  EXPECT_FALSE(vendor::ReadMfd(file, strict).ok());  // the strict reader stops at the hole
  vendor::MfdContents read;
  std::vector<vendor::MfdMissingRange> missing;
  ASSERT_TRUE(vendor::SalvageCapturedMfd(file, read, missing).ok());
  // Every document read is one that was printed, whole; the lost ones form one range.
  ASSERT_FALSE(read.entries.empty());
  ASSERT_EQ(missing.size(), 1u);
  int expectedCoo = 1;
  for (const vendor::MfdEntry& e : read.entries) {
    if (expectedCoo == missing[0].first) expectedCoo = missing[0].last + 1;
    EXPECT_EQ(Coo(e), expectedCoo);
    EXPECT_EQ(std::get<vendor::MfdDocument>(e), std::get<vendor::MfdDocument>(sales.entries[expectedCoo - 1]));
    ++expectedCoo;
  }
  EXPECT_EQ(expectedCoo, 41);
  // Symbol 4 (bytes 2004..2671) held the documents around it.
  EXPECT_GT(missing[0].first, 1);
  EXPECT_LT(missing[0].last, 40);
  EXPECT_EQ(read.entries.size() + static_cast<std::size_t>(missing[0].last - missing[0].first + 1), 40u);

  // The last symbol missing: everything up to it, the tail named.
  const std::string noTail = CaptureWithout(stream, {symbols - 1}, symbols);
  ASSERT_TRUE(vendor::SalvageCapturedMfd(noTail, read, missing).ok());
  ASSERT_EQ(missing.size(), 1u);
  EXPECT_EQ(missing[0].last, 40);
  EXPECT_EQ(Coo(read.entries.back()), missing[0].first - 1);

  // Without the first symbol there is no header: nothing is made up.
  const std::string noHead = CaptureWithout(stream, {0}, symbols);
  EXPECT_FALSE(vendor::SalvageCapturedMfd(noHead, read, missing).ok());
}

TEST(PartialCapture, TextAndDatabaseEntryPointsUseWhatSurvived) {
  ScratchFolder folder;
  std::size_t symbols = 0;
  const std::string file = CaptureWithout(vendor::MfdStreamBytes(ManySales()), {3}, symbols);
  WriteBytes(folder / "parte.mfd", file);
  vendor::MfdContents read;
  std::vector<vendor::MfdMissingRange> missing;
  ASSERT_TRUE(vendor::SalvageCapturedMfd(file, read, missing).ok());
  ASSERT_EQ(missing.size(), 1u);

  KeloLibrary library;
  const std::string txt = folder / "docs.txt", db = folder / "docs.mdb";
  library.Entry<void(const char*, const char*)>("KeloGeraTxtTotal")((folder / "parte.mfd").c_str(), txt.c_str());
  const std::string text = ReadBytes(txt);
  EXPECT_EQ(text.find(Cp("*** SÍMBOLOS PDF-417 NÃO LIDOS: DOCUMENTOS AUSENTES ***")), 0u) << text;
  char range[64];
  std::snprintf(range, sizeof range, "COO %06d A %06d (", missing[0].first, missing[0].last);
  EXPECT_NE(text.find(range), std::string::npos);

  library.Entry<void(const char*, const char*)>("KeloGeraMdbTotal")((folder / "parte.mfd").c_str(), db.c_str());
  sqlite3* handle = nullptr;
  ASSERT_EQ(sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  auto count = [&](const char* sql) {
    sqlite3_stmt* st = nullptr;
    int n = -1;
    if (sqlite3_prepare_v2(handle, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
      n = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return n;
  };
  EXPECT_EQ(count("SELECT count(*) FROM documentos"), static_cast<int>(read.entries.size()));
  EXPECT_EQ(count("SELECT count(*) FROM itens"), static_cast<int>(read.entries.size()) * 3);
  EXPECT_EQ(count("SELECT coo_inicial FROM ausentes"), missing[0].first);
  EXPECT_EQ(count("SELECT coo_final FROM ausentes"), missing[0].last);
  sqlite3_close(handle);
}

}  // namespace
}  // namespace tervane
