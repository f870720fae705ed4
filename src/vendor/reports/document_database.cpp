#include "vendor/reports/document_database.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <variant>

#include "core/common/charset.h"
#include "core/common/text.h"
#include "vendor/formats/coupon_item_line.h"
#include "vendor/reports/document_text.h"

namespace tervane {
namespace {

bool Digits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// The last blank-separated word of a line.
std::string LastWord(const std::string& line) {
  const std::string text = TrimSpaces(line);
  const size_t blank = text.find_last_of(' ');
  return blank == std::string::npos ? text : text.substr(blank + 1);
}

const char kSchema[] =
    "CREATE TABLE documentos ("
    " id INTEGER PRIMARY KEY, coo INTEGER NOT NULL, usuario INTEGER NOT NULL,"
    " data TEXT NOT NULL, hora TEXT NOT NULL, tipo INTEGER NOT NULL,"
    " titulo TEXT NOT NULL, texto TEXT NOT NULL);"
    "CREATE TABLE itens ("
    " id INTEGER PRIMARY KEY, documento INTEGER NOT NULL REFERENCES documentos(id),"
    " coo INTEGER NOT NULL, item INTEGER NOT NULL, codigo TEXT NOT NULL,"
    " descricao TEXT NOT NULL, aliquota TEXT NOT NULL, valor INTEGER NOT NULL,"
    " desconto INTEGER NOT NULL, cancelado INTEGER NOT NULL, quantidade REAL, preco_unitario REAL);"
    "CREATE TABLE ausentes ("
    " id INTEGER PRIMARY KEY, usuario INTEGER NOT NULL, coo_inicial INTEGER NOT NULL,"
    " coo_final INTEGER NOT NULL);"
    "CREATE INDEX documentos_coo ON documentos(usuario, coo);"
    "CREATE INDEX itens_documento ON itens(documento);";

// One open database file with its two insert statements; everything is released on
// destruction.
class Database {
 public:
  ~Database() {
    sqlite3_finalize(insertDocument_);
    sqlite3_finalize(insertItem_);
    if (db_) sqlite3_close(db_);
  }

  bool Create(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK)
      return false;
    return sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr) == SQLITE_OK &&
           sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK &&
           Prepare("INSERT INTO documentos (coo, usuario, data, hora, tipo, titulo, texto)"
                   " VALUES (?, ?, ?, ?, ?, ?, ?)",
                   insertDocument_) &&
           Prepare("INSERT INTO itens (documento, coo, item, codigo, descricao, aliquota, valor,"
                   " desconto, cancelado, quantidade, preco_unitario) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                   insertItem_);
  }

  bool AddMissing(const vendor::MfdMissingRange& range) {
    sqlite3_stmt* insert = nullptr;
    if (!Prepare("INSERT INTO ausentes (usuario, coo_inicial, coo_final) VALUES (?, ?, ?)", insert)) return false;
    sqlite3_bind_int(insert, 1, range.user);
    sqlite3_bind_int(insert, 2, range.first);
    sqlite3_bind_int(insert, 3, range.last);
    const bool done = sqlite3_step(insert) == SQLITE_DONE;
    sqlite3_finalize(insert);
    return done;
  }

  bool Add(const vendor::MfdDocument& d) {
    const vendor::MemoryTime& w = d.when;
    std::string text;
    for (const std::string& line : d.lines) text += (text.empty() ? "" : "\r\n") + line;
    const std::string title = DocumentTitle(d);
    sqlite3_reset(insertDocument_);
    sqlite3_bind_int(insertDocument_, 1, d.coo);
    sqlite3_bind_int(insertDocument_, 2, d.user);
    BindText(insertDocument_, 3, Format("%04d-%02d-%02d", w.year, w.month, w.day));
    BindText(insertDocument_, 4, Format("%02d:%02d:%02d", w.hour, w.minute, w.second));
    sqlite3_bind_int(insertDocument_, 5, static_cast<int>(d.kind));
    BindText(insertDocument_, 6, Cp1252ToUtf8(title));
    BindText(insertDocument_, 7, Cp1252ToUtf8(text));
    if (sqlite3_step(insertDocument_) != SQLITE_DONE) return false;
    if (d.kind != vendor::DocumentKind::kSale) return true;
    const sqlite3_int64 id = sqlite3_last_insert_rowid(db_);
    for (const SaleItem& item : ParseSaleItems(d.lines)) {
      sqlite3_reset(insertItem_);
      sqlite3_bind_int64(insertItem_, 1, id);
      sqlite3_bind_int(insertItem_, 2, d.coo);
      sqlite3_bind_int(insertItem_, 3, item.number);
      BindText(insertItem_, 4, Cp1252ToUtf8(item.code));
      BindText(insertItem_, 5, Cp1252ToUtf8(item.description));
      BindText(insertItem_, 6, Cp1252ToUtf8(item.rate));
      sqlite3_bind_int64(insertItem_, 7, item.value);
      sqlite3_bind_int64(insertItem_, 8, item.discount);
      sqlite3_bind_int(insertItem_, 9, item.cancelled ? 1 : 0);
      // Quantity and unit price when the tape printed them (NULL otherwise).
      if (item.quantityMilli > 0) {
        sqlite3_bind_double(insertItem_, 10, static_cast<double>(item.quantityMilli) / 1000.0);
        sqlite3_bind_double(insertItem_, 11, static_cast<double>(item.unitPriceMilli) / 1000.0);
      } else {
        sqlite3_bind_null(insertItem_, 10);
        sqlite3_bind_null(insertItem_, 11);
      }
      if (sqlite3_step(insertItem_) != SQLITE_DONE) return false;
    }
    return true;
  }

