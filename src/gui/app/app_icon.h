// The program's icon: data/icons/tervane.svg, compiled in, or the same design drawn in
// code when Qt's SVG icon engine is missing.
#pragma once

#include <QIcon>
#include <QProxyStyle>

namespace tervane::gui {

QIcon AppIcon();

// The toolbar's pictures, drawn in the same style.
enum class ToolPicture { kSequences, kGraphicCliche, kMemory, kProgramming, kSettings };
QIcon ToolIcon(ToolPicture picture);

// The arrow of a toolbar's button for the buttons that do not fit.
QIcon ToolBarExtensionIcon(bool vertical);

// The application's style (the one Qt chose, by its name) with the toolbar's extension
// arrows drawn in code.
class WorkbenchStyle final : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                     const QWidget* widget = nullptr) const override;
};

}  // namespace tervane::gui
