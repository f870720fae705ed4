#include "gui/common/window_owner.h"

#include <QApplication>
#include <QWidget>

namespace tervane::gui {
namespace {
constexpr const char* kTransient = "tervaneTransient";
}

void MarkTransient(QWidget* window) {
  window->setProperty(kTransient, true);
}

QWidget* CurrentOwner(QWidget* fallback) {
  if (QWidget* modal = QApplication::activeModalWidget()) {
    if (!modal->property(kTransient).toBool()) return modal;
  }
  if (QWidget* active = QApplication::activeWindow()) {
    if (active->isVisible() && !active->property(kTransient).toBool()) return active;
  }
  return fallback;
}

}  // namespace tervane::gui
