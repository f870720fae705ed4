// Puts arbitrary bytes in the detail-tape frame and, when they read as a record stream,
// makes the text documents and reads the sale items of every document: no crash, overflow
// or overrun, and every selected document appears in the text with its COO line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "vendor/formats/mfd_file.h"
#include "vendor/reports/document_database.h"
#include "vendor/reports/document_text.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view stream(reinterpret_cast<const char*>(data), size);
  tervane::vendor::MfdContents contents;
  if (!tervane::vendor::ReadMfd(tervane::vendor::MfdFrameBytes(stream), contents).ok()) return 0;
  size_t documents = 0;
  for (const auto& entry : contents.entries) {
    if (const auto* d = std::get_if<tervane::vendor::MfdDocument>(&entry)) {
      ++documents;
      for (const tervane::SaleItem& item : tervane::ParseSaleItems(d->lines))
        Check(item.number >= 0 && item.number <= 999 && item.discount >= 0);
    }
  }
  const std::string text = tervane::DocumentsText(contents, tervane::MfdSelection::Total());
  size_t cooLines = 0;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
    if (at + 2 + 48 <= text.size() && text.compare(at + 2 + 38, 4, "COO:") == 0) ++cooLines;
  Check(cooLines >= documents);
  return 0;
}
