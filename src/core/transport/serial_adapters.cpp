#include "core/transport/serial_adapters.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string_view>

#include "core/common/install_paths.h"
#include "core/common/text.h"
#include "core/transport/com_port_map.h"
#include "core/transport/open_failure.h"

namespace tervane {
namespace {

std::string Canonical(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return {};
  return resolved;
}

// The first line of a small attribute file, without its line end.
std::string Attribute(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  return line.size() > 256 ? line.substr(0, 256) : line;
}

bool IsAdapterName(std::string_view name) {
  for (std::string_view prefix : {"ttyUSB", "ttyACM"}) {
    if (name.size() > prefix.size() && name.substr(0, prefix.size()) == prefix &&
        std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end(),
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
      return true;
    }
  }
  return false;
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str()); dir != nullptr) {
    while (const dirent* item = ::readdir(dir)) {
      const std::string name = item->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
  }
  return names;
}

// Fills the USB attributes of the adapter from the device tree: from the tty's device
// folder up, the first folder holding idVendor is the USB device.
void ReadUsbAttributes(const SerialScanRoots& roots, const std::string& ttyName, SerialAdapter& adapter) {
  const std::string sysRoot = Canonical(roots.sysDir);
  std::string folder = Canonical(JoinPath(roots.sysDir, "class/tty/" + ttyName + "/device"));
  if (folder.empty() || sysRoot.empty()) return;
  for (int depth = 0; depth < 8 && folder.size() > sysRoot.size() && folder.compare(0, sysRoot.size(), sysRoot) == 0;
       ++depth) {
    if (::access(JoinPath(folder, "idVendor").c_str(), R_OK) == 0) {
      adapter.vendorId = Attribute(JoinPath(folder, "idVendor"));
      adapter.productId = Attribute(JoinPath(folder, "idProduct"));
      adapter.manufacturer = Attribute(JoinPath(folder, "manufacturer"));
      adapter.product = Attribute(JoinPath(folder, "product"));
      adapter.serial = Attribute(JoinPath(folder, "serial"));
      return;
    }
    const size_t slash = folder.rfind('/');
    if (slash == std::string::npos || slash == 0) return;
    folder.resize(slash);
  }
}

// "usb-FTDI_FT232R_USB_UART_A1B2-if00-port0" → "FTDI FT232R USB UART A1B2": what a by-id
// name tells when the device tree says nothing.
std::string DescriptionFromStableName(const std::string& link) {
  std::string name = link.substr(link.rfind('/') + 1);
  for (std::string_view prefix : {"usb-", "pci-"}) {
    if (name.compare(0, prefix.size(), prefix) == 0) name.erase(0, prefix.size());
  }
  if (const size_t tail = name.rfind("-if"); tail != std::string::npos) name.resize(tail);
  std::replace(name.begin(), name.end(), '_', ' ');
  return name;
}

}  // namespace

SerialScanRoots DefaultScanRoots() {
  SerialScanRoots roots;
  if (const char* dev = std::getenv("TERVANE_DEV_DIR"); dev != nullptr && *dev != '\0') roots.devDir = dev;
  if (const char* sys = std::getenv("TERVANE_SYS_DIR"); sys != nullptr && *sys != '\0') roots.sysDir = sys;
  return roots;
}

std::string SerialAdapter::Description() const {
  std::string text = manufacturer;
  if (!product.empty()) text += (text.empty() ? "" : " ") + product;
  std::string ids;
  if (!vendorId.empty()) ids = vendorId + ":" + productId;
  if (!serial.empty()) ids += (ids.empty() ? "" : ", ") + std::string("s\xE9rie ") + serial;
  if (!ids.empty()) text += (text.empty() ? "(" : " (") + ids + ")";
  return text;
}

bool SameDevice(const std::string& a, const std::string& b) {
  const std::string ca = Canonical(a);
  return !ca.empty() && ca == Canonical(b);
}

bool IsPhantomSerialPort(const std::string& ttyName, const SerialScanRoots& roots) {
  const std::string type = Attribute(JoinPath(roots.sysDir, "class/tty/" + ttyName + "/type"));
  return type == "0";
}

std::vector<SerialAdapter> ListSerialAdapters(const SerialScanRoots& roots) {
  // Device node (canonical) → adapter.
  std::map<std::string, SerialAdapter> found;
  std::vector<std::string> order;
  auto add = [&](const std::string& node, const std::string& ttyName) -> SerialAdapter* {
    const std::string canonical = Canonical(node);
    if (canonical.empty()) return nullptr;  // gone, or a link to nothing
    struct stat st {};
    if (::stat(canonical.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return nullptr;
    auto [it, inserted] = found.try_emplace(canonical);
    if (inserted) {
      it->second.device = node;
      it->second.accessible = MayOpenDevice(canonical);
      order.push_back(canonical);
      if (!ttyName.empty()) ReadUsbAttributes(roots, ttyName, it->second);
    }
    return &it->second;
  };

  std::vector<std::string> ttys;
  for (const std::string& name : Entries(JoinPath(roots.sysDir, "class/tty"))) {
    if (IsAdapterName(name)) ttys.push_back(name);
  }
  for (const std::string& name : Entries(roots.devDir)) {
    if (IsAdapterName(name) && std::find(ttys.begin(), ttys.end(), name) == ttys.end()) ttys.push_back(name);
  }
  std::sort(ttys.begin(), ttys.end(), NaturalLess);
  for (const std::string& name : ttys) add(JoinPath(roots.devDir, name), name);

  const std::string byId = JoinPath(roots.devDir, "serial/by-id");
  std::vector<std::string> links = Entries(byId);
  std::sort(links.begin(), links.end());
  for (const std::string& link : links) {
    const std::string path = JoinPath(byId, link);
    const std::string canonical = Canonical(path);
    if (canonical.empty()) continue;
    SerialAdapter* adapter = nullptr;
    if (auto it = found.find(canonical); it != found.end()) {
      adapter = &it->second;
    } else {
      adapter = add(path, {});
      if (adapter == nullptr) continue;
      adapter->device = canonical;
    }
    if (adapter->stableName.empty()) adapter->stableName = path;
    if (adapter->manufacturer.empty() && adapter->product.empty()) adapter->product = DescriptionFromStableName(path);
  }

  std::vector<SerialAdapter> adapters;
  for (const std::string& key : order) adapters.push_back(found[key]);
  return adapters;
}

std::vector<std::string> UnmappedAdapterNames(const SerialScanRoots& roots) {
  const std::vector<ComMapEntry> map = ComPortMap();
  std::vector<std::string> names;
  for (const SerialAdapter& adapter : ListSerialAdapters(roots)) {
    const bool mapped = std::any_of(map.begin(), map.end(),
                                    [&](const ComMapEntry& entry) { return SameDevice(entry.device, adapter.device); });
    if (!mapped) names.push_back(adapter.Name());
  }
  return names;
}

}  // namespace tervane
