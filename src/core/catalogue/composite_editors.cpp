#include "core/catalogue/composite_editors.h"

#include <algorithm>

#include "core/catalogue/parameter_forms.h"
#include "core/common/string_table.h"
#include "core/catalogue/editor_dialogs.h"
#include "core/common/text.h"

namespace tervane {
namespace {

using editors::CancelledText;
using editors::TextPadding;

constexpr int kMaxOptions = 12;
constexpr int kPaperColumns = 47;
constexpr int kThirdLineColumns = 79;

// String numbers of the texts these editors show.
constexpr int kNormalOrSimplified = 33010;
constexpr int kNormal = 33011;
constexpr int kSimplified = 33012;
constexpr std::array<int, 5> kAuthenticationLabels = {str::kCaracterAutenticacao1, str::kCaracterAutenticacao2,
                                                      str::kCaracterAutenticacao3, str::kCaracterAutenticacao4,
                                                      str::kCaracterAutenticacao5};

// Labels that have no number of their own.
const char* const kByPercentage = "&Percentual";
const char* const kByValue = "&Valor";

constexpr int kMaxPaymentDescriptions = 19;
constexpr int kPaymentDescriptionWidth = 16;
constexpr int kRateCountDigits = 2;
constexpr int kTaxRates = 16;
constexpr int kRateDigits = 4;
constexpr int kChequeBoxes = 13;

// A button label without its keyboard mnemonic, for use as a dialog's description.
std::string WithoutMnemonic(std::string label) {
  RemoveAll(label, '&');
  return label;
}

std::vector<std::string> Labels(std::initializer_list<int> ids) {
  std::vector<std::string> labels;
  for (int id : ids) labels.push_back(LoadString(id));
  return labels;
}

// The cut text of a cliché line and the spaces that centre it.
struct ClicheLineLayout {
  std::string text;
  int indent = 0;
};

ClicheLineLayout LayOutClicheLine(const ClicheLine& line, bool third, bool centred) {
  ClicheLineLayout layout;
  layout.text = line.text.substr(0, static_cast<size_t>(ClicheTextWidth(line)));
  if (!centred) return layout;
  const int length = static_cast<int>(layout.text.size());
  auto centring = [&](int l) {
    return line.expanded ? (kPaperColumns - 2 * l - 1) / 2 : (kPaperColumns - l) / 2;
  };
  if (!third) {
    layout.indent = centring(length);
  } else {
    // The third line may run over two printed lines: centre its first printed line, but
    // never push the whole text beyond the room of the second.
    const size_t lineBreak = layout.text.find_first_of("\r\n");
    const int first = static_cast<int>(std::min<size_t>(
        lineBreak == std::string::npos ? layout.text.size() : lineBreak, kPaperColumns));
    const int limit = line.expanded ? (kThirdLineColumns - 2 * length) / 2
                                    : (kThirdLineColumns - length) / 2;
    layout.indent = std::min(centring(first), limit);
  }
  layout.indent = std::max(layout.indent, 0);
  return layout;
}

}  // namespace

const std::array<const char*, 5> kAuthenticationCharacters = {
    "804020100804020102040810204080808080",
    "208020100820020101020408102040808080",
    "040801100804020102040810204080808080",
    "400204100804020102040810204080808080",
    "204004800804020102040810204080808080",
};

std::vector<ParameterOption> ParseOptions(const std::string& title) {
  std::vector<ParameterOption> options;
  size_t start = 0;
  while (static_cast<int>(options.size()) < kMaxOptions && start < title.size()) {
    const size_t open = title.find('(', start);
    if (open == std::string::npos || open == start) break;
    const size_t close = title.find(')', open + 1);
    if (close == std::string::npos) break;
    options.push_back({title.substr(start, open - start), title.substr(open + 1, close - open - 1)});
    const size_t separator = title.find("ou", close + 1);
    if (separator == std::string::npos) break;
    start = separator + 2;
  }
  return options;
}

int ClicheTextWidth(const ClicheLine& line) {
  const int cost = (line.underline ? 3 : 0) + (line.italic ? 2 : 0) + (line.emphasis ? 2 : 0) +
                   (line.expanded ? 3 : 0);
  return std::max(kPaperColumns - 2 * cost, 0);
}

std::string ComposeCliche(const ClicheForm& form) {
  std::string value;
  for (size_t i = 0; i < form.lines.size(); ++i) {
    const ClicheLine& line = form.lines[i];
    const ClicheLineLayout layout = LayOutClicheLine(line, i == 2, form.centred);
    value.append(static_cast<size_t>(layout.indent), ' ');
    if (line.underline) value += "CLICHE_SUB_INI_XML";
    if (line.italic) value += "CLICHE_IT_INI_XML";
    if (line.emphasis) value += "CLICHE_ENF_INI_XML";
    if (line.expanded) value += "CLICHE_EXP_INI_XML";
    value += layout.text;
    if (line.underline) value += "CLICHE_SUB_END_XML";
    if (line.italic) value += "CLICHE_IT_END_XML";
    if (line.emphasis) value += "CLICHE_ENF_END_XML";
    if (line.expanded) value += "CLICHE_EXP_END_XML";
    value += "\r\n";
  }
  return value;
}

namespace editors {

std::string EditOptions(const ParameterRecord& parameter, Prompter& prompter) {
  const std::vector<ParameterOption> options = ParseOptions(parameter.title);
  std::vector<std::string> labels;
  for (const auto& option : options) labels.push_back(option.label);
  const int chosen = ChooseOne(prompter, parameter.title, labels);
  if (chosen == 0) return {};
  return options[static_cast<size_t>(chosen - 1)].value;
}

std::string EditCliche(Prompter& prompter) {
  ClicheForm form;
  ParameterForms* forms = ParameterFormsOf(prompter);
  if (forms == nullptr || !forms->EditCliche(form)) return CancelledText();
  return ComposeCliche(form);
}

std::string EditChequePositions(const ParameterRecord& parameter, Prompter& prompter) {
  ChequePositionForm form;
  if (parameter.value.size() == 2 * kChequeBoxes) {
    for (size_t k = 0; k < form.fields.size(); ++k) form.fields[k] = parameter.value.substr(2 * k, 2);
  }
  ParameterForms* forms = ParameterFormsOf(prompter);
  if (forms == nullptr || !forms->EditChequePositions(form)) return CancelledText();
  std::string value;
  for (const auto& field : form.fields) value += PadLeft(field, 2, '0');
  return value;
}

std::string EditDiscount(const ParameterRecord& parameter, Prompter& prompter) {
  const int how = ChooseOne(prompter, parameter.title, {kByPercentage, kByValue});
  std::string amount;
  bool ok = false;
  if (how == 1) {
    ok = AskPercentageValue(prompter, parameter.title, amount);
  } else if (how == 2) {
    ok = AskAmountValue(prompter, parameter.title, parameter.size - 2, 2, parameter.value, amount);
  }
  return ok ? amount : CancelledText();
}

std::string EditSubtotalAdjustment(const ParameterRecord& parameter, Prompter& prompter,
                                   bool offerBoth) {
  std::vector<std::string> kinds = Labels({str::kAcrescimo, str::kDesconto});
  if (offerBoth) kinds.push_back(LoadString(str::kAcrescimoDesconto));
  const int kind = ChooseOne(prompter, parameter.title, kinds);
  if (kind == 0) return CancelledText();
  const int how = ChooseOne(prompter, parameter.title, {kByPercentage, kByValue});
  if (how == 0) return CancelledText();
  const bool byPercentage = how == 1;

  auto amount = [&](int labelId, std::string& out) {
    const std::string description = WithoutMnemonic(LoadString(labelId));
    return byPercentage ? AskPercentageValue(prompter, description, out)
                        : AskAmountValue(prompter, description, 12, 2, "", out);
  };
  std::string surcharge;
  std::string discount;
  switch (kind) {
    case 1:
      if (!amount(str::kAcrescimo, surcharge)) return CancelledText();
      return (byPercentage ? "A" : "a") + surcharge;
    case 2:
      if (!amount(str::kDesconto, discount)) return CancelledText();
      return (byPercentage ? "D" : "d") + discount;
    default:
      if (!amount(str::kAcrescimo, surcharge) || !amount(str::kDesconto, discount)) return CancelledText();
      return "X" + surcharge + discount;
  }
}

std::string EditItemAdjustment(const ParameterRecord& parameter, Prompter& prompter) {
  const int kind = ChooseOne(prompter, parameter.title, {"A", "D"});
  if (kind == 0) return CancelledText();
  std::string item;
  if (!AskDigitsValue(prompter, LoadString(str::kNumeroItem), 3, "", true, item)) return CancelledText();
  const int how = ChooseOne(prompter, parameter.title, {kByValue, kByPercentage});
  std::string amount;
  bool ok = false;
  if (how == 1) {
    ok = AskAmountValue(prompter, parameter.title, 6, 2, "", amount);
  } else if (how == 2) {
    ok = AskPercentageValue(prompter, parameter.title, amount);
  }
  if (!ok) return CancelledText();
  return (kind == 1 ? "A" : "D") + item + amount;
}

std::string EditPaymentDescriptions(Prompter& prompter, bool askTef) {
  std::string value;
  for (int count = 0; count < kMaxPaymentDescriptions; ++count) {
    // Payment method 1 is the printer's own; the descriptions start with method 2.
    const std::string description = Format("%s %d", LoadString(str::kDescricaoFormaPagamento).c_str(), count + 2);
    std::string text;
    if (!AskTextValue(prompter, description, kPaymentDescriptionWidth, "", TextPadding::kAlways,
                      text)) {
      // Every description kept so far is complete; with none there is no value at all.
      return count == 0 ? CancelledText() : value;
    }
    value += text;
    if (askTef) value += prompter.AskYesNo("", LoadString(str::kPermitirTef)) ? "1" : "2";
    if (count + 1 == kMaxPaymentDescriptions) break;
    if (!prompter.AskYesNo("", LoadString(str::kMaisFormaPagamento))) break;
  }
  return value;
}

std::string EditTaxRateTable(const ParameterRecord& parameter, Prompter& prompter) {
  const std::string& current = parameter.value;
  const bool prefill = current.size() == kRateCountDigits + kTaxRates * kRateDigits;
  std::string count = prefill ? current.substr(0, kRateCountDigits) : "";
  if (!AskDigitsValue(prompter, LoadString(str::kNumeroAliquotas), kRateCountDigits, count, true, count)) {
    return current;
  }
  TaxRateForm form;
  for (size_t k = 0; k < form.rates.size(); ++k) {
    form.rates[k] = prefill ? current.substr(kRateCountDigits + kRateDigits * k, kRateDigits) : "0000";
  }
  ParameterForms* forms = ParameterFormsOf(prompter);
  if (forms == nullptr || !forms->EditTaxRates(form)) return current;
  std::string value = count;
  for (const auto& rate : form.rates) value += PadLeft(rate, kRateDigits, '0');
  return value;
}

std::string EditIssBindings(const ParameterRecord& parameter, Prompter& prompter) {
  const std::string& current = parameter.value;
  TaxRateForm form;
  form.rates.fill("0000");
  if (current.size() == kTaxRates) {
    for (size_t k = 0; k < form.iss.size(); ++k) form.iss[k] = current[k] != '0';
  }
  ParameterForms* forms = ParameterFormsOf(prompter);
  if (forms == nullptr || !forms->EditTaxRates(form)) return current;
  std::string value;
  for (bool iss : form.iss) value += iss ? '1' : '0';
  return value;
}

std::string EditDetailTapeRange(const ParameterRecord& parameter, Prompter& prompter, Clock& clock) {
  const int range = ChooseOne(prompter, parameter.title, Labels({str::kIntervaloData, str::kIntervaloCoo}));
  if (range == 0) return {};
  if (range == 1) {
    std::string first;
    std::string last;
    if (!AskDateValue(prompter, clock, LoadString(str::kDigiteDataInicial), false, first) ||
        !AskDateValue(prompter, clock, LoadString(str::kDigiteDataFinal), false, last)) {
      return CancelledText();
    }
    return "D" + first + last;
  }
  std::string first;
  std::string last;
  std::string user;
  if (!AskDigitsValue(prompter, LoadString(str::kCooInicial), 6, "", true, first) ||
      !AskDigitsValue(prompter, LoadString(str::kCooFinal), 6, "", true, last) ||
      !AskDigitsValue(prompter, LoadString(str::kNumeroUsuario), 3, "", true, user)) {
    return CancelledText();
  }
  return "X" + first + last + user;
}

std::string EditFiscalMemoryReading(const ParameterRecord& parameter, Prompter& prompter,
                                    Clock& clock) {
  const int range = ChooseOne(prompter, parameter.title, Labels({str::kIntervaloData, str::kIntervaloReducoes}));
  if (range == 0) return {};
  std::string value;
  std::string first;
  std::string last;
  if (range == 1) {
    if (!AskDateValue(prompter, clock, LoadString(str::kDigiteDataInicial), false, first) ||
        !AskDateValue(prompter, clock, LoadString(str::kDigiteDataFinal), false, last)) {
      return CancelledText();
    }
    value = first + last;
  } else {
    if (!AskDigitsValue(prompter, parameter.title, 4, "", true, first) ||
        !AskDigitsValue(prompter, parameter.title, 4, "", true, last)) {
      return CancelledText();
    }
    value = "00" + first + "00" + last;
  }
  const int output =
      ChooseOne(prompter, LoadString(str::kImpressaoOuPorta), Labels({str::kImpressao, str::kPortaComunicacao}));
  if (output == 0) return value;
  const int detail = ChooseOne(prompter, LoadString(kNormalOrSimplified), Labels({kNormal, kSimplified}));
  if (detail == 0) return value;
  if (output == 1) return value + (detail == 1 ? "I" : "i");
  return value + (detail == 1 ? "R" : "r");
}

std::string EditFiscalMemoryData(Prompter& prompter) {
  switch (ChooseOne(prompter, LoadString(str::kQuantidadeDados), {"32 KB", "512 KB"})) {
    case 1:
      return "MF";
    case 2:
      return "MF2";
    default:
      return {};
  }
}

std::string EditTicket(const ParameterRecord& parameter, Prompter& prompter) {
  std::vector<std::string> types;
  for (int id = str::kRodoviarioIntermunicipal; id < str::kRodoviarioIntermunicipal + 9; ++id)
    types.push_back(LoadString(id));
  const int type = ChooseOne(prompter, parameter.title, types);
  if (type == 0) return {};
  // The ticket is a record of fixed-width fields read by position, so every field,
  // empty ones included, is padded to its width.
  std::string state;
  std::string identity;
  std::string name;
  std::string address;
  if (!AskTextValue(prompter, LoadString(str::kUfDestino), 2, "", TextPadding::kAlways, state) ||
      !AskTextValue(prompter, LoadString(str::kRg), 29, "", TextPadding::kAlways, identity) ||
      !AskTextValue(prompter, LoadString(str::kNome), 30, "", TextPadding::kAlways, name) ||
      !AskMultiLineValue(prompter, LoadString(str::kEndereco), 80, "", true, address)) {
    return CancelledText();
  }
  return Format("%d", type - 1) + state + identity + name + address;
}

std::string EditAuthenticationCharacter(const ParameterRecord& parameter, Prompter& prompter) {
  std::vector<std::string> labels;
  for (int id : kAuthenticationLabels) labels.push_back(LoadString(id));
  const int chosen = ChooseOne(prompter, parameter.title, labels);
  if (chosen == 0) return {};
  return kAuthenticationCharacters[static_cast<size_t>(chosen - 1)];
}

}  // namespace editors
}  // namespace tervane
