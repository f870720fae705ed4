// Decoding a complete reply by the command's return fields.
#pragma once

#include "app/settings.h"
#include "catalogue/command_record.h"

namespace tervane {

// Appends the status block and the decoded fields of command.replyData to ResultText and
// fills each field's value slot. Never reads past the bytes received: a reply shorter
// than its layout is decoded as far as it goes. Always returns 0.
int FormatReturn(CommandRecord& command, const ProgramSettings& settings);

}  // namespace tervane
