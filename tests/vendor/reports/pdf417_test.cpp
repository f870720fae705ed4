// PDF-417 bitmaps into an MFD file: bitmaps drawn with the symbol writer, decoded back,
// assembled by offset; hostile symbols and files refused with their status.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "vendor/pdf417/bmp_image.h"
#include "vendor/pdf417/mfd_from_symbols.h"
#include "vendor/pdf417/mfd_layout.h"
#include "vendor/pdf417/symbol_reader.h"
#include "vendor/reports/vendor_test_files.h"

namespace tervane {
namespace {

using vendortest::Exists;
using vendortest::KeloLibrary;
using vendortest::ReadBytes;
using vendortest::ScratchFolder;
using vendortest::WriteBytes;

// The three entry points as the workbench finds them in the library.
struct Pdf417Entries {
  KeloLibrary library;
  int (*KeloOpenPdf417ToMfd)(const char*) = library.Entry<int(const char*)>("KeloOpenPdf417ToMfd");
  int (*KeloAddBmpFile)(const char*) = library.Entry<int(const char*)>("KeloAddBmpFile");
  int (*KeloClosePdf417ToMfd)() = library.Entry<int()>("KeloClosePdf417ToMfd");
};

void PutLe32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// One symbol of a set: L, O, data, two trailing bytes.
std::string Symbol(std::uint32_t length, std::uint32_t offset, const std::string& data) {
  std::string symbol;
  PutLe32(symbol, length);
  PutLe32(symbol, offset);
  return symbol + data + "\x5A\xA5";
}

std::string SetData(size_t size) {
  std::string data;
  for (size_t i = 0; i < size; ++i) data.push_back(static_cast<char>((i * 37 + i / 256) & 0xFF));
  return data;
}

std::string SymbolOf(const std::string& set, size_t index) {
  const size_t offset = index * kSymbolDataSize;
  return Symbol(static_cast<std::uint32_t>(set.size()), static_cast<std::uint32_t>(offset),
                set.substr(offset, kSymbolDataSize));
}

// A 24-bit bottom-up bitmap of a grey image, the form a colour scanner saves.
std::string Bmp24(const GrayImage& image) {
  const std::uint32_t stride = (image.width * 3 + 3) / 4 * 4;
  std::string out = "BM";
  PutLe32(out, 54 + stride * image.height);
  PutLe32(out, 0);
  PutLe32(out, 54);
  PutLe32(out, 40);
  PutLe32(out, image.width);
  PutLe32(out, image.height);
  out += std::string("\x01\x00\x18\x00", 4);
  for (int i = 0; i < 6; ++i) PutLe32(out, 0);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x)
      out.append(3, static_cast<char>(image.pixels[y * image.width + x]));
    out.append(stride - image.width * 3, '\0');
  }
  return out;
}

TEST(Pdf417Bitmaps, SymbolsDecodedFromBitmapsAreAssembledByOffsetInAnyOrder) {
  ScratchFolder folder;
  const std::string set = SetData(2 * kSymbolDataSize + 100);  // 3 symbols, short last
  const std::string files[] = {folder / "s3.bmp", folder / "s1.bmp", folder / "s2.bmp"};
  WriteBytes(files[0], WriteBmp(DrawPdf417Symbol(SymbolOf(set, 2))));
  WriteBytes(files[1], Bmp24(DrawPdf417Symbol(SymbolOf(set, 0), 3)));
  WriteBytes(files[2], WriteBmp(DrawPdf417Symbol(SymbolOf(set, 1))));

  const std::string mfd = folder / "out.mfd";
  Pdf417Entries kelo;
  ASSERT_EQ(kelo.KeloOpenPdf417ToMfd(mfd.c_str()), 0);
  for (const std::string& file : files) EXPECT_EQ(kelo.KeloAddBmpFile(file.c_str()), 0) << file;
  EXPECT_EQ(kelo.KeloAddBmpFile(files[1].c_str()), 0);  // the same symbol scanned twice
  ASSERT_EQ(kelo.KeloClosePdf417ToMfd(), 0);

  const std::string written = ReadBytes(mfd);
  EXPECT_EQ(written.size(), 524288u + 768 + 768 + set.size() + 256);
  EXPECT_EQ(written, BuildPdf417MfdFile(set));
  EXPECT_EQ(written.substr(524288, 8), std::string("\x00PDF-417", 8));
  EXPECT_EQ(written.substr(524288 + 254, 2), "BU");
  EXPECT_EQ(written.substr(524288 + 3 * 256 + 254, 2), "<@");
  std::string_view data;
  ASSERT_TRUE(Pdf417MfdData(written, data));
  EXPECT_EQ(data, set);
}

