// CAliquotasPrPg, the tax-rate page "Alíquotas": sixteen 4-digit rates ("XX , XX %" in
// hundredths of a percent), each bound to ICMS or ISS. CTaxRateSheet shows the page alone
// in a property sheet with OK and "Cancelar".
#pragma once

#include <QDialog>
#include <QWidget>
#include <array>

#include "core/catalogue/parameter_forms.h"
#include "core/common/prompter.h"

class QLineEdit;
class QRadioButton;

namespace tervane::gui {

class CAliquotasPrPg final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRates = 16;
  explicit CAliquotasPrPg(QWidget* parent = nullptr);
  void Load(const TaxRateForm& form);
  TaxRateForm Store() const;
  QLineEdit* Rate(int k) const { return rates_.at(k); }
  QRadioButton* IssButton(int k) const { return iss_.at(k); }

 private:
  std::array<QLineEdit*, kRates> rates_{};
  std::array<QRadioButton*, kRates> icms_{};
  std::array<QRadioButton*, kRates> iss_{};
};

class CTaxRateSheet final : public QDialog {
  Q_OBJECT

 public:
  CTaxRateSheet(QWidget* parent, const TaxRateForm& form);
  TaxRateForm Form() const { return page_->Store(); }
  CAliquotasPrPg* Page() const { return page_; }

 private:
  CAliquotasPrPg* page_;
};

}  // namespace tervane::gui
