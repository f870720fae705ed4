// Checks a command catalogue for what a hand edit gets wrong and the loader lets pass:
// escape texts with stray blanks or tokens that are not byte numbers, hexadecimal values
// in lower case or with other characters, default values that do not fit their kind or
// size, titles used twice, and escapes that would be refused when sent. Loading itself is
// not changed: the findings are advice for whoever edits the file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/catalogue/catalogue.h"

namespace tervane {

struct CatalogueFinding {
  int line = 0;         // line of the command's `cmd` element in the file (1-based; 0 unknown)
  std::string title;    // the command's title (Windows-1252)
  std::string message;  // what is wrong (Windows-1252)
};

// The findings for `catalogue`, loaded from `bytes` (the file's contents, used to find
// each command's line), in catalogue order.
std::vector<CatalogueFinding> LintCatalogue(std::string_view bytes, const CommandCatalogue& catalogue);

// Loads `directory`/comandos.xml and lints it. Returns 0 with `findings` filled, or -1
// when the catalogue does not load (`result` says why, as LoadCatalogue does).
int LintCatalogueFile(const std::string& directory, std::vector<CatalogueFinding>& findings,
                      CatalogueLoadResult* result = nullptr);

// "linha N: título: mensagem" (Windows-1252).
std::string FindingText(const CatalogueFinding& finding);

}  // namespace tervane
