#include "gui/catalogue/cliche_dialog.h"

#include <QFontDatabase>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/common/string_ids.h"
#include "gui/catalogue/input_dialogs.h"
#include "gui/common/qt_text.h"

namespace tervane::gui {
namespace {

constexpr int kLineWidth = 47;
constexpr int kThirdLineWidth = 94;

}  // namespace

CClicheDlg::CClicheDlg(QWidget* parent, const ClicheForm& form)
    : QDialog(parent), line1_(new QLineEdit(this)), line2_(new QLineEdit(this)),
      line3_(new LimitedTextEdit(kThirdLineWidth, this)), centred_(new QCheckBox(QStringLiteral("Centralizado"), this)) {
  setWindowTitle(Str(str::kClicheLabel));
  auto* layout = new QVBoxLayout(this);
  const QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);

  line1_->setMaxLength(kLineWidth);
  line2_->setMaxLength(kLineWidth);
  line1_->setText(ToQt(form.lines[0].text));
  line2_->setText(ToQt(form.lines[1].text));
  line3_->SetCrLfText(ToQt(form.lines[2].text));
  line3_->setFixedHeight(64);
  QWidget* editors[3] = {line1_, line2_, line3_};

  for (int k = 0; k < 3; ++k) {
    auto* box = new QGroupBox(QStringLiteral("Linha %1").arg(k + 1), this);
    auto* boxLayout = new QVBoxLayout(box);
    editors[k]->setFont(mono);
    boxLayout->addWidget(editors[k]);
    auto* row = new QHBoxLayout;
    LineBoxes& s = styles_[k];
    s.underline = new QCheckBox(QStringLiteral("Sublinhado"), box);
    s.italic = new QCheckBox(QStringLiteral("Itálico"), box);
    s.emphasis = new QCheckBox(QStringLiteral("Enfatizado"), box);
    s.expanded = new QCheckBox(QStringLiteral("Expandido"), box);
    const ClicheLine& line = form.lines[k];
    s.underline->setChecked(line.underline);
    s.italic->setChecked(line.italic);
    s.emphasis->setChecked(line.emphasis);
    s.expanded->setChecked(line.expanded);
    for (QCheckBox* c : {s.underline, s.italic, s.emphasis, s.expanded}) row->addWidget(c);
    row->addStretch();
    boxLayout->addLayout(row);
    layout->addWidget(box);
  }
  centred_->setChecked(form.centred);
  layout->addWidget(centred_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(Str(str::kCancelar));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

ClicheForm CClicheDlg::Form() const {
  ClicheForm form;
  form.lines[0].text = FromQt(line1_->text());
  form.lines[1].text = FromQt(line2_->text());
  form.lines[2].text = FromQt(line3_->CrLfText());
  for (int k = 0; k < 3; ++k) {
    form.lines[k].underline = styles_[k].underline->isChecked();
    form.lines[k].italic = styles_[k].italic->isChecked();
    form.lines[k].emphasis = styles_[k].emphasis->isChecked();
    form.lines[k].expanded = styles_[k].expanded->isChecked();
  }
  form.centred = centred_->isChecked();
  return form;
}

}  // namespace tervane::gui
