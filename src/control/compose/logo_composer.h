// The logo composition drawn off-screen with Qt: loading the bitmap (magic check,
// scaling to the printer's limits, black and white), and laying a picture and four text
// lines out in the preview as the composition window does, captured to one bit.
#pragma once

#include <QFont>
#include <QImage>
#include <QString>

#include "control/mono_image.h"

namespace tervane {

// Results of LoadPicture.
inline constexpr int kPictureOk = 1;
inline constexpr int kPictureNoMemory = -1;
inline constexpr int kPictureCannotOpen = -2;
inline constexpr int kPictureInvalid = -3;

// The preview area of the composition, in pixels.
inline constexpr int kPreviewWidth = 230;
inline constexpr int kPreviewHeight = 140;

struct LoadedPicture {
  QImage picture;        // what the picture pane shows: black and white, scaled
  bool convert = true;   // false when the bitmap has exactly two colours
};

// The uniform scale for a bitmap of w x h: below 1 only when it is wider than 576 or
// taller than 140 (the smaller of the two limits' ratios), else 1.
double PictureScale(int w, int h);

// Loads a Windows bitmap: the file must start with "BM" and be read whole. Returns
// kPictureOk, kPictureCannotOpen, kPictureInvalid (wrong magic, cut short, undecodable,
// empty, absurd size) or kPictureNoMemory. `out` is set only on success.
int LoadPicture(const QString& path, LoadedPicture* out);

enum class LogoAlignment { kLeft, kCenter };

struct LogoComposition {
  QImage picture;              // the picture pane's image (may be null: no picture)
  QString lines[4];
  QFont font;
  LogoAlignment alignment = LogoAlignment::kLeft;
};

// The text pane's contents: the four lines joined by CR LF.
QString CompositionText(const QString lines[4]);

// Lays the panes out as the alignment says (each keeps its size; what passes the
// preview's edge is not drawn), draws them in a white preview and captures the part the panes cover (from
// the preview's left edge to the rightmost pane, between the higher top and the lower
// bottom) with every non-white pixel black. Needs a QGuiApplication.
MonoImage CaptureComposition(const LogoComposition& composition);

}  // namespace tervane
