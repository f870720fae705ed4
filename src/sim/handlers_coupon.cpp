// The fiscal coupon: open, sell, adjust, totalize, pay, close, cancel; the passenger
// ticket that shares its life cycle; and the fiscal day rules that gate them.
#include <algorithm>
#include <cctype>

#include "sim/command_handler.h"
#include "sim/field_codec.h"

namespace tervane::sim {
namespace {

// An item's value has at most 11 digits (cents included). This also keeps every total
// and percentage product of a coupon far inside 64 bits.
constexpr std::int64_t kMaxItemCents = 99'999'999'999;

// The position (0-15) of a programmed rate for a tax code "01".."16"; -1 for the
// exempt, substitution and not-levied codes; -2 for a code that cannot be used.
int RatePosition(const PrinterState& s, const std::string& code) {
  if (code == "II" || code == "FF" || code == "NN") return -1;
  if (!AllDigits(code)) return -2;
  const int n = std::stoi(code);
  if (n < 1 || n > s.rateCount || s.rates[n - 1] == "0000") return -2;
  return n - 1;
}

bool HasLetter(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) >= 0x80;
  });
}

}  // namespace

bool CommandHandler::RefuseIfDocumentOpen(Response& r) {
  if (state_.coupon.open) {
    r.Refuse(st1::kCouponOpen, st2::kNotExecuted, ext::kCfAberto);
    return true;
  }
  if (state_.reportOpen || state_.voucherOpen) {
    r.Refuse(0, st2::kNotExecuted, ext::kNaoFiscalAberto);
    return true;
  }
  return false;
}

bool CommandHandler::RefuseUnlessSaleAllowed(Response& r) {
  if (state_.intervention) {
    r.Refuse(0, st2::kNotExecuted, ext::kEmIntervencaoTecnica);
    return true;
  }
  if (TrimRight(state_.cnpj).empty()) {
    r.Refuse(0, st2::kOwnerNotProgrammed | st2::kNotExecuted, ext::kAguardandoPrimeiroProprietario);
    return true;
  }
  return RefuseIfNotFiscalDayOpen(r);
}

bool CommandHandler::RefuseIfNotFiscalDayOpen(Response& r) {
  const SimDate today = Today();
  if (state_.reducedToday && state_.reducedDate == today) {
    r.Refuse(0, st2::kNotExecuted, ext::kBloqueioPorRz);
    return true;
  }
  if (state_.hasMovement && state_.movementDate != today) {
    r.Refuse(0, st2::kNotExecuted, ext::kAguardandoRz);
    return true;
  }
  return false;
}

void CommandHandler::StartDocument() {
  state_.coo = state_.coo >= 999999 ? 1 : state_.coo + 1;
  state_.last.cancellable = false;
}

void CommandHandler::NoteMovement() {
  if (!state_.hasMovement) {
    state_.hasMovement = true;
    state_.movementDate = Today();
  }
}

void CommandHandler::OpenCoupon(const Bytes&, Response& r) {
  if (RefuseIfDocumentOpen(r) || RefuseUnlessSaleAllowed(r)) return;
  if (state_.ticketMode) {
    r.Refuse(0, st2::kNotExecuted, ext::kComandoNaoExecutadoImprBilhetePassagem);
    return;
  }
  StartDocument();
  NoteMovement();
  state_.coupon = Coupon{};
  state_.coupon.open = true;
}

void CommandHandler::AddItem(CouponItem item, Response& r) {
  Coupon& c = state_.coupon;
  if (!c.open) {
    r.Refuse(0, st2::kNotExecuted, ext::kCfNaoAberto);
    return;
  }
  if (c.totalized) {
    r.Refuse(0, st2::kNotExecuted, ext::kCfJaSubtotalizado);
    return;
  }
  if (static_cast<int>(c.items.size()) >= kMaxItems) {
    r.Refuse(0, st2::kNotExecuted, ext::kNumeroMaximoItensAtingido);
    return;
  }
  if (RatePosition(state_, item.rate) == -2) {
    r.Refuse(0, st2::kRateNotProgrammed | st2::kNotExecuted, ext::kAliqNaoProgramada);
    return;
  }
  if (!HasLetter(item.description)) {
    r.Refuse(0, st2::kNotExecuted, ext::kDescricaoSemCaracterAlfabeticoNaoPermitido);
    return;
  }
  if (item.gross <= 0) {
    r.Refuse(0, st2::kNotExecuted, ext::kVendaValorNulo);
    return;
  }
  if (item.gross > kMaxItemCents) {
    r.Refuse(0, st2::kNotExecuted, ext::kValorTotalItemExcede11Digitos);
    return;
  }
  if (item.discount > item.gross) {
    r.Refuse(0, st2::kNotExecuted, ext::kDescontoMaiorQueValorItem);
    return;
  }
  c.items.push_back(std::move(item));
}

