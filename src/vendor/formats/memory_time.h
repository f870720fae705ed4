// A moment as the printer's memories record it: calendar date and time of day, to the
// second, in the printer's own clock (no time zone).
#pragma once

#include <compare>
#include <string>

namespace tervane::vendor {

struct MemoryTime {
  int year = 2000;  // four digits
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;

  auto operator<=>(const MemoryTime&) const = default;
  bool operator==(const MemoryTime&) const = default;

  // True when this is a real calendar date (years 2000..2099) and a time of day.
  bool Valid() const;
  // The date alone, as a comparable number yyyymmdd.
  int DateKey() const { return year * 10000 + month * 100 + day; }
  // "DD/MM/YYYY" and "HH:MM:SS".
  std::string DateText() const;
  std::string TimeText() const;
};

// Reads "DDMMYY" (years 00..99 meaning 2000..2099) into a date at 00:00:00. Returns false
// for anything that is not six digits naming a real date.
bool ParseDdMmYy(const std::string& text, MemoryTime& date);

}  // namespace tervane::vendor
