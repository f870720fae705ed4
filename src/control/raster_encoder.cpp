#include "control/raster_encoder.h"

#include <algorithm>

namespace tervane {
namespace {

constexpr std::uint8_t kPreamble[] = {0x1B, 0x33, 0x00, 0x1B, 0x66, 0x31, 0x00};
constexpr int kStripeRows = 24;

bool AppendPosition(int column, GraphicStream& out) {
  const int position = std::min(column, kPrinterWidthDots);
  return out.Append({0x1B, 0x24, static_cast<std::uint8_t>(position & 0xFF),
                     static_cast<std::uint8_t>((position >> 8) & 0xFF)});
}

// Appends the segment of `n` columns starting at 1-based column `first`.
bool AppendSegment(const std::uint8_t* columns, int first, int n, GraphicStream& out) {
  if (n <= 0) return true;
  if (!out.Append({0x1B, 0x2A, 0x21, static_cast<std::uint8_t>(n & 0xFF), static_cast<std::uint8_t>((n >> 8) & 0xFF)})) {
    return false;
  }
  return out.Append(columns + static_cast<std::size_t>(first - 1) * 3, static_cast<std::size_t>(n) * 3);
}

}  // namespace

bool GraphicStream::Append(const std::uint8_t* data, std::size_t size) {
  if (size > limit_ - std::min(limit_, bytes_.size())) return false;
  bytes_.insert(bytes_.end(), data, data + size);
  return true;
}

bool ProcessStriping(const std::uint8_t* columns, int count, GraphicStream& out) {
  int segmentStart = 1;  // 1-based column where the pending segment begins
  int blankRun = 0;
  for (int j = 1; j <= count; ++j) {
    const std::uint8_t* column = columns + static_cast<std::size_t>(j - 1) * 3;
    if (column[0] == 0 && column[1] == 0 && column[2] == 0) {
      ++blankRun;
      continue;
    }
    if (blankRun > 2) {
      if (!AppendSegment(columns, segmentStart, j - blankRun - segmentStart, out)) return false;
      if (!AppendPosition(j, out)) return false;
      segmentStart = j;
    }
    blankRun = 0;
  }
  if (!AppendSegment(columns, segmentStart, count - blankRun - segmentStart + 1, out)) return false;
  return AppendPosition(count + 1, out);
}

int EncodeRaster(const MonoImage& image, std::vector<std::uint8_t>* out, int printerWidth) {
  if (printerWidth < 1) printerWidth = kPrinterWidthDots;
  GraphicStream stream;
  stream.Append(kPreamble, sizeof kPreamble);
  const int pages = image.width <= 0 ? 0 : (image.width + printerWidth - 1) / printerWidth;
  const int stripes = image.height <= 0 ? 0 : (image.height + kStripeRows - 1) / kStripeRows;
  std::vector<std::uint8_t> columns(static_cast<std::size_t>(printerWidth) * 3);
  for (int page = 0; page < pages; ++page) {
    for (int stripe = 0; stripe < stripes; ++stripe) {
      std::fill(columns.begin(), columns.end(), 0);
      const int top = stripe * kStripeRows;
      const int rows = std::min(kStripeRows, image.height - top);
      const int left = page * printerWidth;
      const int cols = std::min(printerWidth, image.width - left);
      for (int r = 0; r < rows; ++r) {
        const std::uint8_t bit = static_cast<std::uint8_t>(0x80 >> (r % 8));
        const std::uint8_t* row = image.pixels.data() + static_cast<std::size_t>(top + r) * image.width + left;
        std::uint8_t* target = columns.data() + r / 8;
        for (int c = 0; c < cols; ++c) {
          if (row[c] != 0) target[static_cast<std::size_t>(c) * 3] |= bit;
        }
      }
      if (!ProcessStriping(columns.data(), printerWidth, stream) || !stream.Append({0x0A})) {
        out->clear();
        return kRasterTooLarge;
      }
    }
  }
  *out = stream.Take();
  return kRasterOk;
}

int DitherThreshold(int a, int b) {
  a &= 15;
  b &= 15;
  int t = 0;
  if (b & 1) t += 0xC0;
  if (b & 2) t += 0x30;
  if (b & 4) t += 0x0C;
  if (b & 8) t += 0x03;
  if (a & 1) t ^= 0x80;
  if (a & 2) t ^= 0x20;
  if (a & 4) t ^= 0x08;
  if (a & 8) t ^= 0x02;
  return t;
}

MonoImage DitherToMono(const std::uint8_t* rgb, int width, int height, int stride) {
  if (rgb == nullptr || width <= 0 || height <= 0 || stride < width * 3) return MonoImage{};
  MonoImage image = MonoImage::White(width, height);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = rgb + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
    for (int x = 0; x < width; ++x) {
      const int gray = (2 * row[3 * x] + 4 * row[3 * x + 1] + row[3 * x + 2]) / 7;
      if (gray < DitherThreshold(x, y)) image.Set(x, y, true);
    }
  }
  return image;
}

}  // namespace tervane
