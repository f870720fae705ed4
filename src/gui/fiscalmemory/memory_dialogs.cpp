#include "gui/fiscalmemory/memory_dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDate>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tervane::gui {
namespace {

constexpr int kMaxNumber = 999999;
constexpr int kMaxUser = 255;

QSpinBox* NumberBox(QWidget* parent, int max, long value) {
  auto* box = new QSpinBox(parent);
  box->setRange(0, max);
  box->setValue(static_cast<int>(value < 0 ? 0 : (value > max ? max : value)));
  return box;
}

// A date picker starting at `value`, or today when the form holds no date.
QDateEdit* DateBox(QWidget* parent, const CivilTime& value) {
  QDate date(value.year, value.month, value.day);
  if (!date.isValid()) date = QDate::currentDate();
  auto* box = new QDateEdit(date, parent);
  box->setCalendarPopup(true);
  box->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
  return box;
}

CivilTime FromDate(const QDate& date) {
  CivilTime time;
  time.year = date.year();
  time.month = date.month();
  time.day = date.day();
  return time;
}

QLabel* Label(const QString& text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(buddy);
  return label;
}

// OK and Cancel with the given captions.
QDialogButtonBox* Buttons(QDialog* dialog, const QString& ok, const QString& cancel) {
  auto* buttons = new QDialogButtonBox(dialog);
  buttons->addButton(ok, QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(cancel, QDialogButtonBox::RejectRole);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

}  // namespace

CRangeDlg::CRangeDlg(QWidget* parent, const MemoryRangeForm& form) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Intervalo"));
  auto* group = new QGroupBox(QStringLiteral("Intervalo"), this);
  coo_ = new QRadioButton(QStringLiteral("C&OOs:"), group);
  dates_ = new QRadioButton(QStringLiteral("&Datas:"), group);
  total_ = new QRadioButton(QStringLiteral("Total &Lógico"), group);
  firstCoo_ = NumberBox(group, kMaxNumber, form.firstCoo);
  lastCoo_ = NumberBox(group, kMaxNumber, form.lastCoo);
  user_ = NumberBox(group, kMaxUser, form.user);
  firstDate_ = DateBox(group, form.firstDate);
  lastDate_ = DateBox(group, form.lastDate);

  auto* grid = new QGridLayout(group);
  grid->addWidget(coo_, 0, 0);
  grid->addWidget(firstCoo_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("a"), group), 0, 2);
  grid->addWidget(lastCoo_, 0, 3);
  grid->addWidget(Label(QStringLiteral("&Usuário:"), user_, group), 1, 0, Qt::AlignRight);
  grid->addWidget(user_, 1, 1);
  grid->addWidget(dates_, 2, 0);
  grid->addWidget(firstDate_, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("a"), group), 2, 2);
  grid->addWidget(lastDate_, 2, 3);
  grid->addWidget(total_, 3, 0, 1, 4);

  switch (form.kind) {
    case MemoryRangeForm::Kind::kCoo: coo_->setChecked(true); break;
    case MemoryRangeForm::Kind::kDates: dates_->setChecked(true); break;
    case MemoryRangeForm::Kind::kTotal: total_->setChecked(true); break;
  }
  for (QRadioButton* choice : {coo_, dates_, total_}) {
    connect(choice, &QRadioButton::toggled, this, [this] { UpdateEnabled(); });
  }
  UpdateEnabled();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addWidget(Buttons(this, QStringLiteral("&Iniciar"), QStringLiteral("&Cancelar")));
}

void CRangeDlg::UpdateEnabled() {
  for (QWidget* w : std::initializer_list<QWidget*>{firstCoo_, lastCoo_, user_}) w->setEnabled(coo_->isChecked());
  for (QWidget* w : std::initializer_list<QWidget*>{firstDate_, lastDate_}) w->setEnabled(dates_->isChecked());
}

MemoryRangeForm CRangeDlg::Form() const {
  MemoryRangeForm form;
  form.kind = coo_->isChecked()     ? MemoryRangeForm::Kind::kCoo
              : dates_->isChecked() ? MemoryRangeForm::Kind::kDates
                                    : MemoryRangeForm::Kind::kTotal;
  form.firstCoo = firstCoo_->value();
  form.lastCoo = lastCoo_->value();
  form.user = user_->value();
  form.firstDate = FromDate(firstDate_->date());
  form.lastDate = FromDate(lastDate_->date());
  return form;
}

CMfReportDlg::CMfReportDlg(QWidget* parent, const MfReportForm& form) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Relatório da Memória Fiscal"));
  reductions_ = new QRadioButton(QStringLiteral("CRZ"), this);
  dates_ = new QRadioButton(QStringLiteral("Data"), this);
  firstReduction_ = NumberBox(this, kMaxNumber, form.firstReduction);
  lastReduction_ = NumberBox(this, kMaxNumber, form.lastReduction);
  firstDate_ = DateBox(this, form.firstDate);
  lastDate_ = DateBox(this, form.lastDate);
  simplified_ = new QCheckBox(QStringLiteral("Simplificada"), this);
  simplified_->setChecked(form.simplified);

  auto* grid = new QGridLayout;
  grid->addWidget(reductions_, 0, 0);
  grid->addWidget(Label(QStringLiteral("CRZ inicial:"), firstReduction_, this), 0, 1);
  grid->addWidget(firstReduction_, 0, 2);
  grid->addWidget(Label(QStringLiteral("CRZ final:"), lastReduction_, this), 0, 3);
  grid->addWidget(lastReduction_, 0, 4);
  grid->addWidget(dates_, 1, 0);
  grid->addWidget(Label(QStringLiteral("Data inicial:"), firstDate_, this), 1, 1);
  grid->addWidget(firstDate_, 1, 2);
  grid->addWidget(Label(QStringLiteral("Data final:"), lastDate_, this), 1, 3);
  grid->addWidget(lastDate_, 1, 4);
  grid->addWidget(simplified_, 2, 0, 1, 5);

  (form.byReductions ? reductions_ : dates_)->setChecked(true);
  for (QRadioButton* choice : {reductions_, dates_}) {
    connect(choice, &QRadioButton::toggled, this, [this] { UpdateEnabled(); });
  }
  UpdateEnabled();

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(Buttons(this, QStringLiteral("OK"), QStringLiteral("Cancelar")));
}

