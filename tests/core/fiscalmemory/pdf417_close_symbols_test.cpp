// Symbols that arrive run together or cut short: two symbols scanned close together keep
// both, and the signature pass stores only whole symbols and is complete only when every
// symbol is whole.
#include <gtest/gtest.h>

#include "core/fiscalmemory/pdf417_capture.h"
#include "core/fiscalmemory/pdf417_test_support.h"

namespace tervane {
namespace {

using testing::Data;
using testing::MakeSymbol;

std::vector<std::uint8_t> Joined(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  std::vector<std::uint8_t> all = a;
  all.insert(all.end(), b.begin(), b.end());
  return all;
}

TEST(Pdf417CloseSymbols, TwoSymbolsInOneReadAreBothKept) {
  const auto first = MakeSymbol(2004, 0, Data(668, 1));
  const auto second = MakeSymbol(2004, 668, Data(668, 2));
  const auto third = MakeSymbol(2004, 1336, Data(668, 3));

  // A first symbol and the start of the second in one read, the rest in the next one.
  Pdf417Capture capture;
  const auto both = Joined(first, second);
  ASSERT_TRUE(capture.Append(both.data(), 900));
  ASSERT_TRUE(capture.BufferComplete());
  EXPECT_EQ(capture.TakeSymbol(), Pdf417SymbolOutcome::kStored);
  EXPECT_FALSE(capture.BufferComplete());  // the second is still arriving
  ASSERT_TRUE(capture.Append(both.data() + 900, both.size() - 900));
  EXPECT_EQ(capture.TakeSymbol(), Pdf417SymbolOutcome::kStored);
  EXPECT_EQ(capture.ReceivedCount(), 2u);

  // Two whole symbols in one read larger than the buffer: both are kept.
  Pdf417Capture burst;
  const auto three = Joined(Joined(first, second), third);
  EXPECT_TRUE(burst.Append(three.data(), three.size()));
  int stored = 0;
  while (burst.BufferComplete()) stored += burst.TakeSymbol() == Pdf417SymbolOutcome::kStored;
  EXPECT_EQ(stored, 3);
  EXPECT_TRUE(burst.AllRead());
  std::string expected;
  for (const auto* s : {&first, &second, &third}) expected.append(s->begin() + 8, s->end() - 2);
  EXPECT_EQ(burst.SymbolData(), expected);
}

TEST(Pdf417CloseSymbols, WithoutTheScannersLineEndNothingIsSplit) {
  // Bytes that run past a header's length but do not end with CR LF there are not two
  // symbols: the buffer is refused as one, as before.
  auto odd = MakeSymbol(2004, 0, Data(668, 1));
  odd[odd.size() - 1] = 'X';
  const auto next = MakeSymbol(2004, 668, Data(668, 2));
  Pdf417Capture capture;
  const auto both = Joined(odd, next);
  capture.Append(both.data(), 900);
  ASSERT_TRUE(capture.BufferComplete());
  EXPECT_EQ(capture.TakeSymbol(), Pdf417SymbolOutcome::kRefused);
  EXPECT_EQ(capture.ReceivedCount(), 0u);
}

TEST(Pdf417CloseSymbols, SignatureCutShortIsNotStoredAndTheSetNotComplete) {
  const std::string rsa(256, '\x5A');
  const auto symbols = SplitIntoPdf417Symbols(rsa);
  ASSERT_EQ(symbols.size(), 1u);
  Pdf417Capture signature(true);
  signature.Append(symbols[0].data(), 224);  // 214 of its 256 bytes, as at 1200 bauds
  EXPECT_FALSE(signature.BufferComplete());
  EXPECT_EQ(signature.TakeSymbol(), Pdf417SymbolOutcome::kRefused);  // a caller that gives up
  EXPECT_FALSE(signature.SetComplete());
  EXPECT_EQ(signature.ReceivedCount(), 0u);
  signature.Append(symbols[0].data(), symbols[0].size());
  EXPECT_EQ(signature.TakeSymbol(), Pdf417SymbolOutcome::kStored);
  EXPECT_TRUE(signature.SetComplete());
  EXPECT_EQ(signature.FileBytes(), rsa);
}

}  // namespace
}  // namespace tervane
