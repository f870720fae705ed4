#include "core/equipment/programming_commands.h"

#include <initializer_list>
#include <utility>

#include "core/common/string_table.h"
#include "core/catalogue/catalogue.h"
#include "core/common/charset.h"
#include "core/common/text.h"
#include "core/equipment/model_groups.h"
#include "core/equipment/profile_pages.h"

namespace tervane {
namespace {

struct Param {
  const char* title;
  const char* kind;
  int size;
  std::string value;
};

CommandRecord Command(const char* title, const char* escape, std::initializer_list<Param> params) {
  CommandRecord c;
  c.group = kProgrammingGroup;
  c.title = Utf8ToCp1252Lossy(title);
  c.hasEscape = true;
  c.escapeText = escape;
  ParseEscapeText(c.escapeText, c);
  c.declaredReturnSize = 0;
  c.ExpectedReplyLength = 0;
  for (const Param& p : params) {
    ParameterRecord r;
    r.title = Utf8ToCp1252Lossy(p.title);
    r.kind = p.kind;
    r.size = p.size;
    r.mandatory = true;
    r.value = p.value;
    c.parameters.push_back(std::move(r));
  }
  return c;
}

// Switches that enable with an odd digit send "1" when on; those that enable with an
// even digit send "0" when on.
std::string OddEnables(bool on) { return on ? "1" : "0"; }
std::string EvenEnables(bool on) { return on ? "0" : "1"; }

}  // namespace

const std::string& WrongPasswordLengthText() {
  static const std::string text = "Senha com tamanho errado";
  return text;
}

std::string RateListValue(const ProfileRecord& profile) {
  std::string rates;
  int count = 0;
  for (const std::string& rate : profile.rates) {
    if (rate.size() == 4 && rate != kFreeRate) {
      rates += rate;
      ++count;
    }
  }
  std::string value = Format("%.2d", count) + rates;
  for (int k = count; k < kProfileRates; ++k) value += kFreeRate;
  return value;
}

std::string IssBindingValue(const ProfileRecord& profile) {
  std::string value(kProfileRates, '0');
  for (size_t k = 0; k < value.size() && k < profile.issBinding.size(); ++k) {
    if (profile.issBinding[k] != '0') value[k] = '1';
  }
  return value;
}

std::vector<CommandRecord> BuildProgrammingCommands(const ProfileRecord& p, const ProgramSettings& settings,
                                                    Prompter* prompter) {
  std::vector<CommandRecord> list;
  list.reserve(kMaxProgrammingCommands);
  const std::string bp = p.passengerTicket ? "B" : "X";
  const char* bpTitle = "BP, B para bilhete de passagem";

  // 1. Owner data.
  if (UsesNewerOwnerLayout(settings.g_modelMask)) {
    std::string password;
    if (p.password.size() == static_cast<size_t>(profile_limits::kPassword)) {
      password = p.password;
    } else if (prompter) {
      prompter->ShowMessage(LoadString(32915), WrongPasswordLengthText());
    }
    list.push_back(Command("Programa CNPJ/IE/IM", "4",
                           {{"CNPJ", "STRING", 20, p.cnpj},
                            {"IE", "STRING", 20, p.ie},
                            {"IM", "STRING", 20, p.im},
                            {"GT", "STRING", 10, std::string(10, ' ')},
                            {bpTitle, "STRING", 1, bp},
                            {"UF", "STRING", 2, p.uf},
                            {"SENHA", "DIG_HEX", 10, password}}));
  } else {
    list.push_back(Command("Programa CGC/IE/IM", "4",
                           {{"CGC", "STRING", 18, p.cnpj},
                            {"IE", "STRING", 15, p.ie},
                            {bpTitle, "STRING", 1, bp},
                            {"IM", "STRING", 15, p.im}}));
  }

  // 2-6. Clock, cliché, till and store, rates, ISS binding.
  list.push_back(Command("Programacao Data e Hora", "2",
                         {{"Data", "DATA", 6, p.date},
                          {"Hora", "HORA", 6, p.time},
                          {"Horario de verao (0=n/1=s)", "BINARIO", 1, p.daylightSaving ? "1" : "0"}}));
  list.push_back(Command("Cliche do proprietario", "3", {{"Cliche", "CLICHE", 186, p.cliche}}));
  list.push_back(Command("Programacao de ECF e Loja", "17",
                         {{"ECF", "STRING", 3, p.tillNumber}, {"Loja", "STRING", 4, p.storeNumber}}));
  list.push_back(Command("Troca de Situacoes Tributarias", "36",
                         {{"Sequencia de parametros", "TROCA_SIT_TRIB", 65, RateListValue(p)}}));
  list.push_back(Command("Vinculacao ao ISS", "38", {{"Vinc", "STRING", 16, IssBindingValue(p)}}));

  // 7. Totalizer names; the last two positions of the page are never sent.
  const int sent = EnabledTotalizerCount(settings.g_modelMask) - 2;
  for (int i = 1; i <= sent; ++i) {
    const std::string& name = p.totalizerNames[static_cast<size_t>(i - 1)];
    if (name.empty()) continue;
    list.push_back(Command("Nomeia tot. para Compr. não Fiscais não Vinculados", "40",
                           {{"Numero do totalizador", "INTEGER", 2, Format("%.2d", i)},
                            {"Nome do totalizador", "STRING", 19, name}}));
  }

  // 8-12. Option switches.
  list.push_back(Command("Habilita/Desabilita Cupom adicional", "68",
                         {{"Par desabilita impar habilita", "INTEGER", 1, OddEnables(p.additionalCoupon)}}));
  list.push_back(Command("Habilita/Desabilita Desconto em ISS", "123",
                         {{"Par desabilita impar habilita", "INTEGER", 1, OddEnables(p.issDiscount)}}));
  list.push_back(Command("Habilita/Desabilita Vinculado a CNF", "80 64",
                         {{"Par Habilita impar desabilita", "INTEGER", 1, EvenEnables(p.linkedToCnf)}}));
  list.push_back(Command("Habilita/Desabilita RV na conferencia", "80 65",
                         {{"Par habilita impar desabilita", "INTEGER", 1, EvenEnables(p.rvInConference)}}));
  list.push_back(Command("Habilita/Desabilita RZ Automática", "84",
                         {{"Par habilita impar desabilita", "INTEGER", 1, EvenEnables(p.automaticZ)}}));

  // 13-14. Restaurant models, read through the restaurant page's own mapping.
  if (IsRestaurantModel(settings)) {
    RestaurantPage page;
    page.Load(p);
    list.push_back(Command("Parametriza para Restaurante ou Loja", "80 63",
                           {{"Restaurante ou loja", "STRING", 1, std::to_string(page.restaurantOrStore)}}));
    if (page.conferenceCoupon) {
      list.push_back(Command("Parametriza Cupom de Conferencia", "80 57",
                             {{"Parametro", "STRING", 1, std::to_string(page.parameter)}}));
    }
  }
  return list;
}

}  // namespace tervane
