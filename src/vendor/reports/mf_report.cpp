#include "vendor/reports/mf_report.h"

#include <cstdlib>
#include <map>
#include <variant>
#include <vector>

#include "core/common/atomic_file.h"
#include "core/common/charset.h"
#include "core/common/text.h"
#include "vendor/reports/document_text.h"

namespace tervane {
namespace {

using vendor::MfReduction;
using vendor::MfUserChange;

std::string Centered(const std::string& text) {
  if (text.size() >= kDocumentWidth) return text;
  return std::string((kDocumentWidth - text.size()) / 2, ' ') + text;
}

// A label on the left, a value on the right edge of the 48 columns.
std::string Row(const std::string& label, const std::string& value) {
  if (label.size() + value.size() + 1 >= kDocumentWidth) return label + " " + value;
  return label + std::string(kDocumentWidth - label.size() - value.size(), ' ') + value;
}

// Sums of money that wrap around rather than overflow: the figures come from a file, and
// a hostile one may hold values near the limits (a real memory never does).
std::int64_t Plus(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}
std::int64_t Minus(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b));
}

std::string DateOf(int yyyymmdd) {
  return Format("%02d/%02d/%04d", yyyymmdd % 100, yyyymmdd / 100 % 100, yyyymmdd / 10000);
}

std::string RateLabel(const vendor::MfRateTotal& rate) {
  return Format("%s %c%c,%c%c%%", rate.iss ? "ISS " : "ICMS", rate.rate[0], rate.rate[1],
                rate.rate[2], rate.rate[3]);
}

// Sums of the selected days.
struct PeriodTotals {
  std::int64_t gross = 0, cancelled = 0, discounts = 0, surcharges = 0;
  std::int64_t exempt = 0, notLevied = 0, substitution = 0;
  std::map<std::string, std::int64_t> rates;  // by RateLabel, in label order

  void Add(const MfReduction& z) {
    gross = Plus(gross, z.gross);
    cancelled = Plus(cancelled, z.cancelled);
    discounts = Plus(discounts, z.discounts);
    surcharges = Plus(surcharges, z.surcharges);
    exempt = Plus(exempt, z.exempt);
    notLevied = Plus(notLevied, z.notLevied);
    substitution = Plus(substitution, z.substitution);
    for (const auto& rate : z.rates) {
      std::int64_t& sum = rates[RateLabel(rate)];
      sum = Plus(sum, rate.total);
    }
  }
};

void AppendDay(std::vector<std::string>& out, std::int64_t gross, std::int64_t cancelled,
               std::int64_t discounts, std::int64_t surcharges, std::int64_t exempt,
               std::int64_t notLevied, std::int64_t substitution) {
  out.push_back(Row("VENDA BRUTA", MoneyText(gross)));
  out.push_back(Row("CANCELAMENTOS", MoneyText(cancelled)));
  out.push_back(Row("DESCONTOS", MoneyText(discounts)));
  out.push_back(Row(Cp("ACRÉSCIMOS"), MoneyText(surcharges)));
  out.push_back(Row(Cp("VENDA LÍQUIDA"), MoneyText(Plus(Minus(Minus(gross, cancelled), discounts), surcharges))));
  out.push_back(Row("ISENTO (II)", MoneyText(exempt)));
  out.push_back(Row(Cp("NÃO INCIDÊNCIA (NN)"), MoneyText(notLevied)));
  out.push_back(Row(Cp("SUBSTITUIÇÃO TRIBUTÁRIA (FF)"), MoneyText(substitution)));
}

bool ParseCounter(const std::string& text, int& value) {
  if (text.empty() || text.size() > 6) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  value = std::atoi(text.c_str());
  return true;
}

}  // namespace

bool ParseMfReportRange(const std::string& kind, const std::string& start, const std::string& end,
                        MfReportRange& range) {
  if (kind.size() != 1) return false;
  MfReportRange parsed;
  const char k = kind[0];
  parsed.simplified = k == 'c' || k == 'd';
  if (k == 'C' || k == 'c') {
    if (!ParseCounter(start, parsed.first) || !ParseCounter(end, parsed.last)) return false;
  } else if (k == 'D' || k == 'd') {
    parsed.byDates = true;
    vendor::MemoryTime first, last;
    if (!vendor::ParseDdMmYy(start, first) || !vendor::ParseDdMmYy(end, last)) return false;
    parsed.first = first.DateKey();
    parsed.last = last.DateKey();
  } else {
    return false;
  }
  range = parsed;
  return true;
}

std::string MoneyText(std::int64_t cents) {
  const bool negative = cents < 0;
  // The magnitude as unsigned, so that the most negative value is printed too.
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(cents)
                                     : static_cast<std::uint64_t>(cents);
  std::string units = std::to_string(magnitude / 100);
  std::string grouped;
  for (size_t i = 0; i < units.size(); ++i) {
    if (i != 0 && (units.size() - i) % 3 == 0) grouped.push_back('.');
    grouped.push_back(units[i]);
  }
  return (negative ? "-" : "") + grouped + Format(",%02d", static_cast<int>(magnitude % 100));
}

