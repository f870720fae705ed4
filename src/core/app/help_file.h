// Which help file the help items open: a help file the work folder carries (the old
// compiled help, or an HTML guide of its own) comes before the guide shipped with the
// program.
#pragma once

#include <string>
#include <vector>

namespace tervane {

// The guide's file name in the shipped documentation folder.
inline constexpr const char* kHelpGuideName = "Tervane_Help.html";

// The places looked at, in order: <workDir>/help/Tervane_Help.chm,
// <workDir>/help/Tervane_Help.html, <docDir>/Tervane_Help.html (the last only when
// docDir is not empty).
std::vector<std::string> HelpFileCandidates(const std::string& workDir, const std::string& docDir);

struct HelpFile {
  bool found = false;
  // The first candidate that is a file; when none is, the one a message should name:
  // the shipped guide, or the work folder's help file without a documentation folder.
  std::string path;
};

HelpFile FindHelpFile(const std::string& workDir, const std::string& docDir);

}  // namespace tervane
