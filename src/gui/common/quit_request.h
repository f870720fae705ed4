// Ending the program while an operation is running. A quit (SIGTERM, Ctrl+C on the
// terminal, the session ending) that arrives while a progress window is open waits until
// the last one closes: the exchange in progress ends normally, its reply is read and
// logged, and the program then ends. With nothing running, the quit is immediate.
#pragma once

#include <functional>

namespace tervane::gui {

// Quits now, or once the running operations have ended.
void RequestQuit();
// True while a requested quit waits for an operation.
bool QuitPending();

// An operation begins and ends (the progress window does this for its lifetime).
void BeginOperation();
void EndOperation();
// How many operations are running.
int RunningOperations();

// What quitting does (QCoreApplication::quit, queued, by default); for tests. An empty
// function restores the default.
void SetQuitAction(std::function<void()> action);

}  // namespace tervane::gui