void CMfReportDlg::UpdateEnabled() {
  firstReduction_->setEnabled(reductions_->isChecked());
  lastReduction_->setEnabled(reductions_->isChecked());
  firstDate_->setEnabled(dates_->isChecked());
  lastDate_->setEnabled(dates_->isChecked());
}

MfReportForm CMfReportDlg::Form() const {
  MfReportForm form;
  form.byReductions = reductions_->isChecked();
  form.firstReduction = firstReduction_->value();
  form.lastReduction = lastReduction_->value();
  form.firstDate = FromDate(firstDate_->date());
  form.lastDate = FromDate(lastDate_->date());
  form.simplified = simplified_->isChecked();
  return form;
}

CTypeERecordsDlg::CTypeERecordsDlg(QWidget* parent, const TypeERecordsForm& form) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Registros Tipo E"));
  auto* type = new QGroupBox(QStringLiteral("Tipo de registro"), this);
  auto* typeLayout = new QVBoxLayout(type);
  const QString recordTexts[] = {
      QStringLiteral("MF - Leit. Dados da Memória Fiscal"),
      QStringLiteral("MFD - Leit. Dados da Memória Fita-Detalhe"),
      QStringLiteral("TDM - Let. Dados das memórias do ECF"),
      QStringLiteral("RZ - Recuperação Dados da Redução Z"),
  };
  for (int i = 0; i < 4; ++i) {
    records_[i] = new QRadioButton(recordTexts[i], type);
    typeLayout->addWidget(records_[i]);
  }
  records_[static_cast<int>(form.record)]->setChecked(true);

  auto* period = new QGroupBox(QStringLiteral("Período"), this);
  periods_[0] = new QRadioButton(QStringLiteral("CRZ"), period);
  periods_[1] = new QRadioButton(QStringLiteral("Data"), period);
  periods_[2] = new QRadioButton(QStringLiteral("Total"), period);
  firstReduction_ = NumberBox(period, kMaxNumber, form.firstReduction);
  lastReduction_ = NumberBox(period, kMaxNumber, form.lastReduction);
  firstDate_ = DateBox(period, form.firstDate);
  lastDate_ = DateBox(period, form.lastDate);
  auto* grid = new QGridLayout(period);
  grid->addWidget(periods_[0], 0, 0);
  grid->addWidget(Label(QStringLiteral("CRZ inicial:"), firstReduction_, period), 0, 1);
  grid->addWidget(firstReduction_, 0, 2);
  grid->addWidget(Label(QStringLiteral("CRZ final:"), lastReduction_, period), 0, 3);
  grid->addWidget(lastReduction_, 0, 4);
  grid->addWidget(periods_[1], 1, 0);
  grid->addWidget(Label(QStringLiteral("Data inicial:"), firstDate_, period), 1, 1);
  grid->addWidget(firstDate_, 1, 2);
  grid->addWidget(Label(QStringLiteral("Data final:"), lastDate_, period), 1, 3);
  grid->addWidget(lastDate_, 1, 4);
  grid->addWidget(periods_[2], 2, 0);
  periods_[static_cast<int>(form.period)]->setChecked(true);
  for (QRadioButton* choice : periods_) {
    connect(choice, &QRadioButton::toggled, this, [this] { UpdateEnabled(); });
  }
  UpdateEnabled();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(type);
  layout->addWidget(period);
  layout->addWidget(Buttons(this, QStringLiteral("OK"), QStringLiteral("Cancelar")));
}

void CTypeERecordsDlg::UpdateEnabled() {
  firstReduction_->setEnabled(periods_[0]->isChecked());
  lastReduction_->setEnabled(periods_[0]->isChecked());
  firstDate_->setEnabled(periods_[1]->isChecked());
  lastDate_->setEnabled(periods_[1]->isChecked());
}

TypeERecordsForm CTypeERecordsDlg::Form() const {
  TypeERecordsForm form;
  for (int i = 0; i < 4; ++i) {
    if (records_[i]->isChecked()) form.record = static_cast<TypeERecordsForm::Record>(i);
  }
  for (int i = 0; i < 3; ++i) {
    if (periods_[i]->isChecked()) form.period = static_cast<TypeERecordsForm::Period>(i);
  }
  form.firstReduction = firstReduction_->value();
  form.lastReduction = lastReduction_->value();
  form.firstDate = FromDate(firstDate_->date());
  form.lastDate = FromDate(lastDate_->date());
  return form;
}

}  // namespace tervane::gui
