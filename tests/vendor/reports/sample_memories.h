// Detail-tape and fiscal memories made with the file writers, for the report tests.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "core/common/charset.h"
#include "vendor/formats/mf_file.h"
#include "vendor/formats/mfd_file.h"

namespace tervane::vendortest {

inline vendor::MemoryTime At(int day, int month, int hour, int minute = 0) {
  return {2026, month, day, hour, minute, 0};
}

// An item line as the printer records it.
inline std::string ItemLine(int number, const char* code, const char* description,
                            const char* rate, const char* value) {
  char line[64];
  std::snprintf(line, sizeof line, "%03d %-13.13s %-14.14s %-3.3s %9s", number, code,
                description, rate, value);
  return line;
}

inline vendor::MfdDocument Document(int coo, int user, vendor::MemoryTime when,
                                    vendor::DocumentKind kind,
                                    std::vector<std::string> lines = {}) {
  return {coo, user, when, kind, std::move(lines)};
}

// A day of user 1 (sale, a power failure, a card voucher and its reprint, a Z reduction),
// then the next day after a change to user 2 (sale, management report).
inline vendor::MfdContents SampleMfd() {
  using K = vendor::DocumentKind;
  vendor::MfdContents c;
  c.header = {"QV010000000000000123", "QUORVEXA", "ZT-310 A", 2, vendor::MfdRange::kTotal,
              1, 2, At(1, 12, 9), At(2, 12, 18)};
  c.entries.push_back(Document(
      1, 1, At(1, 12, 9), K::kSale,
      {"CUPOM FISCAL", Cp("ITEM CÓDIGO        DESCRIÇÃO     ALÍQ.   VALOR R$"),
       ItemLine(1, "7891000100103", "ARROZ 5KG", "T01", "21,50"),
       ItemLine(2, "7891000200200", "FEIJAO 1KG", "T01", "16,50"),
       "   desconto item                           -1,50",
       ItemLine(3, "123", "SAL", "F1", "2,00"),
       "CANCELAMENTO ITEM 003",
       "TOTAL R$                                   36,50"}));
  c.entries.push_back(vendor::MfdMarker{vendor::MarkerKind::kPowerFailure, At(1, 12, 10), 1, 1});
  c.entries.push_back(Document(2, 1, At(1, 12, 11), K::kSale,
                               {"CUPOM FISCAL", ItemLine(1, "123", "CAFE 500G", "T02", "1234,90"),
                                "TOTAL R$                                 1234,90"}));
  c.entries.push_back(Document(3, 1, At(1, 12, 11, 5), K::kCardVoucher,
                               {Cp("COMPROVANTE CRÉDITO OU DÉBITO"), "COO DO CUPOM VINCULADO: 000002"}));
  c.entries.push_back(Document(4, 1, At(1, 12, 11, 6), K::kVoucherReprint,
                               {"COO DO CUPOM VINCULADO: 000002"}));
  c.entries.push_back(Document(5, 1, At(1, 12, 18), K::kReductionZ,
                               {Cp("       REDUÇÃO Z        "), "CRZ: 0001   CRO: 0001"}));
  c.entries.push_back(vendor::MfdMarker{vendor::MarkerKind::kUserChange, At(2, 12, 8), 2, 5});
  c.entries.push_back(Document(1, 2, At(2, 12, 9), K::kSale,
                               {"CUPOM FISCAL", ItemLine(1, "555", "LEITE 1L", "T01", "12,00")}));
  c.entries.push_back(Document(2, 2, At(2, 12, 18), K::kManagementReport, {"SANGRIA 10,00"}));
  return c;
}

// The file as downloaded (frame, stream; no signature needed by the readers).
inline std::string MfdFile(const vendor::MfdContents& contents) {
  return vendor::MfdFrameBytes(vendor::MfdStreamBytes(contents));
}

inline vendor::MfReduction Reduction(int crz, int coo, int day, std::int64_t previousGt,
                                     std::int64_t gross) {
  vendor::MfReduction z;
  z.crz = crz;
  z.coo = coo;
  z.cro = 1;
  z.when = At(day, 12, 18);
  z.movement = At(day, 12, 0);
  z.grandTotal = previousGt + gross;
  z.gross = gross;
  z.cancelled = 100;
  z.discounts = 50;
  z.surcharges = 25;
  z.exempt = 1000;
  z.rates = {{"1800", false, gross - 1000 - 125}, {"0500", true, 125}};
  return z;
}

// Three days of user 1 (CRZ 1 to 3 on 1, 2 and 4 December 2026), a change to user 2, then
// two days of user 2 (CRZ 4 and 5 on 5 and 6 December).
inline vendor::MfContents SampleMf() {
  vendor::MfContents c;
  c.header = {"QV010000000000000123", "QUORVEXA", "ZT-310 A", 2,
              "11222333000181", "123456789", At(7, 12, 10)};
  std::int64_t gt = 0;
  const int days[] = {1, 2, 4, 5, 6};
  const std::int64_t gross[] = {100000, 250050, 123456789, 5000, 7000};
  for (int i = 0; i < 5; ++i) {
    if (i == 3)
      c.entries.emplace_back(vendor::MfUserChange{2, "99888777000166", "987654321", At(5, 12, 8), 3, 1});
    c.entries.emplace_back(std::in_place_type<vendor::MfReduction>,
                           Reduction(i + 1, 10 * (i + 1), days[i], gt, gross[i]));
    gt += gross[i];
  }
  return c;
}

}  // namespace tervane::vendortest
