#include "sim/field_codec.h"

#include "core/common/charset.h"

namespace tervane::sim {

std::string FieldText(const Bytes& params, std::size_t offset, std::size_t n) {
  if (offset >= params.size()) return {};
  const std::size_t end = std::min(params.size(), offset + n);
  return std::string(params.begin() + offset, params.begin() + end);
}

bool FieldDigits(const Bytes& params, std::size_t offset, std::size_t n, std::int64_t* value) {
  if (n == 0 || offset + n > params.size() || n > 18) return false;
  std::int64_t v = 0;
  for (std::size_t i = offset; i < offset + n; ++i) {
    if (params[i] < '0' || params[i] > '9') return false;
    v = v * 10 + (params[i] - '0');
  }
  *value = v;
  return true;
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

void PutBcd(Bytes& out, std::int64_t value, int bytes) {
  if (value < 0) value = -value;
  std::string digits(static_cast<std::size_t>(bytes) * 2, '0');
  for (std::size_t i = digits.size(); i > 0 && value > 0; --i) {
    digits[i - 1] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(((digits[i] - '0') << 4) | (digits[i + 1] - '0')));
  }
}

void PutText(Bytes& out, const std::string& text, std::size_t width, char fill) {
  for (std::size_t i = 0; i < width; ++i) {
    out.push_back(static_cast<std::uint8_t>(i < text.size() ? text[i] : fill));
  }
}

void PutWord(Bytes& out, unsigned value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

std::string PrinterText(const std::string& utf8) {
  std::string text = Utf8ToCp1252Lossy(utf8);
  ToPrinterCharset(text);
  return text;
}

std::string OpenReplyText(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 && b != '\n') c = ' ';
  }
  return out;
}

}  // namespace tervane::sim
