#include "control/dialog/logo_view.h"

#include <QPainter>

namespace tervane {

CLogoView::CLogoView(QWidget* preview, const QImage& picture, const QPoint& topLeft)
    : CMovablePane(preview, QRect(topLeft, picture.size())), picture_(picture) {}

void CLogoView::PaintContents(QPainter& painter) { painter.drawImage(QPoint(0, 0), picture_); }

}  // namespace tervane
