#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "fiscalmemory/mfd_report_support.h"
#include "fiscalmemory/pdf417_capture.h"

namespace tervane::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = Pdf417Step::Kind;

// A symbol of the set of total length `total` at `offset` with `dataSize` data bytes
// (each data byte `fill`, or counting up when fill is 0) and two check bytes.
Bytes Symbol(std::uint32_t total, std::uint32_t offset, std::size_t dataSize, std::uint8_t fill = 0) {
  Bytes b;
  for (std::uint32_t v : {total, offset}) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  for (std::size_t i = 0; i < dataSize; ++i) b.push_back(fill != 0 ? fill : static_cast<std::uint8_t>(offset + i));
  b.push_back(0xAA);
  b.push_back(0xBB);
  return b;
}

Pdf417Step Scan(Pdf417Capture& capture, const Bytes& symbol) {
  capture.Append(symbol.data(), symbol.size());
  return capture.Take();
}

const std::size_t kHead = 524288 + 768 + 768;

TEST(Pdf417Capture, TwoSymbolSetInEitherOrderFillsBothSlots) {
  const Bytes first = Symbol(1336, 0, 668), second = Symbol(1336, 668, 668);
  for (bool reversed : {false, true}) {
    Pdf417Capture capture;
    const Pdf417Step a = Scan(capture, reversed ? second : first);
    EXPECT_EQ(a.kind, Kind::kStored);
    EXPECT_EQ(a.status, reversed ? Cp("Símbolo lido: 2/2") : Cp("Símbolo lido: 1/2"));
    EXPECT_EQ(capture.ExpectedCount(), 2);
    EXPECT_FALSE(a.finished);
    const Pdf417Step b = Scan(capture, reversed ? first : second);
    EXPECT_EQ(b.kind, Kind::kStored);
    EXPECT_TRUE(b.finished);
    EXPECT_EQ(capture.ReceivedCount(), 2);

    const Bytes file = BuildPdf417File(capture);
    ASSERT_EQ(file.size(), kHead + 1336 + 256);
    EXPECT_EQ(Bytes(file.begin() + kHead, file.begin() + kHead + 668), Bytes(first.begin() + 8, first.end() - 2));
    EXPECT_EQ(Bytes(file.begin() + kHead + 668, file.end() - 256), Bytes(second.begin() + 8, second.end() - 2));
  }
}

TEST(Pdf417Capture, MfdFileLayout) {
  Pdf417Capture capture;
  Scan(capture, Symbol(668, 0, 668, 0x55));
  const Bytes file = BuildPdf417File(capture);
  ASSERT_EQ(file.size(), 524288u + 768 + 768 + 668 + 256);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 524288), Bytes(524288, 0xFF));
  for (int block = 0; block < 6; ++block) {
    const auto b = file.begin() + 524288 + 256 * block;
    EXPECT_EQ(b[0], block < 3 ? 0x00 : 0x01);
    EXPECT_EQ(std::string(b + 1, b + 8), "PDF-417");
    EXPECT_EQ(Bytes(b + 8, b + 254), Bytes(246, 0x00));
    EXPECT_EQ(std::string(b + 254, b + 256), block < 3 ? "BU" : "<@");
  }
  EXPECT_EQ(Bytes(file.begin() + kHead, file.end() - 256), Bytes(668, 0x55));
  EXPECT_EQ(Bytes(file.end() - 256, file.end()), Bytes(256, 0xFF));

  // The signature's file: the data only, without its zero bytes.
  Pdf417Capture signature(true);
  Bytes symbol = Symbol(6, 0, 6, 0x11);
  symbol[9] = 0x00;
  symbol[12] = 0x00;
  Scan(signature, symbol);
  EXPECT_EQ(BuildPdf417File(signature), Bytes(4, 0x11));
}

