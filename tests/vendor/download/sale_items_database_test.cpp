// The database's items, end to end: sales made through the simulated printer's own
// commands, the detail tape downloaded by the library's download, and the database made
// from the file; every item sold is a row with its code, description, rate, quantity,
// unit price and total. Also the item line read back in either column width.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <deque>
#include <filesystem>

#include "sim/sim_fixture.h"
#include "vendor/download/memory_download.h"
#include "vendor/formats/coupon_item_line.h"
#include "vendor/reports/document_database.h"
#include "vendor/reports/mfd_selection.h"

namespace tervane::sim::testing {
namespace {

namespace fs = std::filesystem;

// The printer of the fixture behind a port.
class HandlerPort final : public CPort {
 public:
  explicit HandlerPort(CommandHandler& printer) : printer_(printer) {}
  bool Open(int) override { return true; }
  void Close() override {}
  bool Send(const std::uint8_t* data, int length, int) override {
    const Bytes reply = printer_.Handle(Bytes(data, data + length));
    pending_.insert(pending_.end(), reply.begin(), reply.end());
    return true;
  }
  bool Receive(std::uint8_t* buffer, int length, int) override {
    if (static_cast<int>(pending_.size()) < length) return false;
    for (int i = 0; i < length; ++i, pending_.pop_front()) buffer[i] = pending_.front();
    return true;
  }
  bool Purge() override {
    pending_.clear();
    return true;
  }
  bool WriteRequest(const std::uint8_t*, int, std::uint32_t*) override { return false; }
  bool ReadReply(std::uint8_t*, int, std::uint32_t*) override { return false; }

