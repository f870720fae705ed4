// Text at the edge between the core (Windows-1252 bytes) and Qt (UTF-16).
#pragma once

#include <QColor>
#include <QString>
#include <string>

class QWidget;

namespace tervane::gui {

// Windows-1252 text of the core as a QString. Never fails.
QString ToQt(const std::string& cp1252);

// Windows-1252 text for display in a text box: CR LF pairs become the single line break
// Qt's text widgets expect.
QString ToQtDisplay(const std::string& cp1252);

// What a person typed, as Windows-1252 for the core. A character Windows-1252 cannot hold
// becomes '?', so the text never grows beyond the number of characters typed.
std::string FromQt(const QString& text);

// String number `id` of the string table as a QString (empty for an unknown number).
QString Str(int id);

// Shows the widget's text in `colour`, through its palette: a style sheet would put the
// widget under Qt's style sheet style, slower to set up and to lay out.
void SetTextColour(QWidget* widget, const QColor& colour);

}  // namespace tervane::gui
