#include "component/guid.h"

#include <cstdio>

namespace tervane::component {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `digits` hexadecimal digits at text[at]; false when any is not one.
bool ReadHex(std::string_view text, size_t at, int digits, std::uint64_t& value) {
  value = 0;
  for (int i = 0; i < digits; ++i) {
    const int v = HexValue(text[at + i]);
    if (v < 0) return false;
    value = value * 16 + static_cast<unsigned>(v);
  }
  return true;
}

}  // namespace

std::string ToString(const Guid& guid) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.data1, guid.data2,
                guid.data3, guid.data4[0], guid.data4[1], guid.data4[2], guid.data4[3], guid.data4[4],
                guid.data4[5], guid.data4[6], guid.data4[7]);
  return text;
}

bool ParseGuid(std::string_view text, Guid& guid) {
  if (text.size() == 38) {
    if (text.front() != '{' || text.back() != '}') return false;
    text = text.substr(1, 36);
  }
  if (text.size() != 36) return false;
  if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') return false;
  Guid parsed;
  std::uint64_t value = 0;
  if (!ReadHex(text, 0, 8, value)) return false;
  parsed.data1 = static_cast<std::uint32_t>(value);
  if (!ReadHex(text, 9, 4, value)) return false;
  parsed.data2 = static_cast<std::uint16_t>(value);
  if (!ReadHex(text, 14, 4, value)) return false;
  parsed.data3 = static_cast<std::uint16_t>(value);
  static constexpr size_t kByteAt[8] = {19, 21, 24, 26, 28, 30, 32, 34};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(text, kByteAt[i], 2, value)) return false;
    parsed.data4[i] = static_cast<std::uint8_t>(value);
  }
  guid = parsed;
  return true;
}

}  // namespace tervane::component
