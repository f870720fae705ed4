#include "core/transport/usb_ids.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/common/atomic_file.h"
#include "core/common/install_paths.h"
#include "core/common/text.h"

namespace tervane {
namespace {

bool ParseHex16(std::string_view text, std::uint16_t& value) {
  if (text.size() != 4) return false;
  unsigned result = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    result = result * 16 + static_cast<unsigned>(digit);
  }
  value = static_cast<std::uint16_t>(result);
  return true;
}

constexpr char kNoIdentifier[] = "no identifier in the file";

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

bool ParseUsbIds(std::string_view text, std::vector<UsbHardwareId>& ids, std::string* error) {
  ids.clear();
  int lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (const size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    line = TrimBlanks(line);
    if (line.empty()) continue;

    UsbHardwareId id;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || !ParseHex16(line.substr(0, colon), id.vendorId) ||
        !ParseHex16(line.substr(colon + 1), id.productId)) {
      if (error) {
        *error = "line " + std::to_string(lineNumber) + ": \"" + std::string(line) +
                 "\" is not vvvv:pppp (four hexadecimal digits each)";
      }
      ids.clear();
      return false;
    }
    if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
  }
  if (ids.empty()) {
    if (error) *error = kNoIdentifier;
    return false;
  }
  return true;
}

bool LoadUsbIds(const std::string& path, std::vector<UsbHardwareId>& ids, std::string* error) {
  ids.clear();
  std::string bytes;
  if (!ReadWholeFile(path, bytes, error)) return false;
  std::string why;
  if (!ParseUsbIds(bytes, ids, &why)) {
    if (error) *error = path + ": " + why;
    return false;
  }
  return true;
}

std::string FindUsbIdsFile(const std::string& workDir) {
  if (const char* env = std::getenv(kUsbIdsEnvironment); env != nullptr && *env != '\0') return env;
  const std::string base = workDir.empty() ? std::string(".") : workDir;
  std::string candidate = base + "/usb/" + kUsbIdsFileName;
  if (IsRegularFile(candidate)) return candidate;
  // Then the identifiers shipped with the program.
  if (const std::string shipped = ShippedDataDir(); !shipped.empty()) {
    candidate = shipped + "/usb/" + kUsbIdsFileName;
    if (IsRegularFile(candidate)) return candidate;
  }
  return {};
}

std::string UserUsbIdsFile() {
  const std::string folder = UserConfigDir();
  return folder.empty() ? std::string() : folder + "/" + kUserUsbIdsFileName;
}

bool ParseUsbIdText(std::string_view text, UsbHardwareId& id) {
  text = TrimBlanks(text);
  const size_t colon = text.find(':');
  UsbHardwareId parsed;
  if (colon == std::string_view::npos || !ParseHex16(text.substr(0, colon), parsed.vendorId) ||
      !ParseHex16(text.substr(colon + 1), parsed.productId)) {
    return false;
  }
  id = parsed;
  return true;
}

UsbIdConfiguration LoadUsbIdConfiguration(const std::string& workDir) {
  UsbIdConfiguration config;
  auto merge = [&](UsbIdSource source) {
    for (const UsbHardwareId& id : source.ids) {
      if (std::find(config.ids.begin(), config.ids.end(), id) == config.ids.end()) config.ids.push_back(id);
    }
    config.sources.push_back(std::move(source));
  };
  const std::string base = FindUsbIdsFile(workDir);
  if (base.empty()) {
    config.error = "no USB identifier file (usb/ids.txt) was found";
  } else {
    UsbIdSource source{base, {}};
    std::string why;
    if (LoadUsbIds(base, source.ids, &why)) {
      merge(std::move(source));
    } else {
      config.error = why;
    }
  }
  const std::string user = UserUsbIdsFile();
  if (!user.empty() && IsRegularFile(user)) {
    UsbIdSource source{user, {}};
    std::string bytes;
    std::string why;
    if (!ReadWholeFile(user, bytes, &why)) {
      if (config.error.empty()) config.error = why;
    } else if (ParseUsbIds(bytes, source.ids, &why) || why == kNoIdentifier) {
      merge(std::move(source));  // an empty user file is no mistake
    } else if (config.error.empty()) {
      config.error = user + ": " + why;
    }
  }
  return config;
}

std::vector<UsbHardwareId> ConfiguredUsbIds(const std::string& workDir, std::string* error) {
  UsbIdConfiguration config = LoadUsbIdConfiguration(workDir);
  if (error) *error = config.error;
  if (config.ids.empty() && error && error->empty()) *error = "no USB identifier is configured";
  return config.ids;
}

bool AddUserUsbId(const UsbHardwareId& id, std::string* path, bool* added, std::string* error) {
  if (added) *added = false;
  const std::string file = UserUsbIdsFile();
  if (path) *path = file;
  if (file.empty()) {
    if (error) *error = "neither XDG_CONFIG_HOME nor HOME is set: there is no folder for the user's settings";
    return false;
  }
  std::string bytes;
  if (IsRegularFile(file) && !ReadWholeFile(file, bytes, error)) return false;
  std::vector<UsbHardwareId> present;
  std::string why;
  if (!ParseUsbIds(bytes, present, &why) && why != kNoIdentifier) {
    if (error) *error = file + ": " + why;
    return false;
  }
  if (std::find(present.begin(), present.end(), id) != present.end()) return true;
  if (bytes.empty()) {
    bytes = "# USB printers added by this user (tervane-cli usb ids add), merged with the shipped usb/ids.txt.\n";
  } else if (bytes.back() != '\n') {
    bytes += '\n';
  }
  bytes += UsbIdText(id) + "\n";
  // The folders of the user's settings, private to the user like the rest of them.
  const std::string folder = file.substr(0, file.rfind('/'));
  const std::string parent = folder.substr(0, folder.rfind('/'));
  ::mkdir(parent.c_str(), 0700);
  ::mkdir(folder.c_str(), 0700);
  if (!SaveFileAtomically(file, bytes, error)) return false;
  if (added) *added = true;
  return true;
}

std::string UsbIdText(const UsbHardwareId& id) {
  char text[10];
  std::snprintf(text, sizeof text, "%04x:%04x", id.vendorId, id.productId);
  return text;
}

}  // namespace tervane
