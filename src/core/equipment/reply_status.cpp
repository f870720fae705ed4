#include "core/equipment/reply_status.h"

#include <algorithm>
#include <cstddef>

namespace tervane {

ReplyStatus StatusOfReply(const CommandRecord& command) {
  ReplyStatus status;
  const size_t at = static_cast<size_t>(1 + std::max(command.declaredReturnSize, 0));
  const size_t expected = static_cast<size_t>(std::max(command.ExpectedReplyLength, 0));
  if (expected >= at + 2 && command.replyData.size() >= expected) {
    status.st1 = command.replyData[at];
    status.st2 = command.replyData[at + 1];
  }
  return status;
}

}  // namespace tervane
