#include "cli/monitor_command.h"

#include <CLI/CLI.hpp>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <functional>
#include <ostream>

#include "cli/transcript_command.h"
#include "core/catalogue/catalogue.h"
#include "core/common/charset.h"
#include "core/monitor/pass_through.h"
#include "core/monitor/protocol_monitor.h"
#include "core/monitor/pseudo_terminal.h"
#include "core/monitor/transcript.h"
#include "core/transport/open_failure.h"
#include "core/transport/serial_port.h"

namespace tervane::cli {
namespace {

// The run a stop signal ends, and a pipe that wakes a wait for the next connection.
std::atomic<PassThrough*> g_monitorRun{nullptr};
std::atomic<int> g_monitorWake{-1};
volatile std::sig_atomic_t g_monitorStop = 0;

void OnMonitorStop(int) {
  g_monitorStop = 1;
  if (PassThrough* run = g_monitorRun.load()) run->Stop();
  const int fd = g_monitorWake.load();
  if (fd >= 0) {
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &b, 1);
  }
}

// SIGINT, SIGTERM and SIGHUP end the monitor cleanly while it runs, and a side that
// closes while bytes are written to it is a write error rather than SIGPIPE; the
// previous handlers come back afterwards.
class StopSignals {
 public:
  StopSignals() {
    g_monitorStop = 0;
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) == 0) g_monitorWake.store(wake_[1]);
    struct sigaction action {};
    action.sa_handler = OnMonitorStop;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &action, &saved_[i]);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, &savedPipe_);
  }
  ~StopSignals() {
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &saved_[i], nullptr);
    ::sigaction(SIGPIPE, &savedPipe_, nullptr);
    g_monitorWake.store(-1);
    g_monitorRun.store(nullptr);
    if (wake_[0] >= 0) ::close(wake_[0]);
    if (wake_[1] >= 0) ::close(wake_[1]);
  }
  int WakeFd() const { return wake_[0]; }

 private:
  static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction saved_[3] {};
  struct sigaction savedPipe_ {};
  int wake_[2] = {-1, -1};
};

// What every exchange goes to: the terminal (a block, or a JSON line) and the transcript.
class ExchangeOutput {
 public:
  ExchangeOutput(std::ostream& out, const OutputOptions& output, bool json, TranscriptWriter* writer,
                 std::string port)
      : out_(out), output_(output), json_(json), writer_(writer), port_(std::move(port)) {}

  void operator()(const MonitoredExchange& exchange) {
    const ExchangeContextInfo info{IsoUtcTime(exchange.time), port_, exchange.roundTripMs};
    std::string line;
    if (json_ || writer_) line = TranscriptLine(exchange.decoded, info);
    if (json_) {
      out_ << line << '\n';
    } else {
      WriteText(out_, ExchangeBlock(exchange.decoded, info.time, exchange.roundTripMs) + "\r\n", output_);
    }
    out_.flush();
    if (writer_) writer_->Write(line);
  }

 private:
  std::ostream& out_;
  const OutputOptions& output_;
  bool json_;
  TranscriptWriter* writer_;
  std::string port_;
};

// Runs the forwarding between two descriptors with the decoder beside it.
PassThroughEnd Forward(int posFd, int printerFd, ProtocolMonitor& monitor, Clock& clock,
                       std::function<int()> posHangup, PassThroughCounts* counts) {
  PassThrough run(posFd, printerFd, clock);
  run.fromPos = [&monitor](const std::uint8_t* data, std::size_t size) { monitor.FromPos(data, size); };
  run.fromPrinter = [&monitor](const std::uint8_t* data, std::size_t size) { monitor.FromPrinter(data, size); };
  run.tick = [&monitor] { monitor.Tick(); };
  run.nextWakeMs = [&monitor] { return monitor.NextDeadlineMs(); };
  run.posHangup = std::move(posHangup);
  g_monitorRun.store(&run);
  const PassThroughEnd end = g_monitorStop ? PassThroughEnd::kStopped : run.Run();
  g_monitorRun.store(nullptr);
  monitor.Finish();
  if (counts) {
    counts->toPrinter += run.Counts().toPrinter;
    counts->toPos += run.Counts().toPos;
    counts->droppedToPos += run.Counts().droppedToPos;
    counts->droppedToPrinter += run.Counts().droppedToPrinter;
  }
  return end;
}