 private:
  CommandHandler& printer_;
  std::deque<std::uint8_t> pending_;
};

struct Sold {
  std::string code, description, rate;
  int quantity = 0;         // units
  std::int64_t unit = 0;    // cents
};

std::string Row(int coo, int item, const Sold& s) {
  char text[200];
  std::snprintf(text, sizeof text, "%d|%d|%s|%s|%s|%lld|%.3f|%.3f", coo, item, s.code.c_str(), s.description.c_str(),
                s.rate.c_str(), static_cast<long long>(s.quantity * s.unit), static_cast<double>(s.quantity),
                static_cast<double>(s.unit) / 100.0);
  return text;
}

class SaleItemsDatabase : public SimTest, public PortFactory {
 protected:
  SaleItemsDatabase() {
    dir_ = fs::temp_directory_path() / ("tervane_items_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  ~SaleItemsDatabase() override { fs::remove_all(dir_); }
  std::unique_ptr<CPort> Create(const std::string&) override { return std::make_unique<HandlerPort>(handler); }

  static std::string Padded(const std::string& text, std::size_t width) {
    std::string out = text;
    out.resize(width, ' ');
    return out;
  }

  // One coupon selling `items`; returns its COO.
  void Coupon(const std::vector<Sold>& items) {
    ASSERT_EQ(Code({0}), 0);
    std::int64_t total = 0;
    for (const Sold& s : items) {
      char numbers[32];
      std::snprintf(numbers, sizeof numbers, "%04d%08lld0000", s.quantity, static_cast<long long>(s.unit));
      ASSERT_EQ(Code({9}, Padded(s.code, 13) + Padded(s.description, 29) + s.rate + numbers), 0) << s.description;
      total += s.quantity * s.unit;
    }
    ASSERT_EQ(Code({32}, "D0000"), 0);
    char pay[32];
    std::snprintf(pay, sizeof pay, "01%014lld", static_cast<long long>(total));
    ASSERT_EQ(Code({72}, pay), 0);
    ASSERT_EQ(Code({34}, "Obrigado"), 0);
  }

  std::vector<std::string> Query(const std::string& db, const char* sql) {
    sqlite3* handle = nullptr;
    std::vector<std::string> rows;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return rows;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(handle, sql, -1, &statement, nullptr) == SQLITE_OK) {
      while (sqlite3_step(statement) == SQLITE_ROW) {
        std::string row;
        for (int c = 0; c < sqlite3_column_count(statement); ++c) {
          if (c > 0) row += '|';
          if (sqlite3_column_type(statement, c) == SQLITE_FLOAT) {
            char v[32];
            std::snprintf(v, sizeof v, "%.3f", sqlite3_column_double(statement, c));
            row += v;
          } else {
            const unsigned char* text = sqlite3_column_text(statement, c);
            row += text ? reinterpret_cast<const char*>(text) : "NULL";
          }
        }
        rows.push_back(row);
      }
    }
    sqlite3_finalize(statement);
    sqlite3_close(handle);
    return rows;
  }

  fs::path dir_;
};

TEST_F(SaleItemsDatabase, EveryItemOfFiftySalesIsARow) {
  ProgramOwner();
  std::vector<std::string> expected;
  // Descriptions of the full 16 columns and longer, codes of 13, one to three items.
  for (int sale = 1; sale <= 50; ++sale) {
    std::vector<Sold> items;
    for (int i = 0; i <= sale % 3; ++i) {
      Sold s;
      s.code = std::to_string(7891000000000LL + sale * 10 + i);
      s.description = i == 0 ? "LEITE INTEGRAL 1L" : i == 1 ? "CAFE TORRADO 500G" : "SAL";
      s.rate = i == 2 ? "02" : "01";
      s.quantity = 1 + (sale + i) % 4;
      s.unit = 199 + sale * 37 + i;
      items.push_back(s);
    }
    Coupon(items);
    const int coo = state.coo;
    for (std::size_t i = 0; i < items.size(); ++i) {
      Sold shown = items[i];
      shown.description = shown.description.substr(0, vendor::kItemDescriptionWidth);
      expected.push_back(Row(coo, static_cast<int>(i) + 1, shown));
    }
  }

  const std::string mfd = (dir_ / "fita.mfd").string(), db = (dir_ / "fita.mdb").string();
  vendor::DownloadAsk ask;
  ask.kind = vendor::DownloadKind::kMfd;
  ASSERT_EQ(vendor::DownloadToFile(*this, clock, "in-process", ask, mfd), vendor::kDownloadOk);
  ASSERT_EQ(WriteDocumentsDatabase(mfd, db, MfdSelection::Total()), 0);
  EXPECT_EQ(Query(db, "SELECT d.coo, i.item, i.codigo, i.descricao, i.aliquota, i.valor, i.quantidade,"
                      " i.preco_unitario FROM itens i JOIN documentos d ON d.id = i.documento ORDER BY i.id"),
            expected);
}

TEST(CouponItemLine, PrintedAndReadBack) {
  vendor::CouponItemLine item;
  item.number = 7;
  item.code = "7891234567890";
  item.description = "ARROZ TIPO 1 5KG";
  item.rate = "01";
  item.total = 123456;
  item.quantityMilli = 2500;
  item.unitPriceMilli = 49382;
  const std::string line = vendor::ItemLineText(item);
  EXPECT_EQ(line, "007 7891234567890 ARROZ TIPO 1 5KG 01    1234,56");
  EXPECT_EQ(line.size(), 48u);
  vendor::CouponItemLine read;
  ASSERT_TRUE(vendor::ParseItemLine(line, read));
  ASSERT_TRUE(vendor::ParseItemQuantityLine(vendor::ItemQuantityLineText(item), read));
  EXPECT_EQ(read.number, 7);
  EXPECT_EQ(read.code, item.code);
  EXPECT_EQ(read.description, item.description);
  EXPECT_EQ(read.rate, "01");
  EXPECT_EQ(read.total, 123456);
  EXPECT_EQ(read.quantityMilli, 2500);
  EXPECT_EQ(read.unitPriceMilli, 49382);

  // A narrower description column, a total wider than its column, and lines that are no items.
  ASSERT_TRUE(vendor::ParseItemLine("001 123           CAFE 500G      T02 1234567,90", read));
  EXPECT_EQ(read.description, "CAFE 500G");
  EXPECT_EQ(read.total, 123456790);
  for (const char* bad : {"001 short", "TOTAL R$                                   36,50",
                          "001 123           CAFE 500G       T02   12,5", "abc 123           X   01   1,00"})
    EXPECT_FALSE(vendor::ParseItemLine(bad, read)) << bad;
  EXPECT_FALSE(vendor::ParseItemQuantityLine("   desconto item   -1,50", read));
}

}  // namespace
}  // namespace tervane::sim::testing
