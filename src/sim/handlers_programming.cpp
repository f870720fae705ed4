// Programming commands: owner data, clock, cliché, till and store, tax rates and their
// ISS binding, totalizer names, payment methods and option switches. The table marks
// which of them need technical intervention; the checks here are about the data.
#include <cctype>
#include <cstdio>
#include <ctime>
#include <set>

#include "core/common/text.h"
#include "sim/command_handler.h"
#include "sim/field_codec.h"

namespace tervane::sim {
namespace {

bool Blank(const std::string& text) { return TrimRight(text).empty(); }

// The grand-total coding: ten spaces (none), or ten different characters none of them a
// digit. Returns the extended code of the fault, 0 when the coding is acceptable.
int CheckGtCoding(const std::string& coding) {
  if (Blank(coding)) return 0;
  std::set<char> seen;
  for (char c : coding) {
    if (c >= '0' && c <= '9') return ext::kCaracterNumericoNaCodificacaoGt;
    if (!seen.insert(c).second) return ext::kCaracterRepetidoNaCodificacaoGt;
  }
  return 0;
}

}  // namespace

void CommandHandler::ProgramOwner(const Bytes& p, Response& r) {
  std::string cnpj, ie, im, uf, gt;
  char bp = 'X';
  if (p.size() == 83) {
    // CNPJ 20, IE 20, IM 20, GT coding 10, BP 1, UF 2, password 10 bytes.
    cnpj = FieldText(p, 0, 20);
    ie = FieldText(p, 20, 20);
    im = FieldText(p, 40, 20);
    gt = FieldText(p, 60, 10);
    bp = static_cast<char>(p[70]);
    uf = FieldText(p, 71, 2);
  } else if (p.size() == 49) {
    // The older layout: CGC 18, IE 15, BP 1, IM 15.
    cnpj = FieldText(p, 0, 18);
    ie = FieldText(p, 18, 15);
    bp = static_cast<char>(p[33]);
    im = FieldText(p, 34, 15);
    uf = state_.uf;
  } else {
    r.Refuse(st1::kParameterCount, 0, ext::kNumeroParametrosInvalido);
    return;
  }
  if (Blank(cnpj) || Blank(ie)) {
    r.Refuse(0, st2::kNotExecuted, ext::kNaoPermitidoProgramacaoCnpjIeEspacos);
    return;
  }
  if (p.size() == 83 && Blank(uf)) {
    r.Refuse(0, st2::kNotExecuted, ext::kNaoPermitidoProgramacaoUfEspacosBranco);
    return;
  }
  if (const int code = CheckGtCoding(gt)) {
    r.Refuse(0, st2::kNotExecuted, static_cast<std::uint16_t>(code));
    return;
  }
  // The newer layout carries the intervention password in its last ten bytes.
  if (p.size() == 83 && FieldText(p, 73, 10) != state_.interventionPassword) {
    r.Refuse(0, st2::kNotExecuted, ext::kSenhaCnpjInvalida);
    return;
  }
  // An owner is in place and the day has sales: no owner programming until its Z.
  if (!Blank(state_.cnpj) && state_.hasMovement) {
    r.Refuse(0, st2::kNotExecuted, ext::kJaHouveMovNoDia);
    return;
  }
  const std::string newCnpj = TrimRight(cnpj);
  if (!Blank(state_.cnpj) && TrimRight(state_.cnpj) != newCnpj) {
    // A new owner: the user number advances and the document counters restart.
    ++state_.user;
    state_.coo = 0;
    state_.crz = 0;
    state_.grandTotal = 0;
    state_.last = LastDocument{};
  }
  state_.cnpj = newCnpj;
  state_.ie = TrimRight(ie);
  state_.im = TrimRight(im);
  state_.uf = TrimRight(uf);
  state_.passengerTicket = bp == 'B' || bp == 'b';
  if (!state_.passengerTicket) state_.ticketMode = false;
}

void CommandHandler::SetDateTime(const Bytes& p, Response& r) {
  std::int64_t dd = 0, mo = 0, yy = 0, hh = 0, mi = 0, ss = 0;
  if (!FieldDigits(p, 0, 2, &dd) || !FieldDigits(p, 2, 2, &mo) || !FieldDigits(p, 4, 2, &yy) ||
      !FieldDigits(p, 6, 2, &hh) || !FieldDigits(p, 8, 2, &mi) || !FieldDigits(p, 10, 2, &ss)) {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  const std::uint8_t dst = p[12];
  if (dst != 0 && dst != 1 && dst != '0' && dst != '1') {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  if (state_.coupon.open) {
    r.Refuse(st1::kCouponOpen, st2::kNotExecuted, ext::kCfAberto);
    return;
  }
  const SimDate date{2000 + static_cast<int>(yy), static_cast<int>(mo), static_cast<int>(dd)};
  if (!date.Valid() || hh > 23 || mi > 59 || ss > 59) {
    r.Refuse(0, st2::kNotExecuted, ext::kDataHoraInvalida);
    return;
  }
  std::tm wanted{};
  wanted.tm_year = date.year - 1900;
  wanted.tm_mon = date.month - 1;
  wanted.tm_mday = date.day;
  wanted.tm_hour = static_cast<int>(hh);
  wanted.tm_min = static_cast<int>(mi);
  wanted.tm_sec = static_cast<int>(ss);
  const CivilTime host = clock_.LocalNow();
  std::tm now{};
  now.tm_year = host.year - 1900;
  now.tm_mon = host.month - 1;
  now.tm_mday = host.day;
  now.tm_hour = host.hour;
  now.tm_min = host.minute;
  now.tm_sec = host.second;
  const std::int64_t wantedSeconds = static_cast<std::int64_t>(timegm(&wanted));
  // Time never goes back over a Z reduction: the fiscal memory's records would be out of order.
  const bool beforeLastZ =
      state_.lastReductionAt > 0
          ? wantedSeconds < state_.lastReductionAt
          : !state_.fiscalMemory.empty() && date < state_.fiscalMemory.back().date;
  if (beforeLastZ) {
    r.Refuse(0, st2::kNotExecuted, ext::kDataHoraAnterioresUltimoDocArmazenado);
    return;
  }
  state_.clockOffset = wantedSeconds - static_cast<std::int64_t>(timegm(&now));
  state_.daylightSaving = dst == 1 || dst == '1';
}

void CommandHandler::ProgramCliche(const Bytes& p, Response&) { state_.cliche = FieldText(p, 0, p.size()); }

void CommandHandler::ProgramTillStore(const Bytes& p, Response& r) {
  std::int64_t till = 0, store = 0;
  if (!FieldDigits(p, 0, 3, &till) || !FieldDigits(p, 3, 4, &store)) {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  if (till == 0 || store == 0) {
    r.Refuse(0, st2::kNotExecuted, ext::kEcfOuLojaIgualZero);
    return;
  }
  state_.till = FieldText(p, 0, 3);
  state_.store = FieldText(p, 3, 4);
}

void CommandHandler::ProgramRate(const Bytes& p, Response& r) {
  std::int64_t rate = 0;
  const char binding = static_cast<char>(p[4]);
  if (!FieldDigits(p, 0, 4, &rate) || (binding != '0' && binding != '1')) {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  if (state_.hasMovement) {
    r.Refuse(0, st2::kNotExecuted, ext::kJaHouveMovNoDia);
    return;
  }
  if (rate == 0) {
    r.Refuse(0, st2::kNotExecuted, ext::kProgramacaoAliquotaZeroNaoPermitido);
    return;
  }
  if (state_.rateCount >= kRateCount) {
    r.Refuse(0, st2::kRatesFull | st2::kNotExecuted, ext::kTodasAliquotasJaProgramadas);
    return;
  }
  if (binding == '1' && Blank(state_.im)) {
    r.Refuse(0, st2::kNotExecuted, ext::kAliquotaIssNaoPermitidoSemInscricao);
    return;
  }
  state_.rates[state_.rateCount] = FieldText(p, 0, 4);
  state_.issBound[state_.rateCount] = binding == '1';
  ++state_.rateCount;
}

void CommandHandler::ReplaceRates(const Bytes& p, Response& r) {
  // One byte with the number of rates, then sixteen 4-digit rates.
  const int count = p[0];
  if (count > kRateCount || !AllDigits(FieldText(p, 1, 64))) {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  if (state_.hasMovement) {
    r.Refuse(0, st2::kNotExecuted, ext::kJaHouveMovNoDia);
    return;
  }
  for (int i = 0; i < kRateCount; ++i) state_.rates[i] = FieldText(p, 1 + 4 * i, 4);
  state_.rateCount = count;
}

void CommandHandler::ProgramIss(const Bytes& p, Response& r) {
  for (std::uint8_t b : p) {
    if (b != '0' && b != '1') {
      r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
      return;
    }
  }
  if (state_.hasMovement) {
    r.Refuse(0, st2::kNotExecuted, ext::kJaHouveMovNoDia);
    return;
  }
  for (int i = 0; i < kRateCount; ++i) state_.issBound[i] = p[i] == '1';
}

void CommandHandler::NameTotalizer(const Bytes& p, Response& r) {
  std::int64_t number = 0;
  if (!FieldDigits(p, 0, 2, &number)) {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  if (number < 1 || number > kTotalizerNames) {
    r.Refuse(0, st2::kNotExecuted, ext::kNumeroTotalizadorNfInvalido);
    return;
  }
  const std::string name = FieldText(p, 2, 19);
  if (Blank(name)) {
    r.Refuse(0, st2::kNotExecuted, ext::kNomeTotalizadorBrancoNaoPermitido);
    return;
  }
  state_.totalizerNames[number - 1] = TrimRight(name);
}

void CommandHandler::ProgramPaymentList(const Bytes& p, std::size_t stride, Response& r) {
  // The reply is the number given to the last description, as three ASCII digits;
  // "255" when none could be placed.
  r.data = {'2', '5', '5'};
  if (p.size() % stride != 0) {
    r.Refuse(st1::kParameterCount, 0, ext::kNumeroParametrosInvalido);
    return;
  }
  for (std::size_t at = 0; at < p.size(); at += stride) {
    if (stride == 17 && p[at + 16] != '1' && p[at + 16] != '2') {
      r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
      return;
    }
  }
  int lastNumber = 0;
  bool full = false;
  for (std::size_t at = 0; at < p.size(); at += stride) {
    const std::string description = TrimRight(FieldText(p, at, 16));
    if (description.empty()) continue;
    const bool tef = stride == 17 && p[at + 16] == '1';
    int slot = -1;
    for (int i = 0; i < kPaymentMethods && slot < 0; ++i) {
      if (ToLowerAscii(state_.payments[i].description) == ToLowerAscii(description)) slot = i;
    }
    if (slot == 0) continue;  // the first method is fixed
    for (int i = 1; i < kPaymentMethods && slot < 0; ++i) {
      if (state_.payments[i].description.empty()) slot = i;
    }
    if (slot < 0) {
      full = true;
      continue;
    }
    state_.payments[slot].description = description;
    state_.payments[slot].tef = tef;
    lastNumber = slot + 1;
  }
  if (lastNumber == 0) {
    r.Refuse(0, st2::kNotExecuted, full ? ext::kSemEspacoNovasFormasPagamento : ext::kDescricaoIgualDefaultNaoPermitido);
    return;
  }
  char digits[16];
  std::snprintf(digits, sizeof digits, "%03d", lastNumber);
  r.data.assign(digits, digits + 3);
}

void CommandHandler::ProgramPaymentMethods(const Bytes& p, Response& r) { ProgramPaymentList(p, 17, r); }
void CommandHandler::ProgramPaymentMethodsNoTef(const Bytes& p, Response& r) { ProgramPaymentList(p, 16, r); }

void CommandHandler::SwitchOption(const Bytes& p, bool oddEnables, bool& option, Response& r) {
  std::int64_t digit = 0;
  if (!FieldDigits(p, 0, 1, &digit)) {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  const bool odd = digit % 2 == 1;
  option = oddEnables ? odd : !odd;
}

void CommandHandler::SwitchAdditionalCoupon(const Bytes& p, Response& r) {
  SwitchOption(p, true, state_.additionalCoupon, r);
}
void CommandHandler::SwitchIssDiscount(const Bytes& p, Response& r) { SwitchOption(p, true, state_.issDiscount, r); }
void CommandHandler::SwitchVoucherInNonFiscal(const Bytes& p, Response& r) {
  SwitchOption(p, false, state_.voucherInNonFiscal, r);
}
void CommandHandler::SwitchConferenceReading(const Bytes& p, Response& r) {
  SwitchOption(p, false, state_.conferenceReading, r);
}
void CommandHandler::SwitchAutomaticZ(const Bytes& p, Response& r) { SwitchOption(p, false, state_.automaticZ, r); }

void CommandHandler::RestaurantOrStore(const Bytes& p, Response& r) {
  if (p[0] != '0' && p[0] != '1') {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  state_.restaurantOrStore = static_cast<char>(p[0]);
}

void CommandHandler::ConferenceCoupon(const Bytes& p, Response& r) {
  if (p[0] < '0' || p[0] > '3') {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  state_.conferenceCoupon = static_cast<char>(p[0]);
}

}  // namespace tervane::sim
