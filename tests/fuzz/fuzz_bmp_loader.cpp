// Checks random files as bitmaps: the header check that runs before the picture decoder
// must never read outside the input, and what it accepts must describe pixel rows the
// input really holds within the size limits.
//
// The decoding itself is Qt's, which the fuzz build (clang, no Qt) does not link; the
// check is the part that decides what reaches it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/common/bitmap_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tervane;
  BitmapHeader header;
  const BitmapCheck check = CheckBitmapHeader(data, size, &header);
  if (check != BitmapCheck::kOk) {
    if (BitmapCheckText(check)[0] == '\0') std::abort();
    return 0;
  }
  if (size < 14 || data[0] != 'B' || data[1] != 'M') std::abort();
  if (header.width <= 0 || header.height <= 0) std::abort();
  if (header.width > kMaxBitmapSide || header.height > kMaxBitmapSide) std::abort();
  if (static_cast<std::int64_t>(header.width) * header.height > kMaxBitmapPixels) std::abort();
  if (header.pixelOffset >= size) std::abort();
  if (header.compression == 0) {
    const std::int64_t stride = (static_cast<std::int64_t>(header.width) * header.bitsPerPixel + 31) / 32 * 4;
    if (stride * header.height > static_cast<std::int64_t>(size - header.pixelOffset)) std::abort();
  }
  if (header.bitsPerPixel <= 8 && (header.paletteColours <= 0 || header.paletteColours > (1 << header.bitsPerPixel))) {
    std::abort();
  }
  return 0;
}
