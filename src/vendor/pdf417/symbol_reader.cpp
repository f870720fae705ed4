#include "vendor/pdf417/symbol_reader.h"

#define ZX_USE_UTF8 1
#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <ZXing/ReadBarcode.h>

namespace tervane {

std::vector<std::string> ReadPdf417Symbols(const GrayImage& image) {
  std::vector<std::string> symbols;
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != static_cast<size_t>(image.width) * image.height)
    return symbols;
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::PDF417).setTryHarder(true).setTryRotate(true);
  const ZXing::ImageView view(image.pixels.data(), image.width, image.height,
                              ZXing::ImageFormat::Lum);
  ZXing::Results results;
  try {
    // The decoder is not documented as throwing, but a scanned file is outside input and
    // nothing may escape a library entry point.
    results = ZXing::ReadBarcodes(view, hints);
  } catch (...) {
    return symbols;
  }
  for (const ZXing::Result& result : results) {
    if (!result.isValid()) continue;
    const ZXing::ByteArray& bytes = result.bytes();
    symbols.emplace_back(bytes.begin(), bytes.end());
  }
  return symbols;
}

GrayImage DrawPdf417Symbol(const std::string& bytes, int moduleSize) {
  GrayImage image;
  if (moduleSize < 1) moduleSize = 1;
  std::wstring contents;
  contents.reserve(bytes.size());
  for (char c : bytes) contents.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  ZXing::BitMatrix matrix;
  try {
    // The writer reports data that does not fit by throwing; nothing leaves this function.
    matrix = ZXing::MultiFormatWriter(ZXing::BarcodeFormat::PDF417)
                 .setEncoding(ZXing::CharacterSet::BINARY)
                 .setMargin(0)
                 .encode(contents, 0, 0);
  } catch (...) {
    return image;
  }
  const int quiet = 8 * moduleSize;
  image.width = matrix.width() * moduleSize + 2 * quiet;
  image.height = matrix.height() * moduleSize + 2 * quiet;
  image.pixels.assign(static_cast<size_t>(image.width) * image.height, 255);
  for (int y = 0; y < image.height - 2 * quiet; ++y)
    for (int x = 0; x < image.width - 2 * quiet; ++x)
      if (matrix.get(x / moduleSize, y / moduleSize))
        image.pixels[static_cast<size_t>(y + quiet) * image.width + x + quiet] = 0;
  return image;
}

}  // namespace tervane
