#include "gui/equipment/general_information_page.h"

#include <QFontDatabase>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>
#include <QVBoxLayout>
#include <algorithm>

#include "core/catalogue/composite_editors.h"
#include "core/catalogue/parameter_forms.h"
#include "core/common/string_ids.h"
#include "gui/catalogue/input_dialogs.h"
#include "gui/common/qt_text.h"

namespace tervane::gui {
namespace {

namespace lim = profile_limits;

// The printer reads a password digit as its low four bits (plus 9 from ':' to 'F'), so a
// lower-case letter would silently become another digit: only hexadecimal digits are
// taken, and letters are kept in upper case.
class HexDigitsValidator final : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    input = input.toUpper();
    for (const QChar c : input) {
      const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
      const bool letter = c >= QLatin1Char('A') && c <= QLatin1Char('F');
      if (!digit && !letter) return Invalid;
    }
    return Acceptable;
  }
};

QLineEdit* LimitedEdit(int limit, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setMaxLength(limit);
  return edit;
}

}  // namespace

ClicheTextEdit::ClicheTextEdit(int limit, QWidget* parent)
    : QPlainTextEdit(parent), limit_(limit), allowed_(limit) {
  setTabChangesFocus(true);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  connect(this, &QPlainTextEdit::textChanged, this, &ClicheTextEdit::Enforce);
}

int ClicheTextEdit::CountedLength(const QString& text) {
  return LimitedTextEdit::CountedLength(text);
}

QString ClicheTextEdit::CrLfText() const {
  return LimitedTextEdit::ToCrLf(toPlainText());
}

void ClicheTextEdit::SetCrLfText(const QString& text) {
  const QString plain = LimitedTextEdit::FromCrLf(text);
  enforcing_ = true;
  setPlainText(plain);
  enforcing_ = false;
  allowed_ = std::max(limit_, CountedLength(plain));
}

