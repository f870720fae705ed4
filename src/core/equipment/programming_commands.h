// The commands that program a printer from an equipment profile, built in code (not
// taken from the catalogue) for the selected model's group.
#pragma once

#include <string>
#include <vector>

#include "core/common/settings.h"
#include "core/catalogue/command_record.h"
#include "core/common/prompter.h"
#include "core/equipment/profile_record.h"

namespace tervane {

inline constexpr char kProgrammingSequenceName[] = "Programa maquina";
inline constexpr char kProgrammingGroup[] = "Intervencao tecnica";
inline constexpr int kMaxProgrammingCommands = 61;

// The message shown when the intervention password is not 20 characters long (newer
// models), Windows-1252.
const std::string& WrongPasswordLengthText();

// True for exactly 20 hexadecimal digits (either case), the only password a printer takes.
bool IsValidInterventionPassword(const std::string& password);

// One profile value that does not fit the field the selected model programs it into.
struct FitProblem {
  std::string field;    // the page label: "CNPJ", "IE", "Totalizador 03", ...
  size_t length = 0;    // characters of the value, without trailing blanks
  int limit = 0;        // characters the model takes
};

// The values of `profile` that cannot be programmed into the selected model as they are:
// owner data longer than the model's fields (18/15/15 characters for CNPJ/IE/IM on the
// older group, 20 on the newer), UF, till and store numbers, the totalizer names that
// are sent, and a date or time that is not 6 characters. Trailing blanks do not count
// (they are padding). Empty when everything fits.
std::vector<FitProblem> ProfileFitProblems(const ProfileRecord& profile, const ProgramSettings& settings);

// One line per problem, "Parâmetro com tamanho errado: CNPJ tem 20 caracteres, o modelo
// aceita 18", Windows-1252, lines ending in CR LF.
std::string FitProblemsText(const std::vector<FitProblem>& problems);

// The value of the rate-replacement command: the number of rates that have exactly 4
// characters and are not "0000", as two digits, then each such rate in order, then "0000"
// for every remaining position: always 66 characters.
std::string RateListValue(const ProfileRecord& profile);

// Sixteen characters, '1' for a rate bound to ISS (any binding character but '0') and
// '0' for ICMS (a missing character counts as ICMS).
std::string IssBindingValue(const ProfileRecord& profile);

// The programming commands for `profile`, in order: owner data (older or newer layout),
// date and time, cliché, till and store, rate list, ISS binding, one naming command per
// non-empty totalizer name among the first N-2 (N = 30 for the newer group, 50 for the
// older), the five option switches, and on the restaurant models the restaurant-or-store
// choice and, when the conference coupon is parametrised, its parameter. At most 61
// commands. Text values go without trailing blanks (the fixed-width padding a printer
// answers with), so the framing pads them to the width of the model's field; an empty
// IM, which the older models neither report nor require, is sent as blanks. A
// newer-model password that is not 20 hexadecimal digits shows
// WrongPasswordLengthText() through `prompter` (when given) and leaves the password
// parameter empty, so that the first command is refused when it is framed.
std::vector<CommandRecord> BuildProgrammingCommands(const ProfileRecord& profile, const ProgramSettings& settings,
                                                    Prompter* prompter);

}  // namespace tervane
