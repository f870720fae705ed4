// The workbench's Prompter: every question of the core as a modal Qt dialog over the
// window the user is working in.
#pragma once

#include <QString>

#include "core/catalogue/parameter_forms.h"
#include "core/common/prompter.h"
#include "core/fiscalmemory/memory_forms.h"

class QWidget;

namespace tervane::gui {

class QtPrompter final : public Prompter, public ParameterForms, public MemoryForms {
 public:
  // `fallbackOwner` owns the dialogs when no other window is open (may be null).
  explicit QtPrompter(QWidget* fallbackOwner = nullptr) : fallbackOwner_(fallbackOwner) {}

  bool AskText(const std::string& description, int maxLength, std::string& text) override;
  bool AskMultiLineText(const std::string& description, int maxLength, std::string& text) override;
  bool AskNumber(const std::string& description, int maxDigits, std::string& digits) override;
  bool AskValue(const std::string& description, int integerDigits, int decimals, std::string& value) override;
  bool AskPercentage(const std::string& description, std::string& integerPart, std::string& decimalPart) override;
  bool AskDate(const std::string& description, CivilTime& value) override;
  bool AskTime(const std::string& description, CivilTime& value) override;
  bool AcceptComputerClock(const std::string& text, bool& daylightSaving) override;
  int Choose(const std::string& description, const std::vector<std::string>& labels) override;
  bool AskYesNo(const std::string& caption, const std::string& question) override;
  bool EditCliche(ClicheForm& form) override;
  bool EditChequePositions(ChequePositionForm& form) override;
  bool EditTaxRates(TaxRateForm& form) override;
  void ShowMessage(const std::string& caption, const std::string& text) override;
  bool ChooseSaveFile(const std::string& defaultExtension, const std::string& filter, std::string& path) override;
  bool AskOkCancel(const std::string& caption, const std::string& text) override;
  // Memory tools.
  bool ChooseOpenFile(const std::string& defaultExtension, const std::string& filter, std::string& path) override;
  bool ChooseOpenFileTitled(const std::string& title, const std::string& defaultExtension, const std::string& filter,
                            std::string& path) override;
  bool ChooseOpenFiles(const std::string& title, const std::string& defaultExtension, const std::string& filter,
                       std::vector<std::string>& paths) override;
  bool AskMemoryRange(MemoryRangeForm& form) override;
  bool AskMfReportRange(MfReportForm& form) override;
  bool AskTypeERecords(TypeERecordsForm& form) override;
  // The "Resultado" window of a command built in code.
  void ShowCommandResults(const std::string& resultText, const std::string& hexTrace) override;
  // Yes/No/Cancel and Retry/Cancel boxes (warning icon), for the scanner capture.
  int AskYesNoCancel(const std::string& caption, const std::string& question) override;
  bool AskRetryCancel(const std::string& caption, const std::string& text) override;

 private:
  QWidget* Owner() const;
  QWidget* fallbackOwner_;
};

// A file-dialog filter written as "Name|pattern|Name|pattern||" in Qt's form
// "Name;;Name"; the patterns are already part of each name.
QString QtFileFilter(const std::string& filter);

}  // namespace tervane::gui
