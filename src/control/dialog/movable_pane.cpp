#include "control/dialog/movable_pane.h"

#include <QMouseEvent>
#include <QPainter>

namespace tervane {

CMovablePane::CMovablePane(QWidget* preview, const QRect& geometry) : QWidget(preview) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setGeometry(geometry);
}

void CMovablePane::SetFreeMove(bool on) {
  freeMove_ = on;
  if (!on) EndDrag();
}

void CMovablePane::SetFrameShown(bool shown) {
  if (frameShown_ == shown) return;
  frameShown_ = shown;
  update();
}

QPoint CMovablePane::PinnedInside(const QRect& pane, const QRect& area) {
  QPoint at = pane.topLeft();
  if (at.x() + pane.width() > area.x() + area.width()) at.setX(area.x() + area.width() - pane.width());
  if (at.y() + pane.height() > area.y() + area.height()) at.setY(area.y() + area.height() - pane.height());
  if (at.x() < area.x()) at.setX(area.x());
  if (at.y() < area.y()) at.setY(area.y());
  return at;
}

void CMovablePane::MoveTo(const QPoint& topLeft) {
  const QWidget* preview = parentWidget();
  QRect wanted(topLeft, size());
  move(preview != nullptr ? PinnedInside(wanted, preview->rect()) : topLeft);
}

void CMovablePane::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  PaintContents(painter);
  if (frameShown_) {
    // A thin grey sizing frame with a darker inner edge, over the pane's outer pixels.
    painter.setPen(QColor(160, 160, 160));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setPen(QColor(96, 96, 96));
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
  }
}

void CMovablePane::mousePressEvent(QMouseEvent* event) {
  if (!freeMove_ || event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  // The widget holds the mouse from the press until the release, so the drag follows the
  // pointer even outside the pane.
  dragging_ = true;
  grabOffset_ = event->position().toPoint();
  setCursor(Qt::SizeAllCursor);
  raise();
  event->accept();
}

void CMovablePane::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) {
    QWidget::mouseMoveEvent(event);
    return;
  }
  MoveTo(mapToParent(event->position().toPoint()) - grabOffset_);
  event->accept();
}

void CMovablePane::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  MoveTo(mapToParent(event->position().toPoint()) - grabOffset_);
  EndDrag();
  event->accept();
}

void CMovablePane::EndDrag() {
  if (!dragging_) return;
  dragging_ = false;
  unsetCursor();
}

}  // namespace tervane
