// Which documents of a detail-tape file a text document or database is made from.
#pragma once

#include <string>
#include <vector>

#include "vendor/formats/mfd_file.h"

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
// no serial number; 6 when it cannot be read or is not a valid .mfd (a report is never
// made from a file that is only partly readable).
int LoadMfdForReport(const std::string& mfdPath, vendor::MfdContents& contents);

}  // namespace tervane
