// The protocol monitor: decoding 10,000 recorded exchanges (a mix of fixed, open, GPRS
// and refused replies, cut into small reads) against the shipped catalogue, which must
// take under a second; and the delay the pass-through adds to a frame crossing it, over
// pseudo-terminals with the printer's side opened as a serial line at 115200 baud, whose
// 99th percentile must stay under 1 ms, with the throughput it keeps up with.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/catalogue/catalogue.h"
#include "core/monitor/pass_through.h"
#include "core/monitor/protocol_monitor.h"
#include "core/monitor/pseudo_terminal.h"
#include "core/protocol/frame_builder.h"
#include "core/transport/serial_port.h"

namespace {

using tervane::WireBytes;
using Steady = std::chrono::steady_clock;

const tervane::CommandCatalogue& Shipped() {
  static const tervane::CommandCatalogue catalogue = [] {
    tervane::CommandCatalogue c;
    tervane::LoadCatalogue(std::string(TERVANE_REPO_DIR) + "/data", c);
    return c;
  }();
  return catalogue;
}

WireBytes FrameOf(const WireBytes& body) {
  tervane::FrameBuffer buffer;
  buffer.length = 3;
  tervane::AppendBytes(buffer, body.data(), body.size());
  tervane::FinalizeFrame(buffer);
  return WireBytes(buffer.bytes.begin(), buffer.bytes.begin() + buffer.length);
}

struct Exchange {
  WireBytes command;
  WireBytes reply;
};

std::vector<Exchange> RecordedMix() {
  WireBytes model{0x06};
  for (char c : std::string("KELO           ZT-300 A            ECF-IF ")) model.push_back(static_cast<std::uint8_t>(c));
  model.push_back(0);
  model.push_back(0);
  WireBytes sale{0x1B, 0x09};
  for (char c : std::string("7891234567890CAFE                         T10001000001500000")) {
    sale.push_back(static_cast<std::uint8_t>(c));
  }
  WireBytes open{0x06, 0x00, 0x00};
  for (int i = 0; i < 200; ++i) open.push_back(static_cast<std::uint8_t>('a' + i % 26));
  open.push_back(0x03);
  return {
      {FrameOf({0x1B, 0x23, 0x3C}), model},
      {FrameOf(sale), {0x06, 0x00, 0x00}},
      {FrameOf({0x1B, 0x23, 0x37}), open},
      {FrameOf({0x1C, 0x50, 0x51}), {0x06, 0x01, 0x34, 0x12, 0x00, 0x00, 0x00, 0x00}},
      {FrameOf({0x1B, 0x23, 0x3C, 0x00}), {0x15}},
  };
}

class BenchClock final : public tervane::Clock {
 public:
  std::int64_t MonotonicMs() override { return now; }
  void SleepMs(int ms) override { now += ms; }
  tervane::CivilTime LocalNow() override { return {}; }
  tervane::CivilTime UtcNow() override { return {}; }
  std::int64_t now = 0;
};

void BM_DecodeTenThousandExchanges(benchmark::State& state) {
  const std::vector<Exchange> mix = RecordedMix();
  BenchClock clock;
  std::size_t decoded = 0;
  tervane::ProtocolMonitor monitor(Shipped(), clock, [&](const tervane::MonitoredExchange& e) {
    benchmark::DoNotOptimize(e.decoded.resultText.data());
    ++decoded;
  });
  for (auto _ : state) {
    for (int i = 0; i < 10000; ++i) {
      const Exchange& e = mix[static_cast<std::size_t>(i) % mix.size()];
      // In reads of 16 bytes, as a serial line hands them over.
      for (std::size_t at = 0; at < e.command.size(); at += 16) {
        monitor.FromPos(e.command.data() + at, std::min<std::size_t>(16, e.command.size() - at));
      }
      for (std::size_t at = 0; at < e.reply.size(); at += 16) {
        monitor.FromPrinter(e.reply.data() + at, std::min<std::size_t>(16, e.reply.size() - at));
      }
      clock.now += 1;
    }
    monitor.Finish();
  }
  state.counters["exchanges"] = benchmark::Counter(static_cast<double>(decoded), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_DecodeTenThousandExchanges)->Unit(benchmark::kMillisecond);

bool WaitReadable(int fd, int ms) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, ms) == 1;
}

// The point-of-sale side is the slave of the monitor's pseudo-terminal; the printer is
// the master of a second one, whose slave the monitor opens as the printer's serial line.
void BM_MonitorAddedDelay(benchmark::State& state) {
  const bool throughMonitor = state.range(0) != 0;
  tervane::PseudoTerminal printerLine;
  std::string error;
  if (!printerLine.Open("", &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  tervane::CSerialPort device(printerLine.SlavePath(), tervane::SystemClock());
  tervane::PseudoTerminal posLine;
  if (!device.Open(115200) || !posLine.Open("", &error)) {
    state.SkipWithError("cannot open the lines");
    return;
  }
  const int pos = ::open(posLine.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  // Without the monitor the frame crosses one pseudo-terminal, as a direct line would.
  const int printer = printerLine.MasterFd();
  const int receiver = throughMonitor ? pos : device.Descriptor();

  BenchClock decodeClock;
  tervane::ProtocolMonitor monitor(Shipped(), decodeClock, nullptr);
  tervane::PassThrough run(posLine.MasterFd(), device.Descriptor(), tervane::SystemClock());
  run.fromPos = [&](const std::uint8_t* d, std::size_t n) { monitor.FromPos(d, n); };
  run.fromPrinter = [&](const std::uint8_t* d, std::size_t n) { monitor.FromPrinter(d, n); };
  std::thread loop;
  if (throughMonitor) loop = std::thread([&] { run.Run(); });

  const std::vector<Exchange> mix = RecordedMix();
  std::vector<double> delaysUs;
  std::uint64_t bytes = 0;
  std::uint8_t buffer[4096];
  const auto begin = Steady::now();
  for (auto _ : state) {
    const WireBytes& reply = mix[delaysUs.size() % mix.size()].reply;
    const auto start = Steady::now();
    if (::write(printer, reply.data(), reply.size()) != static_cast<ssize_t>(reply.size())) break;
    std::size_t got = 0;
    while (got < reply.size() && WaitReadable(receiver, 1000)) {
      const ssize_t n = ::read(receiver, buffer, sizeof buffer);
      if (n > 0) got += static_cast<std::size_t>(n);
    }
    delaysUs.push_back(std::chrono::duration<double, std::micro>(Steady::now() - start).count());
    bytes += got;
  }
  const double seconds = std::chrono::duration<double>(Steady::now() - begin).count();
  run.Stop();
  if (loop.joinable()) loop.join();
  ::close(pos);
  device.Close();
  std::sort(delaysUs.begin(), delaysUs.end());
  if (!delaysUs.empty()) {
    state.counters["p50_us"] = delaysUs[delaysUs.size() / 2];
    state.counters["p99_us"] = delaysUs[std::min(delaysUs.size() - 1, delaysUs.size() * 99 / 100)];
    state.counters["max_us"] = delaysUs.back();
  }
  // 115200 bit/s with 11 bits a byte is 10473 bytes a second.
  state.counters["bytes_per_s"] = seconds > 0 ? static_cast<double>(bytes) / seconds : 0;
}
BENCHMARK(BM_MonitorAddedDelay)->Arg(0)->Arg(1)->Iterations(5000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
