// The editors of the composite parameter kinds: each leads the person through a few
// choices and dialogs and composes the parameter's value from the answers.
//
// Cancelling: a cancelled basic dialog (text, number, value, percentage, date, page)
// inside any of these editors gives "ERRO", so a half-composed value never reaches a
// frame; so does any cancelled step of the surcharge/discount editors. A cancelled choice
// of the other editors gives the text composed up to that choice ("" when nothing was
// composed yet). The tax-rate editors give the current value back unchanged.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/catalogue/command_record.h"
#include "core/catalogue/parameter_forms.h"
#include "core/common/clock.h"
#include "core/common/prompter.h"

namespace tervane {

// One option of an OPTIONS title: the button label and the value it stands for.
struct ParameterOption {
  std::string label;
  std::string value;
};

// Parses an OPTIONS title such as "Normal (0) ou Reduzido (1)": each option is the text
// before a "(" (which must not open the remaining text) and the value up to the next ")";
// parsing goes on after the next "ou". At most 12 options; a title without parentheses,
// or with a "(" that is never closed, yields none for that part.
std::vector<ParameterOption> ParseOptions(const std::string& title);

// Composes the owner's cliché from the three lines of its page: per line the start tokens
// of its styles, its text cut to the width the styles leave, the end tokens, CR LF; with
// `centred`, leading spaces that centre each line on the 47-column paper.
std::string ComposeCliche(const ClicheForm& form);

// The width a cliché line's text may take with the given styles (47 minus twice the
// bytes the style sequences cost in the frame).
int ClicheTextWidth(const ClicheLine& line);

// The five authentication characters, 36 hexadecimal digits each.
extern const std::array<const char*, 5> kAuthenticationCharacters;

namespace editors {

std::string EditOptions(const ParameterRecord& parameter, Prompter& prompter);
std::string EditCliche(Prompter& prompter);
std::string EditChequePositions(const ParameterRecord& parameter, Prompter& prompter);
std::string EditDiscount(const ParameterRecord& parameter, Prompter& prompter);
// AC_OU_DESC_SUB and, with `offerBoth`, FECHA_CUPOM.
std::string EditSubtotalAdjustment(const ParameterRecord& parameter, Prompter& prompter,
                                   bool offerBoth);
std::string EditItemAdjustment(const ParameterRecord& parameter, Prompter& prompter);
// Both payment-method kinds; `askTef` for the one that carries the TEF flag.
std::string EditPaymentDescriptions(Prompter& prompter, bool askTef);
std::string EditTaxRateTable(const ParameterRecord& parameter, Prompter& prompter);
std::string EditIssBindings(const ParameterRecord& parameter, Prompter& prompter);
std::string EditDetailTapeRange(const ParameterRecord& parameter, Prompter& prompter, Clock& clock);
std::string EditFiscalMemoryReading(const ParameterRecord& parameter, Prompter& prompter,
                                    Clock& clock);
std::string EditFiscalMemoryData(Prompter& prompter);
std::string EditTicket(const ParameterRecord& parameter, Prompter& prompter);
std::string EditAuthenticationCharacter(const ParameterRecord& parameter, Prompter& prompter);

}  // namespace editors
}  // namespace tervane
