#include "core/common/install_paths.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

namespace tervane {

std::string ProgramDir() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  std::string path(buffer, static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string LexicallyNormal(const std::string& path) {
  std::string normal = std::filesystem::path(path).lexically_normal().string();
  if (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string ShippedDataDir() {
  if (const char* env = std::getenv(kShareDirVariable); env != nullptr && env[0] == '/') return LexicallyNormal(env);
  const std::string program = ProgramDir();
  if (program.empty()) return {};
  return LexicallyNormal(program + "/../share/tervane");
}

std::string ShippedDocDir() {
  const std::string program = ProgramDir();
  if (program.empty()) return {};
  return LexicallyNormal(program + "/../share/doc/tervane");
}

std::string UserConfigDir() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
    return std::string(xdg) + "/tervane";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return std::string(home) + "/.config/tervane";
  }
  return {};
}

}  // namespace tervane
