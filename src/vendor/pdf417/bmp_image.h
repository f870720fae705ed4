// Windows bitmap (.bmp) files read into a grey-level image, and written from one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tervane {

// One byte of luminance per pixel, rows top to bottom, 0 = black, 255 = white.
struct GrayImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // width * height bytes
};

// Decodes a bitmap file whose headers pass CheckBitmapHeader (core/common/bitmap_header.h),
// bottom-up or top-down, uncompressed with 1, 4, 8, 16, 24 or 32 bits per pixel (16 and
// 32 also with BI_BITFIELDS masks). Colours are turned into luminance.
// Returns true with `image` filled. Returns false with `error` (when given) saying what is
// wrong and `image` emptied when the header check refuses the bytes (cut short, larger
// than kMaxBitmapPixels, ...) or they use run-length compression.
bool ReadBmp(std::string_view bytes, GrayImage& image, std::string* error = nullptr);

// Encodes `image` as an 8-bit bitmap with a grey palette, bottom-up rows (the common
// form). Returns the file's bytes; an image whose pixel count does not match its size
// gives an empty string.
std::string WriteBmp(const GrayImage& image);

}  // namespace tervane
