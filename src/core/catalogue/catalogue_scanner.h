// A quick reader for the plain catalogue files people write: one pass over the bytes that
// builds the commands as it goes, with no document tree in between.
//
// It takes only documents whose shape it knows: an optional declaration, comments and
// blanks around one root element whose `cmd` children hold text fields, `parametro` and
// `retorno` elements of text fields, and other elements of text alone; text with the five
// named entities; tags without attributes. Anything else (a character reference, CDATA,
// an attribute, a processing instruction, a comment inside a field, a `cmd` deeper down,
// or any fault of form) makes it give up, and the document is read by the general
// document reader, which gives the same commands, or says what is wrong and where.
#pragma once

#include <string_view>
#include <vector>

#include "core/catalogue/catalogue.h"

namespace tervane {

// Appends the commands of `bytes` (a file's bytes as they stand, read in the encoding a
// load would read them in) to `commands` and returns true, or returns false with
// `commands` as it was. The escape texts are not yet parsed.
bool ScanPlainCatalogue(std::string_view bytes, std::vector<CommandRecord>& commands);

// The load through the general document reader only, for any document; kept callable so
// the two readers can be compared.
int LoadCatalogueBytesThroughDocument(std::string_view bytes, CommandCatalogue& catalogue,
                                      CatalogueLoadResult* result = nullptr);

}  // namespace tervane
