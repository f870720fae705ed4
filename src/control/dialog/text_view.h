// The text pane of the logo preview: the four lines in the chosen font, black on white,
// word-wrapped, one line per row.
#pragma once

#include <QFont>
#include <QString>

#include "control/dialog/movable_pane.h"

namespace tervane {

class CTextView final : public CMovablePane {
  Q_OBJECT

 public:
  // A pane in `geometry` of `preview` holding copies of the lines and the font. When the
  // text is narrower than the pane by more than 8 pixels the pane shrinks to the text's
  // width plus 8 (its left edge stays).
  CTextView(QWidget* preview, const QRect& geometry, const QString (&lines)[4], const QFont& font);

  const QString& Line(int index) const { return lines_[index]; }
  const QFont& TextFont() const { return font_; }
  // Line 1, CR LF, line 2, CR LF, line 3, CR LF, line 4.
  const QString& Text() const { return text_; }

 protected:
  void PaintContents(QPainter& painter) override;

 private:
  QString lines_[4];
  QFont font_;
  QString text_;
};

}  // namespace tervane
