// The memory tools' dialogs: the range dialog ("Intervalo"), the fiscal-memory report's
// range and the "Registros Tipo E" dialog. Each starts from a form and, once accepted,
// returns the choice as a form; the Qt prompter shows them.
#pragma once

#include <QDialog>

#include "core/common/prompter.h"
#include "core/fiscalmemory/memory_forms.h"

class QCheckBox;
class QDateEdit;
class QRadioButton;
class QSpinBox;

namespace tervane::gui {

// "Intervalo": "C&OOs:" with first and last COO (0-999999) and "&Usuário:" (0-255),
// "&Datas:" with two date pickers, or "Total &Lógico"; "&Iniciar" and "&Cancelar".
class CRangeDlg final : public QDialog {
  Q_OBJECT

 public:
  CRangeDlg(QWidget* parent, const MemoryRangeForm& form);
  MemoryRangeForm Form() const;

  QRadioButton* CooChoice() const { return coo_; }
  QRadioButton* DatesChoice() const { return dates_; }
  QRadioButton* TotalChoice() const { return total_; }
  QSpinBox* FirstCoo() const { return firstCoo_; }
  QSpinBox* LastCoo() const { return lastCoo_; }
  QSpinBox* User() const { return user_; }
  QDateEdit* FirstDate() const { return firstDate_; }
  QDateEdit* LastDate() const { return lastDate_; }

 private:
  void UpdateEnabled();

  QRadioButton* coo_;
  QRadioButton* dates_;
  QRadioButton* total_;
  QSpinBox* firstCoo_;
  QSpinBox* lastCoo_;
  QSpinBox* user_;
  QDateEdit* firstDate_;
  QDateEdit* lastDate_;
};

// The fiscal-memory report: "CRZ" ("CRZ inicial:", "CRZ final:", 0-999999) or "Data"
// ("Data inicial:", "Data final:"), and "Simplificada".
class CMfReportDlg final : public QDialog {
  Q_OBJECT

 public:
  CMfReportDlg(QWidget* parent, const MfReportForm& form);
  MfReportForm Form() const;

  QRadioButton* ReductionsChoice() const { return reductions_; }
  QRadioButton* DatesChoice() const { return dates_; }
  QSpinBox* FirstReduction() const { return firstReduction_; }
  QSpinBox* LastReduction() const { return lastReduction_; }
  QDateEdit* FirstDate() const { return firstDate_; }
  QDateEdit* LastDate() const { return lastDate_; }
  QCheckBox* Simplified() const { return simplified_; }

 private:
  void UpdateEnabled();

  QRadioButton* reductions_;
  QRadioButton* dates_;
  QSpinBox* firstReduction_;
  QSpinBox* lastReduction_;
  QDateEdit* firstDate_;
  QDateEdit* lastDate_;
  QCheckBox* simplified_;
};

// "Registros Tipo E": the record type ("Tipo de registro") and the period ("Período":
// reductions, dates or "Total").
class CTypeERecordsDlg final : public QDialog {
  Q_OBJECT

 public:
  CTypeERecordsDlg(QWidget* parent, const TypeERecordsForm& form);
  TypeERecordsForm Form() const;

  QRadioButton* RecordChoice(TypeERecordsForm::Record record) const { return records_[static_cast<int>(record)]; }
  QRadioButton* PeriodChoice(TypeERecordsForm::Period period) const { return periods_[static_cast<int>(period)]; }
  QSpinBox* FirstReduction() const { return firstReduction_; }
  QSpinBox* LastReduction() const { return lastReduction_; }
  QDateEdit* FirstDate() const { return firstDate_; }
  QDateEdit* LastDate() const { return lastDate_; }

 private:
  void UpdateEnabled();

  QRadioButton* records_[4];
  QRadioButton* periods_[3];
  QSpinBox* firstReduction_;
  QSpinBox* lastReduction_;
  QDateEdit* firstDate_;
  QDateEdit* lastDate_;
};

}  // namespace tervane::gui
