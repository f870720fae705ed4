#include "gui/equipment/totalizer_page.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QVBoxLayout>

#include "gui/common/qt_text.h"

namespace tervane::gui {
namespace {

constexpr int kRowsPerColumn = 17;

}  // namespace

CTotNaoSujPrPg::CTotNaoSujPrPg(QWidget* parent) : QWidget(parent) {
  // Three columns of numbered boxes, scrolled when the sheet is small.
  auto* inner = new QWidget;
  auto* grid = new QGridLayout(inner);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(2);
  for (int i = 0; i < kProfileTotalizers; ++i) {
    const int row = i % kRowsPerColumn;
    const int column = (i / kRowsPerColumn) * 2;
    auto* number = new QLabel(QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0')), inner);
    auto* name = new QLineEdit(inner);
    name->setMaxLength(profile_limits::kTotalizerName);
    name->setMinimumWidth(150);
    name->setAccessibleName(QStringLiteral("Totalizador %1").arg(i + 1));
    number->setBuddy(name);
    grid->addWidget(number, row, column, Qt::AlignRight);
    grid->addWidget(name, row, column + 1);
    names_[static_cast<size_t>(i)] = name;
  }
  auto* scroll = new QScrollArea(this);
  scroll->setWidget(inner);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(scroll);
}

void CTotNaoSujPrPg::Load(const TotalizerPage& page) {
  enabledCount_ = page.enabledCount;
  loaded_ = page.names;
  for (int i = 0; i < kProfileTotalizers; ++i) {
    QLineEdit* name = names_[static_cast<size_t>(i)];
    name->setText(ToQt(page.names[static_cast<size_t>(i)]));
    name->setEnabled(page.IsEnabled(i));
  }
}

TotalizerPage CTotNaoSujPrPg::Store() const {
  TotalizerPage page;
  page.enabledCount = enabledCount_;
  for (int i = 0; i < kProfileTotalizers; ++i) {
    const size_t k = static_cast<size_t>(i);
    // A greyed box cannot have been changed; its name is returned exactly as it came,
    // even when it was longer than the box shows.
    page.names[k] = page.IsEnabled(i) ? FromQt(names_[k]->text()) : loaded_[k];
  }
  return page;
}

}  // namespace tervane::gui
