#include "gui/app/port_map.h"

#include <string>

#include "core/common/ini_file.h"
#include "core/transport/com_port_map.h"
#include "gui/common/app_profile.h"

namespace tervane::gui {

QString DefaultComDevice(int n) {
  return QStringLiteral("/dev/ttyS%1").arg(n - 1);
}

std::array<QString, kComPorts> LoadSavedComPortMap() {
  std::array<QString, kComPorts> devices;
  const std::string path = ProfilePath().toStdString();
  for (int n = 1; n <= kComPorts; ++n) {
    std::string saved;
    const bool found = ReadIniValue(path, "ports", "COM" + std::to_string(n), &saved) && !saved.empty();
    devices[n - 1] = found ? QString::fromStdString(saved) : DefaultComDevice(n);
  }
  return devices;
}

std::array<ComPortEntry, kComPorts> LoadComPortMap() {
  std::array<ComPortEntry, kComPorts> map;
  for (const ComMapEntry& entry : ComPortMap()) {
    if (entry.number < 1 || entry.number > kComPorts) continue;
    map[entry.number - 1] = ComPortEntry{QString::fromStdString(entry.device),
                                         entry.source == ComMapSource::kEnvironment};
  }
  return map;
}

bool SaveComPortMap(const std::array<QString, kComPorts>& devices) {
  auto profile = OpenProfile();
  for (int n = 1; n <= kComPorts; ++n) {
    const QString key = QStringLiteral("ports/COM%1").arg(n);
    const QString device = devices[n - 1].trimmed();
    if (device.isEmpty()) {
      profile->remove(key);
    } else {
      profile->setValue(key, device);
    }
  }
  profile->sync();
  return profile->status() == QSettings::NoError;
}

}  // namespace tervane::gui