std::string MfReportText(const vendor::MfContents& contents, const MfReportRange& range) {
  const auto inRange = [&](const MfReduction& z) {
    const int key = range.byDates ? z.movement.DateKey() : z.crz;
    return key >= range.first && key <= range.last;
  };
  std::vector<const MfReduction*> days;
  for (const auto& entry : contents.entries)
    if (const auto* z = std::get_if<MfReduction>(&entry); z && inRange(*z)) days.push_back(z);
  if (days.empty()) return {};

  const vendor::MfHeader& h = contents.header;
  std::vector<std::string> out;
  out.push_back(Centered(Cp("LEITURA DA MEMÓRIA FISCAL")));
  if (range.simplified) out.push_back(Centered("SIMPLIFICADA"));
  out.push_back(SeparatorLine());
  out.push_back(h.brand + " " + h.model);
  out.push_back("FAB:" + h.serial);
  out.push_back("CNPJ:" + h.cnpj);
  out.push_back("IE:" + h.ie);
  out.push_back(Cp("USUÁRIO:") + Format("%03d", h.user));
  out.push_back(SeparatorLine());
  out.push_back(range.byDates
                    ? Format("INTERVALO POR DATA: %s A %s", DateOf(range.first).c_str(),
                             DateOf(range.last).c_str())
                    : Format("INTERVALO POR CRZ: %06d A %06d", range.first, range.last));
  out.push_back(SeparatorLine());

  PeriodTotals totals;
  for (const auto& entry : contents.entries) {
    if (const auto* u = std::get_if<MfUserChange>(&entry)) {
      // A change of user among the listed days (after the first of them, up to the last).
      if (range.simplified || u->crz < days.front()->crz || u->crz >= days.back()->crz) continue;
      out.push_back(Cp("ALTERAÇÃO DE USUÁRIO: ") + Format("%03d", u->user) + "  " +
                    u->when.DateText() + " " + u->when.TimeText());
      out.push_back("CNPJ:" + u->cnpj + "  IE:" + u->ie);
      out.push_back(Format("CRZ:%06d  CRO:%06d", u->crz, u->cro));
      out.push_back(SeparatorLine());
      continue;
    }
    const MfReduction& z = std::get<MfReduction>(entry);
    if (!inRange(z)) continue;
    totals.Add(z);
    if (range.simplified) continue;
    out.push_back(Format("CRZ:%06d    COO:%06d    CRO:%06d", z.crz, z.coo, z.cro));
    out.push_back("MOVIMENTO: " + z.movement.DateText());
    out.push_back(Cp("EMISSÃO: ") + z.when.DateText() + " " + z.when.TimeText());
    out.push_back(Row("GT", MoneyText(z.grandTotal)));
    AppendDay(out, z.gross, z.cancelled, z.discounts, z.surcharges, z.exempt, z.notLevied,
              z.substitution);
    for (const auto& rate : z.rates) out.push_back(Row(RateLabel(rate), MoneyText(rate.total)));
    out.push_back(SeparatorLine());
  }

  const MfReduction& first = *days.front();
  const MfReduction& last = *days.back();
  out.push_back(Centered(Cp("TOTAIS DO PERÍODO")));
  out.push_back(Format("CRZ INICIAL: %06d   CRZ FINAL: %06d", first.crz, last.crz));
  out.push_back(Format("COO INICIAL: %06d   COO FINAL: %06d", first.coo, last.coo));
  out.push_back(Row("DATA INICIAL: " + first.movement.DateText(),
                    "DATA FINAL: " + last.movement.DateText()));
  out.push_back(Row("GT INICIAL", MoneyText(Minus(first.grandTotal, first.gross))));
  out.push_back(Row("GT FINAL", MoneyText(last.grandTotal)));
  out.push_back(Row(Cp("REDUÇÕES NO PERÍODO"), std::to_string(days.size())));
  AppendDay(out, totals.gross, totals.cancelled, totals.discounts, totals.surcharges,
            totals.exempt, totals.notLevied, totals.substitution);
  for (const auto& [label, total] : totals.rates) out.push_back(Row(label, MoneyText(total)));
  out.push_back(SeparatorLine());

  std::string text;
  for (const std::string& line : out) text += line + "\r\n";
  return text;
}

int WriteMfReport(const std::string& mfPath, const std::string& txtPath, const std::string& kind,
                  const std::string& start, const std::string& end) {
  MfReportRange range;
  if (!ParseMfReportRange(kind, start, end, range)) return 7;
  vendor::MfContents contents;
  const vendor::FileReadResult read = vendor::ReadMfFile(mfPath, contents);
  if (!read.ok()) return read.status == vendor::FileStatus::kNoSerial ? 2 : 6;
  const std::string text = MfReportText(contents, range);
  if (text.empty()) return 6;
  return SaveFileAtomically(txtPath, text, nullptr) ? 0 : 4;
}

}  // namespace tervane
