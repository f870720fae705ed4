// Databases made from a detail-tape file: SQLite files in the role the maker's .mdb files
// have, one table of documents and one of the items sold in the sale coupons.
//
//   documentos(id INTEGER PRIMARY KEY, coo, usuario, data 'YYYY-MM-DD', hora 'HH:MM:SS',
//              tipo (the document kind number of the .mfd), titulo (the printed title),
//              texto)
//   itens(id INTEGER PRIMARY KEY, documento REFERENCES documentos(id), coo, item, codigo,
//         descricao, aliquota, valor, desconto, cancelado)
//
// Texts are stored as UTF-8; `texto` is the document's recorded lines joined by CR LF;
// `valor` and `desconto` are cents. Items are read from a sale coupon's item lines as the
// printer records them, "%03d %-13s %-14s %-3s %9s" (number, code, description, rate,
// value "1234,56"), with a following "   desconto item" line giving the item's discount
// and a later "CANCELAMENTO ITEM nnn" marking it cancelled.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vendor/formats/mfd_file.h"
#include "vendor/reports/mfd_selection.h"

namespace tervane {

struct SaleItem {
  int number = 0;
  std::string code;
  std::string description;
  std::string rate;
  std::int64_t value = 0;     // cents
  std::int64_t discount = 0;  // cents, positive
  bool cancelled = false;
  std::int64_t quantityMilli = 0;   // thousandths of a unit; 0 when the tape gave none
  std::int64_t unitPriceMilli = 0;  // thousandths of a real
};

// The items of a sale coupon's recorded lines (Windows-1252), in order.
std::vector<SaleItem> ParseSaleItems(const std::vector<std::string>& lines);

// Reads "1234,56", "-1,50" or "1.234,56" as cents. Returns false for anything else.
bool ParseMoneyText(const std::string& text, std::int64_t& cents);

// Reads `mfdPath` and writes the database of the selected documents to `dbPath` (a new
// file replaces any old one only once complete). Returns 0 on success; 2 when the file
// names no serial number; 6 when it is not a valid .mfd or no document is selected; 5 when
// the database cannot be created or written (nothing is left behind then).
int WriteDocumentsDatabase(const std::string& mfdPath, const std::string& dbPath,
                           const MfdSelection& selection);

}  // namespace tervane
