// The "Diagnostico do relatório da MFD" menu command in the workbench: the core's
// diagnostics flow with the Qt dialogs, the progress window and the desktop's "open".
#pragma once

#include "core/common/settings.h"

class QWidget;

namespace tervane::gui {

// Asks for the MFD text report, scans it under the progress window, writes
// "diagnostico_mfd.txt" in the work folder and offers to open it. `owner` owns the
// dialogs. Returns the core's result (kMfdDiagOk, kMfdDiagCancelled or a failure that
// was already shown in a message box).
int RunMfdDiagnosticsAction(QWidget* owner, const ProgramSettings& settings);

}  // namespace tervane::gui
