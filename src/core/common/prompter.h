// The one interface through which the core asks a person something: every input dialog,
// question, choice and file chooser. The workbench answers with Qt dialogs, the CLI from
// the terminal, tests with scripted fakes. Texts are Windows-1252.
//
// Every request that can be cancelled returns false (or 0 for a choice) on Cancel and
// then leaves its in/out arguments unspecified; the core never reads them after a Cancel.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/common/clock.h"

namespace tervane {

// The owner's cliché page: three lines with their styles and one "Centralizado" box.
struct ClicheLine {
  std::string text;  // line 1 and 2 at most 47 characters, line 3 at most 94
  bool underline = false;
  bool italic = false;
  bool emphasis = false;
  bool expanded = false;
};
struct ClicheForm {
  std::array<ClicheLine, 3> lines;
  bool centred = false;
};

// The cheque-position page: 13 two-digit boxes, X and Y of "Valor", "Extenso 1",
// "Extenso 2", "Favorecido", "Local", then the columns of "Dia", "Mes", "Ano".
struct ChequePositionForm {
  std::array<std::string, 13> fields;
};

// The tax-rate page "Alíquotas": sixteen 4-digit rates (hundredths of a percent) and
// their binding, false = ICMS, true = ISS.
struct TaxRateForm {
  std::array<std::string, 16> rates;
  std::array<bool, 16> iss{};
};

// The memory tools' range dialog ("Intervalo"): COOs with the user number, dates, or
// everything ("Total Lógico"). COOs and the user are what the edits hold (0-999999 and
// 0-255); dates use year, month and day.
struct MemoryRangeForm {
  enum class Kind { kCoo, kDates, kTotal };
  Kind kind = Kind::kCoo;
  long firstCoo = 0;
  long lastCoo = 0;
  int user = 0;
  CivilTime firstDate;
  CivilTime lastDate;
};

// The fiscal-memory report dialog: reductions ("CRZ") or dates ("Data"), and the
// "Simplificada" box.
struct MfReportForm {
  bool byReductions = true;
  long firstReduction = 0;
  long lastReduction = 0;
  CivilTime firstDate;
  CivilTime lastDate;
  bool simplified = false;
};

// The "Registros Tipo E" dialog: the record type and the period.
struct TypeERecordsForm {
  enum class Record { kMf, kMfd, kTdm, kRz };
  enum class Period { kReductions, kDates, kTotal };
  Record record = Record::kMf;
  Period period = Period::kReductions;
  long firstReduction = 0;
  long lastReduction = 0;
  CivilTime firstDate;
  CivilTime lastDate;
};

class Prompter {
 public:
  virtual ~Prompter() = default;

  // Text dialog: one edit box limited to maxLength characters, starting with `text`.
  virtual bool AskText(const std::string& description, int maxLength, std::string& text) = 0;
  // Multi-line text dialog limited to maxLength characters (lines end with CR LF).
  virtual bool AskMultiLineText(const std::string& description, int maxLength, std::string& text) = 0;
  // Number dialog: digits only, at most maxDigits, starting with `digits`.
  virtual bool AskNumber(const std::string& description, int maxDigits, std::string& digits) = 0;
  // Value dialog: a box of integerDigits + decimals + 1 characters (room for the decimal
  // comma), starting with `value`; returns what was typed.
  virtual bool AskValue(const std::string& description, int integerDigits, int decimals,
                        std::string& value) = 0;
  // Percentage dialog: two boxes of two digits each, starting with `integerPart` and
  // `decimalPart`; returns what was typed in each.
  virtual bool AskPercentage(const std::string& description, std::string& integerPart,
                             std::string& decimalPart) = 0;
  // Date picker (year, month, day used) and time picker (hour, minute, second used),
  // starting at `value`.
  virtual bool AskDate(const std::string& description, CivilTime& value) = 0;
  virtual bool AskTime(const std::string& description, CivilTime& value) = 0;
  // Offers the computer's clock for the time-setting command: `text` is the dialog's
  // message; on OK `daylightSaving` holds the "Horário de verão" box.
  virtual bool AcceptComputerClock(const std::string& text, bool& daylightSaving) = 0;
  // Choice dialog: up to 12 buttons with the given labels (empty labels are not shown).
  // Returns the 1-based index of the button pressed, 0 for Cancel.
  virtual int Choose(const std::string& description, const std::vector<std::string>& labels) = 0;
  // Yes/No question; anything but Yes counts as No.
  virtual bool AskYesNo(const std::string& caption, const std::string& question) = 0;
  // Structured pages.
  virtual bool EditCliche(ClicheForm& form) = 0;
  virtual bool EditChequePositions(ChequePositionForm& form) = 0;
  virtual bool EditTaxRates(TaxRateForm& form) = 0;
  // A message that needs no answer (failures outside the command path).
  virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
  // Save-file chooser; `path` starts with the default name and returns the chosen one.
  virtual bool ChooseSaveFile(const std::string& defaultExtension, const std::string& filter,
                              std::string& path) = 0;

