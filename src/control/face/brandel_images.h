// The logo control's pictures, drawn in code: the icon of its About box and the
// placeholder shown when the composition dialog cannot be made.
#pragma once

#include <QImage>

namespace tervane::brandel {

QImage BrandelIcon();         // 32 x 32
QImage BrandelPlaceholder();  // 96 x 64

}  // namespace tervane::brandel
