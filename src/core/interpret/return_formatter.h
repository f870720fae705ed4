// Decoding a complete reply by the command's return fields.
#pragma once

#include "core/common/settings.h"
#include "core/catalogue/command_record.h"

namespace tervane {

// Appends the status block and the decoded fields of command.replyData to ResultText and
// fills each field's value slot (and its work text with the shown form of single-value
// kinds). Never reads past the bytes received: a reply shorter than its layout is decoded
// up to the last field it holds entirely and the rest is left out; the status lines are
// left out when the reply does not hold the status bytes. A negative field size counts
// as 0. Always returns 0.
int FormatReturn(CommandRecord& command, const ProgramSettings& settings);

}  // namespace tervane
