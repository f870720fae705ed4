#include "core/common/settings.h"

namespace tervane {

std::string ResolveInWorkDir(const ProgramSettings& settings, const std::string& name) {
  if (!name.empty() && name.front() == '/') return name;
  if (settings.g_workDir.empty()) return name;
  std::string path = settings.g_workDir;
  if (path.back() != '/') path += '/';
  return path + name;
}

}  // namespace tervane
