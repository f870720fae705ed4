// "Clichê Gráfico": the dialog that hosts the logo control, where the graphic header is
// composed and uploaded. The control is created by class ID when the dialog opens; when
// it cannot be (not registered), the dialog does not open and nothing is shown.
#pragma once

#include <QDialog>

#include "core/common/settings.h"
#include "core/common/prompter.h"

class QPushButton;

namespace tervane::gui {

class CBrandel;

class CGraphicClicheDlg final : public QDialog {
  Q_OBJECT

 public:
  CGraphicClicheDlg(QWidget* parent, const ProgramSettings& settings, Prompter& prompter);

  // Opens the dialog modally (after Open, unless Open already ran). Returns -1, without
  // showing anything, when the control cannot be created; otherwise the dialog's result
  // once "Sair" closes it.
  int Run();

  // The opening steps of Run, without the modal loop: creates the control, takes the
  // title (string 32865) and the button's caption (string 32858), sets the control's
  // port to g_portName, and for the port "USB" shows string 32980 (the dialog stays
  // open). Returns false when the control cannot be created.
  bool Open();

  CBrandel* Control() const { return control_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  const ProgramSettings& settings_;
  Prompter& prompter_;
  CBrandel* control_;
  QPushButton* cancel_;
};

// Dialog units of the dialog's font in pixels: horizontal units are a quarter of the
// average character width, vertical ones an eighth of the character height.
QPoint DialogUnitsToPixels(const QWidget& widget, int x, int y);

}  // namespace tervane::gui
