#include "gui/equipment/aliquotas_page.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/common/string_ids.h"
#include "gui/common/qt_text.h"

namespace tervane::gui {

CAliquotasPrPg::CAliquotasPrPg(QWidget* parent) : QWidget(parent) {
  auto* grid = new QGridLayout(this);
  // Two columns of eight rates, each with its heading row.
  for (int column = 0; column < 2; ++column) {
    const int base = column * 5;
    grid->addWidget(new QLabel(QStringLiteral("XX , XX %"), this), 0, base + 1, Qt::AlignHCenter);
    grid->addWidget(new QLabel(QStringLiteral("ICMS"), this), 0, base + 2, Qt::AlignHCenter);
    grid->addWidget(new QLabel(QStringLiteral("ISS"), this), 0, base + 3, Qt::AlignHCenter);
  }
  grid->setColumnMinimumWidth(4, 24);
  for (int k = 0; k < kRates; ++k) {
    const int row = k % 8 + 1;
    const int base = (k / 8) * 5;
    grid->addWidget(new QLabel(Str(str::kAliquota) + QStringLiteral(" %1").arg(k + 1, 2, 10, QLatin1Char('0')), this),
                    row, base);
    auto* rate = new QLineEdit(this);
    rate->setMaxLength(4);
    rate->setFixedWidth(60);
    rate->setAlignment(Qt::AlignRight);
    rate->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), rate));
    rates_[k] = rate;
    grid->addWidget(rate, row, base + 1);
    auto* group = new QButtonGroup(this);
    icms_[k] = new QRadioButton(this);
    iss_[k] = new QRadioButton(this);
    icms_[k]->setAccessibleName(QStringLiteral("ICMS %1").arg(k + 1));
    iss_[k]->setAccessibleName(QStringLiteral("ISS %1").arg(k + 1));
    group->addButton(icms_[k], 0);
    group->addButton(iss_[k], 1);
    icms_[k]->setChecked(true);
    grid->addWidget(icms_[k], row, base + 2, Qt::AlignHCenter);
    grid->addWidget(iss_[k], row, base + 3, Qt::AlignHCenter);
  }
}

void CAliquotasPrPg::Load(const TaxRateForm& form) {
  for (int k = 0; k < kRates; ++k) {
    rates_[k]->setText(ToQt(form.rates[k]));
    (form.iss[k] ? iss_[k] : icms_[k])->setChecked(true);
  }
}

TaxRateForm CAliquotasPrPg::Store() const {
  TaxRateForm form;
  for (int k = 0; k < kRates; ++k) {
    form.rates[k] = FromQt(rates_[k]->text());
    form.iss[k] = iss_[k]->isChecked();
  }
  return form;
}

CTaxRateSheet::CTaxRateSheet(QWidget* parent, const TaxRateForm& form)
    : QDialog(parent), page_(new CAliquotasPrPg) {
  setWindowTitle(Str(str::kAliquotas));
  page_->Load(form);
  auto* layout = new QVBoxLayout(this);
  auto* tabs = new QTabWidget(this);
  tabs->addTab(page_, Str(str::kAliquotas));
  layout->addWidget(tabs);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(Str(str::kCancelar));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

}  // namespace tervane::gui
