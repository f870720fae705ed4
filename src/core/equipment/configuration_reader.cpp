#include "core/equipment/configuration_reader.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "core/common/string_table.h"
#include "core/catalogue/catalogue.h"
#include "core/common/charset.h"
#include "core/common/text.h"
#include "core/equipment/model_groups.h"
#include "core/equipment/profile_file.h"
#include "core/equipment/reply_status.h"

namespace tervane {
namespace {

struct StyleMarker {
  std::string_view sequence;
  const char* marker;
};

// In this order: a sequence that begins another is never replaced by a shorter one first.
const StyleMarker kStyleMarkers[] = {
    {std::string_view("\x1B\x2D\x01", 3), "CLICHE_SUB_INI_XML"},
    {std::string_view("\x1B\x2D\x30", 3), "CLICHE_SUB_END_XML"},
    {std::string_view("\x1B\x34", 2), "CLICHE_IT_INI_XML"},
    {std::string_view("\x1B\x35", 2), "CLICHE_IT_END_XML"},
    {std::string_view("\x1B\x45", 2), "CLICHE_ENF_INI_XML"},
    {std::string_view("\x1B\x46", 2), "CLICHE_ENF_END_XML"},
    {std::string_view("\x1B\x57\x01", 3), "CLICHE_EXP_INI_XML"},
    {std::string_view("\x1B\x57\x02", 3), "CLICHE_EXP_END_XML"},
};

struct ReplyField {
  const char* kind;
  int size;
  const char* title;
};

// A reading command built in code: its escape text, reply size and return fields.
CommandRecord QueryCommand(const char* title, const char* escape, int replySize,
                           std::initializer_list<ReplyField> fields) {
  CommandRecord c;
  c.title = Utf8ToCp1252Lossy(title);
  c.hasEscape = true;
  c.escapeText = escape;
  ParseEscapeText(c.escapeText, c);
  c.declaredReturnSize = replySize;
  c.ExpectedReplyLength = replySize;
  for (const ReplyField& f : fields) {
    ReturnFieldRecord r;
    r.kind = f.kind;
    r.size = f.size;
    r.title = Utf8ToCp1252Lossy(f.title);
    c.returnFields.push_back(std::move(r));
  }
  return c;
}

// A text field without the printer's fixed-width padding: trailing blanks and NULs are
// how a printer fills the unused part of a field, not part of the value.
std::string WithoutFieldPadding(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

std::string Value(const CommandRecord& c, size_t field) { return WithoutFieldPadding(c.returnFields[field].value); }

class ConfigurationRead {
 public:
  ConfigurationRead(ProfileRecord& profile, const ExchangeContext& context, Prompter* prompter,
                    ConfigurationReadReport& report)
      : profile_(profile), context_(context), prompter_(prompter), report_(report) {}

  int Run() {
    const int code = Steps();
    report_.stopCode = code;
    return code;
  }

 private:
  int Steps() {
    const bool older = IsOlderModelGroup(context_.settings->g_modelMask);

    // 1. Serial number.
    {
      const int size = older ? 15 : 20;
      CommandRecord c = QueryCommand("Número de série", older ? "35 0" : "35 40", size,
                                     {{"ASCII", size, "Número de série"}});
      if (!Step(c)) return stop_;
      if (ok_) profile_.serialNumber = Value(c, 0);
    }

    // 2. Owner data.
    if (older) {
      CommandRecord c = QueryCommand("CGC/IE", "35 2", 33, {{"ASCII", 33, "CGC/IE"}});
      if (!Step(c)) return stop_;
      if (ok_) {
        const std::string& v = c.returnFields[0].value;
        profile_.cnpj = WithoutFieldPadding(v.substr(0, 18));
        profile_.ie = v.size() > 18 ? WithoutFieldPadding(v.substr(18, 15)) : std::string();
        profile_.im.clear();
        profile_.uf.clear();
      }
    } else {
      const std::pair<const char*, std::string ProfileRecord::*> owner[] = {
          {"35 42", &ProfileRecord::cnpj},
          {"35 43", &ProfileRecord::ie},
          {"35 44", &ProfileRecord::im},
          {"35 70", &ProfileRecord::uf},
      };
      const char* titles[] = {"CNPJ", "IE", "IM", "UF"};
      for (size_t k = 0; k < 4; ++k) {
        const int size = k < 3 ? 20 : 2;
        CommandRecord c = QueryCommand(titles[k], owner[k].first, size, {{"ASCII", size, titles[k]}});
        if (!Step(c)) return stop_;
        if (ok_) profile_.*owner[k].second = Value(c, 0);
      }
    }

    // 3. Store number: the four digits.
    {
      CommandRecord c = QueryCommand("Número da Loja", "35 15", 2, {{"BCD_INTEGER", 2, "Número da Loja"}});
      if (!Step(c)) return stop_;
      if (ok_) profile_.storeNumber = Value(c, 0);
    }

    // 4. Till number: the last three of the four digits.
    {
      CommandRecord c = QueryCommand("Número do Caixa", "35 14", 2, {{"BCD_INTEGER", 2, "Número do Caixa"}});
      if (!Step(c)) return stop_;
      if (ok_) {
        const std::string v = Value(c, 0);
        profile_.tillNumber = v.size() > 1 ? v.substr(1, 3) : std::string();
      }
    }

    // 5. Date and time.
    {
      CommandRecord c = QueryCommand("Data e Hora", "35 23", 6, {{"BCD_DATA", 3, "Data"}, {"BCD_HORA", 3, "Hora"}});
      if (!Step(c)) return stop_;
      if (ok_) {
        profile_.date = Value(c, 0);
        profile_.time = Value(c, 1);
      }
    }

    // 6. Daylight saving: bit 2 of the fiscal flags.
    {
      CommandRecord c = QueryCommand("Flags Fiscais", "35 17", 1, {{"ASCII_FLAGS_FISCAIS", 1, "Flags Fiscais"}});
      if (!Step(c)) return stop_;
      if (ok_) {
        const std::string v = Value(c, 0);
        profile_.daylightSaving = v.size() > 2 && v[2] != '0';
      }
    }

    // 7. Owner's cliché, style sequences back as markers.
    {
      CommandRecord c = QueryCommand("Clichê do Proprietário", "35 13", 186,
                                     {{"ASCII", 186, "Clichê do Proprietário"}});
      if (!Step(c)) return stop_;
      if (ok_) profile_.cliche = ClicheMarkersFromPrinter(Value(c, 0));
    }

    // 8. Tax rates: a count byte, then sixteen rates.
    {
      CommandRecord c = QueryCommand("Alíquotas", "26", 33, {{"INTEGER", 1, "Número de alíquotas"}});
      for (int k = 1; k <= kProfileRates; ++k) {
        ReturnFieldRecord r;
        r.kind = "BCD_PERCENTAGE";
        r.size = 2;
        r.title = Utf8ToCp1252Lossy("Alíquota ") + Format("%02d", k);
        c.returnFields.push_back(std::move(r));
      }
      if (!Step(c)) return stop_;
      if (ok_) {
        for (size_t k = 0; k < kProfileRates; ++k) profile_.rates[k] = Value(c, k + 1);
      }
    }

    // 9. ISS binding.
    {
      CommandRecord c = QueryCommand("Vinculação ao ISS", "35 29", 2,
                                     {{"ASCII_FLAG_VINC_ISS", 2, "Vinculação ao ISS"}});
      if (!Step(c)) return stop_;
      if (ok_) profile_.issBinding = Value(c, 0);
    }

    // 10. Totalizer names: 9 on the older models, 30 on the newer.
    {
      const int count = older ? 9 : 30;
      CommandRecord c = QueryCommand("Totalizadores não sujeitos ao ICMS", older ? "35 25" : "35 48", 19 * count, {});
      for (int k = 1; k <= count; ++k) {
        ReturnFieldRecord r;
        r.kind = "ASCII";
        r.size = 19;
        r.title = "Totalizador " + Format("%02d", k);
        c.returnFields.push_back(std::move(r));
      }
      if (!Step(c)) return stop_;
      if (ok_) {
        for (size_t k = 0; k < static_cast<size_t>(count); ++k) profile_.totalizerNames[k] = Value(c, k);
      }
    }

    // 11. Passenger ticket: the first data byte is 00h.
    {
      CommandRecord c = QueryCommand("Configurações de Impressão", "35 253", 3,
                                     {{"FLAG_BP_CF", 1, "Bilhete de passagem ou cupom fiscal"},
                                      {"FLAG_PRESENTER_GAVETA", 1, "Presenter"},
                                      {"FLAG_CUTTER_AUTENTIC", 1, "Guilhotina"}});
      if (!Step(c)) return stop_;
      if (ok_) profile_.passengerTicket = c.replyData.size() > 1 && c.replyData[1] == 0x00;
    }
    return kOk;
  }

  // Executes one step. Returns false when the read must stop (no answer, or cancelled);
  // `ok_` says whether the step's values may be used.
  bool Step(CommandRecord& command) {
    const int code = ExecuteCommand(command, context_);
    ok_ = code == kOk && !StatusOfReply(command).Refused();
    if (code == kExchangeFailed || code == kCancelled) {
      if (code == kExchangeFailed && prompter_) {
        prompter_->ShowMessage(LoadString(str::kTervane), LoadString(str::kFalhaEnvio));
      }
      report_.stoppedAt = command.title;
      stop_ = code;
      return false;
    }
    (ok_ ? report_.read : report_.notRead).push_back(command.title);
    return true;
  }

  ProfileRecord& profile_;
  const ExchangeContext& context_;
  Prompter* prompter_;
  ConfigurationReadReport& report_;
  bool ok_ = false;
  int stop_ = kOk;
};

}  // namespace

std::string ClicheMarkersFromPrinter(std::string text) {
  for (const StyleMarker& m : kStyleMarkers) ReplaceAll(text, m.sequence, m.marker);
  return text;
}

std::string ConfigurationReadReport::ReadList() const {
  if (read.empty()) return "nenhum";
  std::string list;
  for (const std::string& step : read) list += (list.empty() ? "" : ", ") + step;
  return list;
}

std::string ConfigurationReadReport::Warning() const {
  if (Whole()) return {};
  std::string text = Utf8ToCp1252Lossy("Leitura incompleta: o perfil não foi lido inteiro do equipamento.\r\n");
  if (stopCode == kCancelled) {
    text += Utf8ToCp1252Lossy("Leitura cancelada em: ") + stoppedAt + "\r\n";
  } else if (stopCode != kOk) {
    text += Utf8ToCp1252Lossy("O equipamento parou de responder em: ") + stoppedAt + "\r\n";
  }
  if (!notRead.empty()) {
    std::string list;
    for (const std::string& step : notRead) list += (list.empty() ? "" : ", ") + step;
    text += Utf8ToCp1252Lossy("Não lidos (recusados): ") + list + "\r\n";
  }
  text += Utf8ToCp1252Lossy("Lidos: ") + ReadList() + "\r\n";
  text += Utf8ToCp1252Lossy("Os demais campos não vieram do equipamento; confira-os antes de salvar.");
  return text;
}

int ReadEquipmentConfiguration(ProfileRecord& profile, const ExchangeContext& context, Prompter* prompter,
                               ConfigurationReadReport* report) {
  ConfigurationReadReport local;
  ConfigurationReadReport& out = report ? *report : local;
  out = ConfigurationReadReport{};
  if (context.settings == nullptr || context.ports == nullptr) {
    out.stopCode = kExchangeFailed;
    return kExchangeFailed;
  }
  return ConfigurationRead(profile, context, prompter, out).Run();
}

bool KeepUnreadFields(const ProfileList& stored, ProfileRecord& read) {
  const std::string serial = WithoutSpaces(read.serialNumber);
  const auto found = std::find_if(stored.rbegin(), stored.rend(),
                                  [&](const ProfileRecord& p) { return p.serialNumber == serial; });
  if (found == stored.rend()) return false;
  read.client = found->client;
  read.additionalCoupon = found->additionalCoupon;
  read.issDiscount = found->issDiscount;
  read.linkedToCnf = found->linkedToCnf;
  read.rvInConference = found->rvInConference;
  read.automaticZ = found->automaticZ;
  read.restaurantOrStore = found->restaurantOrStore;
  read.conferenceCouponParameter = found->conferenceCouponParameter;
  return true;
}

}  // namespace tervane
