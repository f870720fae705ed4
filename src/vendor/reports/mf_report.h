// The fiscal-memory report (leitura da memória fiscal) made from an .mf file: 48 columns,
// Windows-1252, lines ended by CR LF.
//
// Range kinds: "C" reductions from CRZ `start` to `end` ("%06ld"), "D" reductions whose
// day of movement lies between two "DDMMYY" dates; lower case ("c", "d") gives the
// simplified report. The normal report lists every reduction in the range (counters,
// moments, grand total, the day's gross and deductions, each tax rate) and the changes of
// user among them, then the totals of the period; the simplified one gives only the range
// (first and last CRZ, COO, date and grand total) and the totals of the period.
#pragma once

#include <cstdint>
#include <string>

#include "vendor/formats/mf_file.h"

namespace tervane {

struct MfReportRange {
  bool byDates = false;
  bool simplified = false;
  int first = 0;  // CRZ, or date as yyyymmdd
  int last = 0;
};

// Reads the range arguments. Returns false for an unknown kind, or start/end texts that
// are not a CRZ number (1 to 6 digits) or a real "DDMMYY" date as the kind asks.
bool ParseMfReportRange(const std::string& kind, const std::string& start, const std::string& end,
                        MfReportRange& range);

// Money as the reports print it: "1.234,56", "-0,50".
std::string MoneyText(std::int64_t cents);

// The report text; empty when no reduction falls in the range.
std::string MfReportText(const vendor::MfContents& contents, const MfReportRange& range);

// Reads `mfPath` and writes the report to `txtPath` (replacing it atomically). Returns 0 on
// success; 2 when the file names no serial number; 6 when it cannot be read, is not a
// valid .mf, or no reduction falls in the range; 7 when the range arguments are not
// understood; 4 when the report cannot be written. Nothing is written on failure.
int WriteMfReport(const std::string& mfPath, const std::string& txtPath, const std::string& kind,
                  const std::string& start, const std::string& end);

}  // namespace tervane
