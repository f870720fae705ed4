// The bitmap header check that runs before any decoder: each malformed header is named
// by its own result, and well-formed pictures of every depth pass with their geometry.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/common/bitmap_header.h"

namespace tervane {
namespace {

using BitmapBytes = std::vector<std::uint8_t>;

void Put32(BitmapBytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put16(BitmapBytes& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// A complete bitmap with a 40-byte info header, its palette and zeroed pixel rows.
BitmapBytes Bitmap(int w, int h, int bits, std::uint32_t coloursUsed = 0) {
  const std::size_t palette = bits <= 8 ? 4u * (coloursUsed ? coloursUsed : (1u << bits)) : 0u;
  const std::size_t offset = 14 + 40 + palette;
  const std::size_t stride = (static_cast<std::size_t>(w) * bits + 31) / 32 * 4;
  BitmapBytes b(offset + stride * static_cast<std::size_t>(h < 0 ? -h : h), 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  Put32(b, 10, static_cast<std::uint32_t>(offset));
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<std::uint32_t>(w));
  Put32(b, 22, static_cast<std::uint32_t>(h));
  Put16(b, 26, 1);
  Put16(b, 28, static_cast<std::uint16_t>(bits));
  Put32(b, 46, coloursUsed);
  return b;
}

BitmapCheck Check(const BitmapBytes& b, BitmapHeader* out = nullptr) { return CheckBitmapHeader(b.data(), b.size(), out); }

TEST(BitmapHeader, WellFormedPicturesPassWithTheirGeometry) {
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    BitmapHeader header;
    ASSERT_EQ(Check(Bitmap(37, 5, bits), &header), BitmapCheck::kOk);
    EXPECT_EQ(header.width, 37);
    EXPECT_EQ(header.height, 5);
    EXPECT_EQ(header.bitsPerPixel, bits);
    EXPECT_EQ(header.paletteColours, bits <= 8 ? 1 << bits : 0);
  }
  BitmapHeader header;
  ASSERT_EQ(Check(Bitmap(3, -4, 1, 2), &header), BitmapCheck::kOk);  // top-down, two colours
  EXPECT_TRUE(header.topDown);
  EXPECT_EQ(header.height, 4);
  EXPECT_EQ(header.paletteColours, 2);

  // The old 12-byte core header: 16-bit sizes and 3-byte palette entries.
  BitmapBytes core(14 + 12 + 2 * 3 + 4, 0);
  core[0] = 'B';
  core[1] = 'M';
  Put32(core, 10, 14 + 12 + 6);
  Put32(core, 14, 12);
  Put16(core, 18, 8);
  Put16(core, 20, 1);
  Put16(core, 22, 1);
  Put16(core, 24, 1);
  ASSERT_EQ(Check(core, &header), BitmapCheck::kOk);
  EXPECT_EQ(header.width, 8);
  EXPECT_EQ(header.paletteColours, 2);
}

TEST(BitmapHeader, MalformedHeadersAreNamed) {
  const BitmapBytes good = Bitmap(20, 10, 24);
  EXPECT_EQ(Check(BitmapBytes(good.begin(), good.begin() + 13)), BitmapCheck::kTooShort);
  EXPECT_EQ(CheckBitmapHeader(nullptr, 0, nullptr), BitmapCheck::kTooShort);
  BitmapBytes b = good;
  b[1] = 'A';
  EXPECT_EQ(Check(b), BitmapCheck::kWrongMagic);
  EXPECT_EQ(Check(BitmapBytes(good.begin(), good.begin() + 40)), BitmapCheck::kBadInfoHeader);
  b = good;
  Put32(b, 14, 41);
  EXPECT_EQ(Check(b), BitmapCheck::kBadInfoHeader);

  EXPECT_EQ(Check(Bitmap(0, 0, 24)), BitmapCheck::kEmpty);
  EXPECT_EQ(Check(Bitmap(5, 0, 24)), BitmapCheck::kEmpty);
  b = good;
  Put32(b, 18, 1'000'000);
  Put32(b, 22, 1'000'000);
  EXPECT_EQ(Check(b), BitmapCheck::kTooLarge);
  b = good;
  Put32(b, 22, 0x80000000u);  // the most negative height
  EXPECT_EQ(Check(b), BitmapCheck::kTooLarge);
  b = good;
  Put32(b, 18, 0xFFFFFFF0u);  // negative width
  EXPECT_EQ(Check(b), BitmapCheck::kBadInfoHeader);
  b = good;
  Put32(b, 18, 30000);  // each side allowed, the area is not
  Put32(b, 22, 30000);
  EXPECT_EQ(Check(b), BitmapCheck::kTooLarge);

  b = good;
  Put16(b, 26, 2);
  EXPECT_EQ(Check(b), BitmapCheck::kUnsupported);
  b = good;
  Put16(b, 28, 7);
  EXPECT_EQ(Check(b), BitmapCheck::kUnsupported);
  b = good;
  Put32(b, 30, 4);  // embedded JPEG
  EXPECT_EQ(Check(b), BitmapCheck::kUnsupported);
  b = good;
  Put32(b, 30, 1);  // RLE8 on a 24-bit picture
  EXPECT_EQ(Check(b), BitmapCheck::kUnsupported);

  b = Bitmap(8, 8, 1);
  Put32(b, 46, 3);  // three colours in one bit
  EXPECT_EQ(Check(b), BitmapCheck::kBadPalette);
  b = Bitmap(8, 8, 8);
  b.resize(14 + 40 + 500);  // palette of 256 entries cut short
  EXPECT_EQ(Check(b), BitmapCheck::kBadPalette);

  b = good;
  Put32(b, 10, 20);  // pixels inside the headers
  EXPECT_EQ(Check(b), BitmapCheck::kBadPixelOffset);
  b = good;
  Put32(b, 10, static_cast<std::uint32_t>(b.size()));
  EXPECT_EQ(Check(b), BitmapCheck::kBadPixelOffset);

  // One byte of the last row missing.
  b = good;
  b.pop_back();
  EXPECT_EQ(Check(b), BitmapCheck::kCutShort);
  EXPECT_STREQ(BitmapCheckText(BitmapCheck::kCutShort), "pixel data cut short");
}

}  // namespace
}  // namespace tervane
