#include "vendor/pdf417/bmp_image.h"

#include <array>
#include <bit>
#include <cstdlib>

#include "core/common/bitmap_header.h"
#include "vendor/formats/byte_codec.h"

namespace tervane {
namespace {

void PutLe16(std::string& out, std::uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void PutLe32(std::string& out, std::uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

std::uint8_t Luminance(unsigned r, unsigned g, unsigned b) {
  return static_cast<std::uint8_t>((299 * r + 587 * g + 114 * b) / 1000);
}

// One colour channel described by a BI_BITFIELDS mask, scaled to 0..255.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint32_t max = 0;

  explicit Channel(std::uint32_t m) : mask(m) {
    if (mask == 0) return;
    shift = std::countr_zero(mask);
    max = mask >> shift;
  }
  unsigned Value(std::uint32_t pixel) const {
    if (max == 0) return 0;
    return static_cast<unsigned>(((pixel & mask) >> shift) * 255u / max);
  }
};

bool Fail(GrayImage& image, std::string* error, const char* why) {
  image = GrayImage{};
  if (error) *error = why;
  return false;
}

// The reader's message for a header the shared check refuses.
const char* HeaderProblem(BitmapCheck check) {
  switch (check) {
    case BitmapCheck::kTooShort:
    case BitmapCheck::kWrongMagic: return "not a bitmap file (no BM header)";
    case BitmapCheck::kBadInfoHeader: return "bitmap header cut short or of unknown size";
    case BitmapCheck::kEmpty: return "bitmap without pixels";
    case BitmapCheck::kTooLarge: return "bitmap too large";
    case BitmapCheck::kUnsupported: return "unsupported bitmap depth, planes or compression";
    case BitmapCheck::kBadPalette: return "bitmap palette cut short or too large";
    case BitmapCheck::kBadPixelOffset: return "bitmap pixel data outside the file";
    case BitmapCheck::kCutShort: return "bitmap pixels cut short";
    case BitmapCheck::kOk: break;
  }
  return "not a bitmap file";
}

}  // namespace

bool ReadBmp(std::string_view bytes, GrayImage& image, std::string* error) {
  image = GrayImage{};
  BitmapHeader header;
  const BitmapCheck check =
      CheckBitmapHeader(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &header);
  if (check != BitmapCheck::kOk) return Fail(image, error, HeaderProblem(check));
  if (header.compression != 0 && header.compression != 3)
    return Fail(image, error, "compressed bitmaps are not supported");
  const std::uint32_t infoSize = vendor::LoadLe32(bytes, 14);
  const std::int64_t width = header.width;
  const std::int64_t height = header.height;
  const bool topDown = header.topDown;
  const unsigned bitsPerPixel = static_cast<unsigned>(header.bitsPerPixel);
  const std::uint32_t pixelOffset = header.pixelOffset;

  // Colour masks of 16- and 32-bit pixels: given after a 40-byte header, inside the
  // larger headers at the same place; BI_RGB has fixed ones.
  std::uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
  if (bitsPerPixel == 32) {
    masks[0] = 0x00FF0000;
    masks[1] = 0x0000FF00;
    masks[2] = 0x000000FF;
  }
  if (header.compression == 3) {
    if (bytes.size() < 14 + 40 + 12) return Fail(image, error, "bitmap masks cut short");
    for (int i = 0; i < 3; ++i) masks[i] = vendor::LoadLe32(bytes, 54 + 4 * i);
  }

  // The check has made sure the palette lies within the file.
  std::array<std::uint8_t, 256> palette{};
  const size_t paletteStart = 14 + static_cast<size_t>(infoSize);
  const size_t paletteEntry = infoSize == 12 ? 3 : 4;
  for (int i = 0; i < header.paletteColours; ++i) {
    const size_t at = paletteStart + static_cast<size_t>(i) * paletteEntry;
    palette[static_cast<size_t>(i)] = Luminance(static_cast<std::uint8_t>(bytes[at + 2]),
                                                static_cast<std::uint8_t>(bytes[at + 1]),
                                                static_cast<std::uint8_t>(bytes[at]));
  }

  const std::int64_t stride = ((width * bitsPerPixel + 31) / 32) * 4;
  const Channel red(masks[0]), green(masks[1]), blue(masks[2]);
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  image.pixels.resize(static_cast<size_t>(width * height));
  for (std::int64_t y = 0; y < height; ++y) {
    const std::int64_t fileRow = topDown ? y : height - 1 - y;
    const auto* row =
        reinterpret_cast<const std::uint8_t*>(bytes.data()) + pixelOffset + fileRow * stride;
    std::uint8_t* out = image.pixels.data() + y * width;
    for (std::int64_t x = 0; x < width; ++x) {
      switch (bitsPerPixel) {
        case 1:
          out[x] = palette[(row[x / 8] >> (7 - x % 8)) & 1];
          break;
        case 4:
          out[x] = palette[(row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F];
          break;
        case 8:
          out[x] = palette[row[x]];
          break;
        case 16: {
          const std::uint32_t p = row[2 * x] | (row[2 * x + 1] << 8);
          out[x] = Luminance(red.Value(p), green.Value(p), blue.Value(p));
          break;
        }
        case 24:
          out[x] = Luminance(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
          break;
        default: {
          const std::uint8_t* q = row + 4 * x;
          const std::uint32_t p = q[0] | (q[1] << 8) | (q[2] << 16) | (std::uint32_t{q[3]} << 24);
          out[x] = Luminance(red.Value(p), green.Value(p), blue.Value(p));
          break;
        }
      }
    }
  }
  return true;
}

std::string WriteBmp(const GrayImage& image) {
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != static_cast<size_t>(image.width) * image.height)
    return {};
  const std::uint32_t stride = (static_cast<std::uint32_t>(image.width) + 3) / 4 * 4;
  const std::uint32_t pixelOffset = 14 + 40 + 256 * 4;
  const std::uint32_t size = pixelOffset + stride * image.height;
  std::string out;
  out.reserve(size);
  out += "BM";
  PutLe32(out, size);
  PutLe32(out, 0);
  PutLe32(out, pixelOffset);
  PutLe32(out, 40);
  PutLe32(out, static_cast<std::uint32_t>(image.width));
  PutLe32(out, static_cast<std::uint32_t>(image.height));
  PutLe16(out, 1);
  PutLe16(out, 8);
  PutLe32(out, 0);
  PutLe32(out, stride * image.height);
  PutLe32(out, 2835);
  PutLe32(out, 2835);
  PutLe32(out, 256);
  PutLe32(out, 0);
  for (int i = 0; i < 256; ++i) {
    out.append(3, static_cast<char>(i));
    out.push_back('\0');
  }
  for (int y = image.height - 1; y >= 0; --y) {
    out.append(reinterpret_cast<const char*>(image.pixels.data()) +
                   static_cast<size_t>(y) * image.width,
               image.width);
    out.append(stride - image.width, '\0');
  }
  return out;
}

}  // namespace tervane
