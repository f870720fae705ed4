#include "sim/detail_tape.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "core/common/charset.h"
#include "sim/command_handler.h"
#include "sim/field_codec.h"
#include "vendor/formats/coupon_item_line.h"

namespace tervane::sim {
namespace {

using vendor::DocumentKind;
using vendor::MfdDocument;

// A literal of this source (UTF-8) as tape text (Windows-1252).
std::string T(const char* utf8) { return Utf8ToCp1252Lossy(utf8); }

// Printer bytes (code page 850 letters) as tape text.
std::string FromPrinter(std::string text) {
  FromPrinterCharset(text);
  return text;
}

std::string Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Line(const char* format, ...) {
  char buffer[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

// "label ........ value" over 48 columns.
std::string Amount(const std::string& label, std::int64_t cents) {
  const std::string value = Money(cents);
  const std::size_t width = 48;
  std::string line = label;
  if (line.size() + value.size() + 1 < width) line.append(width - line.size() - value.size(), ' ');
  else line += ' ';
  return line + value;
}

bool Is(const CommandEntry& e, std::initializer_list<std::uint8_t> escape) {
  return e.escape.size() == escape.size() && std::equal(escape.begin(), escape.end(), e.escape.begin());
}

DocumentKind KindOf(const CommandEntry& e, const PrinterState& state) {
  if (Is(e, {0}) || Is(e, {29})) return DocumentKind::kSale;
  if (Is(e, {14})) return DocumentKind::kSaleCancel;
  if (Is(e, {25}) || Is(e, {19})) return DocumentKind::kNonFiscal;
  if (Is(e, {66})) return DocumentKind::kCardVoucher;
  if (Is(e, {20})) return state.voucherOpen ? DocumentKind::kCardVoucher : DocumentKind::kManagementReport;
  if (Is(e, {6})) return DocumentKind::kReadingX;
  if (Is(e, {5})) return DocumentKind::kReductionZ;
  if (Is(e, {8})) return DocumentKind::kFiscalMemoryReading;
  return DocumentKind::kOther;
}

// Text lines of a report or voucher parameter: printer bytes, lines split at LF (a CR
// before it dropped).
void AddTextLines(MfdDocument& doc, const Bytes& params) {
  std::string text = FromPrinter(std::string(params.begin(), params.end()));
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t eol = text.find('\n', start);
    if (eol == std::string::npos) eol = text.size();
    std::string line = text.substr(start, eol - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!(eol == text.size() && line.empty())) doc.lines.push_back(line);
    start = eol + 1;
  }
}

// The day's venda bruta as the memory files give it: what the grand total grew by since
// the last record (a cancelled coupon stays in both; its value is among the cancellations).
std::int64_t DayGross(const PrinterState& s) { return s.grandTotal - s.memories.grandTotalAtLastRecord; }

void AddReductionLines(MfdDocument& doc, const CommandSnapshot& before, const PrinterState& s) {
  const ReductionRecord& z = s.fiscalMemory.back();
  doc.lines.push_back(T("       REDUÇÃO Z        "));
  doc.lines.push_back(Line("MOVIMENTO DO DIA: %02d/%02d/%04d", z.date.day, z.date.month, z.date.year));
  doc.lines.push_back(Line("CRZ: %04d   CRO: %04d", z.crz, s.cro));
  doc.lines.push_back(Amount(T("VENDA BRUTA DIÁRIA:"), DayGross(s)));
  for (int i = 0; i < s.rateCount && i < kRateCount; ++i) {
    const std::string rate = s.rates[static_cast<std::size_t>(i)];
    doc.lines.push_back(Amount(Line("%s%02d %s%%", s.issBound[static_cast<std::size_t>(i)] ? "S" : "T", i + 1,
                                    rate.c_str()),
                               before.day.byRate[static_cast<std::size_t>(i)]));
  }
  doc.lines.push_back(Amount("ISENTO (II):", before.day.exempt));
  doc.lines.push_back(Amount(T("NÃO INCIDÊNCIA (NN):"), before.day.notLevied));
  doc.lines.push_back(Amount(T("SUBSTITUIÇÃO (FF):"), before.day.substitution));
  doc.lines.push_back(Amount("CANCELAMENTOS:", before.day.cancelled));
  doc.lines.push_back(Amount("DESCONTOS:", before.day.discounts));
  doc.lines.push_back(Amount("GRANDE TOTAL:", s.grandTotal));
}

vendor::MfReduction ReductionRecordOf(const CommandSnapshot& before, const PrinterState& s, const CivilTime& now) {
  const ReductionRecord& z = s.fiscalMemory.back();
  vendor::MfReduction r;
  r.crz = z.crz;
  r.coo = z.coo;
  r.cro = s.cro;
  r.when = ToMemoryTime(now);
  r.movement = vendor::MemoryTime{z.date.year, z.date.month, z.date.day, 0, 0, 0};
  r.grandTotal = s.grandTotal;
  r.gross = DayGross(s);
  r.cancelled = before.day.cancelled;
  r.discounts = before.day.discounts;
  r.surcharges = before.day.surcharges;
  r.exempt = before.day.exempt;
  r.notLevied = before.day.notLevied;
  r.substitution = before.day.substitution;
  for (int i = 0; i < s.rateCount && i < kRateCount; ++i) {
    const auto n = static_cast<std::size_t>(i);
    r.rates.push_back({s.rates[n], s.issBound[n], before.day.byRate[n]});
  }
  return r;
}

// Lines a command adds to the document it opened or continues.
void AddCommandLines(const CommandEntry& e, const Bytes& params, const CommandSnapshot& before,
                     const PrinterState& s, MfdDocument& doc) {
  const Coupon& c = s.coupon;
  if (Is(e, {0})) {
    doc.lines.push_back("CUPOM FISCAL");
    const std::string buyer = TrimRight(FromPrinter(std::string(params.begin(), params.end())));
    if (!buyer.empty()) doc.lines.push_back("CPF/CNPJ consumidor: " + buyer);
    doc.lines.push_back(T("ITEM CÓDIGO       DESCRIÇÃO       ALÍQ. VALOR R$"));
  } else if (Is(e, {29})) {
    doc.lines.push_back("BILHETE DE PASSAGEM");
  } else if ((Is(e, {9}) || Is(e, {56})) && c.items.size() > before.items) {
    const CouponItem& item = c.items.back();
    vendor::CouponItemLine line;
    line.number = static_cast<int>(c.items.size());
    line.code = TrimRight(item.code);
    line.description = TrimRight(FromPrinter(item.description));
    line.rate = item.rate;
    line.total = item.gross;
    line.quantityMilli = item.quantityMilli;
    line.unitPriceMilli = item.unitPriceMilli;
    doc.lines.push_back(vendor::ItemLineText(line));
    doc.lines.push_back(vendor::ItemQuantityLineText(line));
    if (item.discount > 0) doc.lines.push_back(Amount("   desconto item", -item.discount));
  } else if (Is(e, {31})) {
    doc.lines.push_back(Line("CANCELAMENTO ITEM %s", FieldText(params, 0, params.size()).c_str()));
  } else if (Is(e, {58})) {
    doc.lines.push_back(T("ACRÉSCIMO/DESCONTO EM ITEM"));
  } else if (Is(e, {32})) {
    doc.lines.push_back(Amount("SUBTOTAL R$", c.ItemsTotal()));
    if (c.adjustment != 0) doc.lines.push_back(Amount(c.adjustment > 0 ? T("ACRÉSCIMO") : "DESCONTO", c.adjustment));
    doc.lines.push_back(Amount("TOTAL R$", c.Total()));
  } else if (Is(e, {72}) && c.payments.size() > before.payments) {
    const CouponPayment& pay = c.payments.back();
    const std::string name = TrimRight(FromPrinter(s.payments[static_cast<std::size_t>(pay.method - 1)].description));
    doc.lines.push_back(Amount(name, pay.amount));
  } else if (Is(e, {34}) || Is(e, {10})) {
    std::int64_t paid = 0;
    for (const CouponPayment& pay : s.last.payments) paid += pay.amount;
    doc.lines.push_back(Amount("TROCO R$", paid - s.last.total));
    if (Is(e, {34})) AddTextLines(doc, params);
  } else if (Is(e, {14})) {
    doc.lines.push_back("CUPOM FISCAL CANCELADO");
    doc.lines.push_back(Line("COO DO CUPOM CANCELADO: %06d", s.last.coo));
    doc.lines.push_back(Amount("VALOR CANCELADO R$", s.last.total));
  } else if (Is(e, {25})) {
    doc.lines.push_back(T("COMPROVANTE NÃO FISCAL"));
    doc.lines.push_back(Amount("SANGRIA R$", s.day.bleed - before.day.bleed));
  } else if (Is(e, {19})) {
    doc.lines.push_back(T("COMPROVANTE NÃO FISCAL"));
    std::int64_t received = 0;
    for (int i = 0; i < kNonFiscalTotalizers; ++i)
      received += s.day.nonFiscal[static_cast<std::size_t>(i)] - before.day.nonFiscal[static_cast<std::size_t>(i)];
    doc.lines.push_back(Amount("RECEBIMENTO R$", received + (s.day.supply - before.day.supply)));
  } else if (Is(e, {66})) {
    doc.lines.push_back(T("COMPROVANTE CRÉDITO OU DÉBITO"));
    doc.lines.push_back(Line("COO DO CUPOM VINCULADO: %06d", s.last.coo));
    doc.lines.push_back(Amount("FORMA DE PAGAMENTO: " + TrimRight(FromPrinter(FieldText(params, 0, 16))), s.last.total));
  } else if (Is(e, {20})) {
    if (before.coo != s.coo) doc.lines.push_back(T("RELATÓRIO GERENCIAL"));
    AddTextLines(doc, params);
  } else if (Is(e, {21})) {
    doc.lines.push_back("");
  } else if (Is(e, {6})) {
    doc.lines.push_back("LEITURA X");
    doc.lines.push_back(Amount("VENDA BRUTA:", s.day.gross));
    doc.lines.push_back(Amount("GRANDE TOTAL:", s.grandTotal));
    doc.lines.push_back(Line("CRZ: %04d   CRO: %04d", s.crz, s.cro));
  } else if (Is(e, {5})) {
    AddReductionLines(doc, before, s);
  } else if (before.coo != s.coo) {
    doc.lines.push_back(TrimRight(T(e.title.c_str())));
  }
}

}  // namespace

vendor::MemoryTime ToMemoryTime(const CivilTime& t) {
  vendor::MemoryTime m{t.year, t.month, t.day, t.hour, t.minute, t.second};
  return m.Valid() ? m : vendor::MemoryTime{};
}

CommandSnapshot TakeSnapshot(const PrinterState& state) {
  CommandSnapshot s;
  s.coo = state.coo;
  s.user = state.user;
  s.crz = state.crz;
  s.reductions = state.fiscalMemory.size();
  s.items = state.coupon.items.size();
  s.payments = state.coupon.payments.size();
  s.day = state.day;
  s.grandTotal = state.grandTotal;
  return s;
}

void RecordPowerFailure(PrinterState& state, const CivilTime& now) {
  state.memories.tape.emplace_back(
      vendor::MfdMarker{vendor::MarkerKind::kPowerFailure, ToMemoryTime(now), state.user, state.coo});
}

void RecordOnTape(const CommandEntry& entry, const Bytes& params, const CommandSnapshot& before,
                  PrinterState& state, const CivilTime& now) {
  PrinterMemories& m = state.memories;
  const vendor::MemoryTime when = ToMemoryTime(now);

  if (state.user != before.user) {
    m.tape.emplace_back(vendor::MfdMarker{vendor::MarkerKind::kUserChange, when, state.user, before.coo});
    m.fiscal.emplace_back(vendor::MfUserChange{state.user, TrimRight(state.cnpj), TrimRight(state.ie), when,
                                               before.crz, state.cro});
    m.grandTotalAtLastRecord = state.grandTotal;
  }
  const bool reduced = state.fiscalMemory.size() > before.reductions;
  if (reduced) m.fiscal.emplace_back(ReductionRecordOf(before, state, now));

  MfdDocument* doc = nullptr;
  // A new COO is a new document; a counter set back to 0 (a new user) prints nothing.
  if (state.coo != before.coo && state.coo != 0) {
    MfdDocument fresh;
    fresh.coo = state.coo;
    fresh.user = state.user;
    fresh.when = when;
    fresh.kind = KindOf(entry, state);
    m.tape.emplace_back(std::move(fresh));
    doc = &std::get<MfdDocument>(m.tape.back());
  } else if (!m.tape.empty()) {
    // Only a document still being printed takes more lines.
    auto* last = std::get_if<MfdDocument>(&m.tape.back());
    const bool open = state.coupon.open || state.reportOpen || state.voucherOpen || Is(entry, {34}) ||
                      Is(entry, {10}) || Is(entry, {21});
    if (last && last->coo == state.coo && open) doc = last;
  }
  if (doc) AddCommandLines(entry, params, before, state, *doc);
  if (reduced) m.grandTotalAtLastRecord = state.grandTotal;
}

}  // namespace tervane::sim
