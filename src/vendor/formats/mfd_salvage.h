// Reading what is left of an .mfd file built from a PDF-417 capture with symbols missing.
// The symbols' data is laid end to end, so a missing symbol leaves a hole in the record
// stream that the strict reader stops at. Each record carries its own length and CRC:
// after a hole the reader looks, byte by byte, for the next place where a whole record
// with a matching CRC begins, and goes on from there. Every record taken is checked as
// the strict reader checks it, so a document is kept only when it lies wholly in the
// symbols present; what was lost is told as ranges of COOs.
#pragma once

#include <string_view>
#include <vector>

#include "vendor/formats/mfd_file.h"

namespace tervane::vendor {

// A run of documents that did not survive: COOs `first` to `last` of owner `user`.
struct MfdMissingRange {
  int user = 0;
  int first = 0;
  int last = 0;
  bool operator==(const MfdMissingRange&) const = default;
};

// Reads a captured (origin "PDF-417") file whose stream the strict reader refuses. Needs
// the header record, which comes first in the first symbol. Returns the strict reader's
// failure when that is not there (or the file is not a capture); otherwise success, with
// the documents and markers found and, in `missing`, the COO ranges lost between them,
// before the first one and after the last one (by the header's range).
FileReadResult SalvageCapturedMfd(std::string_view bytes, MfdContents& contents,
                                  std::vector<MfdMissingRange>& missing);

}  // namespace tervane::vendor
