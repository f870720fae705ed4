#include "control/face/brandel_window.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <new>

#include "component/module_lock.h"
#include "control/dialog/log_dialog.h"
#include "control/face/brandel_images.h"

namespace tervane::brandel {

CLogDlg* MakeLogDialog(QWidget* parent) {
  try {
    return new CLogDlg(parent);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

QSize MeasureLogDialog(const LogDialogFactory& factory) {
  CLogDlg* dialog = factory ? factory(nullptr) : nullptr;
  if (!dialog) return {};
  dialog->ensurePolished();
  const QSize size = dialog->sizeHint().expandedTo(dialog->minimumSizeHint());
  delete dialog;
  return size;
}

QColor ToQColor(component::Colour colour, const QPalette& palette) {
  if (component::IsSystemColour(colour)) {
    switch (colour & 0xFF) {
      case 5: return palette.color(QPalette::Base);          // window
      case 8: return palette.color(QPalette::Text);          // window text
      case 15: return palette.color(QPalette::Button);       // button face
      case 18: return palette.color(QPalette::ButtonText);   // button text
      default: return palette.color(QPalette::Window);
    }
  }
  return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

CBrandelWindow::CBrandelWindow(QWidget* parent, const BrandelProperties* properties, LogDialogFactory factory)
    : QWidget(parent), properties_(properties), factory_(std::move(factory)), placeholder_(BrandelPlaceholder()) {
  // The library's code must stay loaded while one of its windows exists.
  component::LockModule();
  setObjectName(QStringLiteral("brandelWindow"));
  AppearanceChanged();
  const QSize measured = MeasureLogDialog(factory_);
  resize(measured.isEmpty() ? placeholder_.size() : measured);
}

CBrandelWindow::~CBrandelWindow() {
  // Children go before the lock is given back.
  delete dialog_.data();
  component::UnlockModule();
}

bool CBrandelWindow::CreateDialog() {
  CLogDlg* dialog = factory_ ? factory_(this) : nullptr;
  if (!dialog) return false;
  dialog_ = dialog;
  dialog_->setGeometry(contentsRect());
  dialog_->SetPortName(properties_->portName);
  // A container may have set FreeMove before the first drawing too; the panes and the
  // alignment buttons must agree with the property from the start.
  dialog_->SetFreeMove(properties_->freeMove);
  dialog_->show();
  return true;
}

void CBrandelWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), ToQColor(properties_->backColor, palette()));
  if (properties_->borderStyle == 1) {
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
  if (dialog_ || CreateDialog()) return;  // the dialog covers the window
  painter.drawImage(contentsRect().topLeft(), placeholder_);
  if (!sizedToPlaceholder_) {
    sizedToPlaceholder_ = true;
    const int frame = properties_->borderStyle == 1 ? 2 : 0;
    resize(placeholder_.size() + QSize(frame, frame));
  }
}

void CBrandelWindow::resizeEvent(QResizeEvent*) {
  if (dialog_) dialog_->setGeometry(contentsRect());
}

void CBrandelWindow::PortNameChanged() {
  if (dialog_) dialog_->SetPortName(properties_->portName);
}

void CBrandelWindow::FreeMoveChanged() {
  if (dialog_) dialog_->SetFreeMove(properties_->freeMove);
}

void CBrandelWindow::AppearanceChanged() {
  const int margin = properties_->borderStyle == 1 ? 1 : 0;
  setContentsMargins(margin, margin, margin, margin);
  if (dialog_) dialog_->setGeometry(contentsRect());
  update();
}

}  // namespace tervane::brandel
