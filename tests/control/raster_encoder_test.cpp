// The graphic stream: stripe compression, the bit layout of a column, the 12K limit,
// and the ordered dither.
#include <gtest/gtest.h>

#include <set>

#include "control/raster_encoder.h"

namespace tervane {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Stripe(const std::vector<int>& blackColumns, int count) {
  Bytes columns(static_cast<std::size_t>(count) * 3, 0);
  for (int c : blackColumns) columns[static_cast<std::size_t>(c - 1) * 3 + 1] = 0x10;  // 1-based
  return columns;
}

Bytes Striped(const Bytes& columns, int count) {
  GraphicStream out;
  EXPECT_TRUE(ProcessStriping(columns.data(), count, out));
  return out.Bytes();
}

TEST(ProcessStriping, BlankStripeGivesOnlyTheClosingPosition) {
  EXPECT_EQ(Striped(Stripe({}, 576), 576), (Bytes{0x1B, 0x24, 0x40, 0x02}));  // min(577, 576)
  EXPECT_EQ(Striped(Stripe({}, 10), 10), (Bytes{0x1B, 0x24, 11, 0}));
}

TEST(ProcessStriping, ShortBlankRunsStayInsideTheSegmentLongerOnesSplitIt) {
  // Columns 1 and 4 black: the two blank columns between them stay in the data.
  Bytes two = Striped(Stripe({1, 4}, 6), 6);
  Bytes expectTwo{0x1B, 0x2A, 0x21, 4, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0x1B, 0x24, 7, 0};
  EXPECT_EQ(two, expectTwo);

  // Columns 1 and 5 black: three blank columns split the data and position column 5.
  Bytes three = Striped(Stripe({1, 5}, 6), 6);
  Bytes expectThree{0x1B, 0x2A, 0x21, 1, 0, 0, 0x10, 0,          // column 1
                    0x1B, 0x24, 5, 0,                             // jump to column 5
                    0x1B, 0x2A, 0x21, 1, 0, 0, 0x10, 0,           // column 5 (6 is trailing blank)
                    0x1B, 0x24, 7, 0};
  EXPECT_EQ(three, expectThree);

  // A leading blank stretch gives no empty segment, only the position.
  Bytes leading = Striped(Stripe({300}, 576), 576);
  Bytes expectLeading{0x1B, 0x24, 0x2C, 0x01, 0x1B, 0x2A, 0x21, 1, 0, 0, 0x10, 0, 0x1B, 0x24, 0x40, 0x02};
  EXPECT_EQ(leading, expectLeading);
}

TEST(EncodeRaster, PreambleStripesAndBitLayout) {
  MonoImage image = MonoImage::White(3, 30);  // two stripes, one page
  image.Set(0, 0, true);    // stripe 0, byte 0, bit 7
  image.Set(1, 9, true);    // stripe 0, byte 1, bit 6
  image.Set(2, 23, true);   // stripe 0, byte 2, bit 0
  image.Set(0, 24, true);   // stripe 1, byte 0, bit 7
  Bytes out;
  ASSERT_EQ(EncodeRaster(image, &out), kRasterOk);
  Bytes expect{0x1B, 0x33, 0x00, 0x1B, 0x66, 0x31, 0x00,
               0x1B, 0x2A, 0x21, 3, 0, 0x80, 0, 0, 0, 0x40, 0, 0, 0, 0x01, 0x1B, 0x24, 0x40, 0x02, 0x0A,
               0x1B, 0x2A, 0x21, 1, 0, 0x80, 0, 0, 0x1B, 0x24, 0x40, 0x02, 0x0A};
  EXPECT_EQ(out, expect);

  // An image wider than the printer is cut into pages: 600 columns are two pages of
  // one stripe each; the second page holds column 576 as its first column.
  MonoImage wide = MonoImage::White(600, 1);
  wide.Set(576, 0, true);
  ASSERT_EQ(EncodeRaster(wide, &out), kRasterOk);
  Bytes page2{0x1B, 0x2A, 0x21, 1, 0, 0x80, 0, 0, 0x1B, 0x24, 0x40, 0x02, 0x0A};
  ASSERT_GE(out.size(), page2.size());
  EXPECT_TRUE(std::equal(page2.begin(), page2.end(), out.end() - static_cast<long>(page2.size())));
  EXPECT_EQ(out.size(), 7u + 5u + page2.size());  // page 1 is blank: position and LF

  ASSERT_EQ(EncodeRaster(MonoImage{}, &out), kRasterOk);
  EXPECT_EQ(out.size(), 7u);
}

TEST(EncodeRaster, RefusesAStreamPast12288Bytes) {
  // Every column black: 1728 data bytes, 5 header, 4 position, 1 LF per stripe.
  auto solid = [](int h) {
    MonoImage image = MonoImage::White(576, h);
    std::fill(image.pixels.begin(), image.pixels.end(), 1);
    return image;
  };
  Bytes out;
  ASSERT_EQ(EncodeRaster(solid(168), &out), kRasterOk);  // 7 stripes
  EXPECT_EQ(out.size(), 7u + 7u * 1738u);
  EXPECT_EQ(EncodeRaster(solid(169), &out), kRasterTooLarge);  // an 8th stripe
  EXPECT_TRUE(out.empty());

  GraphicStream stream(10);
  EXPECT_TRUE(stream.Append({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_FALSE(stream.Append({11}));
  EXPECT_EQ(stream.Bytes().size(), 10u);
}

TEST(OrderedDither, ThresholdsAndConversion) {
  const int firstRow[16] = {0, 192, 48, 240, 12, 204, 60, 252, 3, 195, 51, 243, 15, 207, 63, 255};
  std::set<int> all;
  for (int b = 0; b < 16; ++b) {
    EXPECT_EQ(DitherThreshold(0, b), firstRow[b]) << b;
    for (int a = 0; a < 16; ++a) all.insert(DitherThreshold(a, b));
  }
  EXPECT_EQ(all.size(), 256u);  // a permutation of 0..255
  EXPECT_EQ(DitherThreshold(17, 33), DitherThreshold(1, 1));

  // Pure black stays black and pure white white everywhere; mid gray (127) is about half.
  const int w = 16, h = 16;
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w * h * 3), 127);
  MonoImage gray = DitherToMono(rgb.data(), w, h, w * 3);
  int black = 0;
  for (auto p : gray.pixels) black += p;
  EXPECT_EQ(black, 128);  // thresholds 128..255 exceed gray 127
  std::fill(rgb.begin(), rgb.end(), 255);
  for (auto p : DitherToMono(rgb.data(), w, h, w * 3).pixels) EXPECT_EQ(p, 0);
  std::fill(rgb.begin(), rgb.end(), 0);
  MonoImage dark = DitherToMono(rgb.data(), w, h, w * 3);
  EXPECT_FALSE(dark.Black(0, 0));  // threshold 0: gray 0 is not below it
  EXPECT_TRUE(dark.Black(1, 0));
  // Green weighs four times blue: (0, 255, 0) is gray 145, (0, 0, 255) gray 36.
  // At (0, 2) the threshold is 48: blue falls below it, green does not.
  auto third = [](std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    std::vector<std::uint8_t> pixels{255, 255, 255, 255, 255, 255, r, g, b};
    return DitherToMono(pixels.data(), 1, 3, 3).Black(0, 2);
  };
  EXPECT_TRUE(third(0, 0, 255));
  EXPECT_FALSE(third(0, 255, 0));
  std::vector<std::uint8_t> pixel{0, 0, 255};
  EXPECT_EQ(DitherToMono(nullptr, 1, 1, 3).width, 0);
  EXPECT_EQ(DitherToMono(pixel.data(), 2, 1, 3).width, 0);  // stride too short
}

}  // namespace
}  // namespace tervane