  // A message with OK and Cancel; true for OK. Answerers without such a box ask it as a
  // Yes/No question (Yes for OK).
  virtual bool AskOkCancel(const std::string& caption, const std::string& text) {
    return AskYesNo(caption, text);
  }
  // Open-file chooser for an existing file; `path` starts with the default name and
  // returns the chosen one. `filter` is in the "Description(*.EXT)|*.EXT||" form.
  // Answerers that cannot choose files answer Cancel.
  virtual bool ChooseOpenFile(const std::string& defaultExtension, const std::string& filter,
                              std::string& path) {
    (void)defaultExtension;
    (void)filter;
    (void)path;
    return false;
  }

  // --- Memory tools (fiscal memory and detail-tape downloads and reports) -----------
  // Each dialog starts with what `form` holds and returns what was chosen; false on
  // Cancel. Answerers without these dialogs answer Cancel.
  virtual bool AskMemoryRange(MemoryRangeForm& form) {
    (void)form;
    return false;
  }
  virtual bool AskMfReportRange(MfReportForm& form) {
    (void)form;
    return false;
  }
  virtual bool AskTypeERecords(TypeERecordsForm& form) {
    (void)form;
    return false;
  }
  // Open-file chooser with a window title; answerers that show no title ask it as
  // ChooseOpenFile.
  virtual bool ChooseOpenFileTitled(const std::string& title, const std::string& defaultExtension,
                                    const std::string& filter, std::string& path) {
    (void)title;
    return ChooseOpenFile(defaultExtension, filter, path);
  }
  // Open-file chooser for several existing files, in the order they were selected;
  // false on Cancel or when nothing was chosen.
  virtual bool ChooseOpenFiles(const std::string& title, const std::string& defaultExtension,
                               const std::string& filter, std::vector<std::string>& paths) {
    (void)title;
    (void)defaultExtension;
    (void)filter;
    (void)paths;
    return false;
  }
  // The results window of a command built in code: its result text and hexadecimal
  // trace. Answerers without that window show the result text as a message.
  virtual void ShowCommandResults(const std::string& resultText, const std::string& hexTrace) {
    (void)hexTrace;
    ShowMessage("Resultado", resultText);
  }

  // --- Scanner capture -------------------------------------------------------------
  // Yes/No/Cancel question: 1 for Yes, 2 for No, 0 for Cancel. Answerers without such a
  // box offer it as a choice of "Sim", "Não" and "Cancelar".
  virtual int AskYesNoCancel(const std::string& caption, const std::string& question) {
    (void)caption;
    const int chosen = Choose(question, {"Sim", "N\xE3o", "Cancelar"});
    return chosen == 1 || chosen == 2 ? chosen : 0;
  }
  // Retry/Cancel message: true for Retry. Answerers without such a box ask it as an
  // OK/Cancel message (OK for Retry).
  virtual bool AskRetryCancel(const std::string& caption, const std::string& text) {
    return AskOkCancel(caption, text);
  }
};

}  // namespace tervane
