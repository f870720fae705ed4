// CRestaurantPrPg, the page "Restaurante" of the restaurant models: restaurant or store,
// and whether and with which parameter the conference coupon is parametrised.
#pragma once

#include <QWidget>
#include <array>

#include "core/equipment/profile_pages.h"

class QCheckBox;
class QRadioButton;

namespace tervane::gui {

class CRestaurantPrPg final : public QWidget {
  Q_OBJECT

 public:
  explicit CRestaurantPrPg(QWidget* parent = nullptr);

  // A choice outside the buttons (a hand-edited file) selects the first button.
  void Load(const RestaurantPage& page);
  RestaurantPage Store() const;

  QRadioButton* Restaurant() const { return restaurant_; }
  QRadioButton* StoreButton() const { return store_; }
  QCheckBox* ConferenceCoupon() const { return conference_; }
  QRadioButton* Parameter(int k) const { return parameters_.at(static_cast<size_t>(k)); }

 private:
  QRadioButton* restaurant_;
  QRadioButton* store_;
  QCheckBox* conference_;
  std::array<QRadioButton*, 4> parameters_{};
};

}  // namespace tervane::gui
