#include "gui/catalogue/input_dialogs.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTextBlock>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "core/common/string_ids.h"
#include "gui/common/qt_text.h"

namespace tervane::gui {
namespace {

QValidator* DigitsValidator(QObject* parent) {
  return new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), parent);
}

QString WithoutMnemonics(QString caption) {
  return caption.remove(QLatin1Char('&'));
}

}  // namespace

// --- CInputDlg ---------------------------------------------------------------------------

CInputDlg::CInputDlg(QWidget* parent, const QString& description)
    : QDialog(parent), description_(new QLabel(description, this)), fields_(new QVBoxLayout),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
  setWindowTitle(WithoutMnemonics(description).section(QLatin1Char('\n'), 0, 0));
  description_->setTextFormat(Qt::PlainText);
  description_->setWordWrap(true);
  buttons_->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons_->button(QDialogButtonBox::Cancel)->setText(Str(str::kCancelar));
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(description_);
  layout->addLayout(fields_);
  layout->addWidget(buttons_);
  setMinimumWidth(340);
}

// --- Text --------------------------------------------------------------------------------

CTextDlg::CTextDlg(QWidget* parent, const QString& description, int maxLength, const QString& text)
    : CInputDlg(parent, description), edit_(new QLineEdit(this)) {
  edit_->setMaxLength(std::max(0, maxLength));
  edit_->setText(text);
  edit_->selectAll();
  Fields()->addWidget(edit_);
}

QString CTextDlg::Text() const {
  return edit_->text();
}

// --- Multi-line text ------------------------------------------------------------------

LimitedTextEdit::LimitedTextEdit(int limit, QWidget* parent) : QPlainTextEdit(parent), limit_(limit) {
  setTabChangesFocus(true);
  connect(this, &QPlainTextEdit::textChanged, this, &LimitedTextEdit::Enforce);
}

int LimitedTextEdit::CountedLength(const QString& text) {
  return static_cast<int>(text.size() + text.count(QLatin1Char('\n')));
}

QString LimitedTextEdit::ToCrLf(QString text) {
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return text;
}

