// The texts the memory libraries take for a range, made from what the dialogs hold.
#pragma once

#include <string>

#include "core/fiscalmemory/memory_forms.h"

namespace tervane {

// A range as the library calls take it: kind, start, end and user texts.
struct VendorRange {
  std::string kind;
  std::string start;
  std::string end;
  std::string user;
};

// "%02d%02d%02d": day, month and year modulo 100.
std::string VendorDateText(const CivilTime& date);

// The range dialog's choice: COOs → "2", "%06ld" COOs, "%03d" user; dates → "1",
// VendorDateText, empty user; total → "0" and empty texts.
VendorRange MemoryRangeArguments(const MemoryRangeForm& form);

// The MF report's choice: kind "C" by reductions, "D" by dates ("c", "d" when
// simplified); start and end "%06ld" reductions or VendorDateText dates; no user.
VendorRange MfReportArguments(const MfReportForm& form);

// The Type E period: "0" by reductions ("%06ld"), "1" by dates (VendorDateText); the
// whole memory ("Total") is the reductions from 000000 to 999999.
VendorRange TypeEArguments(const TypeERecordsForm& form);

// The record type code of a Type E record: MF "0", MFD "1", TDM "2", RZ "3".
std::string TypeERecordCode(TypeERecordsForm::Record record);

}  // namespace tervane
