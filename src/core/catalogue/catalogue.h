// The command catalogue read from comandos.xml.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/common/settings.h"
#include "core/catalogue/command_record.h"

namespace tervane {

class XmlNodeList;

struct CommandCatalogue {
  std::vector<CommandRecord> commands;   // document order; index i is menu item 1083 + i
  int count() const { return static_cast<int>(commands.size()); }
};

// Result of a catalogue load, for a person to act on.
struct CatalogueLoadResult {
  int code = 0;              // 0 or -1
  std::string description;   // what was wrong and where (empty on success)
};

// Loads `directory`/comandos.xml and appends one CommandRecord per `cmd` element (at any
// depth, document order) to `catalogue`. Returns 0, or -1 when the document is missing,
// unreadable or not well-formed; the catalogue is then untouched, the line
// "Failed to instantiate an XML DOM.\n" has been written to standard output, and
// `result->description` (when given) says what was wrong and where.
int LoadCatalogue(const std::string& directory, CommandCatalogue& catalogue,
                  CatalogueLoadResult* result = nullptr);

// The same from a file path or from bytes already in memory.
int LoadCatalogueFile(const std::string& path, CommandCatalogue& catalogue,
                      CatalogueLoadResult* result = nullptr);
int LoadCatalogueBytes(std::string_view bytes, CommandCatalogue& catalogue,
                       CatalogueLoadResult* result = nullptr);

// Parses an escape text ("35 60") into command.escapeBytes and escapeCount: every single
// space ends a number, so "1  2" gives 01h 00h 02h and "" one 00h byte; each number is
// read as by atoi and keeps its low eight bits. Clears command.escapeError.
// Returns false when the text has more than 12 numbers or a token longer than 15
// characters; escapeCount is then 0 and command.escapeError (and `error`, when given)
// holds a message naming the command by its title.
bool ParseEscapeText(std::string_view text, CommandRecord& command, std::string* error = nullptr);

// True unless filtering by model is on and the command's mask shares no bit with
// g_modelMask.
bool IsCommandEnabled(const CommandRecord& command, const ProgramSettings& settings);

}  // namespace tervane
