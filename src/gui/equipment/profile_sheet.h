// CProfileSheet: the property sheet of one programming run, holding the profile pages in
// their order: "Informações Gerais", "Alíquotas", "Totalizadores Parciais não sujeitos"
// and, for the restaurant models only, "Restaurante"; with OK, "Cancelar" and "Ajuda".
#pragma once

#include <QDialog>
#include <functional>

#include "core/common/clock.h"
#include "core/common/prompter.h"
#include "core/equipment/profile_pages.h"

class QPushButton;
class QTabWidget;

namespace tervane::gui {

class CAliquotasPrPg;
class CGeneralInformationPrPg;
class CRestaurantPrPg;
class CTotNaoSujPrPg;

class CProfileSheet final : public QDialog {
  Q_OBJECT

 public:
  // The pages start with `sheet`'s values; `prompter` and `clock` serve the general page's
  // buttons and must outlive the sheet.
  CProfileSheet(QWidget* parent, const ProfileSheet& sheet, Prompter& prompter, Clock& clock);

  // What the pages hold now (the restaurant page's values only when it is shown).
  ProfileSheet Sheet() const;

  // What "Ajuda" does; by default nothing (the button is then disabled).
  void SetHelp(std::function<void()> help);

  CGeneralInformationPrPg* General() const { return general_; }
  CAliquotasPrPg* TaxRates() const { return taxRates_; }
  CTotNaoSujPrPg* Totalizers() const { return totalizers_; }
  CRestaurantPrPg* Restaurant() const { return restaurant_; }  // null when not shown
  QTabWidget* Tabs() const { return tabs_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  QPushButton* HelpButton() const { return help_; }

 private:
  QTabWidget* tabs_;
  CGeneralInformationPrPg* general_;
  CAliquotasPrPg* taxRates_;
  CTotNaoSujPrPg* totalizers_;
  CRestaurantPrPg* restaurant_ = nullptr;
  QPushButton* ok_;
  QPushButton* cancel_;
  QPushButton* help_;
  std::function<void()> helpAction_;
};

}  // namespace tervane::gui
