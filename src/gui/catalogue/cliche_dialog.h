// The owner's cliché page ("Clichê do Proprietário"): three lines, four style boxes per
// line and one "Centralizado" box for all of them. Composing the value is the core's.
#pragma once

#include <QDialog>
#include <array>

#include "core/catalogue/parameter_forms.h"
#include "core/common/prompter.h"

class QCheckBox;
class QLineEdit;

namespace tervane::gui {

class LimitedTextEdit;

class CClicheDlg final : public QDialog {
  Q_OBJECT

 public:
  CClicheDlg(QWidget* parent, const ClicheForm& form);
  // The page's contents, line texts in Windows-1252.
  ClicheForm Form() const;

 private:
  struct LineBoxes {
    QCheckBox* underline = nullptr;
    QCheckBox* italic = nullptr;
    QCheckBox* emphasis = nullptr;
    QCheckBox* expanded = nullptr;
  };
  QLineEdit* line1_;
  QLineEdit* line2_;
  LimitedTextEdit* line3_;
  std::array<LineBoxes, 3> styles_;
  QCheckBox* centred_;
};

}  // namespace tervane::gui
