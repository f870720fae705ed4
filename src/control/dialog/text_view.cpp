#include "control/dialog/text_view.h"

#include <QFontMetrics>
#include <QPainter>

#include "control/compose/logo_composer.h"

namespace tervane {
namespace {

// Qt breaks lines at LF; the CR of each CR LF pair is not a character to draw.
QString Drawable(const QString& text) {
  QString out = text;
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return out;
}

}  // namespace

CTextView::CTextView(QWidget* preview, const QRect& geometry, const QString (&lines)[4], const QFont& font)
    : CMovablePane(preview, geometry), font_(font) {
  for (int i = 0; i < 4; ++i) lines_[i] = lines[i];
  text_ = CompositionText(lines_);
  const QFontMetrics metrics(font_);
  const int textWidth = metrics.boundingRect(QRect(QPoint(0, 0), geometry.size()), Qt::TextWordWrap, Drawable(text_)).width();
  if (textWidth + 8 < width()) resize(textWidth + 8, height());
}

void CTextView::PaintContents(QPainter& painter) {
  painter.setFont(font_);
  painter.setPen(Qt::black);
  painter.drawText(rect(), Qt::TextWordWrap, Drawable(text_));
}

}  // namespace tervane
