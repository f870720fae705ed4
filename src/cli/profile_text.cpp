#include "cli/profile_text.h"

#include "core/common/string_table.h"
#include "core/common/charset.h"
#include "core/common/text.h"

namespace tervane::cli {
namespace {

void Line(std::string& out, const std::string& label, const std::string& value) {
  out += label + ": " + value + "\r\n";
}

void Flag(std::string& out, int labelId, bool on) {
  Line(out, LoadString(labelId), LoadString(on ? str::kSim : str::kNao));
}

}  // namespace

std::string ProfileText(const ProfileRecord& p) {
  std::string out;
  Line(out, LoadString(str::kNumeroSerie), p.serialNumber);  // Número de série
  Line(out, LoadString(str::kCliente), p.client);            // Cliente
  Line(out, LoadString(str::kCnpj), p.cnpj);
  Line(out, LoadString(str::kIe), p.ie);
  Line(out, LoadString(str::kIm), p.im);
  Line(out, LoadString(str::kUf), p.uf);
  Line(out, LoadString(str::kNumeroLoja), p.storeNumber);  // Número da Loja
  Line(out, LoadString(str::kNumeroCaixa), p.tillNumber);  // Número do Caixa
  Line(out, LoadString(str::kData), p.date);               // Data
  Line(out, LoadString(str::kHora), p.time);               // Hora
  Flag(out, 32931, p.daylightSaving);             // Horário de verão
  Flag(out, 32849, p.additionalCoupon);
  Flag(out, 32875, p.issDiscount);
  Flag(out, 32944, p.linkedToCnf);
  Flag(out, 32918, p.rvInConference);
  Flag(out, 32919, p.automaticZ);
  Flag(out, 32934, p.passengerTicket);
  if (!p.restaurantOrStore.empty()) Line(out, "Restaurante ou loja", p.restaurantOrStore);
  if (!p.conferenceCouponParameter.empty()) {
    Line(out, Utf8ToCp1252Lossy("Cupom de conferência"), p.conferenceCouponParameter);
  }
  out += LoadString(str::kClicheLabel) + ":\r\n";  // Clichê do Proprietário
  std::string cliche = p.cliche;
  ReplaceAll(cliche, "\r\n", "\n");
  size_t start = 0;
  while (start < cliche.size()) {
    size_t end = cliche.find('\n', start);
    if (end == std::string::npos) end = cliche.size();
    out += "  " + cliche.substr(start, end - start) + "\r\n";
    start = end + 1;
  }
  for (size_t k = 0; k < p.rates.size(); ++k) {
    const bool iss = k < p.issBinding.size() && p.issBinding[k] != '0';
    Line(out, LoadString(str::kAliquota) + Format(" %02zu", k + 1), p.rates[k] + (iss ? " ISS" : " ICMS"));
  }
  for (size_t k = 0; k < p.totalizerNames.size(); ++k) {
    if (!p.totalizerNames[k].empty()) Line(out, Format("Totalizador %02zu", k + 1), p.totalizerNames[k]);
  }
  return out;
}

std::string ProfileSummaryLine(const ProfileRecord& p) {
  return p.serialNumber + "\t" + p.client + "\t" + p.cnpj;
}

}  // namespace tervane::cli
