// Turning a one-bit logo into the printer's graphic command stream: 24-dot stripes of
// bit-image segments, with blank stretches skipped by position commands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "control/mono_image.h"

namespace tervane {

inline constexpr int kPrinterWidthDots = 576;
inline constexpr int kMaxLogoHeight = 140;
inline constexpr std::size_t kMaxGraphicBytes = 12288;

// Result codes of EncodeRaster.
inline constexpr int kRasterOk = 0;
inline constexpr int kRasterTooLarge = -2;

// A byte buffer that refuses any append taking it past its limit.
class GraphicStream {
 public:
  explicit GraphicStream(std::size_t limit = kMaxGraphicBytes) : limit_(limit) {}
  // False (and nothing appended) when the bytes would pass the limit.
  bool Append(const std::uint8_t* data, std::size_t size);
  bool Append(std::initializer_list<std::uint8_t> bytes) { return Append(bytes.begin(), bytes.size()); }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

 private:
  std::size_t limit_;
  std::vector<std::uint8_t> bytes_;
};

// Compresses one stripe: `columns` holds `count` columns of 3 bytes each. Stretches of
// more than two blank columns split the data into bit-image segments (1Bh 2Ah 21h, n,
// 3n bytes) separated by position commands (1Bh 24h, column); the stripe ends with a
// position command at min(count + 1, 576). Returns false when the stream's limit was
// reached (the stream then holds a partial stripe).
bool ProcessStriping(const std::uint8_t* columns, int count, GraphicStream& out);

// Encodes `image` in pages of `printerWidth` columns and stripes of 24 rows, each stripe
// followed by LF, after the 7-byte preamble. Returns kRasterOk with the stream in `out`,
// or kRasterTooLarge when the stream would pass 12288 bytes (`out` is then cleared).
// A printer width below 1 is taken as 576.
int EncodeRaster(const MonoImage& image, std::vector<std::uint8_t>* out, int printerWidth = kPrinterWidthDots);

// The ordered-dither threshold for pixel column a and row b (each taken mod 16).
int DitherThreshold(int a, int b);

// Converts a colour picture (rows of `stride` bytes, 3 bytes R, G, B per pixel) to black
// and white: gray = (2R + 4G + B) / 7, black when gray is below the threshold of the
// pixel's place. An empty or inconsistent input gives an empty picture.
MonoImage DitherToMono(const std::uint8_t* rgb, int width, int height, int stride);

}  // namespace tervane
