#include "core/fiscalmemory/memory_ranges.h"

#include "core/common/text.h"

namespace tervane {

std::string VendorDateText(const CivilTime& date) {
  return Format("%02d%02d%02d", date.day, date.month, date.year % 100);
}

VendorRange MemoryRangeArguments(const MemoryRangeForm& form) {
  switch (form.kind) {
    case MemoryRangeForm::Kind::kCoo:
      return {"2", Format("%06ld", form.firstCoo), Format("%06ld", form.lastCoo), Format("%03d", form.user)};
    case MemoryRangeForm::Kind::kDates:
      return {"1", VendorDateText(form.firstDate), VendorDateText(form.lastDate), ""};
    case MemoryRangeForm::Kind::kTotal:
      break;
  }
  return {"0", "", "", ""};
}

VendorRange MfReportArguments(const MfReportForm& form) {
  VendorRange range;
  if (form.byReductions) {
    range.kind = form.simplified ? "c" : "C";
    range.start = Format("%06ld", form.firstReduction);
    range.end = Format("%06ld", form.lastReduction);
  } else {
    range.kind = form.simplified ? "d" : "D";
    range.start = VendorDateText(form.firstDate);
    range.end = VendorDateText(form.lastDate);
  }
  return range;
}

VendorRange TypeEArguments(const TypeERecordsForm& form) {
  switch (form.period) {
    case TypeERecordsForm::Period::kReductions:
      return {"0", Format("%06ld", form.firstReduction), Format("%06ld", form.lastReduction), ""};
    case TypeERecordsForm::Period::kDates:
      return {"1", VendorDateText(form.firstDate), VendorDateText(form.lastDate), ""};
    case TypeERecordsForm::Period::kTotal:
      break;
  }
  return {"0", "000000", "999999", ""};
}

std::string TypeERecordCode(TypeERecordsForm::Record record) {
  switch (record) {
    case TypeERecordsForm::Record::kMf: return "0";
    case TypeERecordsForm::Record::kMfd: return "1";
    case TypeERecordsForm::Record::kTdm: return "2";
    case TypeERecordsForm::Record::kRz: return "3";
  }
  return "0";
}

}  // namespace tervane
