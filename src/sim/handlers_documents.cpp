// Readings (X, Z, fiscal memory, detail tape), non-fiscal documents, the cheque and
// authentication devices, and the GPRS module.
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "core/common/text.h"
#include "sim/command_handler.h"
#include "sim/field_codec.h"

namespace tervane::sim {
namespace {

std::string DateText(const SimDate& d) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d/%02d/%02d", d.day % 100, d.month % 100, d.year % 100);
  return buffer;
}

// A "ddmmyy" field as a date (the century taken as 2000).
bool ParseShortDate(const Bytes& p, std::size_t offset, SimDate* date) {
  std::int64_t dd = 0, mm = 0, yy = 0;
  if (!FieldDigits(p, offset, 2, &dd) || !FieldDigits(p, offset + 2, 2, &mm) ||
      !FieldDigits(p, offset + 4, 2, &yy)) {
    return false;
  }
  *date = SimDate{2000 + static_cast<int>(yy), static_cast<int>(mm), static_cast<int>(dd)};
  return date->Valid();
}

}  // namespace

void CommandHandler::ReadingX(const Bytes&, Response& r) {
  if (RefuseIfDocumentOpen(r)) return;
  StartDocument();
}

void CommandHandler::ReductionZ(const Bytes& p, Response& r) {
  if (p.size() != 0 && p.size() != 6 && p.size() != 12) {
    r.Refuse(st1::kParameterCount, 0, ext::kNumeroParametrosInvalido);
    return;
  }
  std::int64_t ignored = 0;
  if (!p.empty() && !FieldDigits(p, 0, p.size(), &ignored)) {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  if (state_.intervention) {
    r.Refuse(0, st2::kNotExecuted, ext::kReducaoNaoPermitidaIt);
    return;
  }
  if (RefuseIfDocumentOpen(r)) return;
  const SimDate today = Today();
  if (state_.reducedToday && state_.reducedDate == today) {
    r.Refuse(0, st2::kNotExecuted, ext::kBloqueioPorRz);
    return;
  }
  StartDocument();
  state_.crz = state_.crz >= 9999 ? 1 : state_.crz + 1;
  ReductionRecord record;
  record.crz = state_.crz;
  record.coo = state_.coo;
  record.date = state_.hasMovement ? state_.movementDate : today;
  record.grandTotal = state_.grandTotal;
  record.gross = state_.day.gross;
  state_.fiscalMemory.push_back(record);
  state_.day = DayTotals{};
  for (PaymentMethod& m : state_.payments) m.dayTotal = 0;
  state_.hasMovement = false;
  state_.reducedToday = true;
  state_.reducedDate = today;
  state_.lastReductionAt = PrinterSeconds(Now());
  state_.lastZAutomatic = false;
}

std::string CommandHandler::FiscalMemoryText(bool byDate, SimDate from, SimDate to, int crzFrom, int crzTo,
                                             bool simplified) {
  std::string t;
  t += PrinterText(simplified ? "LEITURA DA MEMÓRIA FISCAL SIMPLIFICADA\n" : "LEITURA DA MEMÓRIA FISCAL\n");
  t += "CNPJ: " + TrimRight(state_.cnpj) + "  IE: " + TrimRight(state_.ie) + "\n";
  t += "ECF: " + state_.till + "  LOJA: " + state_.store + PrinterText("  USUÁRIO: ") +
       std::to_string(state_.user) + "\n";
  char line[128];
  if (byDate) {
    t += PrinterText("PERÍODO: ") + DateText(from) + " A " + DateText(to) + "\n";
  } else {
    std::snprintf(line, sizeof line, "CRZ: %04d A %04d\n", crzFrom, crzTo);
    t += line;
  }
  if (!simplified) t += "CRZ   COO     DATA      VENDA BRUTA         GT\n";
  int count = 0;
  std::int64_t gross = 0;
  for (const ReductionRecord& rec : state_.fiscalMemory) {
    const bool inside = byDate ? !(rec.date < from) && !(to < rec.date) : rec.crz >= crzFrom && rec.crz <= crzTo;
    if (!inside) continue;
    ++count;
    gross += rec.gross;
    if (!simplified) {
      std::snprintf(line, sizeof line, "%04d  %06d  %s  %12s  %12s\n", rec.crz, rec.coo, DateText(rec.date).c_str(),
                    Money(rec.gross).c_str(), Money(rec.grandTotal).c_str());
      t += line;
    }
  }
  t += PrinterText("REDUÇÕES NO PERÍODO: ") + std::to_string(count) + "\n";
  t += PrinterText("VENDA BRUTA NO PERÍODO: ") + Money(gross) + "\n";
  t += "GT: " + Money(state_.grandTotal);
  return OpenReplyText(t);
}

void CommandHandler::FiscalMemoryReading(const Bytes& p, Response& r) {
  // Start and end (dates ddmmyy, or "00" + four-digit reduction numbers), then the
  // output: I/i printed, R/r sent back through the port as text.
  const char output = static_cast<char>(p[12]);
  const bool toPort = output == 'R' || output == 'r';
  if (toPort) r.form = ReplyForm::kOpenEtx;
  if (!toPort && output != 'I' && output != 'i') {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  if (!toPort && state_.paper == PaperState::kOut) {
    r.Refuse(0, st2::kNotExecuted, ext::kImpressoraSemPapel);
    return;
  }
  if (RefuseIfDocumentOpen(r)) return;
  const bool byCrz = p[0] == '0' && p[1] == '0';
  SimDate from, to;
  std::int64_t crzFrom = 0, crzTo = 0;
  if (byCrz) {
    if (!FieldDigits(p, 2, 4, &crzFrom) || crzFrom == 0) {
      r.Refuse(0, st2::kNotExecuted, ext::kCrzInicialInvalido);
      return;
    }
    if (p[6] != '0' || p[7] != '0' || !FieldDigits(p, 8, 4, &crzTo) || crzTo == 0) {
      r.Refuse(0, st2::kNotExecuted, ext::kCrzFinalInvalido);
      return;
    }
    if (crzFrom > crzTo) {
      r.Refuse(0, st2::kNotExecuted, ext::kIntervaloInvalido);
      return;
    }
  } else {
    if (!ParseShortDate(p, 0, &from)) {
      r.Refuse(0, st2::kNotExecuted, ext::kDataInicialInvalida);
      return;
    }
    if (!ParseShortDate(p, 6, &to)) {
      r.Refuse(0, st2::kNotExecuted, ext::kDataFinalInvalida);
      return;
    }
    if (to < from) {
      r.Refuse(0, st2::kNotExecuted, ext::kIntervaloInvalido);
      return;
    }
  }
  const bool simplified = output == 'i' || output == 'r';
  if (toPort) {
    const std::string text = FiscalMemoryText(!byCrz, from, to, static_cast<int>(crzFrom),
                                              static_cast<int>(crzTo), simplified);
    r.data.assign(text.begin(), text.end());
  } else {
    StartDocument();
  }
}

void CommandHandler::DetailTape(const Bytes& p, Response& r) {
  const char kind = static_cast<char>(p[0]);
  std::int64_t a = 0, b = 0, user = 0;
  if (kind == 'D' && p.size() == 13) {
    SimDate from, to;
    if (!ParseShortDate(p, 1, &from)) {
      r.Refuse(0, st2::kNotExecuted, ext::kDataInicialInvalida);
      return;
    }
    if (!ParseShortDate(p, 7, &to)) {
      r.Refuse(0, st2::kNotExecuted, ext::kDataFinalInvalida);
      return;
    }
    if (to < from) {
      r.Refuse(0, st2::kNotExecuted, ext::kIntervaloInvalido);
      return;
    }
  } else if (kind == 'X' && p.size() == 16 && FieldDigits(p, 1, 6, &a) && FieldDigits(p, 7, 6, &b) &&
             FieldDigits(p, 13, 3, &user)) {
    if (a > b || a == 0) {
      r.Refuse(0, st2::kNotExecuted, ext::kIntervaloInvalido);
      return;
    }
  } else {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  if (RefuseIfDocumentOpen(r)) return;
  StartDocument();
}

void CommandHandler::FiscalMemoryData(const Bytes& p, Response& r) {
  const std::string amount = FieldText(p, 0, p.size());
  if (amount != "MF" && amount != "MF2") {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  std::string t = PrinterText("DADOS DA MEMÓRIA FISCAL (") + (amount == "MF" ? "32 KB" : "512 KB") + ")\n";
  t += "NS: " + TrimRight(Fit(state_.serial, 20)) + "\n";
  t += "CNPJ: " + TrimRight(state_.cnpj) + "\n";
  char line[96];
  for (const ReductionRecord& rec : state_.fiscalMemory) {
    std::snprintf(line, sizeof line, "RZ %04d COO %06d %s GT %s\n", rec.crz, rec.coo, DateText(rec.date).c_str(),
                  Money(rec.grandTotal).c_str());
    t += line;
  }
  t += "FIM";
  const std::string safe = OpenReplyText(t);
  r.data.assign(safe.begin(), safe.end());
}

void CommandHandler::ManagementReport(const Bytes&, Response& r) {
  if (state_.coupon.open) {
    r.Refuse(st1::kCouponOpen, st2::kNotExecuted, ext::kCfAberto);
    return;
  }
  if (state_.reportOpen || state_.voucherOpen) return;  // more text for the open report
  if (state_.intervention) {
    r.Refuse(0, st2::kNotExecuted, ext::kEmIntervencaoTecnica);
    return;
  }
  if (state_.hasMovement && state_.movementDate != Today()) {
    r.Refuse(0, st2::kNotExecuted, ext::kAguardandoRz);
    return;
  }
  StartDocument();
  state_.reportOpen = true;
  ++state_.reportCounters[0];
}

void CommandHandler::CloseReport(const Bytes&, Response& r) {
  if (!state_.reportOpen && !state_.voucherOpen) {
    r.Refuse(0, st2::kNotExecuted, ext::kSemRelatorioGerencialOuVinculadoAberto);
    return;
  }
  state_.reportOpen = false;
  state_.voucherOpen = false;
}

void CommandHandler::Bleed(const Bytes& p, Response& r) {
  std::int64_t value = 0;
  if (!FieldDigits(p, 0, 14, &value)) {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  if (RefuseIfDocumentOpen(r) || RefuseUnlessSaleAllowed(r)) return;
  if (value == 0) {
    r.Refuse(0, st2::kNotExecuted, ext::kRecebimentoNfNuloNaoPermitido);
    return;
  }
  StartDocument();
  NoteMovement();
  state_.day.bleed += value;
}

void CommandHandler::NonFiscalReceipt(const Bytes& p, Response& r) {
  std::int64_t index = 0, value = 0, discount = 0;
  if (!FieldDigits(p, 0, 2, &index) || !FieldDigits(p, 2, 14, &value)) {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  const std::size_t discountSize = p.size() - 16;
  if (discountSize == 4 || discountSize == 14) {
    std::int64_t d = 0;
    if (!FieldDigits(p, 16, discountSize, &d)) {
      r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
      return;
    }
    discount = discountSize == 4 ? value * d / 10000 : d;
  } else if (discountSize != 0) {
    r.Refuse(st1::kParameterCount, 0, ext::kNumeroParametrosInvalido);
    return;
  }
  if (RefuseIfDocumentOpen(r) || RefuseUnlessSaleAllowed(r)) return;
  if (index == 0 || index > kNonFiscalTotalizers) {
    r.Refuse(0, st2::kNotExecuted, ext::kNumeroTotalizadorNfInvalido);
    return;
  }
  if (TrimRight(state_.totalizerNames[index - 1]).empty()) {
    r.Refuse(0, st2::kNotExecuted, ext::kTotNfNaoProgramado);
    return;
  }
  if (value == 0) {
    r.Refuse(0, st2::kNotExecuted, ext::kRecebimentoNfNuloNaoPermitido);
    return;
  }
  if (discount >= value) {
    r.Refuse(0, st2::kNotExecuted, ext::kAcrescDescMaiorQueTotalCnf);
    return;
  }
  StartDocument();
  NoteMovement();
  state_.day.nonFiscal[index - 1] += value - discount;
  state_.payments[0].dayTotal += value - discount;
}

void CommandHandler::OpenVoucher(const Bytes& p, Response& r) {
  if (p.size() != 16 && p.size() != 22 && p.size() != 30 && p.size() != 36) {
    r.Refuse(st1::kParameterCount, 0, ext::kNumeroParametrosInvalido);
    return;
  }
  if (RefuseIfDocumentOpen(r)) return;
  LastDocument& last = state_.last;
  if (!last.coupon || last.cancelled) {
    r.Refuse(0, st2::kNotExecuted, ext::kCnfvNaoPermitidoOuJaEmitido);
    return;
  }
  // The method is named by its description (or by its two-digit number).
  const std::string wanted = ToLowerAscii(TrimRight(FieldText(p, 0, 16)));
  int method = 0;
  for (int i = 0; i < kPaymentMethods; ++i) {
    if (!state_.payments[i].description.empty() && ToLowerAscii(TrimRight(state_.payments[i].description)) == wanted) {
      method = i + 1;
      break;
    }
  }
  if (method == 0 && wanted.size() == 2 && AllDigits(wanted)) method = std::stoi(wanted);
  std::size_t slot = last.payments.size();
  for (std::size_t i = 0; i < last.payments.size(); ++i) {
    if (last.payments[i].method == method && !last.voucherIssued[i]) {
      slot = i;
      break;
    }
  }
  if (method < 1 || method > kPaymentMethods || slot == last.payments.size()) {
    r.Refuse(0, st2::kNotExecuted, ext::kCnfvNaoPermitidoOuJaEmitido);
    return;
  }
  if (!state_.payments[method - 1].tef) {
    r.Refuse(0, st2::kNotExecuted, ext::kMeioPagamentoNaoPermiteTef);
    return;
  }
  StartDocument();
  last.voucherIssued[slot] = true;
  state_.voucherOpen = true;
}

void CommandHandler::OpenDrawer(const Bytes&, Response&) {}

void CommandHandler::PrintCheque(const Bytes& p, Response& r) {
  std::int64_t value = 0;
  if (!FieldDigits(p, 0, 14, &value)) {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  if (value == 0) {
    r.Refuse(0, st2::kNotExecuted, ext::kValorChequeNuloNaoPermitido);
    return;
  }
  if (TrimRight(FieldText(p, 59, 27)).empty()) {
    r.Refuse(0, st2::kNotExecuted, ext::kChequeSemLocalidadeNaoPermitido);
    return;
  }
  SimDate date;
  if (!ParseShortDate(p, 86, &date)) {
    r.Refuse(0, st2::kNotExecuted, ext::kDataInvalida);
    return;
  }
}

void CommandHandler::Authenticate(const Bytes&, Response& r) {
  if (state_.coo == 0) r.Refuse(0, st2::kNotExecuted, ext::kAutenticacaoNaoPermitida);
}

void CommandHandler::AuthenticationGlyph(const Bytes& p, Response&) {
  state_.authenticationGlyph = FieldText(p, 0, 18);
}

void CommandHandler::CommunicationTest(const Bytes& p, Response& r) {
  std::int64_t number = 0;
  if (!FieldDigits(p, 40, 6, &number)) r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
}

void CommandHandler::LineFeed(const Bytes&, Response&) {}

void CommandHandler::GprsTest(const Bytes&, Response& r) {
  if (state_.gprs == GprsState::kBusy) {
    r.gprsBusy = true;
    const std::string text = "MODULO OCUPADO";
    r.data = {0x3C, 0x00};
    r.data.insert(r.data.end(), text.begin(), text.end());
    return;
  }
  r.data = {0x00, static_cast<std::uint8_t>(state_.gprs == GprsState::kOn ? 0x00 : 0x01)};
}

void CommandHandler::GprsSignal(const Bytes& p, Response& r) {
  if (state_.gprs == GprsState::kBusy) {
    GprsTest(p, r);
    return;
  }
  r.data = {0x01};
  PutWord(r.data, state_.gprs == GprsState::kOn ? static_cast<unsigned>(state_.gprsSignal) : 0u);
}

void CommandHandler::GprsMessage(const Bytes& p, Response& r) {
  if (state_.gprs == GprsState::kBusy) {
    GprsTest(p, r);
    return;
  }
  const std::string text = state_.gprs == GprsState::kOn
                                ? "CONECTADO - SINAL " + std::to_string(state_.gprsSignal)
                                : std::string("MODULO GPRS AUSENTE");
  r.data = {0x03, 0x0A};
  r.data.insert(r.data.end(), text.begin(), text.end());
  r.data.push_back(0x0A);
}

}  // namespace tervane::sim
