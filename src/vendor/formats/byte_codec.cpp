#include "vendor/formats/byte_codec.h"

#include <cstdio>

namespace tervane::vendor {

namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysIn(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

}  // namespace

bool MemoryTime::Valid() const {
  return year >= 2000 && year <= 2099 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysIn(year, month) && hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 &&
         second >= 0 && second <= 59;
}

std::string MemoryTime::DateText() const {
  char text[16];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d", day % 100, month % 100, year % 10000);
  return text;
}

std::string MemoryTime::TimeText() const {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour % 100, minute % 100, second % 100);
  return text;
}

bool ParseDdMmYy(const std::string& text, MemoryTime& date) {
  if (text.size() != 6) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  auto two = [&](int i) { return (text[i] - '0') * 10 + (text[i + 1] - '0'); };
  MemoryTime t;
  t.day = two(0);
  t.month = two(2);
  t.year = 2000 + two(4);
  if (!t.Valid()) return false;
  date = t;
  return true;
}

void ByteWriter::U16(std::uint16_t v) {
  U8(static_cast<std::uint8_t>(v));
  U8(static_cast<std::uint8_t>(v >> 8));
}

void ByteWriter::U32(std::uint32_t v) {
  U16(static_cast<std::uint16_t>(v));
  U16(static_cast<std::uint16_t>(v >> 16));
}

void ByteWriter::I64(std::int64_t v) {
  const auto u = static_cast<std::uint64_t>(v);
  U32(static_cast<std::uint32_t>(u));
  U32(static_cast<std::uint32_t>(u >> 32));
}

void ByteWriter::Text(std::string_view text) {
  if (text.size() > 0xFFFF) text = text.substr(0, 0xFFFF);
  U16(static_cast<std::uint16_t>(text.size()));
  out_.append(text);
}

void ByteWriter::Time(const MemoryTime& t) {
  U16(static_cast<std::uint16_t>(t.year));
  U8(static_cast<std::uint8_t>(t.month));
  U8(static_cast<std::uint8_t>(t.day));
  U8(static_cast<std::uint8_t>(t.hour));
  U8(static_cast<std::uint8_t>(t.minute));
  U8(static_cast<std::uint8_t>(t.second));
}

bool ByteReader::Take(std::size_t size, const char*& p) {
  if (failed_ || size > Left()) {
    failed_ = true;
    return false;
  }
  p = bytes_.data() + pos_;
  pos_ += size;
  return true;
}

bool ByteReader::U8(std::uint8_t& v) {
  const char* p;
  if (!Take(1, p)) return false;
  v = static_cast<std::uint8_t>(p[0]);
  return true;
}

bool ByteReader::U16(std::uint16_t& v) {
  const char* p;
  if (!Take(2, p)) return false;
  v = static_cast<std::uint16_t>(static_cast<std::uint8_t>(p[0]) |
                                 (static_cast<std::uint8_t>(p[1]) << 8));
  return true;
}

bool ByteReader::U32(std::uint32_t& v) {
  const char* p;
  if (!Take(4, p)) return false;
  v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(p[i]);
  return true;
}

bool ByteReader::I64(std::int64_t& v) {
  const char* p;
  if (!Take(8, p)) return false;
  std::uint64_t u = 0;
  for (int i = 7; i >= 0; --i) u = (u << 8) | static_cast<std::uint8_t>(p[i]);
  v = static_cast<std::int64_t>(u);
  return true;
}

bool ByteReader::Text(std::string& text) {
  const std::size_t start = pos_;
  std::uint16_t size = 0;
  const char* p;
  if (!U16(size)) return false;
  if (!Take(size, p)) {
    pos_ = start;
    return false;
  }
  text.assign(p, size);
  return true;
}

bool ByteReader::Raw(std::size_t size, std::string_view& bytes) {
  const char* p;
  if (!Take(size, p)) return false;
  bytes = std::string_view(p, size);
  return true;
}

bool ByteReader::Time(MemoryTime& t) {
  const std::size_t start = pos_;
  std::uint16_t year = 0;
  std::uint8_t f[5] = {};
  if (!U16(year)) return false;
  for (auto& b : f)
    if (!U8(b)) {
      pos_ = start;
      return false;
    }
  MemoryTime read{year, f[0], f[1], f[2], f[3], f[4]};
  if (!read.Valid()) {
    pos_ = start;
    failed_ = true;
    return false;
  }
  t = read;
  return true;
}

}  // namespace tervane::vendor