// "HOST:PORT" into an IPv4 socket address (the host by name or number).
bool ParseEndpoint(const std::string& text, sockaddr_in& address, std::string& error) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) {
    error = "'" + text + "' is not HOST:PORT";
    return false;
  }
  const std::string host = text.substr(0, colon);
  const auto port = ParseNumber(text.substr(colon + 1), 65535);
  if (!port) {
    error = "'" + text.substr(colon + 1) + "' is not a TCP port";
    return false;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) {
    error = "cannot resolve '" + host + "'";
    return false;
  }
  address = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  address.sin_port = htons(static_cast<std::uint16_t>(*port));
  ::freeaddrinfo(found);
  return true;
}

void SetNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

}  // namespace

CLI::App* MonitorCommand::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand(
      "monitor",
      "Stand between a point-of-sale program and the printer and decode every exchange live, without delaying "
      "or changing a byte. Serial: --device opens the printer's line and --link offers the program a "
      "pseudo-terminal in its place. Network bridge: --listen takes the program's connections and --forward "
      "passes them on to the bridge.");
  sub->add_option("--workdir", workdir_, "Folder holding comandos.xml (default: the current directory)")
      ->type_name("DIR");
  sub->add_option("--device", device_, "The printer's serial device (COM1: to COM8: through the COM map, or a path)")
      ->type_name("DEVICE");
  sub->add_option("--link", link_, "Make PATH a symbolic link to the pseudo-terminal offered to the program")
      ->type_name("PATH");
  sub->add_option("--baud", baud_, "Speed of the printer's line (default 9600; 8 data bits, no parity, 2 stop bits)")
      ->type_name("N");
  sub->add_option("--listen", listen_, "Take the program's bridge connections on HOST:PORT")->type_name("HOST:PORT");
  sub->add_option("--forward", forward_, "Pass each connection on to the bridge at HOST:PORT")->type_name("HOST:PORT");
  sub->add_option("--record", record_, "Also write the session as a transcript (JSON Lines, docs/transcripts.md)")
      ->type_name("FILE");
  sub->add_flag("--json", json_, "Write one JSON object per exchange (JSON Lines) instead of the readable blocks");
  sub->footer(
      std::string(kRawOptionNote) +
      "\nA frame with a bad length or checksum is shown as such and forwarded as it came; bytes that match no "
      "catalogue command are forwarded and shown raw.\n"
      "The program may close and reopen the pseudo-terminal at will. SIGINT or SIGTERM end the monitor; the "
      "device, the pseudo-terminal and the link are released.\n"
      "Exit status: 0 stopped; 1 bad arguments or a setup that failed; 4 the printer's side went away.");
  return sub;
}

int MonitorCommand::execute(std::ostream& out, std::ostream& err) {
  const bool serialMode = !device_.empty();
  const bool bridgeMode = !listen_.empty() || !forward_.empty();
  if (serialMode == bridgeMode) {
    WriteMessage(err, "monitor: give either --device (with --link) or --listen and --forward.", output_);
    return kExitUsage;
  }
  if (bridgeMode && (listen_.empty() || forward_.empty())) {
    WriteMessage(err, "monitor: --listen and --forward go together.", output_);
    return kExitUsage;
  }
  if (bridgeMode && !link_.empty()) {
    WriteMessage(err, "monitor: --link belongs to the serial mode (--device).", output_);
    return kExitUsage;
  }
  return serialMode ? serial(out, err) : bridge(out, err);
}

int MonitorCommand::serial(std::ostream& out, std::ostream& err) {
  ProgramSettings settings;
  settings.g_workDir = ResolveWorkDir(workdir_);
  CommandCatalogue catalogue;
  if (!LoadCatalogueOrReport(settings, catalogue, err, output_)) return kExitUsage;

  Clock& clock = SystemClock();
  CSerialPort printer(device_, clock);
  if (!printer.Open(baud_)) {
    WriteText(err, OpenFailureText(device_, printer.OpenFailure()) + "\r\n", output_);
    return kExitUsage;
  }
  PseudoTerminal pty;
  std::string error;
  if (!pty.Open(link_, &error)) {
    printer.Close();
    WriteMessage(err, "monitor: " + error + ".", output_);
    return kExitUsage;
  }
  TranscriptWriter writer;
  if (!record_.empty() && !writer.Open(record_, &error)) {
    pty.Close();
    printer.Close();
    WriteMessage(err, "--record: " + error + ".", output_);
    return kExitUsage;
  }

  const std::string shownPort = link_.empty() ? pty.SlavePath() : link_;
  ExchangeOutput sink(out, output_, json_, writer.IsOpen() ? &writer : nullptr, device_);
  ProtocolMonitor monitor(catalogue, clock, std::ref(sink));
  WriteMessage(err,
               "monitor: " + printer.DevicePath() + " at " + std::to_string(baud_) + " baud; the program's port is " +
                   pty.SlavePath() + (link_.empty() ? std::string() : " (" + link_ + ")") +
                   ". Ctrl-C ends.",
               output_);

  PassThroughEnd end;
  {
    StopSignals signals;
    end = Forward(pty.MasterFd(), printer.Descriptor(), monitor, clock, nullptr, nullptr);
  }
  pty.Close();
  printer.Close();
  int status = kExitOk;
  if (end == PassThroughEnd::kPrinterGone) {
    WriteMessage(err, "monitor: the printer's device " + device_ + " went away.", output_);
    status = kExitExchangeFailed;
  } else if (end == PassThroughEnd::kError) {
    WriteMessage(err, "monitor: waiting on the lines failed.", output_);
    status = kExitExchangeFailed;
  }
  if (writer.IsOpen() && !writer.Close(&error)) {
    WriteMessage(err, "--record: " + error + ".", output_);
    if (status == kExitOk) status = kExitUsage;
  }
  return status;
}

