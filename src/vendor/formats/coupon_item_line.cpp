#include "vendor/formats/coupon_item_line.h"

#include <cstdio>

namespace tervane::vendor {

namespace {

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// "1234,56" or "-1,50" (a "." between thousands is allowed) as cents.
bool ReadMoney(std::string text, std::int64_t& cents) {
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) text.erase(0, 1);
  std::string digits;
  for (char c : text)
    if (c != '.') digits += c;
  const std::size_t comma = digits.find(',');
  if (comma == std::string::npos || digits.size() - comma != 3) return false;
  const std::string units = digits.substr(0, comma), hundredths = digits.substr(comma + 1);
  if (!AllDigits(units) || !AllDigits(hundredths) || units.size() > 15) return false;
  cents = std::stoll(units) * 100 + std::stoll(hundredths);
  if (negative) cents = -cents;
  return true;
}

bool ReadThousandths(const std::string& text, std::int64_t& milli) {
  const std::size_t comma = text.find(',');
  if (comma == std::string::npos || text.size() - comma != 4) return false;
  const std::string units = text.substr(0, comma), fraction = text.substr(comma + 1);
  if (!AllDigits(units) || !AllDigits(fraction) || units.size() > 12) return false;
  milli = std::stoll(units) * 1000 + std::stoll(fraction);
  return true;
}

// Blanks at the end are the field's padding; those in front are kept.
std::string Column(const std::string& text, std::size_t width) {
  std::string out = text.substr(0, text.find_last_not_of(' ') + 1).substr(0, width);
  out.resize(width, ' ');
  return out;
}

}  // namespace

std::string TapeMoney(std::int64_t cents) {
  const bool negative = cents < 0;
  const std::int64_t v = negative ? -cents : cents;
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%s%lld,%02lld", negative ? "-" : "", static_cast<long long>(v / 100),
                static_cast<long long>(v % 100));
  return buffer;
}

std::string TapeThousandths(std::int64_t milli) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%lld,%03lld", static_cast<long long>(milli / 1000),
                static_cast<long long>(milli % 1000));
  return buffer;
}

std::string ItemLineText(const CouponItemLine& item) {
  char number[8];
  std::snprintf(number, sizeof number, "%03d", item.number % 1000);
  std::string rate = item.rate.substr(0, 3);
  rate.resize(3, ' ');
  std::string total = TapeMoney(item.total);
  if (total.size() < 9) total.insert(0, 9 - total.size(), ' ');
  return std::string(number) + " " + Column(item.code, kItemCodeWidth) + " " +
         Column(item.description, kItemDescriptionWidth) + " " + rate + " " + total;
}

std::string ItemQuantityLineText(const CouponItemLine& item) {
  std::string quantity = TapeThousandths(item.quantityMilli);
  if (quantity.size() < 11) quantity.insert(0, 11 - quantity.size(), ' ');
  return quantity + " x " + TapeThousandths(item.unitPriceMilli);
}

bool ParseItemLine(const std::string& line, CouponItemLine& item) {
  constexpr std::size_t kCodeAt = 4;
  constexpr std::size_t kDescriptionAt = kCodeAt + kItemCodeWidth + 1;
  if (line.size() <= kDescriptionAt || !AllDigits(line.substr(0, 3)) || line[3] != ' ' ||
      line[kDescriptionAt - 1] != ' ')
    return false;
  // From the right: the total, then the rate; the description is what lies before them,
  // whatever its width (recordings with a narrower description column read the same).
  const std::string rest = line.substr(0, line.find_last_not_of(' ') + 1);
  const std::size_t totalAt = rest.find_last_of(' ');
  if (totalAt == std::string::npos || totalAt < kDescriptionAt) return false;
  const std::size_t rateEnd = rest.find_last_not_of(' ', totalAt);
  if (rateEnd == std::string::npos || rateEnd < kDescriptionAt) return false;
  const std::size_t rateBlank = rest.find_last_of(' ', rateEnd);
  if (rateBlank == std::string::npos || rateBlank + 1 < kDescriptionAt) return false;
  const std::string rate = rest.substr(rateBlank + 1, rateEnd - rateBlank);
  if (rate.empty() || rate.size() > 3) return false;
  CouponItemLine read;
  if (!ReadMoney(rest.substr(totalAt + 1), read.total)) return false;
  read.number = std::stoi(line.substr(0, 3));
  read.code = Trim(line.substr(kCodeAt, kItemCodeWidth));
  const std::string description =
      rateBlank >= kDescriptionAt ? line.substr(kDescriptionAt, rateBlank - kDescriptionAt) : std::string();
  read.description = description.substr(0, description.find_last_not_of(' ') + 1);
  read.rate = rate;
  item = std::move(read);
  return true;
}

bool ParseItemQuantityLine(const std::string& line, CouponItemLine& item) {
  const std::string text = Trim(line);
  const std::size_t x = text.find(" x ");
  if (x == std::string::npos) return false;
  std::int64_t quantity = 0, price = 0;
  if (!ReadThousandths(text.substr(0, x), quantity) || !ReadThousandths(text.substr(x + 3), price)) return false;
  item.quantityMilli = quantity;
  item.unitPriceMilli = price;
  return true;
}

}  // namespace tervane::vendor
