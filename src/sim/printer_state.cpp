#include "sim/printer_state.h"

#include <cstdio>
#include <ctime>

#include "sim/field_codec.h"

namespace tervane::sim {

bool SimDate::Valid() const {
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) return false;
  if (day > kDays[month - 1]) return false;
  if (month == 2 && day == 29) {
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (!leap) return false;
  }
  return true;
}

std::int64_t Coupon::ItemsTotal() const {
  std::int64_t total = 0;
  for (const auto& item : items) total += item.Net();
  return total;
}

int Coupon::LiveItems() const {
  int n = 0;
  for (const auto& item : items) n += item.cancelled ? 0 : 1;
  return n;
}

PrinterState::PrinterState() {
  rates.fill("0000");
  payments[0].description = "Dinheiro";
  reportNames[0] = PrinterText("Relatório Geral");
  static const char* kDepartmentNames[] = {"Geral", "Alimentos", "Bebidas", "Limpeza", "Higiene"};
  for (int i = 0; i < kDepartments; ++i) {
    departmentNames[i] = i < 5 ? kDepartmentNames[i] : "Depto " + std::to_string(i + 1);
  }
  cliche = PrinterText("TERVANE SIMULADOR\nRUA DAS FLORES, 100 - CENTRO\nSÃO PAULO - SP\n");
}

std::string Money(std::int64_t cents) {
  const bool negative = cents < 0;
  const std::int64_t v = negative ? -cents : cents;
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%s%lld,%02lld", negative ? "-" : "",
                static_cast<long long>(v / 100), static_cast<long long>(v % 100));
  return buffer;
}

std::int64_t PrinterSeconds(const CivilTime& t) {
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  return static_cast<std::int64_t>(timegm(&tm));
}

std::string Fit(const std::string& text, std::size_t width, char fill) {
  std::string out = text.substr(0, width);
  out.resize(width, fill);
  return out;
}

std::string TrimRight(const std::string& text) {
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] == ' ') --end;
  return text.substr(0, end);
}

}  // namespace tervane::sim
