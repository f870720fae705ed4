// Reading a printer's configuration into an equipment profile: serial number, owner
// data, store and till numbers, clock, cliché, tax rates with their ISS binding,
// totalizer names and the passenger-ticket option, each with the query command of the
// selected model's group.
#pragma once

#include <string>
#include <vector>

#include "core/common/prompter.h"
#include "core/equipment/profile_record.h"
#include "core/protocol/command_exchange.h"

namespace tervane {

// The printer's style sequences in a cliché turned back into the marker texts that the
// cliché editor and the CLICHE parameter kind use ("CLICHE_SUB_INI_XML" for 1Bh 2Dh 01h,
// and so on), in the fixed order of the sequences.
std::string ClicheMarkersFromPrinter(std::string text);

// What a read did, step by step, for a caller that must not store half a profile.
struct ConfigurationReadReport {
  std::vector<std::string> read;     // titles of the steps whose values were taken
  std::vector<std::string> notRead;  // steps that were answered but could not be used
                                     // (refused, or failed for another reason)
  std::string stoppedAt;             // the step the read stopped at; empty when it ran to the end
  int stopCode = 0;                  // -4 no answer, -5 cancelled; 0 when it ran to the end

  // Every step was read: the profile may replace a stored one.
  bool Whole() const { return stopCode == 0 && notRead.empty(); }
  // "CNPJ, IE, ..." of the steps read; "nenhum" when none was.
  std::string ReadList() const;
  // A few lines saying what was not read and why, for the pages and the terminal; empty
  // when the read was whole.
  std::string Warning() const;
};

// Runs the reading steps in order through ExecuteCommand, with the variants of the model
// group of context.settings->g_modelMask, and copies what each successful step decoded
// into `profile`. Text values are taken without the printer's padding (trailing blanks
// and NULs). A step that gets no answer shows "Falha no envio do comando" once through
// `prompter` (when given) and stops the read with -4; a step cancelled by the user stops
// it with -5; a step refused by the printer or failing for another reason leaves its
// fields as they were and the read goes on. What was read stays in `profile` in every
// case; `report` (when given) says which steps were read. The other option flags, the
// restaurant fields and the password are not read. Returns 0 after the last step. Returns
// -4 at once, reading nothing, when the context has no settings or ports.
int ReadEquipmentConfiguration(ProfileRecord& profile, const ExchangeContext& context, Prompter* prompter,
                               ConfigurationReadReport* report = nullptr);

// Takes what the printer does not report (the client, the five option switches other
// than passenger tickets, the restaurant settings) from the last profile in `stored`
// with the same serial number, so that a read does not silently turn them off. Returns
// false, changing nothing, when there is no such profile.
bool KeepUnreadFields(const ProfileList& stored, ProfileRecord& read);

}  // namespace tervane
