#include "core/common/bitmap_header.h"

namespace tervane {
namespace {

constexpr std::size_t kFileHeader = 14;

std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::int32_t S32(const std::uint8_t* p) { return static_cast<std::int32_t>(U32(p)); }

}  // namespace

BitmapCheck CheckBitmapHeader(const std::uint8_t* data, std::size_t size, BitmapHeader* out) {
  if (data == nullptr || size < kFileHeader) return BitmapCheck::kTooShort;
  if (data[0] != 'B' || data[1] != 'M') return BitmapCheck::kWrongMagic;
  if (size < kFileHeader + 4) return BitmapCheck::kTooShort;
  const std::uint32_t pixelOffset = U32(data + 10);
  const std::uint32_t infoSize = U32(data + kFileHeader);
  // The core header (12 bytes), the OS/2 2.x header (16 or 64) and the Windows headers
  // (40, 52, 56, 108, 124).
  switch (infoSize) {
    case 12: case 16: case 40: case 52: case 56: case 64: case 108: case 124: break;
    default: return BitmapCheck::kBadInfoHeader;
  }
  if (size < kFileHeader + infoSize) return BitmapCheck::kBadInfoHeader;
  const std::uint8_t* info = data + kFileHeader;

  std::int64_t width = 0;
  std::int64_t height = 0;
  int planes = 0;
  int bits = 0;
  int compression = 0;
  std::int64_t coloursUsed = 0;
  std::size_t paletteEntry = 4;
  if (infoSize == 12) {
    width = U16(info + 4);
    height = U16(info + 6);
    planes = U16(info + 8);
    bits = U16(info + 10);
    paletteEntry = 3;
  } else {
    width = S32(info + 4);
    height = S32(info + 8);
    planes = U16(info + 12);
    bits = U16(info + 14);
    if (infoSize >= 20) compression = static_cast<int>(U32(info + 16));
    if (infoSize >= 36) coloursUsed = U32(info + 32);
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;  // INT32_MIN becomes 2^31 in 64 bits: caught as too large
  if (width == 0 || height == 0) return BitmapCheck::kEmpty;
  if (width < 0) return BitmapCheck::kBadInfoHeader;
  if (width > kMaxBitmapSide || height > kMaxBitmapSide || width * height > kMaxBitmapPixels) {
    return BitmapCheck::kTooLarge;
  }
  if (planes != 1) return BitmapCheck::kUnsupported;
  switch (bits) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return BitmapCheck::kUnsupported;
  }
  switch (compression) {
    case 0: break;
    case 1: if (bits != 8 || topDown) return BitmapCheck::kUnsupported; break;
    case 2: if (bits != 4 || topDown) return BitmapCheck::kUnsupported; break;
    case 3: if (bits != 16 && bits != 32) return BitmapCheck::kUnsupported; break;
    default: return BitmapCheck::kUnsupported;
  }

  // The palette follows the info header (after the three colour masks of a 40-byte
  // header with bit fields).
  std::int64_t palette = 0;
  if (bits <= 8) {
    const std::int64_t most = std::int64_t{1} << bits;
    if (coloursUsed > most) return BitmapCheck::kBadPalette;
    palette = coloursUsed == 0 ? most : coloursUsed;
  } else if (coloursUsed > 256) {
    return BitmapCheck::kBadPalette;  // an optional palette of a true-colour picture
  }
  std::int64_t headersEnd = static_cast<std::int64_t>(kFileHeader + infoSize);
  if (compression == 3 && infoSize == 40) headersEnd += 12;
  if (headersEnd > static_cast<std::int64_t>(size)) return BitmapCheck::kBadInfoHeader;
  if (bits <= 8) {
    const std::int64_t paletteEnd = headersEnd + palette * static_cast<std::int64_t>(paletteEntry);
    if (paletteEnd > static_cast<std::int64_t>(size)) return BitmapCheck::kBadPalette;
  }
  if (pixelOffset < headersEnd || pixelOffset >= size) return BitmapCheck::kBadPixelOffset;

  if (compression == 0 || compression == 3) {
    const std::int64_t stride = (width * bits + 31) / 32 * 4;
    if (stride * height > static_cast<std::int64_t>(size) - pixelOffset) return BitmapCheck::kCutShort;
  }

  if (out != nullptr) {
    out->width = static_cast<int>(width);
    out->height = static_cast<int>(height);
    out->topDown = topDown;
    out->bitsPerPixel = bits;
    out->compression = compression;
    out->paletteColours = bits <= 8 ? static_cast<int>(palette) : 0;
    out->pixelOffset = pixelOffset;
  }
  return BitmapCheck::kOk;
}

const char* BitmapCheckText(BitmapCheck check) {
  switch (check) {
    case BitmapCheck::kOk: return "valid bitmap";
    case BitmapCheck::kTooShort: return "shorter than the bitmap headers";
    case BitmapCheck::kWrongMagic: return "does not start with BM";
    case BitmapCheck::kBadInfoHeader: return "unknown or cut-short info header";
    case BitmapCheck::kEmpty: return "width or height is 0";
    case BitmapCheck::kTooLarge: return "dimensions too large";
    case BitmapCheck::kUnsupported: return "unsupported planes, depth or compression";
    case BitmapCheck::kBadPalette: return "palette too large or cut short";
    case BitmapCheck::kBadPixelOffset: return "pixel data offset outside the file";
    case BitmapCheck::kCutShort: return "pixel data cut short";
  }
  return "unknown";
}

}  // namespace tervane
