// The program's icon, drawn in code (the same design as data/icons/tervane.svg) so that
// the window needs no image plug-in.
#pragma once

#include <QIcon>

namespace tervane::gui {

QIcon AppIcon();

// The toolbar's pictures, drawn in the same style.
enum class ToolPicture { kSequences, kGraphicCliche, kMemory, kProgramming, kSettings };
QIcon ToolIcon(ToolPicture picture);

}  // namespace tervane::gui
