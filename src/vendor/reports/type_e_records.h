// Type E records: fixed-width text records of the memories for the tax authority's
// systems, one record per line ended by CR LF, Windows-1252. Numbers are right-aligned
// and zero-filled (a negative one starts with "-"), texts left-aligned and blank-filled,
// dates YYYYMMDD, times HHMMSS, money in cents.
//
// Record type (argument 9): "0" MF (input .mf), "1" MFD, "2" TDM, "3" RZ (input .mfd).
// Period (arguments 3-5): "0" reductions CRZ start..end (up to 6 digits), "1" dates
// "DDMMYY"..."DDMMYY". An .mfd document belongs to the reduction that closed its day: the
// next Z reduction printed after it (its CRZ read from its "CRZ:" line, or the previous
// one plus 1), documents after the last reduction to the day still open.
//
//   E01 identification   serial 20, maker 20, model 20, model name given 20, record type 1,
//                        period kind 1, start 8, end 8
//   E02 owner (MF)       serial 20, user 3, CNPJ 14, IE 14
//   E12 reduction        serial 20, user 3, CRZ 6, COO 9, CRO 6, movement date 8, date 8,
//                        time 6, GT 18, gross 14, cancelled 14, discounts 14, surcharges 14
//   E13 totaliser        serial 20, CRZ 6, code 7, value 13 (codes: "01T1800" position and
//                        ICMS rate, "02S0500" ISS rate, "I1", "N1", "F1", "Can-T", "DT", "AT")
//   E14 coupon           serial 20, user 3, COO 9, date 8, time 6, total 14
//   E15 coupon item      serial 20, user 3, COO 9, item 3, code 14, description 40, rate 7,
//                        value 13, discount 13, cancelled "S"/"N"
//   E16 other document   serial 20, user 3, COO 9, kind 2, title 40, date 8, time 6
//   E17 marker (TDM)     serial 20, kind 1 (1 power failure, 2 user change), date 8,
//                        time 6, user 3, last COO 9
//
// MF gives E01, E02, then E12 and its E13 per reduction; MFD gives E01, then E14 with its
// E15 per coupon and E16 per other document; TDM adds E17 for the markers in between; RZ
// gives E01 and one E12 per Z reduction printed, with what its printed lines state
// (movement date, CRZ, CRO, gross, cancellations, discounts, grand total).
#pragma once

#include <string>

namespace tervane {

struct TypeERequest {
  std::string inFile;
  std::string outFile;
  std::string periodKind;
  std::string start;
  std::string end;
  std::string modelName;
  std::string recordType;
};

// Makes the records and writes them to `outFile` (replacing it atomically). Returns 0 on
// success; 2 when the input names no serial number; 6 when it cannot be read, is not a
// valid file of its type, or nothing falls in the period; 7 when the record type or the
// period is not understood; 4 when the output cannot be written. Nothing is written on
// failure.
int WriteTypeERecords(const TypeERequest& request);

}  // namespace tervane
