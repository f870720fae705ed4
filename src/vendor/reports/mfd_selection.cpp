#include "vendor/reports/mfd_selection.h"

#include <variant>

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

int LoadMfdForReport(const std::string& mfdPath, vendor::MfdContents& contents) {
  const vendor::FileReadResult result = vendor::ReadMfdFile(mfdPath, contents);
  if (result.ok()) return 0;
  contents = {};
  return result.status == vendor::FileStatus::kNoSerial ? 2 : 6;
}

}  // namespace tervane
