#include "gui/fiscalmemory/mfd_diagnostics_action.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include "core/fiscalmemory/mfd_diagnostics.h"
#include "gui/app/progress_window.h"
#include "gui/catalogue/qt_prompter.h"

namespace tervane::gui {

int RunMfdDiagnosticsAction(QWidget* owner, const ProgramSettings& settings) {
  QtPrompter prompter(owner);
  ProgressWindowSink progress(owner);
  return RunMfdDiagnostics(prompter, progress, settings, [](const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
  });
}

}  // namespace tervane::gui
