// The picture pane of the logo preview: the scaled picture, 1:1 on white.
#pragma once

#include <QImage>

#include "control/dialog/movable_pane.h"

namespace tervane {

class CLogoView final : public CMovablePane {
  Q_OBJECT

 public:
  // A pane of the picture's size with its top-left corner at `topLeft` of `preview`.
  CLogoView(QWidget* preview, const QImage& picture, const QPoint& topLeft = QPoint(0, 0));

  const QImage& Picture() const { return picture_; }

 protected:
  void PaintContents(QPainter& painter) override;

 private:
  QImage picture_;
};

}  // namespace tervane
