#include "core/app/help_file.h"

#include <sys/stat.h>

#include "core/common/install_paths.h"

namespace tervane {

std::vector<std::string> HelpFileCandidates(const std::string& workDir, const std::string& docDir) {
  std::vector<std::string> candidates = {JoinPath(workDir, "help/Tervane_Help.chm"),
                                         JoinPath(workDir, "help/Tervane_Help.html")};
  if (!docDir.empty()) candidates.push_back(JoinPath(docDir, kHelpGuideName));
  return candidates;
}

HelpFile FindHelpFile(const std::string& workDir, const std::string& docDir) {
  const std::vector<std::string> candidates = HelpFileCandidates(workDir, docDir);
  for (const std::string& candidate : candidates) {
    struct stat st {};
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return {true, candidate};
  }
  return {false, docDir.empty() ? candidates.front() : candidates.back()};
}

}  // namespace tervane
