#include "gui/app/app_icon.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QStyleOption>

#include <algorithm>
#include <functional>
#include <map>
#include <tuple>
#include <utility>

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

const QColor kInk(0x2b, 0x3a, 0x4a);
const QColor kAccent(0x2f, 0x80, 0xc8);
const QColor kPaper(0xff, 0xff, 0xff);

// Drawn on a 32 x 32 grid.
void DrawTool(QPainter& p, ToolPicture picture) {
  const QPen ink(kInk, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(ink);
  switch (picture) {
    case ToolPicture::kSequences: {  // a list of steps and a run arrow
      for (int k = 0; k < 3; ++k) {
        p.setBrush(kAccent);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(6, 8 + k * 8), 2.5, 2.5);
        p.setPen(ink);
        p.drawLine(QPointF(11, 8 + k * 8), QPointF(k == 1 ? 19 : 22, 8 + k * 8));
      }
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0x3c, 0xb0, 0x60));
      p.drawPolygon(QPolygonF({QPointF(21, 17), QPointF(30, 22.5), QPointF(21, 28)}));
      break;
    }
    case ToolPicture::kGraphicCliche: {  // a receipt head with a picture
      p.setBrush(kPaper);
      p.drawRoundedRect(QRectF(4, 4, 24, 24), 3, 3);
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0xf2, 0xb1, 0x34));
      p.drawEllipse(QPointF(11, 11), 3, 3);
      p.setBrush(kAccent);
      p.drawPolygon(QPolygonF({QPointF(6, 24), QPointF(14, 15), QPointF(19, 20), QPointF(22, 17), QPointF(26, 24)}));
      break;
    }
    case ToolPicture::kMemory: {  // a memory chip
      p.setBrush(kInk);
      p.drawRoundedRect(QRectF(8, 6, 16, 20), 2, 2);
      p.setPen(QPen(kInk, 1.6, Qt::SolidLine, Qt::RoundCap));
      for (int k = 0; k < 4; ++k) {
        const double y = 9 + k * 4.5;
        p.drawLine(QPointF(3, y), QPointF(8, y));
        p.drawLine(QPointF(24, y), QPointF(29, y));
      }
      p.setPen(Qt::NoPen);
      p.setBrush(kAccent);
      p.drawEllipse(QPointF(12, 10), 1.6, 1.6);
      break;
    }
    case ToolPicture::kProgramming: {  // a printer and a wrench
      p.setBrush(kInk);
      p.setPen(Qt::NoPen);
      p.drawRoundedRect(QRectF(3, 14, 20, 13), 3, 3);
      p.setBrush(kPaper);
      p.setPen(QPen(kInk, 1.2));
      p.drawRect(QRectF(7, 6, 12, 9));
      QPen wrench(kAccent, 3.2, Qt::SolidLine, Qt::RoundCap);
      p.setPen(wrench);
      p.drawLine(QPointF(17, 27), QPointF(26, 18));
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(kAccent, 2.4));
      p.drawArc(QRectF(22, 10, 8, 8), 200 * 16, 270 * 16);
      break;
    }
    case ToolPicture::kSettings: {  // three sliders
      for (int k = 0; k < 3; ++k) {
        const double y = 8 + k * 8;
        p.setPen(ink);
        p.drawLine(QPointF(4, y), QPointF(28, y));
        p.setBrush(k == 1 ? kAccent : kPaper);
        p.drawEllipse(QPointF(k == 0 ? 20 : (k == 1 ? 10 : 16), y), 3.2, 3.2);
      }
      break;
    }
  }
}

// Two chevrons pointing at the toolbar's hidden buttons, on a 16 x 16 grid.
void DrawExtensionArrow(QPainter& p, bool vertical) {
  if (vertical) {
    p.translate(16, 0);
    p.rotate(90);
  }
  QPen pen(QColor(0x44, 0x51, 0x5f), 1.6);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  p.setPen(pen);
  for (double x : {4.0, 9.0}) p.drawPolyline(QPolygonF({QPointF(x, 4), QPointF(x + 3.5, 8), QPointF(x, 12)}));
}

// An icon drawn in code at the size asked for, when it is first asked for: nothing is
// painted for the sizes never shown, and no image file or image plugin is involved.
class DrawnIconEngine final : public QIconEngine {
 public:
  // Draws the picture on a grid of `grid` x `grid` units.
  using Painter = std::function<void(QPainter&)>;
  DrawnIconEngine(Painter draw, double grid) : draw_(std::move(draw)), grid_(grid) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    (void)state;
    const auto key = std::make_tuple(size.width(), size.height(), static_cast<int>(mode));
    if (auto it = drawn_.find(key); it != drawn_.end()) return it->second;
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    {
      QPainter p(&pixmap);
      p.setRenderHint(QPainter::Antialiasing);
      const int side = std::min(size.width(), size.height());
      p.translate((size.width() - side) / 2.0, (size.height() - side) / 2.0);
      p.scale(side / grid_, side / grid_);
      draw_(p);
    }
    if (mode != QIcon::Normal) {
      // Greyed (or highlighted) by the style, as it does for icons made of pixmaps.
      QStyleOption option;
      option.palette = QGuiApplication::palette();
      pixmap = QApplication::style()->generatedIconPixmap(mode, pixmap, &option);
    }
    drawn_.emplace(key, pixmap);
    return pixmap;
  }

  QIconEngine* clone() const override { return new DrawnIconEngine(draw_, grid_); }

 private:
  Painter draw_;
  double grid_;
  std::map<std::tuple<int, int, int>, QPixmap> drawn_;
};

}  // namespace

QIcon ToolIcon(ToolPicture picture) {
  return QIcon(new DrawnIconEngine([picture](QPainter& p) { DrawTool(p, picture); }, 32));
}

QIcon ToolBarExtensionIcon(bool vertical) {
  return QIcon(new DrawnIconEngine([vertical](QPainter& p) { DrawExtensionArrow(p, vertical); }, 16));
}

QIcon WorkbenchStyle::standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const {
  // The base style would read these from image files, which loads every image-format
  // plugin installed: some milliseconds of the window's start, for one small arrow.
  if (icon == SP_ToolBarHorizontalExtensionButton) return ToolBarExtensionIcon(false);
  if (icon == SP_ToolBarVerticalExtensionButton) return ToolBarExtensionIcon(true);
  return QProxyStyle::standardIcon(icon, option, widget);
}

QIcon AppIcon() {
  static const QIcon icon = [] {
    // The shipped SVG, compiled into the program; the same design drawn here when Qt's
    // SVG icon engine is not installed.
    const QIcon shipped(QStringLiteral(":/tervane/icons/tervane.svg"));
    if (!shipped.pixmap(32, 32).isNull()) return shipped;
    QIcon result;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) result.addPixmap(DrawIcon(size));
    return result;
  }();
  return icon;
}

}  // namespace tervane::gui
