#include "core/catalogue/editor_dialogs.h"

#include <algorithm>

#include "core/common/string_table.h"
#include "core/common/text.h"

namespace tervane::editors {
namespace {

size_t Width(int n) { return n > 0 ? static_cast<size_t>(n) : 0; }

}  // namespace

const std::string& CancelledText() { return LoadString(str::kErro); }

bool AskTextValue(Prompter& prompter, const std::string& description, int limit,
                  const std::string& start, TextPadding padding, std::string& out) {
  std::string text = start;
  if (!prompter.AskText(description, limit, text)) return false;
  if (padding == TextPadding::kAlways || (padding == TextPadding::kWhenNotEmpty && !text.empty())) {
    text = PadRight(text, Width(limit), ' ');
  }
  out = std::move(text);
  return true;
}

bool AskMultiLineValue(Prompter& prompter, const std::string& description, int limit,
                       const std::string& start, bool padToLimit, std::string& out) {
  std::string text = start;
  if (!prompter.AskMultiLineText(description, limit, text)) return false;
  if (padToLimit) text = PadRight(text, Width(limit), ' ');
  out = std::move(text);
  return true;
}

bool AskDigitsValue(Prompter& prompter, const std::string& description, int digits,
                    const std::string& start, bool fixedWidth, std::string& out) {
  std::string text = start;
  if (!prompter.AskNumber(description, digits, text)) return false;
  if (fixedWidth || !text.empty()) text = PadLeft(text, Width(digits), '0');
  out = std::move(text);
  return true;
}

std::string AmountDigits(const std::string& typed, int integerDigits, int decimals) {
  const size_t comma = typed.find(',');
  std::string digits;
  if (comma == std::string::npos) {
    digits = typed;
  } else {
    // What follows the comma is the decimal part: "1,5" means one and fifty hundredths,
    // never fifteen hundredths.
    std::string fraction = typed.substr(comma + 1);
    RemoveAll(fraction, ',');
    fraction = PadRight(fraction, Width(decimals), '0');
    fraction.resize(Width(decimals));
    digits = typed.substr(0, comma) + fraction;
  }
  return PadLeft(digits, Width(integerDigits) + Width(decimals), '0');
}

bool AskAmountValue(Prompter& prompter, const std::string& description, int integerDigits,
                    int decimals, const std::string& current, std::string& out) {
  integerDigits = std::max(integerDigits, 0);
  decimals = std::max(decimals, 0);
  std::string text;
  if (!current.empty() && current.size() <= Width(integerDigits) + Width(decimals)) {
    text = current;
  } else {
    text.assign(Width(decimals) + 1, '0');
  }
  if (!prompter.AskValue(description, integerDigits, decimals, text)) return false;
  out = AmountDigits(text, integerDigits, decimals);
  return true;
}

bool AskPercentageValue(Prompter& prompter, const std::string& description, std::string& out) {
  std::string integerPart = "00";
  std::string decimalPart = "00";
  if (!prompter.AskPercentage(description, integerPart, decimalPart)) return false;
  out = PadLeft(integerPart, 2, '0') + PadRight(decimalPart, 2, '0');
  return true;
}

bool AskDateValue(Prompter& prompter, Clock& clock, const std::string& description,
                  bool fourDigitYear, std::string& out) {
  CivilTime value = clock.LocalNow();
  if (!prompter.AskDate(description, value)) return false;
  out = fourDigitYear ? Format("%02d%02d%04d", value.day, value.month, value.year)
                      : Format("%02d%02d%02d", value.day, value.month, value.year % 100);
  return true;
}

bool AskTimeValue(Prompter& prompter, Clock& clock, const std::string& description,
                  std::string& out) {
  CivilTime value = clock.LocalNow();
  if (!prompter.AskTime(description, value)) return false;
  out = Format("%02d%02d%02d", value.hour, value.minute, value.second);
  return true;
}

int ChooseOne(Prompter& prompter, const std::string& description,
              const std::vector<std::string>& labels) {
  const int index = prompter.Choose(description, labels);
  if (index < 1 || index > static_cast<int>(labels.size())) return 0;
  if (labels[static_cast<size_t>(index - 1)].empty()) return 0;  // a hidden button
  return index;
}

}  // namespace tervane::editors
