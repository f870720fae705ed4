// Feeds arbitrary bytes to the bitmap reader and the PDF-417 symbol assembler, and checks
// what must hold for any input: a bitmap is either refused with a reason and no pixels or
// read with exactly width x height pixels; symbols cut from the bytes are accepted or
// refused without ever growing the set beyond what its length announces.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "vendor/pdf417/bmp_image.h"
#include "vendor/pdf417/mfd_from_symbols.h"
#include "vendor/pdf417/symbol_reader.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tervane::GrayImage image;
  std::string error;
  if (tervane::ReadBmp(bytes, image, &error)) {
    Check(image.width > 0 && image.height > 0);
    Check(image.pixels.size() == static_cast<size_t>(image.width) * image.height);
    if (image.pixels.size() <= 64 * 64) tervane::ReadPdf417Symbols(image);
  } else {
    Check(!error.empty() && image.pixels.empty() && image.width == 0);
  }

  // The same bytes as a run of symbols separated by "|".
  tervane::Pdf417MfdBuilder builder;
  Check(builder.Open("/dev/null") == tervane::kPdf417Ok);
  size_t start = 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find('|', start);
    if (end == std::string_view::npos) end = bytes.size();
    const int code = builder.AddSymbol(bytes.substr(start, end - start));
    Check(code == tervane::kPdf417Ok || code == tervane::kPdf417InvalidData);
    Check(builder.ReceivedCount() <= builder.ExpectedCount());
    Check(builder.AssembledData().size() <= builder.ExpectedCount() * tervane::kSymbolDataSize);
    start = end + 1;
  }
  return 0;
}
