// An equipment profile as the lines tervane-cli prints (Windows-1252, CR LF), labelled
// with the profile pages' own texts.
#pragma once

#include <string>

#include "core/equipment/profile_record.h"

namespace tervane::cli {

// Every field but the password: owner and numbers, clock, options, restaurant fields
// when set, the cliché (one indented line per line), the sixteen rates with their
// binding, and the totalizer names that are set.
std::string ProfileText(const ProfileRecord& profile);

// One line for a list: serial number, client and CNPJ separated by tabs.
std::string ProfileSummaryLine(const ProfileRecord& profile);

}  // namespace tervane::cli
