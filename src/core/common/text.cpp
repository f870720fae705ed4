#include "core/common/text.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <utility>
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

namespace {

const char* HexDigits(HexCase letters) {
  return letters == HexCase::kLower ? "0123456789abcdef" : "0123456789ABCDEF";
}

}  // namespace

std::string HexText(std::string_view bytes, HexCase letters) {
  const char* digits = HexDigits(letters);
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    hex.push_back(digits[c >> 4]);
    hex.push_back(digits[c & 0x0F]);
  }
  return hex;
}

std::string HexByte(unsigned char b) {
  const char* digits = HexDigits(HexCase::kUpper);
  return {digits[b >> 4], digits[b & 0x0F]};
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool HexToBytes(std::string_view hex, std::string& bytes) {
  bytes.clear();
  if (hex.size() % 2 != 0) return false;
  std::string out;
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigitValue(hex[i]);
    const int low = HexDigitValue(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    out.push_back(static_cast<char>(high * 16 + low));
  }
  bytes = std::move(out);
  return true;
}

unsigned char HexNibble(unsigned char c) {
  unsigned char n = c & 0x0F;
  if (c >= 0x3A && c <= 0x46) n = static_cast<unsigned char>(n + 9);
  return n;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

std::string TrimSpaces(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::string Unpadded(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return std::string(text);
}

std::string ToLowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return text;
}

bool NaturalLess(const std::string& a, const std::string& b) {
  auto split = [](const std::string& s) {
    size_t i = s.size();
    while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1]))) --i;
    const std::string digits = s.substr(i, 9);
    return std::make_pair(s.substr(0, i), digits.empty() ? -1L : std::strtol(digits.c_str(), nullptr, 10));
  };
  return split(a) < split(b);
}

}  // namespace tervane
