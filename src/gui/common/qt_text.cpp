#include "gui/common/qt_text.h"

#include <QPalette>
#include <QWidget>

#include "core/common/string_table.h"
#include "core/common/charset.h"

namespace tervane::gui {

QString ToQt(const std::string& cp1252) {
  return QString::fromStdString(Cp1252ToUtf8(cp1252));
}

QString ToQtDisplay(const std::string& cp1252) {
  QString text = ToQt(cp1252);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

std::string FromQt(const QString& text) {
  return Utf8ToCp1252Lossy(text.toStdString());
}

QString Str(int id) {
  return ToQt(LoadString(id));
}

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  palette.setColor(QPalette::Text, colour);
  widget->setPalette(palette);
}

}  // namespace tervane::gui
