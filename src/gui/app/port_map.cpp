#include "gui/app/port_map.h"

#include "gui/common/app_profile.h"

namespace tervane::gui {
namespace {

QString Key(int n) {
  return QStringLiteral("ports/COM%1").arg(n);
}

}  // namespace

QString DefaultComDevice(int n) {
  return QStringLiteral("/dev/ttyS%1").arg(n - 1);
}

std::array<QString, kComPorts> LoadSavedComPortMap() {
  std::array<QString, kComPorts> devices;
  auto profile = OpenProfile();
  for (int n = 1; n <= kComPorts; ++n) {
    const QString saved = profile->value(Key(n)).toString().trimmed();
    devices[n - 1] = saved.isEmpty() ? DefaultComDevice(n) : saved;
  }
  return devices;
}

std::array<ComPortEntry, kComPorts> LoadComPortMap() {
  const std::array<QString, kComPorts> saved = LoadSavedComPortMap();
  std::array<ComPortEntry, kComPorts> map;
  for (int n = 1; n <= kComPorts; ++n) {
    const QString fromEnv = qEnvironmentVariable(qPrintable(QStringLiteral("TERVANE_COM%1").arg(n)));
    map[n - 1] = fromEnv.isEmpty() ? ComPortEntry{saved[n - 1], false} : ComPortEntry{fromEnv, true};
  }
  return map;
}

bool SaveComPortMap(const std::array<QString, kComPorts>& devices) {
  auto profile = OpenProfile();
  for (int n = 1; n <= kComPorts; ++n) {
    const QString device = devices[n - 1].trimmed();
    if (device.isEmpty()) {
      profile->remove(Key(n));
    } else {
      profile->setValue(Key(n), device);
    }
  }
  profile->sync();
  return profile->status() == QSettings::NoError;
}

}  // namespace tervane::gui
