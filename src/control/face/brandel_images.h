// The logo control's pictures, drawn in code: the icon of its About box, the placeholder
// shown when the composition dialog cannot be made, and its toolbox bitmap.
#pragma once

#include <QImage>

namespace tervane::brandel {

QImage BrandelIcon();         // 32 x 32
QImage BrandelPlaceholder();  // 96 x 64
QImage BrandelToolboxBitmap();  // 16 x 15

}  // namespace tervane::brandel
