// The whole road of one command against tervane-sim, run as a child process: exchanges
// per second of the model query over a pseudo-terminal and over TCP loopback (unpaced
// simulator), and a 200-byte reply paced at 9600 bit/s against its wire time
// (200 x 11 / 9600 s).
//
// TERVANE_BENCH_PTY=/dev/pts/N makes the pseudo-terminal benchmark use a simulator that
// is already running there (bench/compare-serial-peer does, to time a Python peer over the
// same device).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "support/sim_process.h"
#include "core/app/printer_detection.h"
#include "core/common/settings.h"
#include "core/catalogue/catalogue.h"
#include "core/protocol/command_exchange.h"
#include "core/protocol/frame_builder.h"
#include "core/transport/port_factory.h"
#include "core/transport/serial_port.h"

namespace {

using tervane::CommandRecord;
using tervane::ExchangeContext;
using tervane::ProgramSettings;
using tervane::SystemPortFactory;
using tervane::testing::SimProcess;

constexpr int kPacedBaud = 9600;
constexpr int kPacedReplyBytes = 200;  // ACK, 197 data bytes, ST1, ST2

// A work folder for the daily log (each exchange appends to it, as in the workbench) and
// the catalogue the paced simulator learns its 200-byte command from.
class WorkFolder {
 public:
  WorkFolder() {
    char pattern[] = "/tmp/tervane-bench-XXXXXX";
    path_ = ::mkdtemp(pattern);
    std::ofstream(path_ + "/comandos.xml", std::ios::binary)
        << "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n"
           "<comandos>\n"
           "  <cmd>\n"
           "    <tipo>Medidas</tipo>\n"
           "    <equipamentos_hab>131071</equipamentos_hab>\n"
           "    <titulo>Bloco de 197 bytes</titulo>\n"
           "    <escape>35 99</escape>\n"
           "    <tamanho_retorno>197</tamanho_retorno>\n"
           "    <retorno><titulo>Bloco</titulo><tamanho>197</tamanho><formato>ASCII</formato></retorno>\n"
           "  </cmd>\n"
           "</comandos>\n";
  }
  ~WorkFolder() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

WorkFolder& Work() {
  static WorkFolder folder;
  return folder;
}

// One simulator per set of arguments, started on first use and stopped at exit.
struct Sim {
  SimProcess process;
  std::string address;
};

Sim& StartedSim(const std::vector<std::string>& args, const std::string& face) {
  static std::vector<std::unique_ptr<Sim>> sims;
  auto sim = std::make_unique<Sim>();
  if (sim->process.Start(std::string(TERVANE_BIN_DIR) + "/tervane-sim", args)) {
    sim->address = sim->process.Ready(face);
  }
  sims.push_back(std::move(sim));
  return *sims.back();
}

std::string UnpacedPty() {
  if (const char* given = std::getenv("TERVANE_BENCH_PTY"); given != nullptr && *given != '\0') return given;
  static const std::string pty = StartedSim({"--pty"}, "pty").address;
  return pty;
}

std::string UnpacedTcp() {
  static const std::string tcp = StartedSim({"--tcp", "0"}, "tcp").address;
  return tcp;
}

std::string PacedPty() {
  static const std::string pty =
      StartedSim({"--pty", "--baud", std::to_string(kPacedBaud), "--workdir", Work().path()}, "pty").address;
  return pty;
}

// The model query's frame, as the exchange builds it.
tervane::FrameBuffer ModelQueryFrame() {
  CommandRecord query = tervane::ModelQueryCommand();
  ProgramSettings settings;
  tervane::AssembleFrame(query, settings);
  return query.frame;
}

// Runs the model query once per iteration through the port the settings name.
void RunModelQueries(benchmark::State& state, ProgramSettings settings) {
  settings.g_workDir = Work().path();
  SystemPortFactory ports(tervane::PortContext{&settings, &tervane::SystemClock()});
  const ExchangeContext context{&settings, &ports, nullptr, nullptr, nullptr};
  for (auto _ : state) {
    CommandRecord query = tervane::ModelQueryCommand();
    if (tervane::ExecuteCommand(query, context) != tervane::kOk || query.replyData.size() != 45) {
      state.SkipWithError("the model query failed");
      break;
    }
  }
  state.counters["exchanges/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
}

void BM_ModelQueryPty(benchmark::State& state) {
  ProgramSettings settings;
  settings.g_portName = UnpacedPty();
  if (settings.g_portName.empty()) return state.SkipWithError("tervane-sim did not start");
  RunModelQueries(state, settings);
}
BENCHMARK(BM_ModelQueryPty)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The same bytes with the port opened once, as a script that keeps its port would do
// it: the frame out, the 45 reply bytes in one at a time, as the exchange reads them.
void BM_PortKeptOpenPty(benchmark::State& state) {
  const std::string pty = UnpacedPty();
  tervane::CSerialPort port(pty, tervane::SystemClock());
  if (pty.empty() || !port.Open(9600)) return state.SkipWithError("the simulator's pty did not open");
  const tervane::FrameBuffer frame = ModelQueryFrame();
  for (auto _ : state) {
    port.Send(frame.bytes.data(), static_cast<int>(frame.length), 20000);
    std::uint8_t reply[45];
    for (std::uint8_t& b : reply) {
      if (!port.Receive(&b, 1, tervane::kReplyByteTimeoutMs)) return state.SkipWithError("no reply");
    }
    if (reply[0] != 0x06) return state.SkipWithError("the reply is not ACK");
  }
  state.counters["exchanges/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PortKeptOpenPty)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_ModelQueryTcp(benchmark::State& state) {
  ProgramSettings settings;
  settings.g_portName = "SOCKET";
  settings.g_printerAddress = UnpacedTcp();
  if (settings.g_printerAddress.empty()) return state.SkipWithError("tervane-sim did not start");
  RunModelQueries(state, settings);
}
BENCHMARK(BM_ModelQueryTcp)->UseRealTime()->Unit(benchmark::kMicrosecond);

// A reply of 200 bytes at 9600 bit/s, 11 bits a byte: its wire time is 229.2 ms. The
// time of the whole exchange (open, send, receive, decode, log, close) is compared with
// it; "ratio" is the mean time over the wire time.
void BM_PacedReply9600(benchmark::State& state) {
  ProgramSettings settings;
  settings.g_workDir = Work().path();
  settings.g_portName = PacedPty();
  if (settings.g_portName.empty()) return state.SkipWithError("tervane-sim did not start");
  tervane::CommandCatalogue catalogue;
  if (tervane::LoadCatalogue(settings.g_workDir, catalogue, nullptr) != 0 || catalogue.count() != 1) {
    return state.SkipWithError("the benchmark catalogue did not load");
  }
  SystemPortFactory ports(tervane::PortContext{&settings, &tervane::SystemClock()});
  const ExchangeContext context{&settings, &ports, nullptr, nullptr, nullptr};
  const double wireSeconds = kPacedReplyBytes * 11.0 / kPacedBaud;
  double total = 0;
  for (auto _ : state) {
    CommandRecord command = catalogue.commands[0];
    const auto start = std::chrono::steady_clock::now();
    const int result = tervane::ExecuteCommand(command, context);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (result != tervane::kOk || command.replyData.size() != static_cast<size_t>(kPacedReplyBytes)) {
      state.SkipWithError("the paced exchange failed");
      break;
    }
  }
  const double mean = state.iterations() > 0 ? total / static_cast<double>(state.iterations()) : 0;
  state.counters["wire_ms"] = wireSeconds * 1e3;
  state.counters["ratio"] = mean / wireSeconds;
}
BENCHMARK(BM_PacedReply9600)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(8);

}  // namespace

BENCHMARK_MAIN();
