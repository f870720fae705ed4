#include "core/fiscalmemory/pdf417_capture.h"

#include <gtest/gtest.h>

#include "core/common/text.h"
#include "core/fiscalmemory/pdf417_test_support.h"

namespace tervane {
namespace {

using testing::Data;
using testing::MakeSymbol;

Pdf417SymbolOutcome Feed(Pdf417Capture& capture, const std::vector<std::uint8_t>& symbol) {
  EXPECT_TRUE(capture.Append(symbol.data(), symbol.size()));
  EXPECT_TRUE(capture.BufferComplete());
  return capture.TakeSymbol();
}

std::string DataOf(const std::vector<std::uint8_t>& d) { return std::string(d.begin(), d.end()); }

TEST(Pdf417Capture, TwoSymbolSetAssemblesInEitherOrder) {
  const auto first = Data(668, 1);
  const auto second = Data(668, 7);
  for (bool reversed : {false, true}) {
    Pdf417Capture capture;
    const auto a = MakeSymbol(1336, 0, first);
    const auto b = MakeSymbol(1336, 668, second);
    EXPECT_EQ(Feed(capture, reversed ? b : a), Pdf417SymbolOutcome::kStored);
    EXPECT_EQ(capture.ExpectedText(), "2");
    EXPECT_EQ(capture.ReceivedText(), "1");
    EXPECT_EQ(capture.StatusText(), Cp(reversed ? "Símbolo lido: 2/2" : "Símbolo lido: 1/2"));
    EXPECT_FALSE(capture.AllRead());
    EXPECT_EQ(Feed(capture, reversed ? a : b), Pdf417SymbolOutcome::kStored);
    EXPECT_EQ(capture.StatusText(), Cp(reversed ? "Símbolo lido: 1/2" : "Símbolo lido: 2/2"));
    EXPECT_TRUE(capture.AllRead());
    EXPECT_EQ(capture.SymbolData(), DataOf(first) + DataOf(second)) << "reversed=" << reversed;
  }
}

TEST(Pdf417Capture, RepeatedSymbolChangesNothing) {
  Pdf417Capture capture;
  const auto a = MakeSymbol(2004, 0, Data(668, 1));
  Feed(capture, a);
  EXPECT_EQ(Feed(capture, a), Pdf417SymbolOutcome::kDuplicate);
  EXPECT_EQ(capture.StatusText(), Cp("Símbolo já foi lido"));
  EXPECT_EQ(capture.ReceivedCount(), 1u);
  EXPECT_EQ(capture.ReceivedText(), "1");
  EXPECT_EQ(capture.ExpectedCount(), 3u);
}

TEST(Pdf417Capture, CompletenessRule) {
  // Nothing read yet: any non-empty buffer without a readable header is the (first)
  // symbol, and is refused.
  Pdf417Capture capture;
  EXPECT_FALSE(capture.BufferComplete());
  const std::uint8_t byte = 0;
  capture.Append(&byte, 1);
  EXPECT_TRUE(capture.BufferComplete());
  EXPECT_EQ(capture.TakeSymbol(), Pdf417SymbolOutcome::kRefused);

  // A 3-symbol set: each symbol is complete at the length its header announces, 678
  // bytes for the first two and 110 for the short last one.
  const std::uint32_t total = 668 * 2 + 100;
  const auto first = MakeSymbol(total, 0, Data(668, 1));
  capture.Append(first.data(), 300);
  EXPECT_FALSE(capture.BufferComplete()) << "a first symbol still arriving on a slow line is not cut";
  capture.Append(first.data() + 300, first.size() - 300);
  EXPECT_TRUE(capture.BufferComplete());
  EXPECT_EQ(capture.TakeSymbol(), Pdf417SymbolOutcome::kStored);

  const auto middle = MakeSymbol(total, 668, Data(668, 2));
  capture.Append(middle.data(), 600);
  EXPECT_FALSE(capture.BufferComplete());
  capture.Append(middle.data() + 600, middle.size() - 600);
  EXPECT_TRUE(capture.BufferComplete());
  EXPECT_EQ(capture.TakeSymbol(), Pdf417SymbolOutcome::kStored);
  EXPECT_EQ(capture.BufferFill(), 0u);

  const auto last = MakeSymbol(total, 1336, Data(100, 3));
  capture.Append(last.data(), 20);
  EXPECT_FALSE(capture.BufferComplete());
  capture.Append(last.data() + 20, last.size() - 20);
  EXPECT_TRUE(capture.BufferComplete()) << "the short last symbol is complete at 110 bytes";
  EXPECT_EQ(capture.TakeSymbol(), Pdf417SymbolOutcome::kStored);
  EXPECT_TRUE(capture.AllRead());
  EXPECT_EQ(capture.SymbolData().size(), 668u * 2 + 100);

  // The signature pass too waits for what the header announces: a signature symbol
  // still arriving on a slow line is not taken half-way.
  Pdf417Capture signature(true);
  Feed(signature, MakeSymbol(3000, 0, Data(668, 1)));
  const auto partial = MakeSymbol(3000, 668, Data(668, 1));
  signature.Append(partial.data(), 300);
  EXPECT_FALSE(signature.BufferComplete());
  signature.Append(partial.data() + 300, partial.size() - 300);
  EXPECT_TRUE(signature.BufferComplete());
}

TEST(Pdf417Capture, SymbolCutShortIsRefusedNotStored) {
  // A symbol that lost bytes on the line, then the next scan run into it.
  Pdf417Capture capture;
  Feed(capture, MakeSymbol(2004, 0, Data(668, 1)));
  const auto cut = MakeSymbol(2004, 668, Data(668, 2));
  const auto next = MakeSymbol(2004, 1336, Data(668, 3));
  capture.Append(cut.data(), 300);
  capture.Append(next.data(), next.size());
  ASSERT_TRUE(capture.BufferComplete());
  EXPECT_EQ(capture.TakeSymbol(), Pdf417SymbolOutcome::kRefused);
  EXPECT_EQ(capture.StatusText(), Cp("Símbolo recusado: longo demais (978 bytes)"));

  // The last symbol expected arriving short of what its header announces: the general
  // rule would take it; the header says it is cut.
  Pdf417Capture last;
  Feed(last, MakeSymbol(1000, 0, Data(668, 1)));
  const auto tail = MakeSymbol(1000, 668, Data(332, 2));
  last.Append(tail.data(), 200);
  EXPECT_FALSE(last.BufferComplete());
  EXPECT_EQ(last.TakeSymbol(), Pdf417SymbolOutcome::kRefused);  // a caller that gives up waiting
  EXPECT_EQ(last.StatusText(), Cp("Símbolo recusado: 200 bytes recebidos, 342 anunciados"));
  EXPECT_EQ(last.ReceivedCount(), 1u);
  EXPECT_EQ(Feed(last, tail), Pdf417SymbolOutcome::kStored);
  EXPECT_TRUE(last.AllRead());
}

TEST(Pdf417Capture, MfdFileLayoutForOneFullSymbol) {
  Pdf417Capture capture;
  const auto data = Data(668, 9);
  Feed(capture, MakeSymbol(668, 0, data));
  ASSERT_TRUE(capture.AllRead());
  const std::string file = capture.FileBytes();
  ASSERT_EQ(file.size(), 524288u + 768 + 768 + 668 + 256);
  EXPECT_EQ(file.find_first_not_of('\xFF'), 524288u);
  for (int block = 0; block < 6; ++block) {
    const std::string b = file.substr(524288 + 256 * block, 256);
    EXPECT_EQ(b[0], block < 3 ? '\x00' : '\x01');
    EXPECT_EQ(b.substr(1, 7), "PDF-417");
    EXPECT_EQ(b.substr(8, 246), std::string(246, '\0'));
    EXPECT_EQ(b.substr(254), block < 3 ? "BU" : "<@");
  }
  EXPECT_EQ(file.substr(524288 + 1536, 668), DataOf(data));
  EXPECT_EQ(file.substr(file.size() - 256), std::string(256, '\xFF'));
}

TEST(Pdf417Capture, MissingSymbolLeavesNoGapAndSignatureKeepsNonZeroBytes) {
  Pdf417Capture capture;
  Feed(capture, MakeSymbol(668 * 3, 1336, Data(668, 3)));
  Feed(capture, MakeSymbol(668 * 3, 0, Data(668, 1)));
  EXPECT_EQ(capture.SymbolData(), DataOf(Data(668, 1)) + DataOf(Data(668, 3)));
  EXPECT_EQ(capture.FileBytes().size(), 524288u + 1536 + 1336 + 256);

  Pdf417Capture signature(true);
  std::vector<std::uint8_t> data = {0, 'A', 0, 0, 'B', 'C', 0};
  Feed(signature, MakeSymbol(static_cast<std::uint32_t>(data.size()), 0, data));
  EXPECT_EQ(signature.FileBytes(), "ABC");
}

TEST(Pdf417Capture, HostileSymbolsAreRefusedWithoutChangingTheSet) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* status;
  };
  const std::vector<Case> cases = {
      {"too short", {1, 2, 3, 4, 5, 6, 7, 8, 9}, "Símbolo recusado: curto demais (9 bytes)"},
      {"zero length", MakeSymbol(0, 0, Data(10, 1)), "Símbolo recusado: tamanho do conjunto inválido (0)"},
      {"gigabytes", MakeSymbol(0xFFFFFFFFu, 0, Data(668, 1)),
       "Símbolo recusado: tamanho do conjunto inválido (4294967295)"},
      {"offset beyond the set", MakeSymbol(1336, 1336, Data(668, 1)), "Símbolo recusado: posição 1336 fora do conjunto"},
      {"offset far beyond", MakeSymbol(1336, 0xFFFFFFF0u, Data(668, 1)),
       "Símbolo recusado: posição 4294967280 fora do conjunto"},
      {"longer than a full symbol", MakeSymbol(1336, 0, Data(700, 1)),
       "Símbolo recusado: longo demais (710 bytes)"},
  };
  for (const Case& c : cases) {
    Pdf417Capture capture;
    capture.Append(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(capture.TakeSymbol(), Pdf417SymbolOutcome::kRefused) << c.name;
    EXPECT_EQ(capture.StatusText(), Cp(c.status)) << c.name;
    EXPECT_EQ(capture.ExpectedCount(), 0u) << c.name;
    EXPECT_EQ(capture.ReceivedCount(), 0u) << c.name;
    EXPECT_TRUE(capture.Slots().empty()) << c.name;
    EXPECT_EQ(capture.BufferFill(), 0u) << c.name;
    // The capture still takes the real set afterwards.
    EXPECT_EQ(Feed(capture, MakeSymbol(668, 0, Data(668, 1))), Pdf417SymbolOutcome::kStored) << c.name;
  }

  // Once the set is known: a symbol of another set, and an offset that shares a slot
  // with one already read.
  Pdf417Capture capture;
  Feed(capture, MakeSymbol(2004, 0, Data(668, 1)));
  EXPECT_EQ(Feed(capture, MakeSymbol(5000, 668, Data(668, 2))), Pdf417SymbolOutcome::kRefused);
  EXPECT_EQ(capture.StatusText(), Cp("Símbolo recusado: pertence a outro conjunto (tamanho 5000)"));
  EXPECT_EQ(Feed(capture, MakeSymbol(2004, 10, Data(668, 2))), Pdf417SymbolOutcome::kRefused);
  EXPECT_EQ(capture.StatusText(), Cp("Símbolo recusado: posição 10 ocupa um símbolo já lido"));
  EXPECT_EQ(capture.ReceivedCount(), 1u);
  EXPECT_EQ(Feed(capture, MakeSymbol(2004, 668, Data(668, 2))), Pdf417SymbolOutcome::kStored);
}

TEST(Pdf417Capture, BytesBeyondTheBufferRefuseTheSymbol) {
  Pdf417Capture capture(true);  // the signature pass takes long symbols, up to the buffer
  const auto big = MakeSymbol(5000, 0, Data(1100, 1));
  EXPECT_TRUE(capture.Append(big.data(), 1000));
  EXPECT_FALSE(capture.Append(big.data() + 1000, big.size() - 1000));
  EXPECT_LE(capture.BufferFill(), kPdf417BufferSize);
  EXPECT_TRUE(capture.BufferComplete());
  EXPECT_EQ(capture.TakeSymbol(), Pdf417SymbolOutcome::kRefused);
  EXPECT_EQ(capture.StatusText(), Cp("Símbolo recusado: maior que o buffer de recepção (1024 bytes)"));

  // One read larger than the whole buffer, into an empty buffer.
  std::vector<std::uint8_t> flood(70000, 0x41);
  EXPECT_FALSE(capture.Append(flood.data(), flood.size()));
  EXPECT_EQ(capture.BufferFill(), 0u);
  EXPECT_TRUE(capture.BufferComplete());
  EXPECT_EQ(capture.TakeSymbol(), Pdf417SymbolOutcome::kRefused);

  // A symbol of exactly the buffer's size still fits.
  const auto exact = MakeSymbol(5000, 0, Data(kPdf417BufferSize - 10, 1));
  EXPECT_TRUE(capture.Append(exact.data(), exact.size()));
  EXPECT_EQ(capture.TakeSymbol(), Pdf417SymbolOutcome::kStored);
}

TEST(Pdf417Capture, HexDumpGroupsOfEight) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < 10; ++i) bytes.push_back(static_cast<std::uint8_t>(0xF0 + i));
  EXPECT_EQ(Pdf417HexDump(bytes.data(), bytes.size()),
            "000000  F0 F1 F2 F3 F4 F5 F6 F7 \n"
            "000008  F8 F9 \n");
  EXPECT_EQ(Pdf417HexDump(bytes.data(), 8), "000000  F0 F1 F2 F3 F4 F5 F6 F7 \n");
  EXPECT_EQ(Pdf417HexDump(bytes.data(), 0), "");

  Pdf417Capture capture;
  const auto symbol = MakeSymbol(668, 0, Data(668, 1));
  Feed(capture, symbol);
  EXPECT_EQ(capture.DumpText(), Pdf417HexDump(symbol.data(), symbol.size()));
  EXPECT_EQ(capture.DumpText().substr(capture.DumpText().rfind("0002A0")), "0002A0  " +
            HexByte(symbol[672]) + " " + HexByte(symbol[673]) + " " + HexByte(symbol[674]) + " " +
            HexByte(symbol[675]) + " 0D 0A \n");
}

}  // namespace
}  // namespace tervane
