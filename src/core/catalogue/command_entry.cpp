#include "core/catalogue/command_entry.h"

#include <iterator>

#include "core/common/string_table.h"
#include "core/catalogue/parameter_kinds.h"
#include "core/common/text.h"

namespace tervane {
namespace {

// Offers the computer's clock; on acceptance fills date, time and daylight saving.
bool OfferComputerClock(CommandRecord& command, Prompter& prompter, Clock& clock) {
  const CivilTime today = clock.LocalNow();
  const std::string text = LoadString(str::kAceitarRelogio) + "\r\n\r\n" + LoadString(str::kData) + ": " +
                           Format("%02d/%02d/%04d", today.day, today.month, today.year);
  bool daylightSaving = false;
  if (!prompter.AcceptComputerClock(text, daylightSaving)) return false;
  const std::string question =
      LoadString(str::kDataCorreta) + "\r\n" + Format("%02d/%02d/%02d", today.day, today.month, today.year % 100);
  if (!prompter.AskYesNo("", question)) return false;

  const CivilTime now = clock.LocalNow();
  const std::string values[] = {
      Format("%02d%02d%02d", now.day, now.month, now.year % 100),
      Format("%02d%02d%02d", now.hour, now.minute, now.second),
      daylightSaving ? "1" : "0",
  };
  for (size_t k = 0; k < std::size(values) && k < command.parameters.size(); ++k) {
    command.parameters[k].value = values[k];
  }
  return true;
}

}  // namespace

std::string RowLabel(const ParameterRecord& parameter) {
  return parameter.mandatory ? parameter.title + " *" : parameter.title;
}

int WalkParameterEditors(std::vector<ParameterRecord>& parameters, Prompter& prompter, Clock& clock) {
  const std::string& cancelled = LoadString(str::kErro);
  for (size_t k = 0; k < parameters.size(); ++k) {
    ParameterRecord& parameter = parameters[k];
    if (IsHiddenKind(parameter.kind)) continue;
    std::string value = EditParameter(parameter, prompter, clock);
    if (value == cancelled) return static_cast<int>(k);
    parameter.value = std::move(value);
  }
  return -1;
}

bool RunOpeningWalk(CommandRecord& command, Prompter& prompter, Clock& clock) {
  if (command.parameters.empty()) return true;
  if (command.escapeText == "2" && OfferComputerClock(command, prompter, clock)) return true;
  WalkParameterEditors(command.parameters, prompter, clock);
  return false;
}

}  // namespace tervane