void ClicheTextEdit::Enforce() {
  if (enforcing_) return;
  const QString text = toPlainText();
  const int length = CountedLength(text);
  int excess = length - allowed_;
  if (excess <= 0) {
    // A text that came in longer than the limit may shrink, never grow back past it.
    allowed_ = std::max(limit_, length);
    return;
  }
  // Drop what was just typed or pasted: the characters before the cursor.
  enforcing_ = true;
  QTextCursor cursor = textCursor();
  const int end = cursor.position();
  int start = end;
  while (excess > 0 && start > 0) {
    excess -= text.at(start - 1) == QLatin1Char('\n') ? 2 : 1;
    --start;
  }
  cursor.setPosition(start);
  cursor.setPosition(end, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
  setTextCursor(cursor);
  enforcing_ = false;
}

CGeneralInformationPrPg::CGeneralInformationPrPg(Prompter& prompter, Clock& clock, QWidget* parent)
    : QWidget(parent), prompter_(prompter), clock_(clock), client_(LimitedEdit(lim::kClient, this)),
      serial_(LimitedEdit(lim::kSerialNumber, this)), cnpj_(LimitedEdit(lim::kCnpj, this)),
      ie_(LimitedEdit(lim::kIe, this)), im_(LimitedEdit(lim::kIm, this)), uf_(LimitedEdit(lim::kUf, this)),
      password_(LimitedEdit(lim::kPassword, this)), store_(LimitedEdit(lim::kStoreNumber, this)),
      till_(LimitedEdit(lim::kTillNumber, this)), date_(LimitedEdit(lim::kDate, this)),
      time_(LimitedEdit(lim::kTime, this)), cliche_(new ClicheTextEdit(lim::kCliche, this)),
      clockButton_(new QPushButton(QStringLiteral("Carregar do computador"), this)),
      editButton_(new QPushButton(QStringLiteral("Editar"), this)) {
  password_->setEchoMode(QLineEdit::Password);
  password_->setValidator(new HexDigitsValidator(password_));
  password_->setText(QString::fromLatin1(kDefaultInterventionPassword));

  // Owner and numbers on the left, clock and options on the right, the cliché below.
  auto* owner = new QGridLayout;
  const std::pair<int, QLineEdit*> rows[] = {
      {str::kCliente, client_},
      {str::kNumeroSerie, serial_},
      {str::kCnpj, cnpj_},
      {str::kIe, ie_},
      {str::kIm, im_},
      {str::kUf, uf_},
      {str::kSenha, password_},
      {str::kNumeroLoja, store_},
      {str::kNumeroCaixa, till_},
  };
  int row = 0;
  for (const auto& [label, edit] : rows) {
    owner->addWidget(new QLabel(Str(label), this), row, 0);
    owner->addWidget(edit, row, 1);
    ++row;
  }
  uf_->setMaximumWidth(48);
  store_->setMaximumWidth(72);
  till_->setMaximumWidth(72);

  auto* clockBox = new QGroupBox(this);
  auto* clockGrid = new QGridLayout(clockBox);
  clockGrid->addWidget(new QLabel(Str(str::kData), clockBox), 0, 0);
  clockGrid->addWidget(date_, 0, 1);
  clockGrid->addWidget(new QLabel(Str(str::kHora), clockBox), 1, 0);
  clockGrid->addWidget(time_, 1, 1);
  clockGrid->addWidget(clockButton_, 2, 0, 1, 2);

  auto* optionBox = new QGroupBox(this);
  auto* optionLayout = new QVBoxLayout(optionBox);
  const int optionLabels[7] = {str::kHorarioVerao,  str::kCupomAdicional, str::kDescontoIss,    str::kVinculadoCnf,
                               str::kRvConferencia, str::kRzAutomatica,   str::kBilhetePassagem};
  for (size_t k = 0; k < options_.size(); ++k) {
    options_[k] = new QCheckBox(Str(optionLabels[k]), optionBox);
    optionLayout->addWidget(options_[k]);
  }

  auto* right = new QVBoxLayout;
  right->addWidget(clockBox);
  right->addWidget(optionBox);
  right->addStretch();

  auto* top = new QHBoxLayout;
  top->addLayout(owner, 3);
  top->addSpacing(12);
  top->addLayout(right, 2);

  cliche_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  cliche_->setFixedHeight(92);
  auto* clicheRow = new QHBoxLayout;
  clicheRow->addWidget(new QLabel(Str(str::kClicheLabel), this));
  clicheRow->addStretch();
  clicheRow->addWidget(editButton_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(clicheRow);
  layout->addWidget(cliche_);

  connect(clockButton_, &QPushButton::clicked, this, &CGeneralInformationPrPg::LoadComputerClock);
  connect(editButton_, &QPushButton::clicked, this, &CGeneralInformationPrPg::EditCliche);
}

void CGeneralInformationPrPg::Load(const GeneralInformationPage& page) {
  client_->setText(ToQt(page.client));
  serial_->setText(ToQt(page.serialNumber));
  cnpj_->setText(ToQt(page.cnpj));
  ie_->setText(ToQt(page.ie));
  im_->setText(ToQt(page.im));
  uf_->setText(ToQt(page.uf));
  password_->setText(ToQt(page.password));
  store_->setText(ToQt(page.storeNumber));
  till_->setText(ToQt(page.tillNumber));
  date_->setText(ToQt(page.date));
  time_->setText(ToQt(page.time));
  cliche_->SetCrLfText(ToQt(page.cliche));
  const bool flags[7] = {page.daylightSaving, page.additionalCoupon, page.issDiscount, page.linkedToCnf,
                         page.rvInConference, page.automaticZ,       page.passengerTicket};
  for (size_t k = 0; k < options_.size(); ++k) options_[k]->setChecked(flags[k]);
}

GeneralInformationPage CGeneralInformationPrPg::Store() const {
  GeneralInformationPage page;
  page.client = FromQt(client_->text());
  page.serialNumber = FromQt(serial_->text());
  page.cnpj = FromQt(cnpj_->text());
  page.ie = FromQt(ie_->text());
  page.im = FromQt(im_->text());
  page.uf = FromQt(uf_->text());
  page.password = FromQt(password_->text());
  page.storeNumber = FromQt(store_->text());
  page.tillNumber = FromQt(till_->text());
  page.date = FromQt(date_->text());
  page.time = FromQt(time_->text());
  page.cliche = FromQt(cliche_->CrLfText());
  page.daylightSaving = options_[0]->isChecked();
  page.additionalCoupon = options_[1]->isChecked();
  page.issDiscount = options_[2]->isChecked();
  page.linkedToCnf = options_[3]->isChecked();
  page.rvInConference = options_[4]->isChecked();
  page.automaticZ = options_[5]->isChecked();
  page.passengerTicket = options_[6]->isChecked();
  return page;
}

void CGeneralInformationPrPg::LoadComputerClock() {
  GeneralInformationPage page;
  page.LoadComputerClock(clock_.LocalNow());
  date_->setText(ToQt(page.date));
  time_->setText(ToQt(page.time));
}

void CGeneralInformationPrPg::EditCliche() {
  ClicheForm form;
  ParameterForms* forms = ParameterFormsOf(prompter_);
  if (forms == nullptr || !forms->EditCliche(form)) return;
  cliche_->SetCrLfText(ToQt(ComposeCliche(form)));
}

}  // namespace tervane::gui
