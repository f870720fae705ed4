// The memory tools' dialogs: the download range, the fiscal-memory report range and the
// "Registros Tipo E" choice. An answerer that can show them implements MemoryForms
// beside Prompter; with one that cannot, every such dialog counts as cancelled.
#pragma once

#include "core/common/clock.h"
#include "core/common/prompter.h"

namespace tervane {

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

class MemoryForms {
 public:
  virtual ~MemoryForms() = default;

  // Each dialog starts with what `form` holds and returns what was chosen; false on Cancel.
  virtual bool AskMemoryRange(MemoryRangeForm& form) = 0;
  virtual bool AskMfReportRange(MfReportForm& form) = 0;
  virtual bool AskTypeERecords(TypeERecordsForm& form) = 0;
};

// The memory dialogs of the answerer, or null when it has none.
inline MemoryForms* MemoryFormsOf(Prompter& prompter) { return dynamic_cast<MemoryForms*>(&prompter); }

}  // namespace tervane
