#include "gui/common/app_profile.h"

#include <QDir>

namespace tervane::gui {

QString ProfilePath() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  // The XDG rules ignore a relative path in the variable.
  if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
  return base + QStringLiteral("/tervane/tervane.ini");
}

std::unique_ptr<QSettings> OpenProfile() {
  return std::make_unique<QSettings>(ProfilePath(), QSettings::IniFormat);
}

}  // namespace tervane::gui
