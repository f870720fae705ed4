// CTotNaoSujPrPg, the page "Totalizadores Parciais não sujeitos": fifty names of the
// partial totalizers not subject to ICMS, of which only the first N can be edited.
#pragma once

#include <QWidget>
#include <array>
#include <string>

#include "core/equipment/profile_pages.h"

class QLineEdit;

namespace tervane::gui {

class CTotNaoSujPrPg final : public QWidget {
  Q_OBJECT

 public:
  explicit CTotNaoSujPrPg(QWidget* parent = nullptr);

  // Fills the fifty names and enables the first page.enabledCount of them; the others
  // keep their names, greyed.
  void Load(const TotalizerPage& page);
  // Every name, the disabled ones as they were loaded.
  TotalizerPage Store() const;

  QLineEdit* Name(int index) const { return names_.at(static_cast<size_t>(index)); }  // 0-based

 private:
  std::array<QLineEdit*, kProfileTotalizers> names_{};
  std::array<std::string, kProfileTotalizers> loaded_;
  int enabledCount_ = kProfileTotalizers;
};

}  // namespace tervane::gui
