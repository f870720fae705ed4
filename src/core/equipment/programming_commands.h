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
// commands. A newer-model password that is not 20 characters long shows
// WrongPasswordLengthText() through `prompter` (when given) and leaves the password
// parameter empty, so that the first command is refused when it is framed.
std::vector<CommandRecord> BuildProgrammingCommands(const ProfileRecord& profile, const ProgramSettings& settings,
                                                    Prompter* prompter);

}  // namespace tervane
