// The reader of PDF-417 captures with symbols missing: the input is the data of a
// capture (laid in the capture's frame), so every hole, stray length and false record
// start it may hold is looked through. Nothing may crash; every range it names lies
// between the header's COOs and runs forward.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/fiscalmemory/pdf417_capture.h"
#include "vendor/formats/mfd_salvage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string set(reinterpret_cast<const char*>(data), size);
  tervane::Pdf417Capture capture;
  for (const auto& symbol : tervane::SplitIntoPdf417Symbols(set)) {
    capture.Append(symbol.data(), symbol.size());
    capture.TakeSymbol();
  }
  const std::string file = capture.FileBytes();
  tervane::vendor::MfdContents contents;
  std::vector<tervane::vendor::MfdMissingRange> missing;
  if (!tervane::vendor::SalvageCapturedMfd(file, contents, missing).ok()) return 0;
  for (const auto& range : missing)
    if (range.first > range.last) std::abort();
  return 0;
}
