// The program's icon: data/icons/tervane.svg, compiled in, or the same design drawn in
// code when Qt's SVG icon engine is missing.
#pragma once

#include <QIcon>

namespace tervane::gui {

QIcon AppIcon();

// The toolbar's pictures, drawn in the same style.
enum class ToolPicture { kSequences, kGraphicCliche, kMemory, kProgramming, kSettings };
QIcon ToolIcon(ToolPicture picture);

}  // namespace tervane::gui
