#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/common/charset.h"

namespace tervane {
namespace {

std::string Bytes(std::initializer_list<unsigned char> b) { return std::string(b.begin(), b.end()); }

TEST(Charset, EveryWindows1252ByteSurvivesUtf8AndBack) {
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    const std::string utf8 = Cp1252ToUtf8(one);
    ASSERT_TRUE(IsValidUtf8(utf8)) << b;
    std::string back;
    ASSERT_TRUE(Utf8ToCp1252(utf8, back)) << b;
    EXPECT_EQ(back, one) << b;
  }
  // A few exact encodings: the euro sign, c cedilla, Y diaeresis, an undefined byte.
  EXPECT_EQ(Cp1252ToUtf8(Bytes({0x80})), "\xE2\x82\xAC");
  EXPECT_EQ(Cp1252ToUtf8(Bytes({0xE7})), "\xC3\xA7");
  EXPECT_EQ(Cp1252ToUtf8(Bytes({0x9F})), "\xC5\xB8");
  EXPECT_EQ(Cp1252ToUtf8(Bytes({0x81})), "\xC2\x81");
}

TEST(Charset, Utf8ToCp1252RefusesWhatItCannotHoldAndSaysWhere) {
  struct Case {
    std::string input;
    size_t offset;
  } cases[] = {
      {"ab\xE4\xB8\xAD", 2},        // a CJK character
      {"a\xC0\x80", 1},              // overlong NUL
      {"abc\xE2\x82", 3},            // truncated euro sign
      {"\xED\xA0\x80", 0},           // a surrogate
      {"x\xC2\x80", 1},              // U+0080 is no Windows-1252 character
  };
  for (const Case& c : cases) {
    std::string out;
    size_t bad = 999;
    EXPECT_FALSE(Utf8ToCp1252(c.input, out, &bad)) << c.input;
    EXPECT_EQ(bad, c.offset) << c.input;
    EXPECT_EQ(out, c.input.substr(0, c.offset));
  }
  EXPECT_EQ(Utf8ToCp1252Lossy("a\xE4\xB8\xAD" "b\xFF" "c\xC3\xA3"), "a?b?c\xE3");
  EXPECT_FALSE(IsValidUtf8("\xE3o"));
  EXPECT_TRUE(IsValidUtf8("ç\xF0\x9F\x98\x80"));
}

TEST(Charset, PrinterConversionTouchesExactlyTheFortySevenLetters) {
  std::set<unsigned char> targets;
  int changed = 0;
  for (int b = 0; b < 256; ++b) {
    const auto c = static_cast<unsigned char>(b);
    const unsigned char p = ToPrinterByte(c);
    if (p == c) continue;
    ++changed;
    EXPECT_GE(b, 0x80);
    EXPECT_TRUE(targets.insert(p).second) << "two letters share code " << int(p);
    EXPECT_EQ(FromPrinterByte(p), c) << b;
  }
  EXPECT_EQ(changed, 47);

  // Exact codes of some letters, and letters that pass unchanged.
  EXPECT_EQ(ToPrinterByte(0xE7), 0x87);   // ç
  EXPECT_EQ(ToPrinterByte(0xC3), 0xC7);   // Ã
  EXPECT_EQ(ToPrinterByte(0xE3), 0xC6);   // ã
  EXPECT_EQ(ToPrinterByte(0xAA), 0xA6);   // ª
  EXPECT_EQ(ToPrinterByte(0xFF), 0x98);   // ÿ
  for (unsigned char same : {0xC5, 0xC6, 0xCB, 0xCE, 0xD6, 0xD8, 0xDF, 0xE5, 0xE6, 0xEE, 0xF8}) {
    EXPECT_EQ(ToPrinterByte(same), same) << int(same);
  }

  std::string text = Bytes({'A', 0xC7, 0xC3, 'O', ' ', 0xE9, 0xC5});   // "AÇÃO éÅ"
  ToPrinterCharset(text);
  EXPECT_EQ(text, Bytes({'A', 0x80, 0xC7, 'O', ' ', 0x82, 0xC5}));
  FromPrinterCharset(text);
  EXPECT_EQ(text, Bytes({'A', 0xC7, 0xC3, 'O', ' ', 0xE9, 0xC5}));
}

TEST(Charset, DisplayByteShowsCodePage850InWindows1252) {
  for (int b = 0; b < 0x60; ++b) EXPECT_EQ(DisplayByte(static_cast<unsigned char>(b)), b);
  EXPECT_EQ(DisplayByte(0x60), 0x20);
  EXPECT_EQ(DisplayByte(0x61), 'a');
  EXPECT_EQ(DisplayByte(0x7F), 0x20);
  EXPECT_EQ(DisplayByte(0x87), 0xE7);   // ç
  EXPECT_EQ(DisplayByte(0x8F), 0x20);
  EXPECT_EQ(DisplayByte(0xB0), '_');
  EXPECT_EQ(DisplayByte(0xB3), 0xA6);   // ¦
  EXPECT_EQ(DisplayByte(0xC5), '+');
  EXPECT_EQ(DisplayByte(0xC6), 0xE3);   // ã
  EXPECT_EQ(DisplayByte(0xD5), 'i');
  EXPECT_EQ(DisplayByte(0xFF), 0x20);
  // Each of the 47 printer codes displays as its letter.
  for (int b = 0x80; b < 256; ++b) {
    const auto c = static_cast<unsigned char>(b);
    if (ToPrinterByte(c) != c) {
      EXPECT_EQ(DisplayByte(ToPrinterByte(c)), c) << b;
    }
  }
}

}  // namespace
}  // namespace tervane
