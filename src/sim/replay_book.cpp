#include "sim/replay_book.h"

#include "core/monitor/transcript.h"

namespace tervane::sim {

bool ReplayBook::Load(const std::string& path, std::string* error, int* skipped) {
  std::vector<TranscriptEntry> entries;
  const int bad = ReadTranscriptFile(path, entries, nullptr, error);
  if (bad < 0) return false;
  if (skipped) *skipped = bad;
  for (const TranscriptEntry& entry : entries) {
    if (entry.command.empty() || entry.reply.empty()) continue;
    book_[Bytes(entry.command.begin(), entry.command.end())].replies.emplace_back(entry.reply.begin(),
                                                                                  entry.reply.end());
    ++entries_;
  }
  return true;
}

bool ReplayBook::Answer(const Bytes& frame, Bytes* reply) {
  const auto found = book_.find(frame);
  if (found == book_.end()) return false;
  Replies& replies = found->second;
  const std::size_t index = replies.next < replies.replies.size() ? replies.next++ : replies.replies.size() - 1;
  *reply = replies.replies[index];
  return true;
}

}  // namespace tervane::sim
