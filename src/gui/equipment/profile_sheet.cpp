#include "gui/equipment/profile_sheet.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/common/string_ids.h"
#include "gui/common/qt_text.h"
#include "gui/equipment/aliquotas_page.h"
#include "gui/equipment/general_information_page.h"
#include "gui/equipment/restaurant_page.h"
#include "gui/equipment/totalizer_page.h"

namespace tervane::gui {
namespace {

TaxRateForm ToForm(const TaxRatePage& page) {
  TaxRateForm form;
  form.rates = page.rates;
  form.iss = page.iss;
  return form;
}

}  // namespace

CProfileSheet::CProfileSheet(QWidget* parent, const ProfileSheet& sheet, Prompter& prompter, Clock& clock)
    : QDialog(parent), tabs_(new QTabWidget(this)), general_(new CGeneralInformationPrPg(prompter, clock)),
      taxRates_(new CAliquotasPrPg), totalizers_(new CTotNaoSujPrPg) {
  setWindowTitle(Str(str::kProgramarEquipamento));
  general_->Load(sheet.general);
  taxRates_->Load(ToForm(sheet.taxRates));
  totalizers_->Load(sheet.totalizers);
  tabs_->addTab(general_, Str(kGeneralInformationCaptionId));
  // The rate grid keeps its natural height at the top of a taller sheet.
  auto* ratesTab = new QWidget;
  auto* ratesLayout = new QVBoxLayout(ratesTab);
  ratesLayout->setContentsMargins(0, 0, 0, 0);
  ratesLayout->addWidget(taxRates_);
  ratesLayout->addStretch();
  tabs_->addTab(ratesTab, Str(kTaxRatesCaptionId));
  tabs_->addTab(totalizers_, Str(kTotalizersCaptionId));
  if (sheet.showRestaurantPage) {
    restaurant_ = new CRestaurantPrPg;
    restaurant_->Load(sheet.restaurant);
    tabs_->addTab(restaurant_, ToQt(kRestaurantCaption));
  }

  auto* buttons = new QDialogButtonBox(this);
  ok_ = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  cancel_ = buttons->addButton(Str(str::kCancelar), QDialogButtonBox::RejectRole);
  help_ = buttons->addButton(QStringLiteral("Ajuda"), QDialogButtonBox::HelpRole);
  help_->setEnabled(false);
  ok_->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(help_, &QPushButton::clicked, this, [this] {
    if (helpAction_) helpAction_();
  });

  auto* layout = new QVBoxLayout(this);
  if (!sheet.readWarning.empty()) {
    // A read that was not whole: said above the pages, before anything can be saved.
    auto* warning = new QLabel(ToQt(sheet.readWarning), this);
    warning->setObjectName(QStringLiteral("readWarning"));
    warning->setWordWrap(true);
    warning->setStyleSheet(QStringLiteral("QLabel { color: #8a1f11; background: #fdecea; padding: 6px; }"));
    layout->addWidget(warning);
  }
  layout->addWidget(tabs_);
  if (sheet.unreadSwitches) {
    // The switches and restaurant settings no read reports are marked, not shown as read.
    const QString mark = ToQt(NotReadMark(sheet.unreadFromStored));
    for (int k = 1; k <= 5; ++k) {
      QCheckBox* option = general_->Option(k);
      option->setText(option->text() + QStringLiteral(" *"));
      option->setToolTip(mark);
    }
    if (restaurant_) {
      const int index = tabs_->indexOf(restaurant_);
      tabs_->setTabText(index, tabs_->tabText(index) + QStringLiteral(" *"));
      tabs_->setTabToolTip(index, mark);
    }
    auto* note = new QLabel(QStringLiteral("* ") + mark, this);
    note->setObjectName(QStringLiteral("unreadSwitches"));
    layout->addWidget(note);
  }
  layout->addWidget(buttons);
  resize(720, 560);
}

void CProfileSheet::SetHelp(std::function<void()> help) {
  helpAction_ = std::move(help);
  help_->setEnabled(static_cast<bool>(helpAction_));
}

ProfileSheet CProfileSheet::Sheet() const {
  ProfileSheet sheet;
  sheet.general = general_->Store();
  const TaxRateForm rates = taxRates_->Store();
  sheet.taxRates.rates = rates.rates;
  sheet.taxRates.iss = rates.iss;
  sheet.totalizers = totalizers_->Store();
  sheet.showRestaurantPage = restaurant_ != nullptr;
  if (restaurant_) sheet.restaurant = restaurant_->Store();
  return sheet;
}

}  // namespace tervane::gui
