#include "core/common/charset.h"

#include <array>
#include <cstdint>

namespace tervane {
namespace {

// Unicode code points of Windows-1252 bytes 80h..9Fh (undefined bytes map to themselves).
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t CodePointOf(unsigned char b) {
  if (b >= 0x80 && b < 0xA0) return kCp1252High[b - 0x80];
  return b;
}

// Returns the Windows-1252 byte for a code point, or -1.
int ByteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == cp) return 0x80 + i;
  }
  return -1;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 sequence at text[i]; returns its length, 0 when invalid.
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  size_t len;
  if (b0 < 0x80) { cp = b0; return 1; }
  if ((b0 & 0xE0) == 0xC0) { len = 2; cp = b0 & 0x1F; }
  else if ((b0 & 0xF0) == 0xE0) { len = 3; cp = b0 & 0x0F; }
  else if ((b0 & 0xF8) == 0xF0) { len = 4; cp = b0 & 0x07; }
  else return 0;
  if (i + len > text.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  // Reject overlong forms, surrogates and values beyond Unicode.
  if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
      (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
    return 0;
  }
  return len;
}

struct PrinterTables {
  std::array<unsigned char, 256> to{};
  std::array<unsigned char, 256> from{};
  PrinterTables() {
    for (int i = 0; i < 256; ++i) {
      to[i] = static_cast<unsigned char>(i);
      from[i] = static_cast<unsigned char>(i);
    }
    // Windows-1252 letter -> code page 850 code of the same letter.
    static constexpr unsigned char kPairs[][2] = {
        {0xAA, 0xA6}, {0xBA, 0xA7}, {0xC0, 0xB7}, {0xC1, 0xB5}, {0xC2, 0xB6}, {0xC3, 0xC7},
        {0xC4, 0x8E}, {0xC7, 0x80}, {0xC8, 0xD4}, {0xC9, 0x90}, {0xCA, 0xD2}, {0xCC, 0xDE},
        {0xCD, 0xD6}, {0xCF, 0xD8}, {0xD1, 0xA5}, {0xD2, 0xE3}, {0xD3, 0xE0}, {0xD4, 0xE2},
        {0xD5, 0xE5}, {0xD9, 0xEB}, {0xDA, 0xE9}, {0xDB, 0xEA}, {0xDC, 0x9A}, {0xE0, 0x85},
        {0xE1, 0xA0}, {0xE2, 0x83}, {0xE3, 0xC6}, {0xE4, 0x84}, {0xE7, 0x87}, {0xE8, 0x8A},
        {0xE9, 0x82}, {0xEA, 0x88}, {0xEB, 0x89}, {0xEC, 0x8D}, {0xED, 0xA1}, {0xEF, 0x8B},
        {0xF1, 0xA4}, {0xF2, 0x95}, {0xF3, 0xA2}, {0xF4, 0x93}, {0xF5, 0xE4}, {0xF6, 0x94},
        {0xF9, 0x97}, {0xFA, 0xA3}, {0xFB, 0x96}, {0xFC, 0x81}, {0xFF, 0x98}};
    for (const auto& p : kPairs) {
      to[p[0]] = p[1];
      from[p[1]] = p[0];
    }
  }
};

const PrinterTables& Tables() {
  static const PrinterTables tables;
  return tables;
}

// Code page 850 rendered in Windows-1252, for bytes 60h..FFh.
constexpr unsigned char kDisplay[10][16] = {
    {0x20, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F},
    {0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x20},
    {0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7, 0xEA, 0xEB, 0xE8, 0xEF, 0xEE, 0xEC, 0xC4, 0x20},
    {0xC9, 0xE6, 0xC6, 0xF4, 0xF6, 0xF2, 0xFB, 0xF9, 0xFF, 0xD6, 0xDC, 0xF8, 0xA3, 0xD8, 0xD7, 0x20},
    {0xE1, 0xED, 0xF3, 0xFA, 0xF1, 0xD1, 0xAA, 0xBA, 0xBF, 0xAE, 0xAC, 0xBD, 0xBC, 0xA1, 0xAB, 0xBB},
    {0x5F, 0x5F, 0x5F, 0xA6, 0xA6, 0xC1, 0xC2, 0xC0, 0xA9, 0xA6, 0xA6, 0x2B, 0x2B, 0xA2, 0xA5, 0x2B},
    {0x2B, 0x2D, 0x2D, 0x2B, 0x2D, 0x2B, 0xE3, 0xC3, 0x2B, 0x2B, 0x2D, 0x2D, 0xA6, 0x2D, 0x2B, 0xA4},
    {0xF0, 0xD0, 0xCA, 0xCB, 0xC8, 0x69, 0xCD, 0xCE, 0xCF, 0x2B, 0x2B, 0x5F, 0x5F, 0xA6, 0xCC, 0x5F},
    {0xD3, 0xDF, 0xD4, 0xD2, 0xF5, 0xD5, 0xB5, 0xFE, 0xDE, 0xDA, 0xDB, 0xD9, 0xFD, 0xDD, 0xAF, 0xB4},
    {0xAD, 0xB1, 0x5F, 0xBE, 0xB6, 0xA7, 0xF7, 0xB8, 0xB0, 0xA8, 0xB7, 0xB9, 0xB3, 0xB2, 0x5F, 0x20}};

}  // namespace

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (unsigned char b : text) AppendUtf8(out, CodePointOf(b));
  return out;
}

bool Utf8ToCp1252(std::string_view text, std::string& out, size_t* badOffset) {
  out.clear();
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const size_t len = DecodeUtf8(text, i, cp);
    const int b = len ? ByteOf(cp) : -1;
    if (b < 0) {
      if (badOffset) *badOffset = i;
      return false;
    }
    out += static_cast<char>(b);
    i += len;
  }
  return true;
}

std::string Utf8ToCp1252Lossy(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    size_t len = DecodeUtf8(text, i, cp);
    const int b = len ? ByteOf(cp) : -1;
    out += b < 0 ? '?' : static_cast<char>(b);
    i += len ? len : 1;
  }
  return out;
}

size_t DecodeUtf8Char(std::string_view text, size_t i, char32_t& codePoint) {
  if (i >= text.size()) return 0;
  return DecodeUtf8(text, i, codePoint);
}

int Cp1252ByteOf(char32_t codePoint) { return ByteOf(codePoint); }

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const size_t len = DecodeUtf8(text, i, cp);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

unsigned char ToPrinterByte(unsigned char c) { return Tables().to[c]; }
unsigned char FromPrinterByte(unsigned char c) { return Tables().from[c]; }

void ToPrinterCharset(std::string& text) {
  const auto& t = Tables().to;
  for (auto& ch : text) ch = static_cast<char>(t[static_cast<unsigned char>(ch)]);
}

void FromPrinterCharset(std::string& text) {
  const auto& t = Tables().from;
  for (auto& ch : text) ch = static_cast<char>(t[static_cast<unsigned char>(ch)]);
}

unsigned char DisplayByte(unsigned char c) {
  if (c < 0x60) return c;
  return kDisplay[(c >> 4) - 6][c & 0x0F];
}

}  // namespace tervane
