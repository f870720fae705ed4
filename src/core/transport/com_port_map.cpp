#include "core/transport/com_port_map.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>

#include "core/common/ini_file.h"
#include "core/common/install_paths.h"
#include "core/common/text.h"
#include "core/transport/open_failure.h"
#include "core/transport/serial_adapters.h"

namespace tervane {
namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

ComMapEntry ResolveCom(int number) {
  ComMapEntry entry;
  entry.number = number;
  entry.name = "COM" + std::to_string(number) + ":";
  const std::string var = "TERVANE_COM" + std::to_string(number);
  if (const char* env = std::getenv(var.c_str()); env != nullptr && *env != '\0') {
    entry.device = env;
    entry.source = ComMapSource::kEnvironment;
    return entry;
  }
  std::string value;
  const std::string file = PortSettingsFilePath();
  if (!file.empty() && ReadIniValue(file, "ports", "COM" + std::to_string(number), &value) &&
      !value.empty()) {
    entry.device = value;
    entry.source = ComMapSource::kSettingsFile;
    return entry;
  }
  entry.device = "/dev/ttyS" + std::to_string(number - 1);
  entry.source = ComMapSource::kDefault;
  return entry;
}

}  // namespace

int ComPortNumber(const std::string& name) {
  if (name.size() != 5 || name.compare(0, 3, "COM") != 0 || name[4] != ':') return 0;
  const char digit = name[3];
  if (digit < '1' || digit > '0' + kComPortCount) return 0;
  return digit - '0';
}

std::string PortSettingsFilePath() {
  const std::string folder = UserConfigDir();
  return folder.empty() ? std::string() : folder + "/tervane.ini";
}

std::vector<ComMapEntry> ComPortMap() {
  std::vector<ComMapEntry> map;
  for (int n = 1; n <= kComPortCount; ++n) map.push_back(ResolveCom(n));
  return map;
}

std::string ResolvePortDevice(const std::string& name) {
  const int number = ComPortNumber(name);
  if (number == 0) return name;
  return ResolveCom(number).device;
}

const char* ComMapSourceName(ComMapSource source) {
  switch (source) {
    case ComMapSource::kEnvironment: return "environment";
    case ComMapSource::kSettingsFile: return "settings";
    case ComMapSource::kDefault: return "default";
  }
  return "default";
}

std::vector<PortListEntry> ListPorts(const std::vector<std::string>& names, const std::string& devDir,
                                     const std::string& sysDir) {
  const SerialScanRoots roots{devDir, sysDir};
  auto entry = [](std::string name, std::string device, std::string origin) {
    PortListEntry line;
    line.name = std::move(name);
    line.device = std::move(device);
    line.origin = std::move(origin);
    line.present = Exists(line.device);
    line.accessible = line.present && MayOpenDevice(line.device);
    return line;
  };
  std::vector<PortListEntry> list;
  for (const ComMapEntry& com : ComPortMap()) list.push_back(entry(com.name, com.device, ComMapSourceName(com.source)));

  std::vector<std::string> found;
  if (DIR* dir = ::opendir(devDir.c_str()); dir != nullptr) {
    while (const dirent* item = ::readdir(dir)) {
      const std::string_view file = item->d_name;
      for (std::string_view prefix : {"ttyS"}) {
        if (file.size() > prefix.size() && file.substr(0, prefix.size()) == prefix &&
            std::all_of(file.begin() + prefix.size(), file.end(),
                        [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
          found.emplace_back(file);
          break;
        }
      }
    }
    ::closedir(dir);
  }
  std::sort(found.begin(), found.end(), NaturalLess);
  const std::string prefix = devDir.empty() || devDir.back() == '/' ? devDir : devDir + "/";
  for (const std::string& file : found) {
    if (IsPhantomSerialPort(file, roots)) continue;
    list.push_back(entry(prefix + file, prefix + file, "present"));
  }
  for (const SerialAdapter& adapter : ListSerialAdapters(roots)) {
    PortListEntry line = entry(adapter.Name(), adapter.device, "adapter");
    line.description = adapter.Description();
    list.push_back(std::move(line));
  }

  for (const std::string& name : names) list.push_back(entry(name, ResolvePortDevice(name), "given"));
  return list;
}

}  // namespace tervane
