#include "gui/equipment/profile_browser_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/common/string_ids.h"
#include "gui/common/qt_text.h"

namespace tervane::gui {
namespace {

void Fill(QComboBox* combo, const std::vector<std::string>& texts) {
  combo->blockSignals(true);
  combo->clear();
  for (const std::string& text : texts) combo->addItem(ToQt(text));
  combo->setCurrentIndex(-1);
  combo->clearEditText();
  combo->blockSignals(false);
}

QComboBox* EditableCombo(QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->setMinimumWidth(220);
  return combo;
}

}  // namespace

CProfileBrowserDlg::CProfileBrowserDlg(QWidget* parent, const std::string& profileFile, Prompter& prompter,
                                       WaitNotice* waitNotice)
    : QDialog(parent),
      browser_(profileFile),
      prompter_(prompter),
      clients_(EditableCombo(this)),
      serials_(EditableCombo(this)),
      found_(new QListWidget(this)),
      description_(new QPlainTextEdit(this)),
      search_(new QPushButton(Str(str::kProcurar), this)),
      delete_(new QPushButton(Str(str::kExcluir), this)),
      load_(new QPushButton(Str(str::kCarregarConfiguracao), this)),
      cancel_(new QPushButton(Str(str::kCancelar), this)) {
  setWindowTitle(Str(str::kCarregarExistentes));
  description_->setReadOnly(true);
  description_->setLineWrapMode(QPlainTextEdit::NoWrap);
  found_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(Str(str::kClientes), this), 0, 0);
  grid->addWidget(clients_, 0, 1);
  grid->addWidget(new QLabel(Str(str::kNumeroSerie), this), 1, 0);
  grid->addWidget(serials_, 1, 1);
  grid->addWidget(search_, 1, 2);

  auto* lists = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  left->addWidget(new QLabel(Str(str::kRegistrosEncontrados), this));
  left->addWidget(found_);
  auto* right = new QVBoxLayout;
  right->addWidget(new QLabel(Str(str::kDescricao), this));
  right->addWidget(description_);
  lists->addLayout(left, 1);
  lists->addLayout(right, 2);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(delete_);
  buttons->addStretch();
  buttons->addWidget(load_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(lists);
  layout->addLayout(buttons);
  resize(640, 380);

  connect(clients_, qOverload<int>(&QComboBox::activated), this, &CProfileBrowserDlg::ChooseClient);
  connect(search_, &QPushButton::clicked, this, &CProfileBrowserDlg::Search);
  connect(found_, &QListWidget::currentItemChanged, this,
          [this](QListWidgetItem* current, QListWidgetItem*) { SelectEntry(current); });
  connect(delete_, &QPushButton::clicked, this, &CProfileBrowserDlg::DeleteChosen);
  connect(load_, &QPushButton::clicked, this, &CProfileBrowserDlg::LoadChosen);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  browser_.Open(waitNotice);
  FillCombos();
}

void CProfileBrowserDlg::FillCombos() {
  Fill(clients_, browser_.ClientChoices());
  Fill(serials_, browser_.SerialChoices());
}

void CProfileBrowserDlg::ChooseClient(int index) {
  if (index < 0) return;
  const std::string client = FromQt(clients_->itemText(index));
  Fill(serials_, browser_.SerialsOfClient(client));
}

void CProfileBrowserDlg::Search() {
  const std::vector<std::string> found =
      browser_.Search(FromQt(clients_->currentText()), FromQt(serials_->currentText()));
  found_->blockSignals(true);
  found_->clear();
  for (const std::string& serial : found) found_->addItem(ToQt(serial));
  found_->setCurrentRow(-1);
  found_->blockSignals(false);
  Fill(serials_, browser_.SerialChoices());
  clients_->setCurrentIndex(-1);
  clients_->clearEditText();
  ShowDescription();
}

void CProfileBrowserDlg::SelectEntry(QListWidgetItem* item) {
  if (item) browser_.Select(FromQt(item->text()));
  ShowDescription();
}

void CProfileBrowserDlg::DeleteChosen() {
  const std::string serial = browser_.HasChoice() ? browser_.Chosen().serialNumber : std::string();
  const bool removed = browser_.DeleteChosen(&prompter_) > 0;
  found_->blockSignals(true);
  // The entries of the deleted serial would now name nothing: they leave the list.
  for (int row = found_->count() - 1; removed && row >= 0; --row) {
    if (FromQt(found_->item(row)->text()) == serial) delete found_->takeItem(row);
  }
  found_->setCurrentRow(-1);  // nothing is chosen any more
  found_->blockSignals(false);
  FillCombos();
  ShowDescription();
}

void CProfileBrowserDlg::LoadChosen() {
  if (browser_.LoadChosen(&prompter_)) accept();
}

void CProfileBrowserDlg::ShowDescription() {
  description_->setPlainText(ToQtDisplay(browser_.Description()));
}

}  // namespace tervane::gui
