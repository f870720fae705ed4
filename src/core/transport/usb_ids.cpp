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
    if (error) *error = "no identifier in the file";
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

std::vector<UsbHardwareId> ConfiguredUsbIds(const std::string& workDir, std::string* error) {
  std::vector<UsbHardwareId> ids;
  const std::string path = FindUsbIdsFile(workDir);
  if (path.empty()) {
    if (error) *error = "no USB identifier file (usb/ids.txt) was found";
    return ids;
  }
  LoadUsbIds(path, ids, error);
  return ids;
}

std::string UsbIdText(const UsbHardwareId& id) {
  char text[10];
  std::snprintf(text, sizeof text, "%04x:%04x", id.vendorId, id.productId);
  return text;
}

}  // namespace tervane
