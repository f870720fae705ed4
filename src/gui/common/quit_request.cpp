#include "gui/common/quit_request.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace tervane::gui {
namespace {

int g_running = 0;
bool g_pending = false;
std::function<void()> g_quit;

void Quit() {
  g_pending = false;
  if (g_quit) {
    g_quit();
    return;
  }
  // Queued, so that whoever ended the operation unwinds before the windows close.
  if (QCoreApplication* app = QCoreApplication::instance()) {
    QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
  }
}

}  // namespace

void RequestQuit() {
  if (g_running > 0) {
    g_pending = true;
    return;
  }
  Quit();
}

bool QuitPending() { return g_pending; }

void BeginOperation() { ++g_running; }

void EndOperation() {
  if (g_running > 0) --g_running;
  if (g_running == 0 && g_pending) Quit();
}

int RunningOperations() { return g_running; }

void SetQuitAction(std::function<void()> action) { g_quit = std::move(action); }

}  // namespace tervane::gui
