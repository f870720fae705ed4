#include "core/common/partial_download.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tervane {

std::string PartialDownloadFolder() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/')
    return std::string(state) + "/tervane/downloads";
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
    return std::string(home) + "/.local/state/tervane/downloads";
  return {};
}

std::string PartialDownloadPath(char kindLetter) {
  const std::string folder = PartialDownloadFolder();
  if (folder.empty()) return {};
  return folder + "/download-" + std::string(1, kindLetter) + ".part";
}

bool PartialDownloadKept(char kindLetter) {
  const std::string path = PartialDownloadPath(kindLetter);
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

void ShareResumeChoice(bool resume) {
  if (resume) ::setenv(kResumeVariable, "1", 1);
  else ::unsetenv(kResumeVariable);
}

std::string ResumeQuestionText() {
  return "Deseja continuar o download anterior?";
}

}  // namespace tervane
