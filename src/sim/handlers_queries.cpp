// Answers to the read-only commands: identity, owner data, programming read-back,
// counters, flags and the two open-text queries.
#include <cstdlib>

#include "sim/command_handler.h"
#include "sim/field_codec.h"

namespace tervane::sim {
namespace {

std::uint8_t Bits(std::initializer_list<bool> bits) {
  std::uint8_t value = 0;
  int bit = 0;
  for (bool b : bits) {
    if (b) value |= static_cast<std::uint8_t>(1u << bit);
    ++bit;
  }
  return value;
}

// A totalizer never named is a field of zeros, which reads as no name at all; a named one
// is padded with spaces.
void PutTotalizerName(Bytes& out, const std::string& name) {
  // An unnamed position reads as blanks, as a printer's memory holds it.
  PutText(out, name, 19, ' ');
}

}  // namespace

void CommandHandler::StatusProbe(const Bytes&, Response& r) {
  r.data.push_back(state_.intervention ? 'I' : 0x55);
}

void CommandHandler::ModelQuery(const Bytes&, Response& r) {
  PutText(r.data, state_.brand, 15);
  PutText(r.data, state_.model, 20);
  PutText(r.data, state_.type, 7);
}

void CommandHandler::SerialOld(const Bytes&, Response& r) { PutText(r.data, state_.serial, 15); }
void CommandHandler::SerialMfd(const Bytes&, Response& r) { PutText(r.data, state_.serial, 20); }
void CommandHandler::UserNumber(const Bytes&, Response& r) { PutBcd(r.data, state_.user, 2); }

void CommandHandler::OwnerOld(const Bytes&, Response& r) {
  PutText(r.data, state_.cnpj, 18);
  PutText(r.data, state_.ie, 15);
}

void CommandHandler::OwnerCnpj(const Bytes&, Response& r) { PutText(r.data, state_.cnpj, 20); }
void CommandHandler::OwnerIe(const Bytes&, Response& r) { PutText(r.data, state_.ie, 20); }
void CommandHandler::OwnerIm(const Bytes&, Response& r) { PutText(r.data, state_.im, 20); }
void CommandHandler::OwnerUf(const Bytes&, Response& r) { PutText(r.data, state_.uf, 2); }

void CommandHandler::TillNumber(const Bytes&, Response& r) {
  PutBcd(r.data, std::atoi(state_.till.c_str()), 2);
}

void CommandHandler::StoreNumber(const Bytes&, Response& r) {
  PutBcd(r.data, std::atoi(state_.store.c_str()), 2);
}

void CommandHandler::DateTime(const Bytes&, Response& r) {
  const CivilTime now = Now();
  PutBcd(r.data, now.day, 1);
  PutBcd(r.data, now.month, 1);
  PutBcd(r.data, now.year % 100, 1);
  PutBcd(r.data, now.hour, 1);
  PutBcd(r.data, now.minute, 1);
  PutBcd(r.data, now.second, 1);
}

void CommandHandler::FiscalFlags(const Bytes&, Response& r) {
  const Coupon& c = state_.coupon;
  const bool reduced = state_.reducedToday && state_.reducedDate == Today();
  r.data.push_back(Bits({c.open, c.open && !c.payments.empty(), state_.daylightSaving, reduced,
                         state_.lastZAutomatic, c.open || state_.last.cancellable, false, false}));
}

void CommandHandler::FiscalFlags2(const Bytes&, Response& r) {
  r.data.push_back(Bits({false, state_.voucherOpen, state_.reportOpen,
                         state_.coupon.open && state_.coupon.totalized, false, false, false, false}));
}

void CommandHandler::FiscalFlags3(const Bytes&, Response& r) {
  r.data.push_back(Bits({state_.paper == PaperState::kLow, true, false, state_.issDiscount,
                         state_.automaticZ, false, false, false}));
}

void CommandHandler::ClicheRead(const Bytes&, Response& r) {
  // The unused part of the cliché memory is zeros, so the text ends where it was cut.
  PutText(r.data, state_.cliche, kClicheSize, '\0');
}

void CommandHandler::RatesRead(const Bytes&, Response& r) {
  r.data.push_back(static_cast<std::uint8_t>(state_.rateCount));
  for (const std::string& rate : state_.rates) PutBcd(r.data, std::atoi(rate.c_str()), 2);
}

void CommandHandler::RateCount(const Bytes&, Response& r) {
  r.data.push_back(static_cast<std::uint8_t>(state_.rateCount));
}

void CommandHandler::IssRead(const Bytes&, Response& r) {
  // Flag 1 is bit 7 of the first byte, flag 16 bit 0 of the second.
  std::uint8_t bytes[2] = {0, 0};
  for (int i = 0; i < kRateCount; ++i) {
    if (state_.issBound[i]) bytes[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
  }
  r.data = {bytes[0], bytes[1]};
}

void CommandHandler::TotalizerNames9(const Bytes&, Response& r) {
  for (int i = 0; i < 9; ++i) PutTotalizerName(r.data, state_.totalizerNames[i]);
}

void CommandHandler::TotalizerNames30(const Bytes&, Response& r) {
  for (int i = 0; i < kNonFiscalTotalizers; ++i) PutTotalizerName(r.data, state_.totalizerNames[i]);
}

void CommandHandler::PrintConfiguration(const Bytes&, Response& r) {
  r.data.push_back(state_.passengerTicket ? 0x00 : 0x01);  // 00h: passenger tickets
  r.data.push_back(0x01);                                  // no presenter
  r.data.push_back(0x00);                                  // with a cutter
}

void CommandHandler::PaymentMethodsRead(const Bytes&, Response& r) {
  for (const PaymentMethod& m : state_.payments) PutText(r.data, m.description, 16);
  for (const PaymentMethod& m : state_.payments) PutBcd(r.data, m.dayTotal, 7);
  for (const PaymentMethod& m : state_.payments) PutBcd(r.data, m.lastCoupon, 7);
  for (const PaymentMethod& m : state_.payments) r.data.push_back(m.tef ? 0x55 : 0x00);
}

void CommandHandler::DepartmentsRead(const Bytes&, Response& r) {
  for (const std::string& name : state_.departmentNames) {
    PutBcd(r.data, 0, 10);  // value sold today
    PutText(r.data, name, 10);
  }
  for (int i = 0; i < kDepartments; ++i) PutBcd(r.data, 0, 10);  // quantity sold today
}

void CommandHandler::NonFiscalTotalizersRead(const Bytes&, Response& r) {
  for (int i = 0; i < kNonFiscalTotalizers; ++i) PutTotalizerName(r.data, state_.totalizerNames[i]);
  for (std::int64_t value : state_.day.nonFiscal) PutBcd(r.data, value, 7);
}

void CommandHandler::ManagementReportsRead(const Bytes&, Response& r) {
  for (int counter : state_.reportCounters) PutBcd(r.data, counter, 2);
  for (const std::string& name : state_.reportNames) PutText(r.data, name, 17);
}

void CommandHandler::CooRead(const Bytes&, Response& r) { PutBcd(r.data, state_.coo, 3); }
void CommandHandler::GrandTotalRead(const Bytes&, Response& r) { PutBcd(r.data, state_.grandTotal, 9); }

void CommandHandler::PaperStatus(const Bytes&, Response& r) {
  // Bit 0: near the end; bit 1: out.
  unsigned value = 0;
  if (state_.paper == PaperState::kLow) value = 1;
  if (state_.paper == PaperState::kOut) value = 2;
  PutWord(r.data, value);
}

void CommandHandler::Sensors(const Bytes&, Response& r) {
  r.data.push_back(Bits({false, false, state_.paper == PaperState::kOut, state_.paper == PaperState::kLow,
                         false, false, false, state_.intervention}));
}

void CommandHandler::ChequeStatus(const Bytes&, Response& r) { r.data.push_back(0x00); }
void CommandHandler::Eprom(const Bytes&, Response& r) { r.data.push_back(0x55); }
void CommandHandler::Truncation(const Bytes&, Response& r) { r.data.push_back(0x00); }
void CommandHandler::Cutter(const Bytes&, Response& r) { r.data.push_back('0'); }
void CommandHandler::Alignment(const Bytes&, Response& r) { r.data.push_back('0'); }
void CommandHandler::Drawer(const Bytes&, Response& r) { r.data.push_back(0x00); }
void CommandHandler::ZMode(const Bytes&, Response& r) { r.data.push_back(state_.automaticZ ? 0x01 : 0x00); }

void CommandHandler::PartialTotals(const Bytes&, Response& r) {
  const DayTotals& d = state_.day;
  for (std::int64_t v : d.byRate) PutBcd(r.data, v, 7);
  PutBcd(r.data, d.exempt, 7);
  PutBcd(r.data, d.notLevied, 7);
  PutBcd(r.data, d.substitution, 7);
  for (int i = 0; i < 9; ++i) PutBcd(r.data, d.nonFiscal[i], 7);
  PutBcd(r.data, d.bleed, 7);
  PutBcd(r.data, d.supply, 7);
  PutBcd(r.data, state_.grandTotal, 9);
}

void CommandHandler::FirmwareVersion(const Bytes&, Response& r) { PutText(r.data, state_.firmware, 6); }

void CommandHandler::MfdInformation(const Bytes&, Response& r) {
  const std::string yes = "sim", no = PrinterText("não");
  std::string text;
  text += PrinterText("INFORMAÇÕES DA MFD\n");
  text += PrinterText("Número de série: ") + TrimRight(Fit(state_.serial, 20)) + "\n";
  text += "Modelo: " + state_.model + "\n";
  text += PrinterText("Usuário: ") + std::to_string(state_.user) + "\n";
  text += "COO: " + std::to_string(state_.coo) + "\n";
  text += "CRZ: " + std::to_string(state_.crz) + "\n";
  text += "CRO: " + std::to_string(state_.cro) + "\n";
  text += "GT: " + Money(state_.grandTotal) + "\n";
  text += std::string("Cupom adicional: ") + (state_.additionalCoupon ? yes : no) + "\n";
  text += std::string("Desconto em ISS: ") + (state_.issDiscount ? yes : no) + "\n";
  text += std::string("Vinculado a CNF: ") + (state_.voucherInNonFiscal ? yes : no) + "\n";
  text += PrinterText("RV na conferência: ") + (state_.conferenceReading ? yes : no) + "\n";
  text += PrinterText("RZ automática: ") + (state_.automaticZ ? yes : no) + "\n";
  text += std::string("Restaurante ou loja: ") + (state_.restaurantOrStore == '0' ? "restaurante" : "loja") +
          "\n";
  text += PrinterText("Cupom de conferência: ") + state_.conferenceCoupon;
  const std::string safe = OpenReplyText(text);
  r.data.assign(safe.begin(), safe.end());
}

void CommandHandler::EquipmentMessage(const Bytes&, Response& r) {
  std::string text;
  if (state_.intervention) {
    text = PrinterText("EM INTERVENÇÃO TÉCNICA");
  } else if (state_.paper == PaperState::kOut) {
    text = "SEM PAPEL";
  } else if (state_.coupon.open) {
    text = "CUPOM FISCAL ABERTO";
  } else if (state_.reducedToday && state_.reducedDate == Today()) {
    text = PrinterText("REDUÇÃO Z EMITIDA - AGUARDANDO PRÓXIMO DIA");
  } else if (state_.hasMovement && state_.movementDate != Today()) {
    text = PrinterText("AGUARDANDO REDUÇÃO Z");
  } else {
    text = PrinterText("ECF EM OPERAÇÃO");
  }
  const std::string safe = OpenReplyText(text);
  r.data.assign(safe.begin(), safe.end());
}

void CommandHandler::MemoryCheckOld(const Bytes&, Response& r) {
  const unsigned recorded = static_cast<unsigned>(state_.user + state_.fiscalMemory.size());
  PutWord(r.data, recorded);
  PutWord(r.data, recorded);
  PutWord(r.data, 0);
}

void CommandHandler::MemoryCheckFull(const Bytes&, Response& r) {
  const unsigned groups[5] = {static_cast<unsigned>(state_.user), 1u,
                              static_cast<unsigned>(state_.fiscalMemory.size()), 0u, 1u};
  for (unsigned recorded : groups) {
    PutWord(r.data, recorded);
    PutWord(r.data, recorded);
    PutWord(r.data, 0);
  }
}

}  // namespace tervane::sim
