// The cheque-position page: thirteen two-digit boxes, X and Y of "Valor", "Extenso 1",
// "Extenso 2", "Favorecido" and "Local", then the columns of "Dia", "Mes" and "Ano".
#pragma once

#include <QDialog>
#include <array>

#include "core/catalogue/parameter_forms.h"
#include "core/common/prompter.h"

class QLineEdit;

namespace tervane::gui {

class CChequePosDlg final : public QDialog {
  Q_OBJECT

 public:
  CChequePosDlg(QWidget* parent, const ChequePositionForm& form);
  ChequePositionForm Form() const;
  QLineEdit* Field(int k) const { return fields_.at(k); }

 private:
  std::array<QLineEdit*, 13> fields_{};
};

}  // namespace tervane::gui
