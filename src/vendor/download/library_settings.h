// The settings the memory libraries need to reach the printer, read the way the
// workbench keeps them: the COM map through the port factory, and the printer address
// and exchange folder from, first match wins, the environment variables
// TERVANE_PRINTER_ADDRESS and TERVANE_EXCHANGE_DIR (the workbench sets them for the
// libraries it loads), the keys "address" and "exchange_dir" of section [printer] of the
// settings file ($XDG_CONFIG_HOME/tervane/tervane.ini), or the defaults (no address, the
// current folder). Relative files are taken from the current folder.
#pragma once

#include "core/common/settings.h"

namespace tervane::vendor {

// Never fails: what cannot be read keeps its default.
ProgramSettings LibrarySettings();

}  // namespace tervane::vendor
