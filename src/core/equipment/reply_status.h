// The status bytes of a fixed reply as a command record holds it, and whether they say
// that the printer refused the command.
#pragma once

#include "core/catalogue/command_record.h"

namespace tervane {

// ST1 and ST2 of a complete fixed reply (ACK, the declared data, ST1, ST2); -1 each when
// no complete reply came.
struct ReplyStatus {
  int st1 = -1;
  int st2 = -1;

  // True when the printer answered with a status other than "paper low": it refused the
  // command or could not carry it out.
  bool Refused() const { return (st1 > 0 && (st1 & ~0x40) != 0) || st2 > 0; }
};

ReplyStatus StatusOfReply(const CommandRecord& command);

}  // namespace tervane
