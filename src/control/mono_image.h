// A one-bit picture: what the printer prints, one flag per pixel (true = a black dot).
#pragma once

#include <cstdint>
#include <vector>

namespace tervane {

struct MonoImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // row by row, 1 = black, 0 = white

  // A white picture of the given size; negative sizes give an empty picture.
  static MonoImage White(int w, int h) {
    MonoImage image;
    if (w <= 0 || h <= 0) return image;
    image.width = w;
    image.height = h;
    image.pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    return image;
  }
  // Pixels outside the picture read as white.
  bool Black(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return false;
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] != 0;
  }
  // Writes outside the picture are ignored.
  void Set(int x, int y, bool black) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = black ? 1 : 0;
  }
};

}  // namespace tervane
