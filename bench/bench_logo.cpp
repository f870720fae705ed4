// Encoding a full-size logo composition (576 x 140: a picture beside four text lines,
// dithered) into the printer's graphic stream. The target is under 2 ms.
#include <benchmark/benchmark.h>

#include <cmath>

#include "control/raster_encoder.h"

namespace tervane {
namespace {

// A composition-like picture: a dithered gradient disc on the left, text-like bars on
// the right, white elsewhere.
MonoImage Composition() {
  const int w = kPrinterWidthDots, h = kMaxLogoHeight;
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3, 255);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
      const double dx = x - 70.0, dy = y - 70.0;
      if (std::sqrt(dx * dx + dy * dy) < 65.0) {
        p[0] = static_cast<std::uint8_t>(x * 255 / 140);
        p[1] = static_cast<std::uint8_t>(y * 255 / 140);
        p[2] = 128;
      } else if (x > 160 && (y / 6) % 4 != 3 && ((x / 5) % 7) != 6) {
        p[0] = p[1] = p[2] = 0;
      }
    }
  }
  return DitherToMono(rgb.data(), w, h, w * 3);
}

void BM_EncodeComposition(benchmark::State& state) {
  const MonoImage image = Composition();
  std::vector<std::uint8_t> out;
  for (auto _ : state) {
    const int result = EncodeRaster(image, &out);
    benchmark::DoNotOptimize(result);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["bytes"] = static_cast<double>(out.size());
}
BENCHMARK(BM_EncodeComposition)->Unit(benchmark::kMicrosecond);

void BM_DitherAndEncode(benchmark::State& state) {
  const int w = kPrinterWidthDots, h = kMaxLogoHeight;
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
  for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>((i * 37) >> 3);
  std::vector<std::uint8_t> out;
  for (auto _ : state) {
    const MonoImage image = DitherToMono(rgb.data(), w, h, w * 3);
    benchmark::DoNotOptimize(EncodeRaster(image, &out));
  }
}
BENCHMARK(BM_DitherAndEncode)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tervane

BENCHMARK_MAIN();
