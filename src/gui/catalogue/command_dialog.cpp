#include "gui/catalogue/command_dialog.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/common/string_table.h"
#include "core/catalogue/parameter_kinds.h"
#include "gui/common/qt_text.h"
#include "gui/protocol/result_window.h"

namespace tervane::gui {
CCommandDlg::CCommandDlg(QWidget* parent, CommandRecord command, const ProgramSettings& settings, Prompter& prompter,
                         WaitNotice& wait, CommandRunner runner, Clock& clock)
    : QDialog(parent),
      command_(std::move(command)),
      defaults_(command_.parameters),
      settings_(settings),
      prompter_(prompter),
      wait_(wait),
      runner_(std::move(runner)),
      clock_(clock),
      group_(new QGroupBox(Str(str::kParametros), this)),
      ok_(new QPushButton(QStringLiteral("Ok"), this)),
      cancel_(new QPushButton(Str(str::kCancelar), this)) {
  presenter_ = [this](const CommandRecord& done) {
    CResultDlg result(this, done.ResultText, done.HexTrace, prompter_);
    result.exec();
  };
  auto* grid = new QGridLayout(group_);
  grid->setColumnStretch(1, 1);
  for (int k = 0; k < kCommandDialogRows; ++k) {
    Row& row = rows_[k];
    row.label = new QLabel(group_);
    row.edit = new QLineEdit(group_);
    row.button = new QPushButton(Str(str::kEditar), group_);
    row.button->setAutoDefault(false);
    row.edit->setMinimumWidth(260);
    row.label->setBuddy(row.edit);
    grid->addWidget(row.label, k, 0);
    grid->addWidget(row.edit, k, 1);
    grid->addWidget(row.button, k, 2);
    connect(row.button, &QPushButton::clicked, this, [this, k] { OnEdit(k); });
  }
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  ok_->setDefault(true);
  cancel_->setAutoDefault(false);
  connect(ok_, &QPushButton::clicked, this, &CCommandDlg::OnOk);
  connect(cancel_, &QPushButton::clicked, this, &CCommandDlg::reject);
  if (!runner_) {
    ok_->setEnabled(false);
    ok_->setToolTip(QStringLiteral("Envio de comandos indisponível nesta versão."));
  }

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

int CCommandDlg::ShownRows() const {
  return std::min(command_.parameterCount(), kCommandDialogRows);
}

bool CCommandDlg::RowShown(int row) const {
  return row < ShownRows() && !IsHiddenKind(command_.parameters[row].kind);
}

void CCommandDlg::SetRowText(int row, const std::string& value) {
  QLineEdit* edit = rows_[row].edit;
  const QString text = ToQt(value);
  // The limit is for typing: a value an editor produced is shown whole, as it is sent.
  const int limit = RowLimit(command_.parameters[row]);
  edit->setMaxLength(std::max<int>({limit, static_cast<int>(text.size()), 1}));
  edit->setText(text);
  edit->setCursorPosition(0);
}

void CCommandDlg::FillRows() {
  for (int k = 0; k < kCommandDialogRows; ++k) {
    Row& row = rows_[k];
    const bool shown = RowShown(k);
    row.label->setVisible(shown);
    row.edit->setVisible(shown);
    row.button->setVisible(shown);
    if (!shown) continue;
    const ParameterRecord& parameter = command_.parameters[k];
    row.label->setText(ToQt(RowLabel(parameter)));
    SetRowText(k, parameter.value);
  }
  bool anyShown = false;
  for (int k = 0; k < kCommandDialogRows; ++k) anyShown = anyShown || RowShown(k);
  group_->setVisible(anyShown);
}

bool CCommandDlg::Open() {
  if (opened_) return false;
  opened_ = true;
  setWindowTitle(ToQt(command_.title));
  const bool runNow = RunOpeningWalk(command_, prompter_, clock_);
  FillRows();
  ok_->setFocus();
  return runNow;
}

int CCommandDlg::Run() {
  const bool runNow = Open();
  if (runNow && runner_) {
    // Run as soon as the dialog has opened, with the dialog on screen.
    setWindowModality(Qt::ApplicationModal);
    show();
    OnOk();
    return result();
  }
  return exec();
}

void CCommandDlg::OnEdit(int row) {
  if (running_ || row < 0 || row >= ShownRows()) return;
  ParameterRecord parameter = command_.parameters[row];
  parameter.value = FromQt(rows_[row].edit->text());  // the editor starts from what the box shows
  SetRowText(row, EditParameter(parameter, prompter_, clock_));
}

void CCommandDlg::OnOk() {
  if (running_ || ran_ || !runner_) return;
  running_ = true;
  ran_ = true;
  ok_->setEnabled(false);
  cancel_->setEnabled(false);
  group_->setEnabled(false);
  for (int k = 0; k < ShownRows(); ++k) {
    // Shown rows send their box; hidden rows send the catalogue's value.
    command_.parameters[k].value = RowShown(k) ? FromQt(rows_[k].edit->text()) : defaults_[k].value;
  }

  wait_.Show(LoadString(str::kAguarde));
  runResult_ = runner_(command_);
  wait_.Hide();
  if (runResult_ != 0 || settings_.g_showResults) presenter_(command_);
  running_ = false;
  done(QDialog::Accepted);
}

void CCommandDlg::reject() {
  // While a command runs only its progress window can stop it.
  if (running_) return;
  QDialog::reject();
}

void CCommandDlg::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace tervane::gui
