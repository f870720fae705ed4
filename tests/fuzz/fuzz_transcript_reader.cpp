// Feeds any text to the transcript reader, then decodes every entry it accepted and
// writes it again: nothing may crash, and a line written from an entry must read back
// as the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "core/monitor/transcript.h"
#include "monitor_catalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<tervane::TranscriptEntry> entries;
  std::vector<std::string> problems;
  tervane::ParseTranscript(text, entries, &problems);
  for (const tervane::TranscriptEntry& entry : entries) {
    const tervane::DecodedExchange decoded =
        tervane::DecodeExchange(tervane::fuzz::MonitorCatalogue(), entry.command, entry.reply);
    const std::string line = tervane::TranscriptLine(decoded, {entry.time, entry.port, entry.roundTripMs});
    std::vector<tervane::TranscriptEntry> again;
    if (tervane::ParseTranscript(line, again) != 0 || again.size() != 1) std::abort();
    if (again[0].command != entry.command || again[0].reply != entry.reply) std::abort();
  }
  return 0;
}
