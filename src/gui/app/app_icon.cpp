#include "gui/app/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tervane::gui {
namespace {

// Drawn on a 64 x 64 grid and scaled: a dark receipt printer with a paper strip coming
// out of its top and a green status light.
QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);

  // Paper strip.
  QPainterPath paper;
  paper.moveTo(18, 30);
  paper.lineTo(18, 6);
  for (int k = 0; k < 7; ++k) {  // torn edge
    paper.lineTo(18 + k * 4 + 2, 3);
    paper.lineTo(18 + k * 4 + 4, 6);
  }
  paper.lineTo(46, 30);
  paper.closeSubpath();
  p.setPen(QPen(QColor(0x8a, 0x94, 0xa0), 1.2));
  p.setBrush(QColor(0xff, 0xff, 0xff));
  p.drawPath(paper);
  p.setPen(QPen(QColor(0x5b, 0x6b, 0x7d), 1.6, Qt::SolidLine, Qt::RoundCap));
  for (int y : {12, 17, 22}) p.drawLine(QPointF(22, y), QPointF(y == 17 ? 36 : 42, y));

  // Body.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x2b, 0x3a, 0x4a));
  p.drawRoundedRect(QRectF(6, 26, 52, 30), 6, 6);
  p.setBrush(QColor(0x3d, 0x51, 0x66));
  p.drawRoundedRect(QRectF(6, 26, 52, 10), 5, 5);
  // Paper slot.
  p.setBrush(QColor(0x12, 0x1a, 0x22));
  p.drawRoundedRect(QRectF(14, 29, 36, 4), 2, 2);
  // Display and light.
  p.setBrush(QColor(0x9f, 0xd8, 0xff));
  p.drawRoundedRect(QRectF(12, 42, 24, 8), 2, 2);
  p.setBrush(QColor(0x3c, 0xd0, 0x70));
  p.drawEllipse(QPointF(48, 46), 3.5, 3.5);
  return pixmap;
}

}  // namespace

QIcon AppIcon() {
  static const QIcon icon = [] {
    QIcon result;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) result.addPixmap(DrawIcon(size));
    return result;
  }();
  return icon;
}

}  // namespace tervane::gui
