// Checks a Windows bitmap file's headers before any decoder reads it: the "BM" magic,
// a known info header, sane dimensions, a supported pixel format, and pixel data that
// the file really holds. No Qt: the logo composition runs it before Qt decodes, and the
// scanner's bitmap reader before it decodes the pixels itself.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tervane {

enum class BitmapCheck {
  kOk,
  kTooShort,        // not even the 14-byte file header and the info header's size
  kWrongMagic,      // does not start with "BM"
  kBadInfoHeader,   // unknown info-header size, or the info header is cut short
  kEmpty,           // width or height is 0
  kTooLarge,        // a side over kMaxBitmapSide, or more than kMaxBitmapPixels pixels
  kUnsupported,     // planes other than 1, an unknown bit depth or compression
  kBadPalette,      // more palette colours than the depth allows, or the palette is cut short
  kBadPixelOffset,  // the pixel data would start inside the headers or past the end
  kCutShort,        // fewer bytes of pixel data than the rows need
};

// The largest picture accepted: a scanned page at 600 dpi is well within it, and a
// header announcing more is refused before anything is allocated.
inline constexpr std::int64_t kMaxBitmapSide = 32767;
inline constexpr std::int64_t kMaxBitmapPixels = 64LL * 1024 * 1024;

struct BitmapHeader {
  int width = 0;
  int height = 0;              // always positive; see topDown
  bool topDown = false;        // rows stored from the top (negative height in the file)
  int bitsPerPixel = 0;
  int compression = 0;         // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
  int paletteColours = 0;      // entries in the palette (0 for true-colour pictures)
  std::uint32_t pixelOffset = 0;
};

// Checks `size` bytes of a bitmap file. Returns kOk and fills `out` (may be null), or the
// first problem found; `out` is then left unchanged.
BitmapCheck CheckBitmapHeader(const std::uint8_t* data, std::size_t size, BitmapHeader* out);

// A short English description of a check result, for logs and tests.
const char* BitmapCheckText(BitmapCheck check);

}  // namespace tervane
