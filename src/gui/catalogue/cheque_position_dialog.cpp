#include "gui/catalogue/cheque_position_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "core/common/string_ids.h"
#include "gui/common/qt_text.h"

namespace tervane::gui {

CChequePosDlg::CChequePosDlg(QWidget* parent, const ChequePositionForm& form) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Posições do cheque"));
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("X"), this), 0, 1, Qt::AlignHCenter);
  grid->addWidget(new QLabel(QStringLiteral("Y"), this), 0, 2, Qt::AlignHCenter);
  auto makeBox = [this, &form](int k) {
    auto* box = new QLineEdit(this);
    box->setMaxLength(2);
    box->setFixedWidth(44);
    box->setAlignment(Qt::AlignRight);
    box->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), box));
    box->setText(ToQt(form.fields[k]));
    fields_[k] = box;
    return box;
  };
  const char* pairs[] = {"Valor", "Extenso 1", "Extenso 2", "Favorecido", "Local"};
  for (int row = 0; row < 5; ++row) {
    grid->addWidget(new QLabel(QString::fromUtf8(pairs[row]), this), row + 1, 0);
    grid->addWidget(makeBox(2 * row), row + 1, 1);
    grid->addWidget(makeBox(2 * row + 1), row + 1, 2);
  }
  grid->addWidget(new QLabel(QStringLiteral("Coluna"), this), 0, 4, Qt::AlignHCenter);
  const char* columns[] = {"Dia", "Mes", "Ano"};
  for (int row = 0; row < 3; ++row) {
    grid->addWidget(new QLabel(QString::fromUtf8(columns[row]), this), row + 1, 3);
    grid->addWidget(makeBox(10 + row), row + 1, 4);
  }
  grid->setColumnMinimumWidth(3, 60);
  layout->addLayout(grid);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(Str(str::kCancelar));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

ChequePositionForm CChequePosDlg::Form() const {
  ChequePositionForm form;
  for (size_t k = 0; k < fields_.size(); ++k) form.fields[k] = FromQt(fields_[k]->text());
  return form;
}

}  // namespace tervane::gui
