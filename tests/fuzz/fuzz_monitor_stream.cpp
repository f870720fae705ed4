// Feeds any bytes to the monitor's stream parser as traffic in both directions, in
// chunks, with time passing between them: every exchange it hands out must decode
// without reading past its bytes, and the bytes it hands out must be exactly the bytes
// fed in each direction, in order.
//
// Input: a sequence of chunks, each a header byte (bit 7 the direction: 1 from the
// printer; bits 0-6 the chunk length) and a time byte (milliseconds to let pass
// before the chunk, times 8), then the chunk's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/monitor/protocol_monitor.h"
#include "monitor_catalogue.h"

namespace {

class SteppedClock final : public tervane::Clock {
 public:
  std::int64_t MonotonicMs() override { return now; }
  void SleepMs(int milliseconds) override { now += milliseconds > 0 ? milliseconds : 0; }
  tervane::CivilTime LocalNow() override { return tervane::CivilTime{2025, 1, 2, 3, 4, 5, 6}; }
  tervane::CivilTime UtcNow() override { return LocalNow(); }
  std::int64_t now = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SteppedClock clock;
  std::vector<std::uint8_t> fromPos, fromPrinter, seenPos, seenPrinter;
  tervane::ProtocolMonitor monitor(tervane::fuzz::MonitorCatalogue(), clock, [&](const tervane::MonitoredExchange& e) {
    seenPos.insert(seenPos.end(), e.decoded.command.begin(), e.decoded.command.end());
    seenPrinter.insert(seenPrinter.end(), e.decoded.reply.begin(), e.decoded.reply.end());
  });
  monitor.SetBridgeFraming(size > 0 && data[0] == 0xB5);
  const bool bridge = size > 0 && data[0] == 0xB5;
  std::size_t at = bridge ? 1 : 0;
  while (at + 2 <= size) {
    const bool printer = data[at] & 0x80;
    const std::size_t length = data[at] & 0x7F;
    clock.now += data[at + 1] * 8;
    at += 2;
    const std::size_t n = length < size - at ? length : size - at;
    monitor.Tick();
    if (printer) {
      monitor.FromPrinter(data + at, n);
      fromPrinter.insert(fromPrinter.end(), data + at, data + at + n);
    } else {
      monitor.FromPos(data + at, n);
      fromPos.insert(fromPos.end(), data + at, data + at + n);
    }
    at += n;
  }
  monitor.Finish();
  if (seenPrinter != fromPrinter) std::abort();
  // With the bridge's framing the two length bytes after each frame are not part of it.
  if (!bridge && seenPos != fromPos) std::abort();
  return 0;
}
