// Feeds arbitrary bytes to the catalogue loader and checks what must hold for any input:
// no crash or overrun, a failed load leaves the catalogue alone, the quick reader and
// the document reader give the same commands or the same failure, the one-pass reading
// finds the same commands as a full document selection, escape data stays in bounds,
// and a document that loads can be saved and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/catalogue/catalogue.h"
#include "core/catalogue/catalogue_scanner.h"
#include "core/common/xml_document.h"
#include "support/catalogue_records.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  tervane::CommandCatalogue catalogue;
  catalogue.commands.emplace_back();
  tervane::CatalogueLoadResult result;
  const int code = tervane::LoadCatalogueBytes(bytes, catalogue, &result);

  tervane::CommandCatalogue throughDocument;
  throughDocument.commands.emplace_back();
  tervane::CatalogueLoadResult documentResult;
  Check(tervane::LoadCatalogueBytesThroughDocument(bytes, throughDocument, &documentResult) == code);
  Check(documentResult.description == result.description);
  Check(tervane::testing::CatalogueDifference(catalogue.commands, throughDocument.commands).empty());

  tervane::XmlDocument document;
  const tervane::XmlLoadResult loaded = document.LoadBytes(bytes);
  Check((code == 0) == loaded.ok);
  if (code != 0) {
    Check(code == -1 && catalogue.count() == 1 && !result.description.empty());
    Check(loaded.offset <= size);
    return 0;
  }
  Check(catalogue.count() == 1 + document.SelectElements("cmd").size());
  for (const tervane::CommandRecord& c : catalogue.commands) {
    Check(c.escapeCount >= 0 && c.escapeCount <= tervane::kMaxEscapeBytes);
    Check(c.escapeError.empty() || c.escapeCount == 0);
    Check(c.hasEscape || c.escapeCount == 0);
  }

  std::string saved;
  if (document.SaveToBytes(saved)) {
    tervane::XmlDocument again;
    Check(again.LoadBytes(saved).ok);
    Check(again.RootElement().Text() == document.RootElement().Text());
  }
  return 0;
}
