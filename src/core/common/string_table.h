// User texts keyed by the workbench's string numbers. Quoted texts are used exactly as
// written; the table returns them in Windows-1252, the core's text encoding.
#pragma once

#include <string>

#include "core/common/string_ids.h"

namespace tervane {

// The text of string number `id`, or an empty text when the number is unknown.
const std::string& LoadString(int id);

}  // namespace tervane
