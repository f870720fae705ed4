// The basic input dialogs shared by the parameter editors, with the rules that turn what
// was typed into a parameter value (padding, decimal comma, date and time formats).
// Each returns false when the person cancelled; `out` is then left untouched.
#pragma once

#include <string>
#include <vector>

#include "core/common/clock.h"
#include "core/common/prompter.h"

namespace tervane::editors {

// The text every cancelled basic dialog produces ("ERRO").
const std::string& CancelledText();

// How a text dialog's answer is padded with spaces to its limit.
enum class TextPadding {
  kNone,          // kept as typed
  kWhenNotEmpty,  // a non-empty answer is padded
  kAlways,        // a fixed-width field: an empty answer becomes spaces too
};

// Text dialog limited to `limit` characters, starting with `start`.
bool AskTextValue(Prompter& prompter, const std::string& description, int limit,
                  const std::string& start, TextPadding padding, std::string& out);

// Multi-line text dialog limited to `limit` characters; `padToLimit` pads with spaces.
bool AskMultiLineValue(Prompter& prompter, const std::string& description, int limit,
                       const std::string& start, bool padToLimit, std::string& out);

// Number dialog of at most `digits` digits. A non-empty answer is left-padded with "0" to
// `digits`; with `fixedWidth` an empty answer becomes all zeros as well.
bool AskDigitsValue(Prompter& prompter, const std::string& description, int digits,
                    const std::string& start, bool fixedWidth, std::string& out);

// Value dialog with `integerDigits` integer digits and `decimals` decimals. Starts with
// `current` when it is not empty and has at most integerDigits + decimals characters,
// else with decimals + 1 zeros. The answer becomes integerDigits + decimals digits: the
// decimal comma is removed, the decimals written after it are completed with zeros (or
// cut) to `decimals` digits, and the whole is left-padded with "0".
bool AskAmountValue(Prompter& prompter, const std::string& description, int integerDigits,
                    int decimals, const std::string& current, std::string& out);

// The digits of a value-dialog answer (see AskAmountValue). Pure; exposed for reuse.
std::string AmountDigits(const std::string& typed, int integerDigits, int decimals);

// Percentage dialog: two boxes starting at "00"; the integer part is left-padded and the
// decimal part right-padded with "0" to two digits; the answer is the four digits.
bool AskPercentageValue(Prompter& prompter, const std::string& description, std::string& out);

// Date dialog starting at the computer's date: "%02d%02d%02d" (day, month, year mod 100)
// or, with `fourDigitYear`, "%02d%02d%04d".
bool AskDateValue(Prompter& prompter, Clock& clock, const std::string& description,
                  bool fourDigitYear, std::string& out);

// Time dialog starting at the computer's time: "%02d%02d%02d" (hour, minute, second).
bool AskTimeValue(Prompter& prompter, Clock& clock, const std::string& description,
                  std::string& out);

// Choice dialog. Returns the 1-based index of the pressed button, or 0 when the person
// cancelled or the answer names no offered button.
int ChooseOne(Prompter& prompter, const std::string& description,
              const std::vector<std::string>& labels);

}  // namespace tervane::editors
