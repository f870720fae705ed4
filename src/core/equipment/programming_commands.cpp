#include "core/equipment/programming_commands.h"

#include <algorithm>
#include <cctype>
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

// Owner fields a printer accepts blank go as blanks rather than as an empty mandatory value.
std::string BlankIfEmpty(const std::string& value, int width) {
  const std::string v = Unpadded(value);
  return v.empty() ? std::string(static_cast<size_t>(width), ' ') : v;
}

}  // namespace

bool IsValidInterventionPassword(const std::string& password) {
  if (password.size() != static_cast<size_t>(profile_limits::kPassword)) return false;
  return std::all_of(password.begin(), password.end(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

std::vector<FitProblem> ProfileFitProblems(const ProfileRecord& p, const ProgramSettings& settings) {
  std::vector<FitProblem> problems;
  auto check = [&](const std::string& field, const std::string& value, int limit) {
    const size_t length = Unpadded(value).size();
    if (length > static_cast<size_t>(limit)) problems.push_back({field, length, limit});
  };
  auto exact = [&](const std::string& field, const std::string& value, int size) {
    const size_t length = Unpadded(value).size();
    if (length != 0 && length != static_cast<size_t>(size)) problems.push_back({field, length, size});
  };
  const bool newer = UsesNewerOwnerLayout(settings.g_modelMask);
  check("CNPJ", p.cnpj, newer ? 20 : 18);
  check("IE", p.ie, newer ? 20 : 15);
  check("IM", p.im, newer ? 20 : 15);
  if (newer) check("UF", p.uf, 2);
  exact("Data", p.date, 6);
  exact("Hora", p.time, 6);
  check(Utf8ToCp1252Lossy("Número do Caixa"), p.tillNumber, 3);
  check(Utf8ToCp1252Lossy("Número da Loja"), p.storeNumber, 4);
  const int sent = EnabledTotalizerCount(settings.g_modelMask) - 2;
  for (int i = 1; i <= sent; ++i) {
    check("Totalizador " + Format("%02d", i), p.totalizerNames[static_cast<size_t>(i - 1)],
          profile_limits::kTotalizerName);
  }
  return problems;
}

std::string FitProblemsText(const std::vector<FitProblem>& problems) {
  std::string text;
  for (const FitProblem& f : problems) {
    text += LoadString(str::kParametroTamanho) + ": " + f.field + " tem " + std::to_string(f.length) +
            Utf8ToCp1252Lossy(" caracteres, o modelo aceita ") + std::to_string(f.limit) + "\r\n";
  }
  return text;
}

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
    if (IsValidInterventionPassword(p.password)) {
      password = p.password;
    } else if (prompter) {
      prompter->ShowMessage(LoadString(str::kTervane), WrongPasswordLengthText());
    }
    list.push_back(Command("Programa CNPJ/IE/IM", "4",
                           {{"CNPJ", "STRING", 20, Unpadded(p.cnpj)},
                            {"IE", "STRING", 20, Unpadded(p.ie)},
                            {"IM", "STRING", 20, BlankIfEmpty(p.im, 20)},
                            {"GT", "STRING", 10, std::string(10, ' ')},
                            {bpTitle, "STRING", 1, bp},
                            {"UF", "STRING", 2, Unpadded(p.uf)},
                            {"SENHA", "DIG_HEX", 10, password}}));
  } else {
    list.push_back(Command("Programa CGC/IE/IM", "4",
                           {{"CGC", "STRING", 18, Unpadded(p.cnpj)},
                            {"IE", "STRING", 15, Unpadded(p.ie)},
                            {bpTitle, "STRING", 1, bp},
                            {"IM", "STRING", 15, BlankIfEmpty(p.im, 15)}}));
  }

  // 2-6. Clock, cliché, till and store, rates, ISS binding.
  list.push_back(Command("Programacao Data e Hora", "2",
                         {{"Data", "DATA", 6, p.date},
                          {"Hora", "HORA", 6, p.time},
                          {"Horario de verao (0=n/1=s)", "BINARIO", 1, p.daylightSaving ? "1" : "0"}}));
  list.push_back(Command("Cliche do proprietario", "3", {{"Cliche", "CLICHE", 186, p.cliche}}));
  list.push_back(Command("Programacao de ECF e Loja", "17",
                         {{"ECF", "STRING", 3, Unpadded(p.tillNumber)}, {"Loja", "STRING", 4, Unpadded(p.storeNumber)}}));
  list.push_back(Command("Troca de Situacoes Tributarias", "36",
                         {{"Sequencia de parametros", "TROCA_SIT_TRIB", 65, RateListValue(p)}}));
  list.push_back(Command("Vinculacao ao ISS", "38", {{"Vinc", "STRING", 16, IssBindingValue(p)}}));

  // 7. Totalizer names; the last two positions of the page are never sent.
  const int sent = EnabledTotalizerCount(settings.g_modelMask) - 2;
  for (int i = 1; i <= sent; ++i) {
    // A name of blanks is no name: a printer refuses it.
    const std::string name = Unpadded(p.totalizerNames[static_cast<size_t>(i - 1)]);
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
