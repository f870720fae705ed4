#include "core/common/text.h"

#include <climits>
#include <cstdio>
#include <vector>

namespace tervane {

int Atoi(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

std::string FormatV(const char* format, va_list args) {
  char small[256];
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::vector<char> big(static_cast<size_t>(n) + 1);
  std::vsnprintf(big.data(), big.size(), format, args);
  return std::string(big.data(), static_cast<size_t>(n));
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string s = FormatV(format, args);
  va_end(args);
  return s;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  if (from.empty()) return;
  std::string out;
  size_t start = 0;
  for (size_t pos; (pos = text.find(from, start)) != std::string::npos; start = pos + from.size()) {
    out.append(text, start, pos - start);
    out.append(to);
  }
  if (start == 0) return;
  out.append(text, start, std::string::npos);
  text.swap(out);
}

void RemoveAll(std::string& text, char c) {
  std::erase(text, c);
}

std::string PadLeft(std::string_view text, size_t width, char fill) {
  if (text.size() >= width) return std::string(text);
  return std::string(width - text.size(), fill) + std::string(text);
}

std::string PadRight(std::string_view text, size_t width, char fill) {
  std::string s(text);
  if (s.size() < width) s.append(width - s.size(), fill);
  return s;
}

std::string HexByte(unsigned char b) {
  static const char digits[] = "0123456789ABCDEF";
  return {digits[b >> 4], digits[b & 0x0F]};
}

unsigned char HexNibble(unsigned char c) {
  unsigned char n = c & 0x0F;
  if (c >= 0x3A && c <= 0x46) n = static_cast<unsigned char>(n + 9);
  return n;
}

}  // namespace tervane
