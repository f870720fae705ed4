// Which window a dialog opened from core code (an editor, a question, a progress window)
// should belong to. Qt blocks input to every window outside an open modal dialog, so a
// window opened while a dialog runs must be owned by that dialog to stay usable.
#pragma once

class QWidget;

namespace tervane::gui {

// The open modal dialog, else the active window, else `fallback`. Windows marked
// transient (notices, progress windows) are never chosen.
QWidget* CurrentOwner(QWidget* fallback);

// Marks a short-lived window that must not own others.
void MarkTransient(QWidget* window);

}  // namespace tervane::gui
