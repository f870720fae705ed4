// Parameter kinds: the editor of each kind and the random-value generators.
#pragma once

#include <string>

#include "core/catalogue/command_record.h"
#include "core/common/clock.h"
#include "core/common/prompter.h"

namespace tervane {

// n characters, each (pseudo-random number mod 94) + 32. Reseeds the generator from the
// milliseconds of the current UTC time modulo 256 at every call.
std::string MakeRandomText(int n, Clock& clock = SystemClock());

// n decimal digits; never all zeros (the last digit is "1" when every earlier one is "0").
std::string MakeRandomDigits(int n, Clock& clock = SystemClock());

// Opens the kind's editor with the parameter's title as description and its value as
// the starting text; returns the value produced ("ERRO" for a cancelled basic dialog;
// see each kind for what a cancelled composite editor returns).
std::string EditParameter(const ParameterRecord& parameter, Prompter& prompter,
                          Clock& clock = SystemClock());

// True for the kinds whose row is hidden in the Command Dialog.
bool IsHiddenKind(const std::string& kind);

// The edit-box limit of a parameter's row: size, 3 for BINARIO, 2 x size for DIG_HEX.
int RowLimit(const ParameterRecord& parameter);

}  // namespace tervane
