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

// Largest image accepted, in pixels: a scanned page at 600 dpi is well within it, and a
// header announcing more is refused before anything is allocated.
constexpr std::int64_t kMaxBmpPixels = 64LL * 1024 * 1024;

// Decodes a bitmap file: the BITMAPINFOHEADER family (40-byte header and the larger
// V4/V5 headers), bottom-up or top-down, uncompressed with 1, 4, 8, 24 or 32 bits per
// pixel (32 also with BI_BITFIELDS masks). Colours are turned into luminance.
// Returns true with `image` filled. Returns false with `error` (when given) saying what is
// wrong and `image` emptied when the bytes are not such a bitmap, are cut short, announce
// an image larger than kMaxBmpPixels, or use a compression this reader does not know.
bool ReadBmp(std::string_view bytes, GrayImage& image, std::string* error = nullptr);

// Encodes `image` as an 8-bit bitmap with a grey palette, bottom-up rows (the common
// form). Returns the file's bytes; an image whose pixel count does not match its size
// gives an empty string.
std::string WriteBmp(const GrayImage& image);

}  // namespace tervane
