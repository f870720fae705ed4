// The off-screen composition: the bitmap loader's refusals and scaling, two-colour
// pictures, and the captured layout of picture and text.
#ifdef TERVANE_HAVE_LOGO
#include <gtest/gtest.h>

#include <QBuffer>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "control/compose/logo_composer.h"
#include "support/process_temp_dir.h"

namespace tervane {
namespace {

QGuiApplication& App() {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "test_control";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);
  return app;
}

std::string TempPath(const char* name) { return tervane::testing::ProcessTempPath(name); }

void WriteFile(const std::string& path, const QByteArray& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.constData(), bytes.size());
}

QByteArray Bmp(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "BMP");
  return bytes;
}

TEST(LoadPicture, RefusalsCarryTheirCodes) {
  App();
  LoadedPicture picture;
  EXPECT_EQ(LoadPicture(QString::fromStdString(TempPath("missing.bmp")), &picture), kPictureCannotOpen);

  QImage image(20, 10, QImage::Format_RGB32);
  image.fill(Qt::white);
  QByteArray good = Bmp(image);
  QByteArray wrongMagic = good;
  wrongMagic[0] = 'P';
  const std::string path = TempPath("composer_test.bmp");
  WriteFile(path, wrongMagic);
  EXPECT_EQ(LoadPicture(QString::fromStdString(path), &picture), kPictureInvalid);
  WriteFile(path, good.left(10));  // shorter than the file header
  EXPECT_EQ(LoadPicture(QString::fromStdString(path), &picture), kPictureInvalid);
  WriteFile(path, good.left(40));  // header cut in the middle
  EXPECT_EQ(LoadPicture(QString::fromStdString(path), &picture), kPictureInvalid);
  // Absurd dimensions in the info header: 1,000,000 x 1,000,000.
  QByteArray absurd = good;
  const char huge[4] = {0x40, 0x42, 0x0F, 0x00};
  absurd.replace(18, 4, QByteArray(huge, 4));
  absurd.replace(22, 4, QByteArray(huge, 4));
  WriteFile(path, absurd);
  EXPECT_EQ(LoadPicture(QString::fromStdString(path), &picture), kPictureInvalid);
  QByteArray zero = good;
  zero.replace(18, 4, QByteArray(4, '\0'));
  zero.replace(22, 4, QByteArray(4, '\0'));
  WriteFile(path, zero);
  EXPECT_EQ(LoadPicture(QString::fromStdString(path), &picture), kPictureInvalid);

  WriteFile(path, good);
  ASSERT_EQ(LoadPicture(QString::fromStdString(path), &picture), kPictureOk);
  EXPECT_EQ(picture.picture.size(), QSize(20, 10));
  std::remove(path.c_str());
}

TEST(LoadPicture, ScalingAndTwoColourPictures) {
  App();
  EXPECT_DOUBLE_EQ(PictureScale(600, 100), 576.0 / 600.0);
  EXPECT_DOUBLE_EQ(PictureScale(200, 280), 140.0 / 280.0);
  EXPECT_DOUBLE_EQ(PictureScale(1152, 200), 0.5);  // the smaller ratio wins
  EXPECT_DOUBLE_EQ(PictureScale(576, 140), 1.0);

  QImage wide(600, 100, QImage::Format_RGB32);
  wide.fill(Qt::white);
  const std::string path = TempPath("composer_scale.bmp");
  WriteFile(path, Bmp(wide));
  LoadedPicture picture;
  ASSERT_EQ(LoadPicture(QString::fromStdString(path), &picture), kPictureOk);
  EXPECT_EQ(picture.picture.size(), QSize(576, 96));
  EXPECT_TRUE(picture.convert);

  // A two-colour bitmap is not dithered: its light-gray colour still prints black.
  QImage mono(16, 16, QImage::Format_Indexed8);
  mono.setColorTable({qRgb(255, 255, 255), qRgb(230, 230, 230)});
  mono.fill(0);
  mono.setPixel(5, 5, 1);
  WriteFile(path, Bmp(mono));
  ASSERT_EQ(LoadPicture(QString::fromStdString(path), &picture), kPictureOk);
  EXPECT_FALSE(picture.convert);
  EXPECT_EQ(picture.picture.pixel(5, 5) & 0xFFFFFF, 0u);
  EXPECT_EQ(picture.picture.pixel(6, 5) & 0xFFFFFF, 0xFFFFFFu);
  std::remove(path.c_str());
}

TEST(CaptureComposition, PictureLeftTextBesideItAllNonWhiteBlack) {
  App();
  LogoComposition c;
  c.picture = QImage(40, 30, QImage::Format_RGB32);
  c.picture.fill(qRgb(250, 250, 250));  // almost white still prints
  c.lines[0] = "ACME";
  c.lines[1] = "LOJA";
  c.lines[2] = "RUA";
  MonoImage left = CaptureComposition(c);
  ASSERT_GT(left.width, 40);
  EXPECT_TRUE(left.Black(0, 0));
  EXPECT_TRUE(left.Black(38, 27));
  bool textBeside = false;
  for (int y = 0; y < 20; ++y) {
    for (int x = 41; x < left.width; ++x) textBeside |= left.Black(x, y);
  }
  EXPECT_TRUE(textBeside);

  c.alignment = LogoAlignment::kCenter;
  MonoImage centred = CaptureComposition(c);
  EXPECT_FALSE(centred.Black(0, 0));                     // the picture moved to the middle
  EXPECT_TRUE(centred.Black(kPreviewWidth / 2 - 10, 5));
  EXPECT_GT(centred.height, 30);                         // the text is below the picture
  EXPECT_LE(centred.width, kPreviewWidth - 2);
  EXPECT_LE(centred.height, kPreviewHeight - 2);
}

}  // namespace
}  // namespace tervane
#endif
