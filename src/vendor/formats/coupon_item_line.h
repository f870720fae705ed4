// The lines a sale coupon's item takes on the detail tape, as the printer prints them and
// as the documents and databases read them back: one definition for both sides.
//
//   "001 7891234567890 ARROZ TIPO 1 5KG 01    1234,56"   the item: number (3 digits),
//    code (13 columns), description (16 columns), tax rate (3 columns), total (the
//    rest of the 48 columns, right-aligned);
//   "      2,000 x 12,345"                               quantity and unit price, each
//    with three decimals;
//   "   desconto item ........................ -1,23"    a discount on it, when there is one.
#pragma once

#include <cstdint>
#include <string>

namespace tervane::vendor {

inline constexpr std::size_t kItemCodeWidth = 13;
inline constexpr std::size_t kItemDescriptionWidth = 16;

struct CouponItemLine {
  int number = 0;                    // 1..999
  std::string code;                  // Windows-1252, blanks trimmed
  std::string description;
  std::string rate;                  // "01".."16", "II", "FF", "NN"
  std::int64_t total = 0;            // cents
  std::int64_t quantityMilli = 0;    // thousandths of a unit; 0 when no quantity line was read
  std::int64_t unitPriceMilli = 0;   // thousandths of a real
};

// Money as the tape writes it: "1234,56", "-1,50".
std::string TapeMoney(std::int64_t cents);
// A number with three decimals: "2,000", "12,345".
std::string TapeThousandths(std::int64_t milli);

// The item line and the quantity line of an item.
std::string ItemLineText(const CouponItemLine& item);
std::string ItemQuantityLineText(const CouponItemLine& item);

// Reads an item line: number and code by their columns, then from the right the total
// and the rate, the description being what lies between (so a description column of
// another width, or a total wider than its column, still reads). False for any other line.
bool ParseItemLine(const std::string& line, CouponItemLine& item);
// Reads a quantity line into the item's quantity and unit price. False for any other line.
bool ParseItemQuantityLine(const std::string& line, CouponItemLine& item);

}  // namespace tervane::vendor
