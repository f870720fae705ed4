// Uploading a full logo (12096 bytes of data: the text block and the graphic stream) to
// tervane-sim over a line running at 9600 baud in both directions. The simulator paces
// its replies itself (--baud); the other direction goes through a relay that lets the
// uploader's bytes reach the simulator no faster than the line would. The target: the
// upload takes at most 5% more than the time its bytes spend on the wire. The simulated
// model is one that answers the wake-up (a serial-number reading of 18 bytes), as the
// printers that take logos do; one that does not costs the uploader its 800 ms wait.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "support/sim_process.h"
#include "control/logo_line.h"
#include "control/package_manager.h"

namespace tervane {
namespace {

constexpr long kBaud = 9600;
constexpr double kBitsPerByte = 11.0;  // start, 8 data bits, parity, stop: as the simulator paces
constexpr double kByteUs = kBitsPerByte * 1e6 / kBaud;
constexpr std::size_t kDataBytes = 12096;

std::int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// A pseudo-terminal for the uploader whose far end forwards to the simulator's pty:
// uploader -> simulator paced at the line's speed, simulator -> uploader at once (the
// simulator already paces what it sends). Counts the bytes each way.
class PacedRelay {
 public:
  ~PacedRelay() { Stop(); }

  // Opens both ends; false when a pty cannot be made or the simulator's cannot be opened.
  bool Start(const std::string& simSlave) {
    host_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (host_ < 0 || ::grantpt(host_) != 0 || ::unlockpt(host_) != 0) return false;
    hostSlave_ = ::ptsname(host_);
    // Held open so the master never sees a hang-up between the uploader's opens.
    hold_ = ::open(hostSlave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    sim_ = ::open(simSlave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (hold_ < 0 || sim_ < 0) return false;
    for (int fd : {hold_, sim_}) {
      termios tio{};
      if (::tcgetattr(fd, &tio) != 0) return false;
      ::cfmakeraw(&tio);
      ::tcsetattr(fd, TCSANOW, &tio);
    }
    running_ = true;
    thread_ = std::thread([this] { Run(); });
    return true;
  }

  void Stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
    for (int* fd : {&host_, &hold_, &sim_}) {
      if (*fd >= 0) ::close(*fd);
      *fd = -1;
    }
  }

  const std::string& HostPath() const { return hostSlave_; }
  void ResetCounts() {
    toSim_ = 0;
    toHost_ = 0;
  }
  long ToSim() const { return toSim_; }
  long ToHost() const { return toHost_; }

 private:
  void Run() {
    struct Timed {
      std::uint8_t byte;
      std::int64_t dueUs;
    };
    std::deque<Timed> queue;
    std::int64_t lastDueUs = 0;
    std::uint8_t buffer[4096];
    while (running_) {
      const std::int64_t now = NowUs();
      // Bytes whose time on the line is over reach the simulator.
      std::size_t due = 0;
      while (due < queue.size() && due < sizeof buffer && queue[due].dueUs <= now) {
        buffer[due] = queue[due].byte;
        ++due;
      }
      if (due > 0) {
        const ssize_t n = ::write(sim_, buffer, due);
        if (n > 0) queue.erase(queue.begin(), queue.begin() + n);
      }
      int waitMs = 5;
      if (!queue.empty()) waitMs = static_cast<int>(std::max<std::int64_t>(0, (queue.front().dueUs - NowUs()) / 1000));
      pollfd fds[2] = {{host_, POLLIN, 0}, {sim_, POLLIN, 0}};
      ::poll(fds, 2, std::min(waitMs, 5));
      if (fds[0].revents & POLLIN) {
        const ssize_t n = ::read(host_, buffer, sizeof buffer);
        for (ssize_t i = 0; i < n; ++i) {
          // A byte starts on the line when the previous one has left it.
          lastDueUs = std::max<std::int64_t>(lastDueUs, NowUs()) + static_cast<std::int64_t>(kByteUs);
          queue.push_back({buffer[i], lastDueUs});
        }
        if (n > 0) toSim_ += n;
      }
      if (fds[1].revents & POLLIN) {
        const ssize_t n = ::read(sim_, buffer, sizeof buffer);
        if (n > 0) {
          toHost_ += n;
          ssize_t done = 0;
          while (done < n) {
            const ssize_t w = ::write(host_, buffer + done, static_cast<std::size_t>(n - done));
            if (w > 0) done += w;
            else std::this_thread::sleep_for(std::chrono::microseconds(200));
          }
        }
      }
    }
  }

  int host_ = -1;
  int hold_ = -1;
  int sim_ = -1;
  std::string hostSlave_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<long> toSim_{0};
  std::atomic<long> toHost_{0};
};

std::vector<std::uint8_t> LogoData() {
  std::string text = LogoTextBlock("ACME COMERCIO LTDA", "LOJA CENTRO", "RUA DAS FLORES, 100", "");
  std::vector<std::uint8_t> data(text.begin(), text.end());
  std::uint32_t seed = 12345;
  while (data.size() < kDataBytes) {
    seed = seed * 1103515245u + 12345u;
    data.push_back(static_cast<std::uint8_t>(seed >> 16));
  }
  return data;
}

void BM_UploadAt9600Baud(benchmark::State& state) {
  testing::SimProcess sim;
  if (!sim.Start(std::string(TERVANE_BIN_DIR) + "/tervane-sim",
                 {"--pty", "--intervention", "--baud", std::to_string(kBaud), "--model", "ZK-110 A"})) {
    state.SkipWithError("tervane-sim cannot be started");
    return;
  }
  const std::string simPty = sim.Ready("pty");
  PacedRelay relay;
  if (simPty.empty() || !relay.Start(simPty)) {
    state.SkipWithError("no simulator pty or relay");
    return;
  }
  const std::vector<std::uint8_t> data = LogoData();
  double totalRatio = 0;
  double totalWireMs = 0;
  for (auto _ : state) {
    LogoSerialLine line(SystemClock());
    PackageManager manager(line, SystemClock(), nullptr, LogoLanguage::kEnglish);
    if (!manager.OpenPort(relay.HostPath())) {
      state.SkipWithError("cannot open the relay's pty");
      return;
    }
    relay.ResetCounts();
    const std::int64_t start = NowUs();
    const int result = manager.UploadData(data);
    const double elapsedMs = static_cast<double>(NowUs() - start) / 1000.0;
    manager.ClosePort();
    if (result != kLogoOk) {
      std::fprintf(stderr, "upload %d, printer code %d, %ld bytes out, %ld in, after %.0f ms\n", result,
                   manager.LastError(), relay.ToSim(), relay.ToHost(), elapsedMs);
      state.SkipWithError("upload failed");
      return;
    }
    state.SetIterationTime(elapsedMs / 1000.0);
    const double wireMs = static_cast<double>(relay.ToSim() + relay.ToHost()) * kByteUs / 1000.0;
    totalWireMs += wireMs;
    totalRatio += elapsedMs / wireMs;
    state.counters["bytes_out"] = static_cast<double>(relay.ToSim());
    state.counters["bytes_in"] = static_cast<double>(relay.ToHost());
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["wire_ms"] = totalWireMs / n;
  state.counters["elapsed_over_wire"] = totalRatio / n;
  state.counters["within_5pct"] = totalRatio / n <= 1.05 ? 1 : 0;
  relay.Stop();
  sim.Stop();
}
BENCHMARK(BM_UploadAt9600Baud)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tervane

BENCHMARK_MAIN();
