#include "vendor/download/library_settings.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "core/common/ini_file.h"
#include "core/transport/com_port_map.h"

namespace tervane::vendor {

namespace {

std::string Setting(const char* variable, const char* key) {
  if (const char* value = std::getenv(variable); value != nullptr && *value != '\0') return value;
  std::string value;
  const std::string path = PortSettingsFilePath();
  if (!path.empty() && ReadIniValue(path, "printer", key, &value)) return value;
  return {};
}

}  // namespace

ProgramSettings LibrarySettings() {
  ProgramSettings settings;
  char folder[4096];
  if (::getcwd(folder, sizeof folder) != nullptr) settings.g_workDir = folder;
  settings.g_printerAddress = Setting("TERVANE_PRINTER_ADDRESS", "address");
  settings.g_exchangeDir = Setting("TERVANE_EXCHANGE_DIR", "exchange_dir");
  return settings;
}

}  // namespace tervane::vendor
