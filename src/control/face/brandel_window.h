// The logo control's window. It takes the composition dialog's size as its own, makes
// the dialog as its child the first time it is drawn and hands it the control's port
// name and free-move flag; while the dialog cannot be made it shows a placeholder
// picture instead. The dialog is destroyed with the window.
#pragma once

#include <QImage>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>

#include "component/variant.h"
#include "control/dialog/log_dialog.h"

namespace tervane::brandel {

// The control's properties as the window shows them; owned by the control.
struct BrandelProperties {
  QString portName = QStringLiteral("COM1");
  bool freeMove = false;
  component::Colour backColor = 0x8000000F;  // the system's button face
  std::int16_t borderStyle = 0;              // 0 none, 1 a single line
};

// Makes the composition dialog as a child of `parent`; null when it cannot be made.
using LogDialogFactory = std::function<CLogDlg*(QWidget* parent)>;

// The real dialog; null when making it fails (out of memory).
CLogDlg* MakeLogDialog(QWidget* parent);

class CBrandelWindow final : public QWidget {
  Q_OBJECT

 public:
  // `properties` must outlive the window. The window sizes itself to the measured
  // dialog (MeasureLogDialog with `factory`).
  CBrandelWindow(QWidget* parent, const BrandelProperties* properties, LogDialogFactory factory = MakeLogDialog);
  ~CBrandelWindow() override;

  // The composition dialog, null until the first drawing made it.
  CLogDlg* Dialog() const { return dialog_; }
  // The picture drawn while there is no dialog.
  const QImage& Placeholder() const { return placeholder_; }

  // The control's property changes, passed on to the dialog when it exists.
  void PortNameChanged();
  void FreeMoveChanged();
  void AppearanceChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  bool CreateDialog();

  const BrandelProperties* properties_;
  LogDialogFactory factory_;
  QPointer<CLogDlg> dialog_;
  QImage placeholder_;
  bool sizedToPlaceholder_ = false;
};

// The size of the composition dialog: made once with `factory` (without a parent),
// measured and discarded. An empty size when it cannot be made.
QSize MeasureLogDialog(const LogDialogFactory& factory = MakeLogDialog);

// The colour `colour` stands for (an RGB value or a system colour from the palette).
QColor ToQColor(component::Colour colour, const QPalette& palette);

}  // namespace tervane::brandel
