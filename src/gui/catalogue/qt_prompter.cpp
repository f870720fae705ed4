#include "gui/catalogue/qt_prompter.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QAbstractButton>
#include <QMessageBox>
#include <QStringList>

#include "core/common/string_table.h"
#include "gui/catalogue/cheque_position_dialog.h"
#include "gui/catalogue/cliche_dialog.h"
#include "gui/catalogue/input_dialogs.h"
#include "gui/common/qt_text.h"
#include "gui/common/window_owner.h"
#include "gui/equipment/aliquotas_page.h"
#include "gui/fiscalmemory/memory_dialogs.h"
#include "gui/protocol/result_window.h"

namespace tervane::gui {

QWidget* QtPrompter::Owner() const {
  return CurrentOwner(fallbackOwner_);
}

bool QtPrompter::AskText(const std::string& description, int maxLength, std::string& text) {
  CTextDlg dialog(Owner(), ToQtDisplay(description), maxLength, ToQt(text));
  if (dialog.exec() != QDialog::Accepted) return false;
  text = FromQt(dialog.Text());
  return true;
}

bool QtPrompter::AskMultiLineText(const std::string& description, int maxLength, std::string& text) {
  CMultiLineDlg dialog(Owner(), ToQtDisplay(description), maxLength, ToQt(text));
  if (dialog.exec() != QDialog::Accepted) return false;
  text = FromQt(dialog.Text());
  return true;
}

bool QtPrompter::AskNumber(const std::string& description, int maxDigits, std::string& digits) {
  CNumberDlg dialog(Owner(), ToQtDisplay(description), maxDigits, ToQt(digits));
  if (dialog.exec() != QDialog::Accepted) return false;
  digits = FromQt(dialog.Digits());
  return true;
}

bool QtPrompter::AskValue(const std::string& description, int integerDigits, int decimals, std::string& value) {
  CValueDlg dialog(Owner(), ToQtDisplay(description), integerDigits, decimals, ToQt(value));
  if (dialog.exec() != QDialog::Accepted) return false;
  value = FromQt(dialog.Value());
  return true;
}

bool QtPrompter::AskPercentage(const std::string& description, std::string& integerPart, std::string& decimalPart) {
  CPercentDlg dialog(Owner(), ToQtDisplay(description), ToQt(integerPart), ToQt(decimalPart));
  if (dialog.exec() != QDialog::Accepted) return false;
  integerPart = FromQt(dialog.IntegerPart());
  decimalPart = FromQt(dialog.DecimalPart());
  return true;
}

bool QtPrompter::AskDate(const std::string& description, CivilTime& value) {
  CDateDlg dialog(Owner(), ToQtDisplay(description), QDate(value.year, value.month, value.day));
  if (dialog.exec() != QDialog::Accepted) return false;
  const QDate date = dialog.Date();
  value.year = date.year();
  value.month = date.month();
  value.day = date.day();
  return true;
}

bool QtPrompter::AskTime(const std::string& description, CivilTime& value) {
  CTimeDlg dialog(Owner(), ToQtDisplay(description), QTime(value.hour, value.minute, value.second), false);
  if (dialog.exec() != QDialog::Accepted) return false;
  const QTime time = dialog.Time();
  value.hour = time.hour();
  value.minute = time.minute();
  value.second = time.second();
  return true;
}

bool QtPrompter::AcceptComputerClock(const std::string& text, bool& daylightSaving) {
  CTimeDlg dialog(Owner(), ToQtDisplay(text), QTime::currentTime(), true);
  dialog.setWindowTitle(Str(str::kSelecioneHora));
  if (dialog.exec() != QDialog::Accepted) return false;
  daylightSaving = dialog.DaylightSaving();
  return true;
}

int QtPrompter::Choose(const std::string& description, const std::vector<std::string>& labels) {
  std::vector<QString> qtLabels;
  qtLabels.reserve(labels.size());
  for (const std::string& label : labels) qtLabels.push_back(ToQt(label));
  CChoiceDlg dialog(Owner(), ToQtDisplay(description), qtLabels);
  if (dialog.exec() != QDialog::Accepted) return 0;
  return dialog.Chosen();
}

bool QtPrompter::AskYesNo(const std::string& caption, const std::string& question) {
  QMessageBox box(QMessageBox::Question, ToQt(caption), ToQtDisplay(question), QMessageBox::Yes | QMessageBox::No,
                  Owner());
  box.button(QMessageBox::Yes)->setText(QStringLiteral("&Sim"));
  box.button(QMessageBox::No)->setText(QStringLiteral("&Não"));
  return box.exec() == QMessageBox::Yes;
}

bool QtPrompter::EditCliche(ClicheForm& form) {
  CClicheDlg dialog(Owner(), form);
  if (dialog.exec() != QDialog::Accepted) return false;
  form = dialog.Form();
  return true;
}

bool QtPrompter::EditChequePositions(ChequePositionForm& form) {
  CChequePosDlg dialog(Owner(), form);
  if (dialog.exec() != QDialog::Accepted) return false;
  form = dialog.Form();
  return true;
}

bool QtPrompter::EditTaxRates(TaxRateForm& form) {
  CTaxRateSheet sheet(Owner(), form);
  if (sheet.exec() != QDialog::Accepted) return false;
  form = sheet.Form();
  return true;
}

void QtPrompter::ShowMessage(const std::string& caption, const std::string& text) {
  QMessageBox box(QMessageBox::Information, caption.empty() ? Str(str::kTervane) : ToQt(caption), ToQtDisplay(text),
                  QMessageBox::Ok, Owner());
  box.exec();
}

void QtPrompter::ShowCommandResults(const std::string& resultText, const std::string& hexTrace) {
  CResultDlg window(Owner(), resultText, hexTrace, *this);
  window.exec();
}

int QtPrompter::AskYesNoCancel(const std::string& caption, const std::string& question) {
  QMessageBox box(QMessageBox::Warning, ToQt(caption), ToQtDisplay(question),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, Owner());
  box.button(QMessageBox::Yes)->setText(QStringLiteral("&Sim"));
  box.button(QMessageBox::No)->setText(QStringLiteral("&Não"));
  box.button(QMessageBox::Cancel)->setText(QStringLiteral("Cancelar"));
  const int answer = box.exec();
  return answer == QMessageBox::Yes ? 1 : answer == QMessageBox::No ? 2 : 0;
}

bool QtPrompter::AskRetryCancel(const std::string& caption, const std::string& text) {
  QMessageBox box(QMessageBox::Warning, ToQt(caption), ToQtDisplay(text), QMessageBox::Retry | QMessageBox::Cancel,
                  Owner());
  box.button(QMessageBox::Retry)->setText(QStringLiteral("&Repetir"));
  box.button(QMessageBox::Cancel)->setText(QStringLiteral("Cancelar"));
  return box.exec() == QMessageBox::Retry;
}

QString QtFileFilter(const std::string& filter) {
  const QStringList parts = ToQt(filter).split(QLatin1Char('|'));
  QStringList names;
  // Name and pattern alternate; an empty name ends the list.
  for (qsizetype k = 0; k + 1 < parts.size(); k += 2) {
    if (parts[k].isEmpty()) break;
    names << parts[k];
  }
  return names.join(QStringLiteral(";;"));
}

namespace {

// A file chooser in the given mode with its title (empty: Qt's own), the filter, the
// default extension and the starting name; the chosen path (in the local encoding, as
// file names are kept) or false on Cancel.
bool ChooseFile(QWidget* owner, const QString& title, QFileDialog::AcceptMode mode, QFileDialog::FileMode fileMode,
                const std::string& defaultExtension, const std::string& filter, std::string& path) {
  QFileDialog dialog(owner);
  if (!title.isEmpty()) dialog.setWindowTitle(title);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(fileMode);
  dialog.setNameFilter(QtFileFilter(filter));
  QString suffix = ToQt(defaultExtension);
  suffix.remove(QStringLiteral("*"));
  if (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
  if (!suffix.isEmpty()) dialog.setDefaultSuffix(suffix);
  const QString start = QString::fromStdString(path);
  // A pattern ("*.mf") as the starting name only says what kind of file is wanted.
  if (!start.isEmpty() && !start.contains(QLatin1Char('*'))) {
    const QFileInfo info(start);
    if (info.isAbsolute()) dialog.setDirectory(info.absolutePath());
    dialog.selectFile(info.fileName());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  path = dialog.selectedFiles().first().toStdString();
  return true;
}

}  // namespace

bool QtPrompter::ChooseSaveFile(const std::string& defaultExtension, const std::string& filter, std::string& path) {
  return ChooseFile(Owner(), QString(), QFileDialog::AcceptSave, QFileDialog::AnyFile, defaultExtension, filter,
                    path);
}

bool QtPrompter::ChooseOpenFile(const std::string& defaultExtension, const std::string& filter, std::string& path) {
  return ChooseFile(Owner(), QString(), QFileDialog::AcceptOpen, QFileDialog::ExistingFile, defaultExtension,
                    filter, path);
}

bool QtPrompter::ChooseOpenFileTitled(const std::string& title, const std::string& defaultExtension,
                                      const std::string& filter, std::string& path) {
  return ChooseFile(Owner(), ToQt(title), QFileDialog::AcceptOpen, QFileDialog::ExistingFile, defaultExtension,
                    filter, path);
}

bool QtPrompter::ChooseOpenFiles(const std::string& title, const std::string&, const std::string& filter,
                                 std::vector<std::string>& paths) {
  QFileDialog dialog(Owner());
  if (!title.empty()) dialog.setWindowTitle(ToQt(title));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setNameFilter(QtFileFilter(filter));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  paths.clear();
  for (const QString& file : dialog.selectedFiles()) paths.push_back(file.toStdString());
  return true;
}

bool QtPrompter::AskOkCancel(const std::string& caption, const std::string& text) {
  QMessageBox box(QMessageBox::Information, caption.empty() ? Str(str::kTervane) : ToQt(caption), ToQtDisplay(text),
                  QMessageBox::Ok | QMessageBox::Cancel, Owner());
  box.button(QMessageBox::Cancel)->setText(Str(str::kCancelar));
  box.setDefaultButton(QMessageBox::Ok);
  return box.exec() == QMessageBox::Ok;
}

bool QtPrompter::AskMemoryRange(MemoryRangeForm& form) {
  CRangeDlg dialog(Owner(), form);
  if (dialog.exec() != QDialog::Accepted) return false;
  form = dialog.Form();
  return true;
}

bool QtPrompter::AskMfReportRange(MfReportForm& form) {
  CMfReportDlg dialog(Owner(), form);
  if (dialog.exec() != QDialog::Accepted) return false;
  form = dialog.Form();
  return true;
}

bool QtPrompter::AskTypeERecords(TypeERecordsForm& form) {
  CTypeERecordsDlg dialog(Owner(), form);
  if (dialog.exec() != QDialog::Accepted) return false;
  form = dialog.Form();
  return true;
}

}  // namespace tervane::gui