  bool Finish() {
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) return false;
    sqlite3_finalize(insertDocument_);
    sqlite3_finalize(insertItem_);
    insertDocument_ = insertItem_ = nullptr;
    const bool closed = sqlite3_close(db_) == SQLITE_OK;
    db_ = nullptr;
    return closed;
  }

 private:
  bool Prepare(const char* sql, sqlite3_stmt*& statement) {
    return sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) == SQLITE_OK;
  }
  static void BindText(sqlite3_stmt* statement, int index, const std::string& text) {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
  }

  sqlite3* db_ = nullptr;
  sqlite3_stmt* insertDocument_ = nullptr;
  sqlite3_stmt* insertItem_ = nullptr;
};

}  // namespace

bool ParseMoneyText(const std::string& text, std::int64_t& cents) {
  std::string digits = text;
  const bool negative = !digits.empty() && digits[0] == '-';
  if (negative) digits.erase(0, 1);
  RemoveAll(digits, '.');
  const size_t comma = digits.find(',');
  if (comma == std::string::npos || digits.size() - comma != 3) return false;
  const std::string units = digits.substr(0, comma);
  const std::string hundredths = digits.substr(comma + 1);
  if (!Digits(units) || !Digits(hundredths) || units.size() > 15) return false;
  cents = std::stoll(units) * 100 + std::stoll(hundredths);
  if (negative) cents = -cents;
  return true;
}

std::vector<SaleItem> ParseSaleItems(const std::vector<std::string>& lines) {
  std::vector<SaleItem> items;
  const std::string discountLabel = "   desconto item";
  const std::string cancelLabel = "CANCELAMENTO ITEM ";
  bool afterItem = false;  // the quantity line follows its item line
  for (const std::string& line : lines) {
    vendor::CouponItemLine read;
    if (vendor::ParseItemLine(line, read)) {
      SaleItem item;
      item.number = read.number;
      item.code = read.code;
      item.description = read.description;
      item.rate = read.rate;
      item.value = read.total;
      items.push_back(std::move(item));
      afterItem = true;
      continue;
    }
    if (afterItem && vendor::ParseItemQuantityLine(line, read)) {
      items.back().quantityMilli = read.quantityMilli;
      items.back().unitPriceMilli = read.unitPriceMilli;
      afterItem = false;
      continue;
    }
    afterItem = false;
    if (line.compare(0, discountLabel.size(), discountLabel) == 0 && !items.empty()) {
      std::int64_t amount = 0;
      if (ParseMoneyText(LastWord(line), amount)) items.back().discount = amount < 0 ? -amount : amount;
    } else if (line.compare(0, cancelLabel.size(), cancelLabel) == 0) {
      const std::string number = TrimSpaces(line.substr(cancelLabel.size()));
      if (!Digits(number) || number.size() > 6) continue;
      for (SaleItem& item : items)
        if (item.number == std::stoi(number)) item.cancelled = true;
    }
  }
  return items;
}

int WriteDocumentsDatabase(const std::string& mfdPath, const std::string& dbPath,
                           const MfdSelection& selection) {
  vendor::MfdContents contents;
  std::vector<vendor::MfdMissingRange> missing;
  if (const int code = LoadMfdForReport(mfdPath, contents, &missing); code != 0) return code;
  missing = MissingInSelection(missing, selection);
  std::vector<const vendor::MfdDocument*> documents;
  for (const vendor::MfdEntry* entry : SelectEntries(contents, selection))
    if (const auto* d = std::get_if<vendor::MfdDocument>(entry)) documents.push_back(d);
  if (documents.empty()) return 6;

  // Built beside the target under a temporary name, then renamed over it, so that a
  // failure never leaves a half-written database or destroys an older one.
  if (dbPath.empty()) return 5;
  const std::string temporary = dbPath + Format(".%d.tmp", static_cast<int>(getpid()));
  std::remove(temporary.c_str());
  bool written = false;
  {
    Database db;
    written = db.Create(temporary);
    for (size_t i = 0; written && i < documents.size(); ++i) written = db.Add(*documents[i]);
    // The COO ranges a capture with symbols missing could not give.
    for (size_t i = 0; written && i < missing.size(); ++i) written = db.AddMissing(missing[i]);
    written = written && db.Finish();
  }
  if (!written || std::rename(temporary.c_str(), dbPath.c_str()) != 0) {
    std::remove(temporary.c_str());
    std::remove((temporary + "-journal").c_str());
    return 5;
  }
  return 0;
}

}  // namespace tervane