QString LimitedTextEdit::FromCrLf(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

QString LimitedTextEdit::CrLfText() const {
  return ToCrLf(toPlainText());
}

void LimitedTextEdit::SetCrLfText(const QString& text) {
  setPlainText(FromCrLf(text));
}

void LimitedTextEdit::Enforce() {
  if (enforcing_ || limit_ < 0) return;
  const QString text = toPlainText();
  int excess = CountedLength(text) - limit_;
  if (excess <= 0) return;
  // Drop what was just typed or pasted: the characters before the cursor.
  enforcing_ = true;
  QTextCursor cursor = textCursor();
  int end = cursor.position();
  int start = end;
  while (excess > 0 && start > 0) {
    excess -= text.at(start - 1) == QLatin1Char('\n') ? 2 : 1;
    --start;
  }
  cursor.setPosition(start);
  cursor.setPosition(end, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
  // Text pasted elsewhere than at the end may still leave too much: cut the tail.
  QString rest = toPlainText();
  if (CountedLength(rest) > limit_) {
    while (!rest.isEmpty() && CountedLength(rest) > limit_) rest.chop(1);
    setPlainText(rest);
    moveCursor(QTextCursor::End);
  } else {
    setTextCursor(cursor);
  }
  enforcing_ = false;
}

CMultiLineDlg::CMultiLineDlg(QWidget* parent, const QString& description, int maxLength, const QString& text)
    : CInputDlg(parent, description), edit_(new LimitedTextEdit(maxLength, this)) {
  edit_->SetCrLfText(text);
  edit_->setMinimumHeight(110);
  Fields()->addWidget(edit_);
}

QString CMultiLineDlg::Text() const {
  return edit_->CrLfText();
}

// --- Number ------------------------------------------------------------------------------

CNumberDlg::CNumberDlg(QWidget* parent, const QString& description, int maxDigits, const QString& digits)
    : CInputDlg(parent, description), edit_(new QLineEdit(this)) {
  edit_->setValidator(DigitsValidator(edit_));
  edit_->setMaxLength(std::max(0, maxDigits));
  edit_->setText(digits);
  edit_->selectAll();
  Fields()->addWidget(edit_);
}

QString CNumberDlg::Digits() const {
  return edit_->text();
}

// --- Value -------------------------------------------------------------------------------

CValueDlg::CValueDlg(QWidget* parent, const QString& description, int integerDigits, int decimals,
                     const QString& value)
    : CInputDlg(parent, description), edit_(new QLineEdit(this)) {
  edit_->setMaxLength(std::max(0, integerDigits + decimals + 1));
  edit_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*(,[0-9]*)?")), edit_));
  edit_->setText(value);
  edit_->selectAll();
  edit_->setAlignment(Qt::AlignRight);
  Fields()->addWidget(edit_);
}

QString CValueDlg::Value() const {
  return edit_->text();
}

// --- Percentage --------------------------------------------------------------------------

CPercentDlg::CPercentDlg(QWidget* parent, const QString& description, const QString& integerPart,
                         const QString& decimalPart)
    : CInputDlg(parent, description), integer_(new QLineEdit(this)), decimal_(new QLineEdit(this)) {
  auto* row = new QHBoxLayout;
  for (QLineEdit* box : {integer_, decimal_}) {
    box->setValidator(DigitsValidator(box));
    box->setMaxLength(2);
    box->setFixedWidth(48);
    box->setAlignment(Qt::AlignRight);
  }
  integer_->setText(integerPart);
  decimal_->setText(decimalPart);
  integer_->selectAll();
  row->addStretch();
  row->addWidget(integer_);
  row->addWidget(new QLabel(QStringLiteral(","), this));
  row->addWidget(decimal_);
  row->addWidget(new QLabel(QStringLiteral("%"), this));
  row->addStretch();
  Fields()->addLayout(row);
}

QString CPercentDlg::IntegerPart() const {
  return integer_->text();
}

QString CPercentDlg::DecimalPart() const {
  return decimal_->text();
}

// --- Date --------------------------------------------------------------------------------

CDateDlg::CDateDlg(QWidget* parent, const QString& description, const QDate& date)
    : CInputDlg(parent, description), picker_(new QDateEdit(this)) {
  picker_->setCalendarPopup(true);
  picker_->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
  picker_->setDate(date.isValid() ? date : QDate::currentDate());
  auto* load = new QPushButton(QStringLiteral("Carregar data do computador"), this);
  connect(load, &QPushButton::clicked, this, [this] { picker_->setDate(QDate::currentDate()); });
  auto* row = new QHBoxLayout;
  row->addWidget(picker_, 1);
  row->addWidget(load);
  Fields()->addLayout(row);
}

QDate CDateDlg::Date() const {
  return picker_->date();
}

// --- Time --------------------------------------------------------------------------------

CTimeDlg::CTimeDlg(QWidget* parent, const QString& description, const QTime& time, bool clockMode)
    : CInputDlg(parent, description),
      picker_(new QTimeEdit(this)),
      load_(new QPushButton(QStringLiteral("Carregar horário do computador"), this)),
      daylightSaving_(new QCheckBox(Str(str::kHorarioVerao), this)) {
  picker_->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  picker_->setTime(time.isValid() ? time : QTime::currentTime());
  connect(load_, &QPushButton::clicked, this, [this] { picker_->setTime(QTime::currentTime()); });
  auto* row = new QHBoxLayout;
  row->addWidget(picker_, 1);
  row->addWidget(load_);
  Fields()->addLayout(row);
  Fields()->addWidget(daylightSaving_);
  if (clockMode) {
    picker_->setTime(QTime::currentTime());
    picker_->setEnabled(false);
    load_->hide();
  } else {
    daylightSaving_->hide();
  }
}

QTime CTimeDlg::Time() const {
  return picker_->time();
}

bool CTimeDlg::DaylightSaving() const {
  return daylightSaving_->isChecked();
}

// --- Choice ------------------------------------------------------------------------------

CChoiceDlg::CChoiceDlg(QWidget* parent, const QString& description, const std::vector<QString>& labels)
    : QDialog(parent) {
  setWindowTitle(WithoutMnemonics(description).section(QLatin1Char('\n'), 0, 0));
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(description, this);
  text->setTextFormat(Qt::PlainText);
  text->setWordWrap(true);
  layout->addWidget(text);
  auto* grid = new QGridLayout;
  int shown = 0;
  for (int k = 0; k < kMaxButtons; ++k) {
    auto* button = new QPushButton(this);
    button->setAutoDefault(false);
    buttons_.push_back(button);
    const QString label = k < static_cast<int>(labels.size()) ? labels[k] : QString();
    if (label.isEmpty()) {
      button->hide();
      continue;
    }
    button->setText(label);
    connect(button, &QPushButton::clicked, this, [this, k] {
      chosen_ = k + 1;
      accept();
    });
    grid->addWidget(button, shown / 2, shown % 2);
    ++shown;
  }
  layout->addLayout(grid);
  auto* cancelRow = new QHBoxLayout;
  auto* cancel = new QPushButton(Str(str::kCancelar), this);
  cancel->setAutoDefault(false);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  cancelRow->addStretch();
  cancelRow->addWidget(cancel);
  layout->addLayout(cancelRow);
  setMinimumWidth(340);
}

}  // namespace tervane::gui
