// Databases from a detail-tape file: the two tables, the items read from the coupons,
// the ranges, and a failure that never leaves a broken or half-replaced database.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "vendor/reports/document_database.h"
#include "vendor/reports/sample_memories.h"
#include "vendor/reports/vendor_test_files.h"

namespace tervane {
namespace {

using namespace vendortest;

// The rows of a query, each row's columns joined by "|".
std::vector<std::string> Query(const std::string& path, const char* sql) {
  std::vector<std::string> rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    ADD_FAILURE() << "cannot open " << path;
    return rows;
  }
  sqlite3_stmt* statement = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &statement, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  while (statement && sqlite3_step(statement) == SQLITE_ROW) {
    std::string row;
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      const unsigned char* text = sqlite3_column_text(statement, i);
      row += (i ? "|" : "") + std::string(text ? reinterpret_cast<const char*>(text) : "NULL");
    }
    rows.push_back(row);
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return rows;
}

class DocumentDatabase : public ::testing::Test {
 protected:
  void SetUp() override { WriteBytes(mfd_, MfdFile(SampleMfd())); }

  ScratchFolder folder_;
  const std::string mfd_ = folder_ / "tape.mfd";
  const std::string db_ = folder_ / "docs.mdb";
  KeloLibrary library_;
  int (*byCoo_)(const char*, const char*, int, int, int) =
      library_.Entry<int(const char*, const char*, int, int, int)>("KeloGeraMdbPorCOO");
  void (*byDate_)(const char*, const char*, const char*, const char*) =
      library_.Entry<void(const char*, const char*, const char*, const char*)>("KeloGeraMdbPorData");
  void (*total_)(const char*, const char*) =
      library_.Entry<void(const char*, const char*)>("KeloGeraMdbTotal");
};

TEST_F(DocumentDatabase, DocumentsAndTheirItemsFillTheTwoTables) {
  total_(mfd_.c_str(), db_.c_str());
  EXPECT_EQ(Query(db_, "SELECT coo, usuario, data, hora, tipo, titulo FROM documentos ORDER BY id"),
            (std::vector<std::string>{
                "1|1|2026-12-01|09:00:00|1|CUPOM FISCAL",
                "2|1|2026-12-01|11:00:00|1|CUPOM FISCAL",
                "3|1|2026-12-01|11:05:00|4|COMPROVANTE CRÉDITO OU DÉBITO",
                "4|1|2026-12-01|11:06:00|5|COMPROVANTE DE CRÉDITO OU DÉBITO",
                "5|1|2026-12-01|18:00:00|8|REDUÇÃO Z",
                "1|2|2026-12-02|09:00:00|1|CUPOM FISCAL",
                "2|2|2026-12-02|18:00:00|6|RELATÓRIO GERENCIAL"}));
  EXPECT_EQ(Query(db_, "SELECT d.coo, d.usuario, i.item, i.codigo, i.descricao, i.aliquota,"
                       " i.valor, i.desconto, i.cancelado FROM itens i"
                       " JOIN documentos d ON d.id = i.documento ORDER BY i.id"),
            (std::vector<std::string>{"1|1|1|7891000100103|ARROZ 5KG|T01|2150|0|0",
                                      "1|1|2|7891000200200|FEIJAO 1KG|T01|1650|150|0",
                                      "1|1|3|123|SAL|F1|200|0|1",
                                      "2|1|1|123|CAFE 500G|T02|123490|0|0",
                                      "1|2|1|555|LEITE 1L|T01|1200|0|0"}));
  EXPECT_EQ(Query(db_, "SELECT texto FROM documentos WHERE tipo = 8"),
            (std::vector<std::string>{"       REDUÇÃO Z        \r\nCRZ: 0001   CRO: 0001"}));
}

TEST_F(DocumentDatabase, RangesSelectTheirDocuments) {
  EXPECT_EQ(byCoo_(mfd_.c_str(), db_.c_str(), 2, 1, 2), 0);
  EXPECT_EQ(Query(db_, "SELECT usuario, coo FROM documentos ORDER BY id"),
            (std::vector<std::string>{"2|1", "2|2"}));
  EXPECT_EQ(Query(db_, "SELECT count(*) FROM itens"), (std::vector<std::string>{"1"}));

  byDate_(mfd_.c_str(), db_.c_str(), "011226", "011226");
  EXPECT_EQ(Query(db_, "SELECT count(*), min(coo), max(coo) FROM documentos"),
            (std::vector<std::string>{"5|1|5"}));
}

TEST_F(DocumentDatabase, FailuresLeaveNoNewFileAndKeepAnOldOne) {
  EXPECT_EQ(byCoo_(mfd_.c_str(), db_.c_str(), 1, 50, 60), 6);
  EXPECT_EQ(byCoo_((folder_ / "none.mfd").c_str(), db_.c_str(), 1, 1, 5), 6);
  vendor::MfdContents noSerial = SampleMfd();
  noSerial.header.serial.clear();
  WriteBytes(folder_ / "noserial.mfd", MfdFile(noSerial));
  EXPECT_EQ(byCoo_((folder_ / "noserial.mfd").c_str(), db_.c_str(), 1, 1, 5), 2);
  EXPECT_EQ(byCoo_(mfd_.c_str(), (folder_ / "no/such.mdb").c_str(), 1, 1, 5), 5);
  EXPECT_EQ(byCoo_(mfd_.c_str(), nullptr, 1, 1, 5), 5);
  EXPECT_FALSE(Exists(db_));

  // An old database is replaced only by a complete new one.
  ASSERT_EQ(byCoo_(mfd_.c_str(), db_.c_str(), 1, 1, 2), 0);
  EXPECT_EQ(byCoo_(mfd_.c_str(), db_.c_str(), 1, 40, 50), 6);
  EXPECT_EQ(Query(db_, "SELECT count(*) FROM documentos"), (std::vector<std::string>{"2"}));
  ASSERT_EQ(byCoo_(mfd_.c_str(), db_.c_str(), 1, 1, 5), 0);
  EXPECT_EQ(Query(db_, "SELECT count(*) FROM documentos"), (std::vector<std::string>{"5"}));
  for (const auto& entry : std::filesystem::directory_iterator(folder_.path()))
    EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
}

TEST(SaleItems, MoneyAndItemLinesAreReadStrictly) {
  std::int64_t cents = 0;
  EXPECT_TRUE(ParseMoneyText("1234,56", cents));
  EXPECT_EQ(cents, 123456);
  EXPECT_TRUE(ParseMoneyText("-1.500,05", cents));
  EXPECT_EQ(cents, -150005);
  for (const char* bad : {"", ",50", "12,5", "12.50", "1a,00", "-", "1234567890123456,00"})
    EXPECT_FALSE(ParseMoneyText(bad, cents)) << bad;
  // A line that only looks like an item (value not money, or cut short) is not one.
  EXPECT_TRUE(ParseSaleItems({ItemLine(1, "1", "X", "T01", "abc"), "001 short line"}).empty());
  EXPECT_TRUE(ParseSaleItems({"CANCELAMENTO ITEM 99999999999", "   desconto item  -1,00"}).empty());
}

}  // namespace
}  // namespace tervane
