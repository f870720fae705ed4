// The entry of a command's parameter values before it is sent: the walk through every
// editor that the Command Dialog runs when it opens, shared by the workbench and the CLI.
// Nothing here sends anything; the caller runs the command.
#pragma once

#include <string>
#include <vector>

#include "core/catalogue/command_record.h"
#include "core/common/clock.h"
#include "core/common/prompter.h"

namespace tervane {

// Rows of the Command Dialog; a command with more parameters cannot be shown whole.
inline constexpr int kCommandDialogRows = 12;

// The label of a parameter's row: its title, plus " *" when it is mandatory.
std::string RowLabel(const ParameterRecord& parameter);

// Runs the editor of every parameter whose kind is not hidden, in order, writing each
// result into the parameter's value. Stops at the first editor that answers "ERRO"; that
// parameter and the ones after it keep their values. Returns the index of the parameter
// whose editor answered "ERRO", or -1 when the walk went through.
int WalkParameterEditors(std::vector<ParameterRecord>& parameters, Prompter& prompter,
                         Clock& clock = SystemClock());

// The opening of the Command Dialog over its own copy of a command:
// - a command without parameters is to be run at once, without any question;
// - a command whose escape text is exactly "2" (setting the printer's clock) is first
//   offered the computer's clock; when the person accepts it and confirms the date, the
//   first three parameters receive the date (DDMMYY), the time (HHMMSS) and "1" or "0"
//   for daylight saving, and the command is to be run at once;
// - otherwise (or when the offer is declined) the editor walk of WalkParameterEditors.
// Returns true when the command is to be run at once, false when the person is to review
// the values first.
bool RunOpeningWalk(CommandRecord& command, Prompter& prompter, Clock& clock = SystemClock());

}  // namespace tervane
