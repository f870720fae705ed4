#include "control/compose/logo_composer.h"

#include <QFile>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <new>

#include "core/common/bitmap_header.h"
#include "control/raster_encoder.h"

namespace tervane {
namespace {

constexpr qint64 kMaxBitmapFile = 64 * 1024 * 1024;

// One-bit copy of an image: the ordered dither when `convert`, else every non-white
// pixel black.
QImage BlackAndWhite(const QImage& source, bool convert) {
  const QImage rgb = source.convertToFormat(QImage::Format_RGB888);
  QImage out(rgb.size(), QImage::Format_RGB32);
  out.fill(Qt::white);
  MonoImage mono;
  if (convert) mono = DitherToMono(rgb.constBits(), rgb.width(), rgb.height(), static_cast<int>(rgb.bytesPerLine()));
  for (int y = 0; y < rgb.height(); ++y) {
    const uchar* row = rgb.constScanLine(y);
    for (int x = 0; x < rgb.width(); ++x) {
      const bool black = convert ? mono.Black(x, y) : !(row[3 * x] == 255 && row[3 * x + 1] == 255 && row[3 * x + 2] == 255);
      if (black) out.setPixel(x, y, qRgb(0, 0, 0));
    }
  }
  return out;
}

}  // namespace

double PictureScale(int w, int h) {
  if (w <= 0 || h <= 0) return 1.0;
  double scale = 1.0;
  if (w > kPrinterWidthDots) scale = std::min(scale, static_cast<double>(kPrinterWidthDots) / w);
  if (h > kMaxLogoHeight) scale = std::min(scale, static_cast<double>(kMaxLogoHeight) / h);
  return scale;
}

int LoadPicture(const QString& path, LoadedPicture* out) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return kPictureCannotOpen;
  const qint64 size = file.size();
  if (size < 14 || size > kMaxBitmapFile) return kPictureInvalid;
  QByteArray bytes;
  try {
    bytes = file.readAll();
  } catch (const std::bad_alloc&) {
    return kPictureNoMemory;
  }
  if (bytes.size() != size || bytes[0] != 'B' || bytes[1] != 'M') return kPictureInvalid;
  // The headers are checked before Qt decodes: absurd sizes, unknown formats and pixel
  // rows the file does not hold are refused rather than decoded into a partial picture.
  if (CheckBitmapHeader(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()),
                        nullptr) != BitmapCheck::kOk) {
    return kPictureInvalid;
  }
  QImage image;
  if (!image.loadFromData(bytes, "BMP") || image.isNull() || image.width() <= 0 || image.height() <= 0) {
    return kPictureInvalid;
  }
  LoadedPicture loaded;
  loaded.convert = image.colorCount() != 2;
  const double scale = PictureScale(image.width(), image.height());
  if (scale < 1.0) {
    const int w = std::max(1, static_cast<int>(image.width() * scale));
    const int h = std::max(1, static_cast<int>(image.height() * scale));
    image = image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  loaded.picture = BlackAndWhite(image, loaded.convert);
  if (loaded.picture.isNull()) return kPictureNoMemory;
  *out = std::move(loaded);
  return kPictureOk;
}

QString CompositionText(const QString lines[4]) {
  return lines[0] + "\r\n" + lines[1] + "\r\n" + lines[2] + "\r\n" + lines[3];
}

MonoImage CaptureComposition(const LogoComposition& c) {
  QImage preview(kPreviewWidth, kPreviewHeight, QImage::Format_RGB32);
  preview.fill(Qt::white);

  // The text pane starts 10 pixels inside the preview's sides, from half its height to
  // 10 pixels above its bottom, and shrinks to its text's width plus 8.
  QRect text(10, kPreviewHeight / 2, kPreviewWidth - 20, kPreviewHeight / 2 - 10);
  const QString body = CompositionText(c.lines);
  const QFontMetrics metrics(c.font);
  const int textWidth = metrics.boundingRect(text, Qt::TextWordWrap, body).width();
  if (textWidth + 8 < text.width()) text.setWidth(textWidth + 8);

  QRect picture(0, 0, c.picture.width(), c.picture.height());
  if (c.alignment == LogoAlignment::kLeft) {
    text.moveTopLeft(QPoint(picture.width(), 0));
  } else {
    picture.moveLeft(kPreviewWidth / 2 - picture.width() / 2);
    text.moveTopLeft(QPoint(kPreviewWidth / 2 - text.width() / 2, picture.height()));
  }
  QPainter painter(&preview);
  if (!c.picture.isNull()) painter.drawImage(picture.topLeft(), c.picture);
  painter.fillRect(text, Qt::white);
  painter.setFont(c.font);
  painter.setPen(Qt::black);
  painter.drawText(text, Qt::TextWordWrap, body);
  painter.end();

  const QRect panes = c.picture.isNull() ? text : picture.united(text);
  const int top = panes.top();
  const int width = std::min(panes.right() + 1 - 2, kPreviewWidth - 2);
  const int height = std::min(panes.bottom() + 1 - top - 2, kPreviewHeight - 2);
  MonoImage out = MonoImage::White(width, height);
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      const QRgb pixel = preview.pixel(x + 1, std::min(top + 1 + y, kPreviewHeight - 1));
      out.Set(x, y, (pixel & 0xFFFFFF) != 0xFFFFFF);
    }
  }
  return out;
}

}  // namespace tervane