TEST(Pdf417Bitmaps, OneFullSymbolGivesTheFileOfItsData) {
  ScratchFolder folder;
  const std::string set = SetData(kSymbolDataSize);
  WriteBytes(folder / "a.bmp", WriteBmp(DrawPdf417Symbol(SymbolOf(set, 0))));
  Pdf417Entries kelo;
  ASSERT_EQ(kelo.KeloOpenPdf417ToMfd((folder / "a.mfd").c_str()), 0);
  ASSERT_EQ(kelo.KeloAddBmpFile((folder / "a.bmp").c_str()), 0);
  ASSERT_EQ(kelo.KeloClosePdf417ToMfd(), 0);
  EXPECT_EQ(ReadBytes(folder / "a.mfd").size(), 524288u + 768 + 768 + 668 + 256);
}

TEST(Pdf417Bitmaps, MissingSymbolsStillWriteTheFileButReportIncomplete) {
  ScratchFolder folder;
  const std::string set = SetData(3 * kSymbolDataSize);
  Pdf417MfdBuilder builder;
  ASSERT_EQ(builder.Open(folder / "p.mfd"), kPdf417Ok);
  ASSERT_EQ(builder.AddSymbol(SymbolOf(set, 2)), kPdf417Ok);
  ASSERT_EQ(builder.AddSymbol(SymbolOf(set, 0)), kPdf417Ok);
  EXPECT_EQ(builder.ExpectedCount(), 3u);
  EXPECT_EQ(builder.ReceivedCount(), 2u);
  EXPECT_EQ(builder.Close(), kPdf417Incomplete);
  EXPECT_EQ(ReadBytes(folder / "p.mfd"),
            BuildPdf417MfdFile(set.substr(0, 668) + set.substr(2 * 668)));
}

TEST(Pdf417Bitmaps, HostileSymbolsAreRefusedAndLeaveTheSetUnchanged) {
  ScratchFolder folder;
  const std::string set = SetData(2 * kSymbolDataSize);
  Pdf417MfdBuilder builder;
  ASSERT_EQ(builder.Open(folder / "h.mfd"), kPdf417Ok);
  ASSERT_EQ(builder.AddSymbol(SymbolOf(set, 0)), kPdf417Ok);

  const std::string page(kSymbolDataSize, 'x');
  EXPECT_EQ(builder.AddSymbol(Symbol(0, 0, "ab")), kPdf417InvalidData);            // L of 0
  EXPECT_EQ(builder.AddSymbol(Symbol(0xFFFFFFFFu, 668, page)), kPdf417InvalidData);  // huge L
  EXPECT_EQ(builder.AddSymbol(Symbol(1336, 1336, page)), kPdf417InvalidData);       // O beyond
  EXPECT_EQ(builder.AddSymbol(Symbol(1336, 100, page)), kPdf417InvalidData);        // O off slot
  EXPECT_EQ(builder.AddSymbol(Symbol(1336, 668, "short")), kPdf417InvalidData);     // data size
  EXPECT_EQ(builder.AddSymbol(Symbol(2000, 668, page)), kPdf417InvalidData);        // other set
  EXPECT_EQ(builder.AddSymbol(Symbol(1336, 0, page)), kPdf417InvalidData);          // conflict
  EXPECT_EQ(builder.AddSymbol(std::string(10, '\0')), kPdf417InvalidData);          // no data
  EXPECT_EQ(builder.ReceivedCount(), 1u);
  EXPECT_EQ(builder.ExpectedCount(), 2u);

  ASSERT_EQ(builder.AddSymbol(SymbolOf(set, 1)), kPdf417Ok);
  EXPECT_EQ(builder.Close(), kPdf417Ok);
  EXPECT_EQ(ReadBytes(folder / "h.mfd"), BuildPdf417MfdFile(set));
}