TEST(Pdf417Capture, RepeatsShortLastSymbolsAndSplitArrivals) {
  Pdf417Capture capture;
  const Bytes first = Symbol(1400, 0, 668);
  EXPECT_EQ(Scan(capture, first).kind, Kind::kStored);
  const Pdf417Step again = Scan(capture, first);
  EXPECT_EQ(again.kind, Kind::kDuplicate);
  EXPECT_EQ(again.status, Cp("Símbolo já foi lido"));
  EXPECT_EQ(capture.ReceivedCount(), 1);

  // Another offset of a filled slot would leave a slot empty while counting it full.
  EXPECT_EQ(Scan(capture, Symbol(1400, 5, 668)).kind, Kind::kDuplicate);
  EXPECT_EQ(capture.ReceivedCount(), 1);

  // A full symbol in two reads: the first part alone is not a symbol (two are still due).
  const Bytes middle = Symbol(1400, 668, 668);
  capture.Append(middle.data(), 300);
  EXPECT_EQ(capture.Take().kind, Kind::kIncomplete);
  capture.Append(middle.data() + 300, middle.size() - 300);
  EXPECT_EQ(capture.Take().kind, Kind::kStored);

  // The last one is short, and is taken because it is the last expected.
  const Pdf417Step last = Scan(capture, Symbol(1400, 1336, 64));
  EXPECT_EQ(last.kind, Kind::kStored);
  EXPECT_EQ(last.status, Cp("Símbolo lido: 3/3"));
  EXPECT_TRUE(last.finished);
  EXPECT_EQ(BuildPdf417File(capture).size(), kHead + 668 + 668 + 64 + 256);
}

TEST(Pdf417Capture, HostileSymbolsAreRefusedWithAStatusLine) {
  Pdf417Capture capture;
  const Pdf417Step empty = Scan(capture, Symbol(0, 0, 20));
  EXPECT_EQ(empty.kind, Kind::kRefused);
  EXPECT_NE(empty.status.find("recusado"), std::string::npos);
  EXPECT_EQ(Scan(capture, Symbol(0xFFFFFFFFu, 0, 668)).kind, Kind::kRefused);
  EXPECT_EQ(capture.ExpectedCount(), 0);  // a refused first symbol announces nothing
  EXPECT_EQ(Scan(capture, Symbol(1336, 668 * 2, 668)).kind, Kind::kRefused);
  EXPECT_EQ(Scan(capture, Symbol(1336, 0xFFFFFFFFu, 668)).kind, Kind::kRefused);
  EXPECT_EQ(capture.ExpectedCount(), 0);
  EXPECT_EQ(Scan(capture, Bytes{1, 2, 3}).kind, Kind::kRefused);

  // A symbol longer than the receive buffer: the read is not taken and the rest of the
  // buffer goes with it.
  const Bytes big(1100, 0x42);
  EXPECT_FALSE(capture.Append(big.data(), big.size()));
  EXPECT_EQ(capture.BufferFill(), 0u);
  const Bytes half(600, 0x42);
  EXPECT_TRUE(capture.Append(half.data(), half.size()));
  EXPECT_FALSE(capture.Append(half.data(), half.size()));
  const Pdf417Step overflow = capture.Take();
  EXPECT_EQ(overflow.kind, Kind::kRefused);
  EXPECT_EQ(capture.BufferFill(), 0u);

  // Nothing refused was stored; a good set is still captured afterwards.
  EXPECT_EQ(capture.ReceivedCount(), 0);
  EXPECT_EQ(Scan(capture, Symbol(668, 0, 668)).kind, Kind::kStored);
  EXPECT_EQ(Scan(capture, Symbol(1336, 668, 668)).kind, Kind::kRefused);  // beyond the set of 1
}

TEST(Pdf417Capture, DumpAndFiles) {
  const Bytes ten{0, 1, 2, 3, 4, 5, 6, 7, 8, 0xAB};
  EXPECT_EQ(Pdf417HexDump(ten.data(), ten.size()), "000000  00 01 02 03 04 05 06 07 \n000008  08 AB \n");
  EXPECT_EQ(Pdf417HexDump(ten.data(), 0), "");

  Pdf417Capture capture;
  Scan(capture, Symbol(668, 0, 668));
  const auto path = std::filesystem::temp_directory_path() / "tervane_pdf417_test.mfd";
  std::string error;
  ASSERT_TRUE(WritePdf417File(capture, path.string(), error)) << error;
  EXPECT_EQ(std::filesystem::file_size(path), 524288u + 768 + 768 + 668 + 256);
  std::filesystem::remove(path);
  EXPECT_FALSE(WritePdf417File(capture, "/nonexistent-folder/x.mfd", error));
  EXPECT_NE(error.find("\nArquivo: /nonexistent-folder/x.mfd"), std::string::npos);
}

}  // namespace
}  // namespace tervane::testing
