// What the USB link costs on top of the bus, measured against the scripted printer
// (whose transfers take no time of their own):
//  - UsbChunkOverhead: one 512-byte chunk through CUsbPort::Send (status check, bulk
//    write, the request blocks and status mapping). Target: well under 1 ms.
//  - UsbIdlePollingCpu: a one-byte Receive from an idle printer with the real 30 ms
//    pauses of the system clock; the counter cpu_percent is the process's CPU time over
//    the wall time. Target: under 5% of one core.
#include <benchmark/benchmark.h>

#include <time.h>

#include <vector>

#include "support/fake_usb_backend.h"
#include "core/transport/usb_link.h"
#include "core/transport/usb_port.h"

namespace tervane {
namespace {

using testing::FakeClock;
using testing::FakeUsbBackend;

double Seconds(clockid_t id) {
  timespec now{};
  clock_gettime(id, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void UsbChunkOverhead(benchmark::State& state) {
  FakeClock clock;
  FakeUsbBackend usb(clock);
  usb.controlCostMs = 0;
  usb.bulkCostMs = 0;
  CUsbLink link(usb, clock, {{0x7e4a, 0x0001}});
  CUsbPort port(link);
  std::vector<std::uint8_t> chunk(kUsbChunkSize, 0x41);
  if (!port.Open(9600)) state.SkipWithError("the scripted printer did not open");
  long count = 0;
  long failed = 0;
  for (auto _ : state) {
    failed += port.Send(chunk.data(), kUsbChunkSize, 20000) ? 0 : 1;
    if (++count % 4096 == 0) {
      state.PauseTiming();
      usb.ClearRecords();  // the fake's own log, not the link's work
      state.ResumeTiming();
    }
  }
  state.SetBytesProcessed(state.iterations() * kUsbChunkSize);
  if (failed > 0) state.SkipWithError("a chunk was not accepted");
}
BENCHMARK(UsbChunkOverhead)->Unit(benchmark::kMicrosecond);

void UsbIdlePollingCpu(benchmark::State& state) {
  FakeClock transferTime;  // the scripted printer's clock; the link waits in real time
  FakeUsbBackend usb(transferTime);
  CUsbLink link(usb, SystemClock(), {{0x7e4a, 0x0001}});
  CUsbPort port(link);
  if (!port.Open(9600)) state.SkipWithError("the scripted printer did not open");
  double cpu = 0, wall = 0;
  long polls = 0;
  for (auto _ : state) {
    usb.ClearRecords();
    const double wall0 = Seconds(CLOCK_MONOTONIC);
    const double cpu0 = Seconds(CLOCK_PROCESS_CPUTIME_ID);
    std::uint8_t byte = 0;
    benchmark::DoNotOptimize(port.Receive(&byte, 1, 1000));  // ends after 1.5 s of idle answers
    cpu += Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    wall += Seconds(CLOCK_MONOTONIC) - wall0;
    polls += usb.Count(FakeUsbBackend::Op::kPoll);
  }
  state.counters["cpu_percent"] = wall > 0 ? 100.0 * cpu / wall : 0;
  state.counters["polls_per_s"] = wall > 0 ? static_cast<double>(polls) / wall : 0;
}
BENCHMARK(UsbIdlePollingCpu)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace
}  // namespace tervane

BENCHMARK_MAIN();
