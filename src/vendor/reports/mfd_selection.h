// Which documents of a detail-tape file a text document or database is made from.
#pragma once

#include <string>
#include <vector>

#include "vendor/formats/mfd_file.h"
#include "vendor/formats/mfd_salvage.h"

namespace tervane {

struct MfdSelection {
  enum class Kind { kTotal, kCoo, kDates };
  Kind kind = Kind::kTotal;
  int user = 0;        // kCoo: the owner number the COOs belong to
  int first = 0;       // kCoo: COOs; kDates: dates as yyyymmdd
  int last = 0;

  static MfdSelection Total() { return {}; }
  static MfdSelection ByCoo(int user, int firstCoo, int lastCoo) {
    return {Kind::kCoo, user, firstCoo, lastCoo};
  }
  // Dates as "DDMMYY". Returns false (and leaves `selection` untouched) when either
  // text is not a real date.
  static bool ByDates(const std::string& firstDate, const std::string& lastDate,
                      MfdSelection& selection);

  bool Selects(const vendor::MfdDocument& document) const;
};

// The entries of `contents` that `selection` picks, in recorded order. A marker (power
// failure, user change) goes with the document printed after it, which carries it on
// paper; a marker after the last document goes with the document before it.
std::vector<const vendor::MfdEntry*> SelectEntries(const vendor::MfdContents& contents,
                                                   const MfdSelection& selection);

// Reads a .mfd file for a report. Returns 0 with `contents` filled; 2 when the file names
// no serial number; 6 when it cannot be read or is not a valid .mfd. With `missing`, a
// PDF-417 capture saved with symbols missing is read as far as it survives (the
// documents lying wholly in the symbols present) and `missing` receives the COO ranges
// lost; without it, or for any other file, a report is never made from a file that is
// only partly readable.
int LoadMfdForReport(const std::string& mfdPath, vendor::MfdContents& contents,
                     std::vector<vendor::MfdMissingRange>* missing = nullptr);

// The ranges of `missing` a selection concerns: for COOs those of its owner that overlap
// it, otherwise all of them.
std::vector<vendor::MfdMissingRange> MissingInSelection(const std::vector<vendor::MfdMissingRange>& missing,
                                                        const MfdSelection& selection);

// The notice put at the head of documents made from a capture with symbols missing: a
// heading line, then one line per range ("COO 000012 A 000015 (USUÁRIO 001)"); Windows-1252,
// lines ended by CR LF. Empty when nothing is missing.
std::string MissingRangesNotice(const std::vector<vendor::MfdMissingRange>& missing);

}  // namespace tervane
