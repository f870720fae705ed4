#include "vendor/reports/mfd_selection.h"

#include <variant>

#include "core/common/atomic_file.h"
#include "core/common/charset.h"
#include "core/common/text.h"

namespace tervane {

bool MfdSelection::ByDates(const std::string& firstDate, const std::string& lastDate,
                           MfdSelection& selection) {
  vendor::MemoryTime first, last;
  if (!vendor::ParseDdMmYy(firstDate, first) || !vendor::ParseDdMmYy(lastDate, last))
    return false;
  selection = {Kind::kDates, 0, first.DateKey(), last.DateKey()};
  return true;
}

bool MfdSelection::Selects(const vendor::MfdDocument& document) const {
  switch (kind) {
    case Kind::kTotal:
      return true;
    case Kind::kCoo:
      return document.user == user && document.coo >= first && document.coo <= last;
    case Kind::kDates:
      return document.when.DateKey() >= first && document.when.DateKey() <= last;
  }
  return false;
}

std::vector<const vendor::MfdEntry*> SelectEntries(const vendor::MfdContents& contents,
                                                   const MfdSelection& selection) {
  std::vector<const vendor::MfdEntry*> picked;
  std::vector<const vendor::MfdEntry*> pendingMarkers;
  bool previousPicked = false;
  for (const vendor::MfdEntry& entry : contents.entries) {
    if (std::holds_alternative<vendor::MfdMarker>(entry)) {
      pendingMarkers.push_back(&entry);
      continue;
    }
    previousPicked = selection.Selects(std::get<vendor::MfdDocument>(entry));
    if (previousPicked) {
      picked.insert(picked.end(), pendingMarkers.begin(), pendingMarkers.end());
      picked.push_back(&entry);
    }
    pendingMarkers.clear();
  }
  if (previousPicked) picked.insert(picked.end(), pendingMarkers.begin(), pendingMarkers.end());
  return picked;
}

int LoadMfdForReport(const std::string& mfdPath, vendor::MfdContents& contents,
                     std::vector<vendor::MfdMissingRange>* missing) {
  if (missing != nullptr) missing->clear();
  vendor::FileReadResult result = vendor::ReadMfdFile(mfdPath, contents);
  if (result.ok()) return 0;
  if (missing != nullptr && result.status != vendor::FileStatus::kCannotOpen) {
    std::string bytes;
    if (ReadWholeFile(mfdPath, bytes)) result = vendor::SalvageCapturedMfd(bytes, contents, *missing);
    if (result.ok()) return 0;
    missing->clear();
  }
  contents = {};
  return result.status == vendor::FileStatus::kNoSerial ? 2 : 6;
}

std::vector<vendor::MfdMissingRange> MissingInSelection(const std::vector<vendor::MfdMissingRange>& missing,
                                                        const MfdSelection& selection) {
  if (selection.kind != MfdSelection::Kind::kCoo) return missing;
  std::vector<vendor::MfdMissingRange> picked;
  for (const vendor::MfdMissingRange& range : missing) {
    if (range.user == selection.user && range.last >= selection.first && range.first <= selection.last)
      picked.push_back(range);
  }
  return picked;
}

std::string MissingRangesNotice(const std::vector<vendor::MfdMissingRange>& missing) {
  if (missing.empty()) return {};
  std::string text = Utf8ToCp1252Lossy("*** SÍMBOLOS PDF-417 NÃO LIDOS: DOCUMENTOS AUSENTES ***") + "\r\n";
  for (const vendor::MfdMissingRange& range : missing)
    text += Format("COO %06d A %06d (", range.first, range.last) + Utf8ToCp1252Lossy("USUÁRIO") +
            Format(" %03d)\r\n", range.user);
  return text + "\r\n";
}

}  // namespace tervane
