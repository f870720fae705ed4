#include "control/face/brandel_images.h"

#include <QPainter>

namespace tervane::brandel {
namespace {

// A receipt with a black picture block and three text lines: the control's mark.
void DrawMark(QPainter& painter, const QRectF& area) {
  const qreal w = area.width();
  const qreal h = area.height();
  painter.setPen(QPen(QColor(0x44, 0x51, 0x5f), std::max<qreal>(1.0, w / 32)));
  painter.setBrush(Qt::white);
  painter.drawRect(area.adjusted(w * 0.12, h * 0.06, -w * 0.12, -h * 0.06));
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  painter.drawRect(QRectF(area.left() + w * 0.25, area.top() + h * 0.16, w * 0.22, h * 0.3));
  painter.setBrush(QColor(0x2a, 0x6f, 0xb0));
  for (int line = 0; line < 3; ++line) {
    painter.drawRect(QRectF(area.left() + w * 0.25, area.top() + h * (0.54 + line * 0.12), w * (0.5 - line * 0.08),
                            std::max<qreal>(1.0, h * 0.06)));
  }
}

QImage Draw(int width, int height, QColor background) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(background);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  DrawMark(painter, QRectF(0, 0, width, height));
  return image;
}

}  // namespace

QImage BrandelIcon() {
  return Draw(32, 32, Qt::transparent);
}

QImage BrandelPlaceholder() {
  return Draw(96, 64, QColor(0xe8, 0xec, 0xf0));
}

}  // namespace tervane::brandel
