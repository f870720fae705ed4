// Globally unique identifiers: the names of component classes, interfaces and type
// libraries, in their usual 128-bit layout and text form
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace tervane::component {

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::array<std::uint8_t, 8> data4{};

  friend auto operator<=>(const Guid&, const Guid&) = default;
  bool IsNull() const { return *this == Guid{}; }
};

// The text form with braces and upper-case hexadecimal digits.
std::string ToString(const Guid& guid);

// Reads the text form, braces optional, hexadecimal digits of either case. Returns false
// (and leaves `guid` untouched) for anything else: a wrong length, a misplaced hyphen, a
// non-hexadecimal digit, one brace without the other, surrounding spaces.
bool ParseGuid(std::string_view text, Guid& guid);

// A constant from its parts, for the fixed identifiers written in code.
constexpr Guid MakeGuid(std::uint32_t d1, std::uint16_t d2, std::uint16_t d3, std::uint8_t b0, std::uint8_t b1,
                        std::uint8_t b2, std::uint8_t b3, std::uint8_t b4, std::uint8_t b5, std::uint8_t b6,
                        std::uint8_t b7) {
  return Guid{d1, d2, d3, {b0, b1, b2, b3, b4, b5, b6, b7}};
}

}  // namespace tervane::component
