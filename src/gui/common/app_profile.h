// The application profile: one INI file under the XDG config folder,
// $XDG_CONFIG_HOME/tervane/tervane.ini (~/.config/tervane/tervane.ini when the variable is
// unset). It holds the progress window's position ([Settings] X, Y), the COM-port map
// ([ports] COM1 ... COM8) that the serial transport reads, and the scanner's line
// settings ([Scanner Port]), which are read and written with the core's INI module
// (core/common/ini_file.h) in the names this settings class uses.
#pragma once

#include <QSettings>
#include <QString>
#include <memory>

namespace tervane::gui {

// Path of the profile file; the folder is not created here.
QString ProfilePath();

// The profile opened for reading and writing. Never null; a file that cannot be written
// leaves the settings object in its error state and the values are simply not kept.
std::unique_ptr<QSettings> OpenProfile();

}  // namespace tervane::gui
