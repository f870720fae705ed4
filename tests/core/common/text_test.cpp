#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "core/common/text.h"

namespace tervane {
namespace {

TEST(Text, AtoiFollowsTheCLibraryRules) {
  EXPECT_EQ(Atoi("42"), 42);
  EXPECT_EQ(Atoi("  \t\n42abc"), 42);
  EXPECT_EQ(Atoi("-7"), -7);
  EXPECT_EQ(Atoi("+5"), 5);
  EXPECT_EQ(Atoi("12 34"), 12);
  EXPECT_EQ(Atoi("0x1F"), 0);
  EXPECT_EQ(Atoi("abc"), 0);
  EXPECT_EQ(Atoi(""), 0);
  EXPECT_EQ(Atoi("-"), 0);
  EXPECT_EQ(Atoi("- 5"), 0);
  EXPECT_EQ(Atoi("--5"), 0);
  EXPECT_EQ(Atoi(std::string_view("12", 1)), 1);   // stops at the end of the view
  // Beyond the int range the value saturates.
  EXPECT_EQ(Atoi("2147483647"), INT_MAX);
  EXPECT_EQ(Atoi("2147483648"), INT_MAX);
  EXPECT_EQ(Atoi("-2147483648"), INT_MIN);
  EXPECT_EQ(Atoi("-2147483649"), INT_MIN);
  EXPECT_EQ(Atoi("99999999999999999999999"), INT_MAX);
}

TEST(Text, FormatHandlesShortAndLongResults) {
  EXPECT_EQ(Format("%d-%s-%05.1f", 5, "x", 2.3), "5-x-002.3");
  const std::string long_text(1000, 'z');
  EXPECT_EQ(Format("[%s]", long_text.c_str()), "[" + long_text + "]");
  EXPECT_EQ(Format("%s", ""), "");
}

TEST(Text, ReplaceAllReplacesEveryOccurrenceOnce) {
  auto replaced = [](std::string text, std::string_view from, std::string_view to) {
    ReplaceAll(text, from, to);
    return text;
  };
  EXPECT_EQ(replaced("aaa", "a", "bb"), "bbbbbb");
  EXPECT_EQ(replaced("aaaa", "aa", "b"), "bb");
  EXPECT_EQ(replaced("abc", "a", "aa"), "aabc");       // the replacement is not searched again
  EXPECT_EQ(replaced("xabcx", "x", ""), "abc");
  EXPECT_EQ(replaced("abc", "d", "e"), "abc");
  EXPECT_EQ(replaced("abc", "", "e"), "abc");
  EXPECT_EQ(replaced("\r\n\r\n", "\r\n", "\n"), "\n\n");
}

TEST(Text, HexTextWritesEitherCaseAndHexToBytesReadsIt) {
  const std::string bytes("\x00\x0A\xAB\xFF", 4);
  EXPECT_EQ(HexText(bytes), "000AABFF");
  EXPECT_EQ(HexText(bytes, HexCase::kLower), "000aabff");
  EXPECT_EQ(HexByte(0xC3), "C3");

  std::string decoded;
  ASSERT_TRUE(HexToBytes("000aABff", decoded));
  EXPECT_EQ(decoded, bytes);
  EXPECT_TRUE(HexToBytes("", decoded));
  EXPECT_TRUE(decoded.empty());
  decoded = "kept?";
  EXPECT_FALSE(HexToBytes("ABC", decoded));  // odd count
  EXPECT_TRUE(decoded.empty());
  EXPECT_FALSE(HexToBytes("0G", decoded));
  EXPECT_FALSE(HexToBytes("0 ", decoded));
  EXPECT_EQ(HexDigitValue('f'), 15);
  EXPECT_EQ(HexDigitValue('/'), -1);
}

}  // namespace
}  // namespace tervane
