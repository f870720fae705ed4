// Reading a printer's configuration into an equipment profile: serial number, owner
// data, store and till numbers, clock, cliché, tax rates with their ISS binding,
// totalizer names and the passenger-ticket option, each with the query command of the
// selected model's group.
#pragma once

#include <string>

#include "core/common/prompter.h"
#include "core/equipment/profile_record.h"
#include "core/protocol/command_exchange.h"

namespace tervane {

// The printer's style sequences in a cliché turned back into the marker texts that the
// cliché editor and the CLICHE parameter kind use ("CLICHE_SUB_INI_XML" for 1Bh 2Dh 01h,
// and so on), in the fixed order of the sequences.
std::string ClicheMarkersFromPrinter(std::string text);

// Runs the reading steps in order through ExecuteCommand, with the variants of the model
// group of context.settings->g_modelMask, and copies what each successful step decoded
// into `profile`. A step that fails for another reason leaves its fields as they were and
// the read goes on. The other option flags, the restaurant fields and the password are not
// read. Returns 0; -4 when a command got no answer ("Falha no envio do comando" is then
// shown once through `prompter`, when given, and the read stops, keeping what was read).
// Returns -4 at once, reading nothing, when the context has no settings or ports.
int ReadEquipmentConfiguration(ProfileRecord& profile, const ExchangeContext& context, Prompter* prompter);

}  // namespace tervane
