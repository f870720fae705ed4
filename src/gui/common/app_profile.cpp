#include "gui/common/app_profile.h"

#include <QDir>

#include "core/transport/com_port_map.h"

namespace tervane::gui {

QString ProfilePath() {
  // The same file the serial transport reads its COM-port map from.
  const std::string path = PortSettingsFilePath();
  if (!path.empty()) return QString::fromStdString(path);
  return QDir::homePath() + QStringLiteral("/.config/tervane/tervane.ini");
}

std::unique_ptr<QSettings> OpenProfile() {
  return std::make_unique<QSettings>(ProfilePath(), QSettings::IniFormat);
}

}  // namespace tervane::gui
