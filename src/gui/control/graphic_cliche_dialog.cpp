#include "gui/control/graphic_cliche_dialog.h"

#include <QFontMetrics>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <string>

#include "core/common/string_table.h"
#include "gui/common/qt_text.h"
#include "gui/control/brandel.h"

namespace tervane::gui {
QPoint DialogUnitsToPixels(const QWidget& widget, int x, int y) {
  const QFontMetrics metrics(widget.font());
  static const QString kSample =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const int baseX = (metrics.horizontalAdvance(kSample) / 26 + 1) / 2;
  const int baseY = metrics.height();
  return QPoint(x * baseX / 4, y * baseY / 8);
}

CGraphicClicheDlg::CGraphicClicheDlg(QWidget* parent, const ProgramSettings& settings, Prompter& prompter)
    : QDialog(parent), settings_(settings), prompter_(prompter) {
  setObjectName(QStringLiteral("graphicCliche"));
  // Template layout: 475 x 251 units, the control at (25, 12), "Sair" 50 x 14 at (418, 230).
  const QPoint size = DialogUnitsToPixels(*this, 475, 251);
  control_ = new CBrandel(this);
  control_->move(DialogUnitsToPixels(*this, 25, 12));
  const QPoint controlSize = DialogUnitsToPixels(*this, 65, 55);
  control_->resize(controlSize.x(), controlSize.y());
  cancel_ = new QPushButton(this);
  cancel_->setObjectName(QStringLiteral("cancel"));
  const QPoint cancelAt = DialogUnitsToPixels(*this, 418, 230);
  const QPoint cancelSize = DialogUnitsToPixels(*this, 50, 14);
  cancel_->setGeometry(cancelAt.x(), cancelAt.y(), cancelSize.x(), cancelSize.y());
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  setFixedSize(size.x(), size.y());
}

bool CGraphicClicheDlg::Open() {
  std::string error;
  if (component::Failed(control_->Create(&error))) {
    // No window and no message box (the dialog simply does not open); the reason, such
    // as a registry file that cannot be read and its path, goes to the standard error.
    std::fprintf(stderr, "tervane: %s\n", error.c_str());
    return false;
  }
  setWindowTitle(Str(str::kClicheGrafico));
  cancel_->setText(Str(str::kSair));
  // The control takes its own size; the dialog grows when that needs more room than the
  // template gives (a large font), so that the composition is never cut off. "Sair"
  // keeps its distance from the bottom-right corner.
  const QRect controlArea = control_->geometry();
  const int rightGap = width() - cancel_->geometry().left();
  const int bottomGap = height() - cancel_->geometry().top();
  const int neededWidth = controlArea.right() + 1 + controlArea.left();
  const int neededHeight = controlArea.bottom() + 1 + bottomGap + controlArea.top();
  if (neededWidth > width() || neededHeight > height()) {
    setFixedSize(std::max(width(), neededWidth), std::max(height(), neededHeight));
    cancel_->move(width() - rightGap, height() - bottomGap);
  }
  control_->SetPortName(settings_.g_portName);
  if (settings_.g_portName == "USB") prompter_.ShowMessage(LoadString(str::kTervane), LoadString(str::kComandoSemUsb));
  return true;
}

int CGraphicClicheDlg::Run() {
  if (!control_->Control() && !Open()) return -1;
  return exec();
}

}  // namespace tervane::gui
