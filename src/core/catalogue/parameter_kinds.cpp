// The editor of each parameter kind: which dialog it opens and what value it produces.
#include "core/catalogue/parameter_kinds.h"

#include <functional>
#include <string_view>
#include <unordered_map>

#include "core/common/string_table.h"
#include "core/catalogue/composite_editors.h"
#include "core/catalogue/editor_dialogs.h"

namespace tervane {
namespace {

using editors::CancelledText;
using editors::TextPadding;

// The dialogs of the basic kinds describe themselves with the parameter's title; a
// parameter without a title gets the dialog's own prompt.
std::string Describe(const ParameterRecord& parameter, int fallback) {
  return parameter.title.empty() ? LoadString(fallback) : parameter.title;
}

using Editor = std::function<std::string(const ParameterRecord&, Prompter&, Clock&)>;

// Wraps a basic dialog: its answer, or "ERRO" when it was cancelled.
template <typename Ask>
std::string OrCancelled(Ask ask) {
  std::string value;
  return ask(value) ? value : CancelledText();
}

Editor Text(TextPadding padding, int widthFactor = 1) {
  return [padding, widthFactor](const ParameterRecord& p, Prompter& prompter, Clock&) {
    return OrCancelled([&](std::string& out) {
      return editors::AskTextValue(prompter, p.title, widthFactor * p.size, p.value, padding, out);
    });
  };
}

Editor Number(int fixedLimit = 0) {
  return [fixedLimit](const ParameterRecord& p, Prompter& prompter, Clock&) {
    const int limit = fixedLimit > 0 ? fixedLimit : p.size;
    return OrCancelled([&](std::string& out) {
      return editors::AskDigitsValue(prompter, Describe(p, str::kDigiteValor), limit, p.value, false, out);
    });
  };
}

Editor Amount(int decimals) {
  return [decimals](const ParameterRecord& p, Prompter& prompter, Clock&) {
    return OrCancelled([&](std::string& out) {
      return editors::AskAmountValue(prompter, p.title, p.size - decimals, decimals, p.value, out);
    });
  };
}

Editor Date(bool fourDigitYear) {
  return [fourDigitYear](const ParameterRecord& p, Prompter& prompter, Clock& clock) {
    return OrCancelled([&](std::string& out) {
      return editors::AskDateValue(prompter, clock, Describe(p, str::kSelecioneData), fourDigitYear, out);
    });
  };
}

Editor MultiLine() {
  return [](const ParameterRecord& p, Prompter& prompter, Clock&) {
    return OrCancelled([&](std::string& out) {
      return editors::AskMultiLineValue(prompter, p.title, p.size, p.value, false, out);
    });
  };
}

const std::unordered_map<std::string_view, Editor>& Editors() {
  static const std::unordered_map<std::string_view, Editor> table = {
      {"STRING", Text(TextPadding::kWhenNotEmpty)},
      {"RANDOM_STRING",
       [](const ParameterRecord& p, Prompter& prompter, Clock& clock) {
         return OrCancelled([&](std::string& out) {
           return editors::AskTextValue(prompter, p.title, p.size, MakeRandomText(p.size, clock),
                                        TextPadding::kWhenNotEmpty, out);
         });
       }},
      {"STRING_VAR_SIZE", Text(TextPadding::kNone)},
      {"STRING_VAR_SIZE_WITHOUT_CR", Text(TextPadding::kNone)},
      {"DIG_HEX", Text(TextPadding::kWhenNotEmpty, 2)},
      {"CUPOM_OU_BILHETE_CONV_156", Text(TextPadding::kWhenNotEmpty)},
      {"INTEGER", Number()},
      {"BCD_INTEGER", Number()},
      {"RANDOM_NUMBER",
       [](const ParameterRecord& p, Prompter& prompter, Clock& clock) {
         return OrCancelled([&](std::string& out) {
           return editors::AskDigitsValue(prompter, Describe(p, str::kDigiteValor), p.size,
                                          MakeRandomDigits(p.size, clock), false, out);
         });
       }},
      {"BINARIO", Number(3)},
      {"FINANCE", Amount(2)},
      {"FINANCE_3", Amount(3)},
      {"PERCENTAGE",
       [](const ParameterRecord& p, Prompter& prompter, Clock&) {
         return OrCancelled([&](std::string& out) {
           return editors::AskPercentageValue(prompter, p.title, out);
         });
       }},
      {"DATA", Date(false)},
      {"DATA_2_2_4", Date(true)},
      {"HORA",
       [](const ParameterRecord& p, Prompter& prompter, Clock& clock) {
         return OrCancelled([&](std::string& out) {
           return editors::AskTimeValue(prompter, clock, Describe(p, str::kSelecioneHora), out);
         });
       }},
      {"BIG_STRING", MultiLine()},
      {"BIG_STRING_VAR_SIZE", MultiLine()},
      {"CLICHE", [](const ParameterRecord&, Prompter& prompter, Clock&) {
         return editors::EditCliche(prompter);
       }},
      {"OPTIONS", [](const ParameterRecord& p, Prompter& prompter, Clock&) {
         return editors::EditOptions(p, prompter);
       }},
      {"CHEQUE_POS", [](const ParameterRecord& p, Prompter& prompter, Clock&) {
         return editors::EditChequePositions(p, prompter);
       }},
      {"DISCOUNT", [](const ParameterRecord& p, Prompter& prompter, Clock&) {
         return editors::EditDiscount(p, prompter);
       }},
      {"AC_OU_DESC_SUB", [](const ParameterRecord& p, Prompter& prompter, Clock&) {
         return editors::EditSubtotalAdjustment(p, prompter, false);
       }},
      {"FECHA_CUPOM", [](const ParameterRecord& p, Prompter& prompter, Clock&) {
         return editors::EditSubtotalAdjustment(p, prompter, true);
       }},
      {"AC_OU_DESC_ITEM", [](const ParameterRecord& p, Prompter& prompter, Clock&) {
         return editors::EditItemAdjustment(p, prompter);
       }},
      {"DESCR_FORMA_PAGAMENTO", [](const ParameterRecord&, Prompter& prompter, Clock&) {
         return editors::EditPaymentDescriptions(prompter, true);
       }},
      {"DESCR_FORMA_PAGAMENTO_SEM_TEF", [](const ParameterRecord&, Prompter& prompter, Clock&) {
         return editors::EditPaymentDescriptions(prompter, false);
       }},
      {"TROCA_SIT_TRIB", [](const ParameterRecord& p, Prompter& prompter, Clock&) {
         return editors::EditTaxRateTable(p, prompter);
       }},
      {"VINC_ISS", [](const ParameterRecord& p, Prompter& prompter, Clock&) {
         return editors::EditIssBindings(p, prompter);
       }},
      {"IMPR_FITA_DETALHE", [](const ParameterRecord& p, Prompter& prompter, Clock& clock) {
         return editors::EditDetailTapeRange(p, prompter, clock);
       }},
      {"LEIT_MEM_FISCAL", [](const ParameterRecord& p, Prompter& prompter, Clock& clock) {
         return editors::EditFiscalMemoryReading(p, prompter, clock);
       }},
      {"LEIT_DADOS_MEM_FISCAL", [](const ParameterRecord&, Prompter& prompter, Clock&) {
         return editors::EditFiscalMemoryData(prompter);
       }},
      {"BILHETE_PASSAGEM", [](const ParameterRecord& p, Prompter& prompter, Clock&) {
         return editors::EditTicket(p, prompter);
       }},
      {"CAR_GRAF_AUTENTICACAO", [](const ParameterRecord& p, Prompter& prompter, Clock&) {
         return editors::EditAuthenticationCharacter(p, prompter);
       }},
  };
  return table;
}

}  // namespace

std::string EditParameter(const ParameterRecord& parameter, Prompter& prompter, Clock& clock) {
  const auto& table = Editors();
  const auto it = table.find(parameter.kind);
  // The hidden kinds and unknown kinds have no editor: the value stays as it is.
  if (it == table.end()) return parameter.value;
  return it->second(parameter, prompter, clock);
}

bool IsHiddenKind(const std::string& kind) {
  return kind == "NOT_EDITABLE" || kind == "DIG_HEX_NOT_EDITABLE";
}

int RowLimit(const ParameterRecord& parameter) {
  if (parameter.kind == "BINARIO") return 3;
  if (parameter.kind == "DIG_HEX") return 2 * parameter.size;
  return parameter.size;
}

}  // namespace tervane