void CommandHandler::SellItem(const Bytes& p, Response& r) {
  std::int64_t quantity = 0, unit = 0, percent = 0;
  if (!FieldDigits(p, 44, 4, &quantity) || !FieldDigits(p, 48, 8, &unit) || !FieldDigits(p, 56, 4, &percent)) {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  CouponItem item;
  item.code = FieldText(p, 0, 13);
  item.description = FieldText(p, 13, 29);
  item.rate = FieldText(p, 42, 2);
  item.gross = quantity * unit;
  item.quantityMilli = quantity * 1000;
  item.unitPriceMilli = unit * 10;
  item.discount = item.gross * percent / 10000;  // the printer truncates
  AddItem(std::move(item), r);
}

void CommandHandler::SellItem3(const Bytes& p, Response& r) {
  std::int64_t quantity = 0, unit = 0;  // thousandths
  if (!FieldDigits(p, 44, 7, &quantity) || !FieldDigits(p, 51, 8, &unit)) {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  CouponItem item;
  item.code = FieldText(p, 0, 13);
  item.description = FieldText(p, 13, 29);
  item.rate = FieldText(p, 42, 2);
  item.gross = quantity * unit / 10000;  // thousandths times thousandths, to cents
  item.quantityMilli = quantity;
  item.unitPriceMilli = unit;
  const std::size_t discountSize = p.size() - 59;
  std::int64_t discount = 0;
  if (discountSize == 4) {  // a percentage with two decimals
    if (!FieldDigits(p, 59, 4, &discount)) {
      r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
      return;
    }
    item.discount = item.gross * discount / 10000;
  } else if (discountSize == 14) {  // a value in cents
    if (!FieldDigits(p, 59, 14, &discount)) {
      r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
      return;
    }
    item.discount = discount;
  } else if (discountSize != 0) {
    r.Refuse(st1::kParameterCount, 0, ext::kNumeroParametrosInvalido);
    return;
  }
  AddItem(std::move(item), r);
}

void CommandHandler::CancelItem(const Bytes& p, Response& r) {
  std::int64_t number = 0;
  if (!FieldDigits(p, 0, 3, &number)) {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  Coupon& c = state_.coupon;
  if (!c.open) {
    r.Refuse(0, st2::kNotExecuted, ext::kCfNaoAberto);
    return;
  }
  if (c.totalized) {
    r.Refuse(0, st2::kNotExecuted, ext::kCfJaSubtotalizado);
    return;
  }
  if (number == 0) {
    r.Refuse(0, st2::kNotExecuted, ext::kNumeroItemNuloNaoPermitido);
    return;
  }
  if (number > static_cast<std::int64_t>(c.items.size()) || c.items[number - 1].cancelled) {
    r.Refuse(0, st2::kNotExecuted, ext::kItemNaoExisteOuJaCancelado);
    return;
  }
  c.items[number - 1].cancelled = true;
}

void CommandHandler::ItemAdjustment(const Bytes& p, Response& r) {
  const char letter = static_cast<char>(p[0]);
  std::int64_t number = 0, amount = 0;
  const bool byValue = p.size() == 12;
  if (p.size() != 12 && p.size() != 8) {  // letter, item, and 4 percentage or 8 value digits
    r.Refuse(st1::kParameterCount, 0, ext::kNumeroParametrosInvalido);
    return;
  }
  if (!FieldDigits(p, 1, 3, &number) || !FieldDigits(p, 4, p.size() - 4, &amount)) {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  if (letter != 'A' && letter != 'D') {
    r.Refuse(0, st2::kParameterType, ext::kParAcrescimoDescontoInvalido);
    return;
  }
  Coupon& c = state_.coupon;
  if (!c.open) {
    r.Refuse(0, st2::kNotExecuted, ext::kCfNaoAberto);
    return;
  }
  if (c.totalized) {
    r.Refuse(0, st2::kNotExecuted, ext::kCfJaSubtotalizado);
    return;
  }
  if (number == 0 || number > static_cast<std::int64_t>(c.items.size()) || c.items[number - 1].cancelled) {
    r.Refuse(0, st2::kNotExecuted, ext::kItemNaoExisteOuJaCancelado);
    return;
  }
  CouponItem& item = c.items[number - 1];
  const std::int64_t value = byValue ? amount : item.gross * amount / 10000;
  if (letter == 'A') {
    if (item.surcharge > 0) {
      r.Refuse(0, st2::kNotExecuted, ext::kAcrescimoItemJaEfetuado);
    } else if (value == 0) {
      r.Refuse(0, st2::kNotExecuted, ext::kAcrescimoNuloNaoPermitido);
    } else {
      item.surcharge = value;
    }
    return;
  }
  const int position = RatePosition(state_, item.rate);
  if (position >= 0 && state_.issBound[position] && !state_.issDiscount) {
    r.Refuse(0, st2::kNotExecuted, ext::kDescontoIssNaoPermitido);
  } else if (item.discount > 0) {
    r.Refuse(0, st2::kNotExecuted, ext::kDescontoItemJaEfetuado);
  } else if (value == 0) {
    r.Refuse(0, st2::kNotExecuted, ext::kDescontoNuloNaoPermitido);
  } else if (value >= item.gross + item.surcharge) {
    r.Refuse(0, st2::kNotExecuted, ext::kDescontoMaiorQueValorItem);
  } else {
    item.discount = value;
  }
}

namespace {

// Reads a subtotal surcharge/discount text: "A"/"D" + 4 percentage digits, "a"/"d" + 14
// value digits, and (when `allowBoth`) "X" + both surcharge and discount. Returns false
// on any other form. `adjustment` is positive for a surcharge.
bool ParseSubtotalAdjustment(const Bytes& p, std::size_t size, std::int64_t total, bool allowBoth,
                             std::int64_t* adjustment) {
  if (size == 0) return false;
  const char letter = static_cast<char>(p[0]);
  std::int64_t a = 0, b = 0;
  if ((letter == 'A' || letter == 'D') && size == 5 && FieldDigits(p, 1, 4, &a)) {
    const std::int64_t v = total * a / 10000;
    *adjustment = letter == 'A' ? v : -v;
    return true;
  }
  if ((letter == 'a' || letter == 'd') && size == 15 && FieldDigits(p, 1, 14, &a)) {
    *adjustment = letter == 'a' ? a : -a;
    return true;
  }
  if (allowBoth && letter == 'X') {
    if (size == 9 && FieldDigits(p, 1, 4, &a) && FieldDigits(p, 5, 4, &b)) {
      *adjustment = total * a / 10000 - total * b / 10000;
      return true;
    }
    if (size == 29 && FieldDigits(p, 1, 14, &a) && FieldDigits(p, 15, 14, &b)) {
      *adjustment = a - b;
      return true;
    }
  }
  return false;
}

// Totalizes an open coupon with the surcharge or discount in the first `size` bytes of
// `p` (the short close's form when `shortForm`). False, with the refusal in `r`, when the
// coupon is not open, already totalized, empty, or the adjustment is malformed or would
// take the whole total.
bool TotalizeCoupon(Coupon& c, const Bytes& p, std::size_t size, bool shortForm, Response& r) {
  if (!c.open) {
    r.Refuse(0, st2::kNotExecuted, ext::kCfNaoAberto);
    return false;
  }
  if (c.totalized) {
    r.Refuse(0, st2::kNotExecuted, ext::kCfJaSubtotalizado);
    return false;
  }
  if (c.LiveItems() == 0) {
    r.Refuse(0, st2::kNotExecuted, ext::kCfSemItemVendido);
    return false;
  }
  std::int64_t adjustment = 0;
  if (!ParseSubtotalAdjustment(p, size, c.ItemsTotal(), shortForm, &adjustment)) {
    r.Refuse(0, st2::kParameterType, ext::kParamAcresDescInvalido);
    return false;
  }
  if (-adjustment >= c.ItemsTotal()) {
    r.Refuse(0, st2::kNotExecuted, ext::kAcrescDescMaiorQueTotalCf);
    return false;
  }
  c.adjustment = adjustment;
  c.totalized = true;
  return true;
}

}  // namespace

void CommandHandler::Totalize(const Bytes& p, Response& r) {
  TotalizeCoupon(state_.coupon, p, p.size(), false, r);
}

void CommandHandler::Pay(const Bytes& p, Response& r) {
  std::int64_t method = 0, value = 0;
  if (!FieldDigits(p, 0, 2, &method) || !FieldDigits(p, 2, 14, &value)) {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  Coupon& c = state_.coupon;
  if (!c.open) {
    r.Refuse(0, st2::kNotExecuted, ext::kCfNaoAberto);
    return;
  }
  if (!c.totalized) {
    r.Refuse(0, st2::kNotExecuted, ext::kCupomNaoTotalizado);
    return;
  }
  if (!c.payments.empty() && c.paid >= c.Total()) {
    r.Refuse(0, st2::kNotExecuted, ext::kFormasPagamentoEncerrada);
    return;
  }
  if (method == 0) {
    r.Refuse(0, st2::kNotExecuted, ext::kIndiceFpNuloNaoPermitido);
    return;
  }
  if (method > kPaymentMethods) {
    r.Refuse(0, st2::kNotExecuted, ext::kIndiceMaiorQueNumeroFp);
    return;
  }
  if (state_.payments[method - 1].description.empty()) {
    r.Refuse(0, st2::kNotExecuted, ext::kFormaPagamentoNaoProgramada);
    return;
  }
  if (value == 0) {
    r.Refuse(0, st2::kNotExecuted, ext::kFpValorNuloNaoPermitido);
    return;
  }
  c.payments.push_back(CouponPayment{static_cast<int>(method), value});
  c.paid += value;
}

void CommandHandler::FinishCoupon() {
  Coupon& c = state_.coupon;
  DayTotals& d = state_.day;
  for (const CouponItem& item : c.items) {
    d.gross += item.gross;
    if (item.cancelled) {
      d.cancelled += item.gross;
      continue;
    }
    d.discounts += item.discount;
    d.surcharges += item.surcharge;
    const int position = RatePosition(state_, item.rate);
    if (position >= 0) {
      d.byRate[position] += item.Net();
    } else if (item.rate == "II") {
      d.exempt += item.Net();
    } else if (item.rate == "NN") {
      d.notLevied += item.Net();
    } else {
      d.substitution += item.Net();
    }
  }
  if (c.adjustment > 0) d.surcharges += c.adjustment;
  if (c.adjustment < 0) d.discounts -= c.adjustment;
  state_.grandTotal += c.Total();
  for (PaymentMethod& m : state_.payments) m.lastCoupon = 0;
  for (const CouponPayment& pay : c.payments) {
    state_.payments[pay.method - 1].dayTotal += pay.amount;
    state_.payments[pay.method - 1].lastCoupon += pay.amount;
  }
  LastDocument last;
  last.coupon = !c.ticket;
  last.cancellable = true;
  last.coo = state_.coo;
  last.total = c.Total();
  last.payments = c.payments;
  last.voucherIssued.assign(c.payments.size(), false);
  state_.last = std::move(last);
  state_.coupon = Coupon{};
}

void CommandHandler::CloseCoupon(const Bytes&, Response& r) {
  Coupon& c = state_.coupon;
  if (!c.open) {
    r.Refuse(0, st2::kNotExecuted, ext::kCfNaoAberto);
    return;
  }
  if (!c.totalized) {
    r.Refuse(0, st2::kNotExecuted, ext::kCupomNaoTotalizado);
    return;
  }
  if (c.payments.empty()) {
    r.Refuse(0, st2::kNotExecuted, ext::kMpNaoIniciado);
    return;
  }
  if (c.paid < c.Total()) {
    r.Refuse(0, st2::kNotExecuted, ext::kComandoNaoEfetivado);
    return;
  }
  FinishCoupon();
}

void CommandHandler::CloseCouponShort(const Bytes& p, Response& r) {
  // The optional message is a fixed 96 bytes after the surcharge/discount text.
  const std::size_t adjustmentSize = p.size() >= 96 + 5 ? p.size() - 96 : p.size();
  Coupon& c = state_.coupon;
  if (!TotalizeCoupon(c, p, adjustmentSize, true, r)) return;
  c.payments.push_back(CouponPayment{1, c.Total()});  // everything in the first method
  c.paid = c.Total();
  FinishCoupon();
}

void CommandHandler::CancelCoupon(const Bytes&, Response& r) {
  Coupon& c = state_.coupon;
  if (c.open) {
    for (const CouponItem& item : c.items) {
      state_.day.gross += item.gross;
      state_.day.cancelled += item.gross;
    }
    state_.coupon = Coupon{};
    state_.last = LastDocument{};
    return;
  }
  LastDocument& last = state_.last;
  if (last.coupon && last.cancelled) {
    r.Refuse(0, st2::kCancelNotAllowed | st2::kNotExecuted, ext::kCancelamentoJaEfetuado);
    return;
  }
  if (!last.coupon || !last.cancellable) {
    r.Refuse(0, st2::kCancelNotAllowed | st2::kNotExecuted, ext::kCancelamentoNaoImediatamenteApos);
    return;
  }
  // The cancellation of a closed coupon is a document of its own.
  StartDocument();
  state_.day.cancelled += last.total;
  last.cancelled = true;
}

void CommandHandler::CouponOrTicket(const Bytes& p, Response& r) {
  if (p[0] != 0x00 && p[0] != 0xFF) {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  if (state_.coupon.open) {
    r.Refuse(st1::kCouponOpen, st2::kNotExecuted, ext::kCfAberto);
    return;
  }
  const bool ticket = p[0] == 0xFF;
  if (ticket && !state_.passengerTicket) {
    r.Refuse(0, st2::kNotExecuted, ext::kComandoNaoEfetivado);
    return;
  }
  state_.ticketMode = ticket;
}

void CommandHandler::OpenTicket(const Bytes& p, Response& r) {
  // Origin 15, destination 15, passenger data (variable), boarding date 8, time 6.
  const std::size_t passengerSize = p.size() - 44;
  const std::string passenger = FieldText(p, 30, passengerSize);
  std::int64_t day = 0, month = 0, year = 0, hhmmss = 0;
  const std::size_t dateAt = 30 + passengerSize;
  if (!FieldDigits(p, dateAt, 2, &day) || !FieldDigits(p, dateAt + 2, 2, &month) ||
      !FieldDigits(p, dateAt + 4, 4, &year) || !FieldDigits(p, dateAt + 8, 6, &hhmmss)) {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  if (!state_.ticketMode) {
    r.Refuse(0, st2::kNotExecuted, ext::kComandoNaoExecutadoImprCupomFiscal);
    return;
  }
  if (RefuseIfDocumentOpen(r) || RefuseUnlessSaleAllowed(r)) return;
  if (passenger.empty() || passenger[0] < '0' || passenger[0] > '8') {
    r.Refuse(0, st2::kNotExecuted, ext::kTipoTransporteInvalido);
    return;
  }
  if (passenger.size() < 3 || TrimRight(passenger.substr(1, 2)).size() != 2) {
    r.Refuse(0, st2::kNotExecuted, ext::kUfDestinoInvalida);
    return;
  }
  const SimDate boarding{static_cast<int>(year), static_cast<int>(month), static_cast<int>(day)};
  if (!boarding.Valid()) {
    r.Refuse(0, st2::kNotExecuted, ext::kDataInvalida);
    return;
  }
  if (boarding < Today()) {
    r.Refuse(0, st2::kNotExecuted, ext::kDataEmbarqueAnteriorDataEmissao);
    return;
  }
  StartDocument();
  NoteMovement();
  state_.coupon = Coupon{};
  state_.coupon.open = true;
  state_.coupon.ticket = true;
}

}  // namespace tervane::sim
