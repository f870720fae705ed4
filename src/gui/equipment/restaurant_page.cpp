#include "gui/equipment/restaurant_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tervane::gui {

CRestaurantPrPg::CRestaurantPrPg(QWidget* parent)
    : QWidget(parent), restaurant_(new QRadioButton(QStringLiteral("Parametriza para restaurante"), this)),
      store_(new QRadioButton(QStringLiteral("Parametriza para loja"), this)),
      conference_(new QCheckBox(QStringLiteral("Parametriza cupom de conferência"), this)) {
  auto* kind = new QButtonGroup(this);
  kind->addButton(restaurant_, 0);
  kind->addButton(store_, 1);
  restaurant_->setChecked(true);

  auto* kindBox = new QGroupBox(this);
  auto* kindLayout = new QVBoxLayout(kindBox);
  kindLayout->addWidget(restaurant_);
  kindLayout->addWidget(store_);

  auto* parameterGroup = new QButtonGroup(this);
  auto* parameterBox = new QGroupBox(this);
  auto* parameterLayout = new QHBoxLayout(parameterBox);
  for (int k = 0; k < 4; ++k) {
    auto* button = new QRadioButton(QStringLiteral("Parâmetro %1").arg(k), parameterBox);
    parameterGroup->addButton(button, k);
    parameterLayout->addWidget(button);
    parameters_[static_cast<size_t>(k)] = button;
  }
  parameters_[0]->setChecked(true);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(kindBox);
  layout->addWidget(conference_);
  layout->addWidget(parameterBox);
  layout->addStretch();
}

void CRestaurantPrPg::Load(const RestaurantPage& page) {
  (page.restaurantOrStore == 1 ? store_ : restaurant_)->setChecked(true);
  conference_->setChecked(page.conferenceCoupon);
  const int parameter = page.parameter >= 0 && page.parameter < 4 ? page.parameter : 0;
  parameters_[static_cast<size_t>(parameter)]->setChecked(true);
}

RestaurantPage CRestaurantPrPg::Store() const {
  RestaurantPage page;
  page.restaurantOrStore = store_->isChecked() ? 1 : 0;
  page.conferenceCoupon = conference_->isChecked();
  for (int k = 0; k < 4; ++k) {
    if (parameters_[static_cast<size_t>(k)]->isChecked()) page.parameter = k;
  }
  return page;
}

}  // namespace tervane::gui