TEST(Pdf417Bitmaps, CallsOutOfOrderAndUnusableFilesGiveTheirStatus) {
  ScratchFolder folder;
  Pdf417Entries kelo;
  EXPECT_EQ(kelo.KeloAddBmpFile((folder / "none.bmp").c_str()), kPdf417NotOpen);
  EXPECT_EQ(kelo.KeloClosePdf417ToMfd(), kPdf417NotOpen);
  EXPECT_EQ(kelo.KeloOpenPdf417ToMfd((folder / "no/such/folder.mfd").c_str()), kPdf417CannotOpen);
  EXPECT_EQ(kelo.KeloOpenPdf417ToMfd(nullptr), kPdf417CannotOpen);

  const std::string mfd = folder / "e.mfd";
  ASSERT_EQ(kelo.KeloOpenPdf417ToMfd(mfd.c_str()), 0);
  EXPECT_EQ(kelo.KeloOpenPdf417ToMfd(mfd.c_str()), kPdf417NotOpen);
  EXPECT_EQ(kelo.KeloAddBmpFile((folder / "none.bmp").c_str()), kPdf417CannotOpen);
  WriteBytes(folder / "text.bmp", "this is not a bitmap");
  EXPECT_EQ(kelo.KeloAddBmpFile((folder / "text.bmp").c_str()), kPdf417CannotOpen);
  GrayImage blank{120, 80, std::vector<std::uint8_t>(120 * 80, 255)};
  WriteBytes(folder / "blank.bmp", WriteBmp(blank));
  EXPECT_EQ(kelo.KeloAddBmpFile((folder / "blank.bmp").c_str()), kPdf417InvalidData);
  // A symbol that decodes but is not laid out as a set's symbol.
  WriteBytes(folder / "odd.bmp", WriteBmp(DrawPdf417Symbol("hello, not a set")));
  EXPECT_EQ(kelo.KeloAddBmpFile((folder / "odd.bmp").c_str()), kPdf417InvalidData);

  // Nothing usable was added: no file is left behind.
  EXPECT_EQ(kelo.KeloClosePdf417ToMfd(), kPdf417InvalidData);
  EXPECT_FALSE(Exists(mfd));
}

TEST(BmpReader, PixelFormatsAndOrientationsGiveTheSameGreyImage) {
  // A 3x2 image in 1-bit top-down form and in 8-bit bottom-up form.
  const GrayImage expected{3, 2, {0, 255, 0, 255, 255, 0}};
  std::string oneBit = "BM";
  PutLe32(oneBit, 62 + 8);
  PutLe32(oneBit, 0);
  PutLe32(oneBit, 62);
  PutLe32(oneBit, 40);
  PutLe32(oneBit, 3);
  PutLe32(oneBit, static_cast<std::uint32_t>(-2));  // top-down
  oneBit += std::string("\x01\x00\x01\x00", 4);
  for (int i = 0; i < 6; ++i) PutLe32(oneBit, 0);
  oneBit += std::string("\x00\x00\x00\x00\xFF\xFF\xFF\x00", 8);  // palette: black, white
  oneBit += std::string("\x40\x00\x00\x00\xC0\x00\x00\x00", 8);  // rows 010, 110
  GrayImage image;
  ASSERT_TRUE(ReadBmp(oneBit, image));
  EXPECT_EQ(image.pixels, expected.pixels);
  ASSERT_TRUE(ReadBmp(WriteBmp(expected), image));
  EXPECT_EQ(image.pixels, expected.pixels);
  ASSERT_TRUE(ReadBmp(Bmp24(expected), image));
  EXPECT_EQ(image.pixels, expected.pixels);
}

TEST(BmpReader, CutOrOversizedFilesAreRefused) {
  const GrayImage small{40, 30, std::vector<std::uint8_t>(1200, 128)};
  const std::string whole = WriteBmp(small);
  std::string error;
  GrayImage image;
  for (size_t cut : {size_t{0}, size_t{10}, size_t{40}, size_t{100}, whole.size() - 1}) {
    EXPECT_FALSE(ReadBmp(std::string_view(whole).substr(0, cut), image, &error)) << cut;
    EXPECT_TRUE(image.pixels.empty());
    EXPECT_FALSE(error.empty());
  }
  std::string huge = whole;
  huge[18] = huge[19] = huge[22] = huge[23] = '\x7F';  // 32639 x 32639 pixels
  EXPECT_FALSE(ReadBmp(huge, image, &error));
  EXPECT_EQ(error, "bitmap too large");
  std::string compressed = whole;
  compressed[30] = 1;  // RLE8
  EXPECT_FALSE(ReadBmp(compressed, image));
  std::string twoPlanes = whole;
  twoPlanes[26] = 2;  // refused by the shared header check
  EXPECT_FALSE(ReadBmp(twoPlanes, image, &error));
  EXPECT_EQ(error, "unsupported bitmap depth, planes or compression");
}

}  // namespace
}  // namespace tervane