int MonitorCommand::bridge(std::ostream& out, std::ostream& err) {
  ProgramSettings settings;
  settings.g_workDir = ResolveWorkDir(workdir_);
  CommandCatalogue catalogue;
  if (!LoadCatalogueOrReport(settings, catalogue, err, output_)) return kExitUsage;
  sockaddr_in listenAddress{}, forwardAddress{};
  std::string error;
  if (!ParseEndpoint(listen_, listenAddress, error) || !ParseEndpoint(forward_, forwardAddress, error)) {
    WriteMessage(err, "monitor: " + error + ".", output_);
    return kExitUsage;
  }
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  const int one = 1;
  if (listener >= 0) ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&listenAddress), sizeof listenAddress) != 0 ||
      ::listen(listener, 8) != 0) {
    WriteMessage(err, "monitor: cannot listen on " + listen_ + ": " + std::strerror(errno) + ".", output_);
    if (listener >= 0) ::close(listener);
    return kExitUsage;
  }
  socklen_t length = sizeof listenAddress;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&listenAddress), &length);
  TranscriptWriter writer;
  if (!record_.empty() && !writer.Open(record_, &error)) {
    ::close(listener);
    WriteMessage(err, "--record: " + error + ".", output_);
    return kExitUsage;
  }
  Clock& clock = SystemClock();
  ExchangeOutput sink(out, output_, json_, writer.IsOpen() ? &writer : nullptr, forward_);
  char shown[INET_ADDRSTRLEN] = "";
  ::inet_ntop(AF_INET, &listenAddress.sin_addr, shown, sizeof shown);
  WriteMessage(err,
               "monitor: listening on " + std::string(shown) + ":" + std::to_string(ntohs(listenAddress.sin_port)) +
                   ", forwarding to " + forward_ + ". Ctrl-C ends.",
               output_);

  int status = kExitOk;
  {
    StopSignals signals;
    while (!g_monitorStop) {
      pollfd fds[2] = {{listener, POLLIN, 0}, {signals.WakeFd(), POLLIN, 0}};
      if (::poll(fds, signals.WakeFd() >= 0 ? 2 : 1, 1000) < 0 && errno != EINTR) break;
      if (g_monitorStop) break;
      if (!(fds[0].revents & POLLIN)) continue;
      const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (client < 0) continue;
      SetNonBlocking(client);
      const int upstream = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (upstream < 0 || ::connect(upstream, reinterpret_cast<sockaddr*>(&forwardAddress), sizeof forwardAddress) != 0) {
        // The program sees its connection close, as it would with the bridge away.
        WriteMessage(err, "monitor: cannot reach the bridge at " + forward_ + ": " + std::strerror(errno) + ".",
                     output_);
        if (upstream >= 0) ::close(upstream);
        ::close(client);
        continue;
      }
      SetNonBlocking(upstream);
      ProtocolMonitor monitor(catalogue, clock, std::ref(sink));
      monitor.SetBridgeFraming(true);
      // One connection of the program is one connection to the bridge: when either ends,
      // both do.
      Forward(client, upstream, monitor, clock, [] { return -1; }, nullptr);
      ::close(upstream);
      ::close(client);
    }
  }
  ::close(listener);
  if (writer.IsOpen() && !writer.Close(&error)) {
    WriteMessage(err, "--record: " + error + ".", output_);
    status = kExitUsage;
  }
  return status;
}

}  // namespace tervane::cli
