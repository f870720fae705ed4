// Printers that misbehave and users who give up: NAK, a hang-up, a cut reply, silence, a
// TCP peer that resets, a port held by another program, Ctrl-C. Each ends with its text
// and exit status within the exchange's limits, and leaves no descriptor behind. The long
// waits run on a clock forty times faster than real time.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <time.h>

#include <thread>

#include "core/protocol/command_exchange.h"
#include "e2e/e2e_fixture.h"
#include "core/transport/serial_port.h"

namespace tervane::e2e {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;

constexpr int kFactor = 40;
// The exchange's limit for a fixed reply: 72 time-outs, each a read and a 300 ms pause.
constexpr std::int64_t kPtyLimitMs = 72 * (1005 + 300);
constexpr std::int64_t kTcpLimitMs = 72 * (2000 + 300);

class FaultTest : public EndToEndTest {
 protected:
  // `send` of the model query on the fast clock; `clockMs` gets the clock time it took.
  CliRun FastSend(std::vector<std::string> port, std::int64_t* clockMs = nullptr) {
    ScaledClock clock(kFactor);
    cli::CliContext context;
    context.clock = &clock;
    const std::int64_t start = clock.MonotonicMs();
    CliRun run = Send(std::move(port), context);
    if (clockMs) *clockMs = clock.MonotonicMs() - start;
    return run;
  }
};

TEST_F(FaultTest, NakHangUpAndCutReplyOverThePty) {
  SimProcess nak;
  const std::string nakPty = StartSim(nak, {"--pty", "--fault", "nak"}, "pty");
  ASSERT_FALSE(nakPty.empty());
  const int fds = CountOpenFds();
  const CliRun refused = FastSend({"--port", nakPty, "--trace"});
  EXPECT_EQ(refused.code, 4);
  EXPECT_THAT(refused.out, HasSubstr("COMANDO NÃO RECEBIDO\nCMD:"));
  EXPECT_THAT(refused.out, EndsWith("RET:  15\n"));
  EXPECT_LT(refused.ms, 1000);
  EXPECT_EQ(CountOpenFds(), fds);
  EXPECT_THAT(Log(), HasSubstr(Utf8ToCp1252Lossy("COMANDO NÃO RECEBIDO")));

  // The device goes away as the command arrives: the port sees the hang-up, and the
  // exchange ends at once, on the real clock, saying the connection was lost.
  SimProcess unplug;
  const std::string pty = StartSim(unplug, {"--pty", "--fault", "hangup"}, "pty");
  ASSERT_FALSE(pty.empty());
  const int fdsBefore = CountOpenFds();
  const CliRun gone = Send({"--port", pty});
  EXPECT_EQ(gone.code, 4) << gone.out << gone.err;
  EXPECT_LT(gone.ms, 1000);
  EXPECT_THAT(gone.out, EndsWith("Falha no envio do comando\nConexão com a impressora perdida: a linha serial " +
                                 pty + " caiu (cabo ou adaptador desconectado, impressora desligada, ou o outro "
                                       "lado fechou a porta).\n"));
  EXPECT_THAT(Log(), HasSubstr(Utf8ToCp1252Lossy("Conexão com a impressora perdida")));
  EXPECT_EQ(CountOpenFds(), fdsBefore);
  // The printer comes back as a new device, and it opens.
  const std::string replaced = unplug.Ready("pty");
  ASSERT_FALSE(replaced.empty());
  EXPECT_NE(replaced, pty);
  CSerialPort again(replaced, SystemClock());
  EXPECT_TRUE(again.Open(9600));
  again.Close();

  // Half a reply, then nothing.
  SimProcess cut;
  const std::string cutPty = StartSim(cut, {"--pty", "--fault", "truncate", "--seed", "7"}, "pty");
  ASSERT_FALSE(cutPty.empty());
  const int fdsWithCut = CountOpenFds();
  std::int64_t clockMs = 0;
  const CliRun half = FastSend({"--port", cutPty}, &clockMs);
  EXPECT_EQ(half.code, 4) << half.out << half.err;
  EXPECT_THAT(half.out, EndsWith("Falha no envio do comando\n"));
  EXPECT_GE(clockMs, kPtyLimitMs * 95 / 100);
  EXPECT_LE(clockMs, kPtyLimitMs * 16 / 10);
  EXPECT_EQ(CountOpenFds(), fdsWithCut);
}

TEST_F(FaultTest, ATcpPeerThatClosesOrRefusesFailsAtOnceAsALostConnection) {
  SimProcess sim;
  const std::string tcp = StartSim(sim, {"--tcp", "0", "--fault", "hangup"}, "tcp");
  ASSERT_FALSE(tcp.empty());
  const int fds = CountOpenFds();
  const CliRun closed = Send({"--port", "SOCKET", "--address", tcp});
  EXPECT_EQ(closed.code, 4) << closed.out << closed.err;
  EXPECT_LT(closed.ms, 1000);
  EXPECT_THAT(closed.out, EndsWith("Falha no envio do comando\nConexão com a impressora perdida: a ponte TCP em " +
                                   tcp + " encerrou a conexão.\n"));

  EXPECT_EQ(CountOpenFds(), fds);

  // Nobody listens on the port any more.
  sim.Stop();
  const int fdsStopped = CountOpenFds();
  const CliRun refused = Send({"--port", "SOCKET", "--address", tcp});
  EXPECT_EQ(refused.code, 4) << refused.out << refused.err;
  EXPECT_LT(refused.ms, 1000);
  EXPECT_THAT(refused.out, HasSubstr("Falha no envio do comando\nConexão com a impressora perdida: a ponte TCP em " +
                                     tcp + " recusou a conexão"));
  EXPECT_THAT(refused.err, HasSubstr("recusou a conexão"));
  EXPECT_EQ(CountOpenFds(), fdsStopped);
}

TEST_F(FaultTest, SilentPrinterOverTcpFailsAtTheLimit) {
  SimProcess sim;
  const std::string tcp = StartSim(sim, {"--tcp", "0", "--fault", "silence"}, "tcp");
  ASSERT_FALSE(tcp.empty());
  const int fds = CountOpenFds();
  std::int64_t clockMs = 0;
  const CliRun run = FastSend({"--port", "SOCKET", "--address", tcp}, &clockMs);
  EXPECT_EQ(run.code, 4) << run.out << run.err;
  EXPECT_THAT(run.out, EndsWith("Falha no envio do comando\n"));
  EXPECT_GE(clockMs, kTcpLimitMs * 95 / 100);
  EXPECT_LE(clockMs, kTcpLimitMs * 16 / 10);
  EXPECT_EQ(CountOpenFds(), fds);
}

TEST_F(FaultTest, CancelEndsOnceTheLineIsQuietAndLeavesNoStaleBytes) {
  // A reply paced at 9600 bit/s is cancelled a few bytes in, on the real clock. The
  // exchange ends when the rest of the reply has been drained and the line has been quiet
  // for one byte's time-out, never later.
  const std::int64_t drainBound = kDrainQuietMs + 300;
  SimProcess sim;
  const std::string pty = StartSim(sim, {"--pty", "--baud", "9600"}, "pty");
  ASSERT_FALSE(pty.empty());
  const int fds = CountOpenFds();
  CancellingProgress cancel(6);
  cli::CliContext context;
  context.progress = &cancel;
  const CliRun run = Send({"--port", pty}, context);
  const std::int64_t reaction = MsSince(cancel.cancelledAt);
  EXPECT_EQ(run.code, 5) << run.out << run.err;
  ASSERT_TRUE(cancel.cancelled);
  EXPECT_LT(reaction, drainBound);
  EXPECT_THAT(run.out, EndsWith("Comando cancelado.\n"));
  EXPECT_EQ(CountOpenFds(), fds);
  EXPECT_THAT(Log(), HasSubstr("Comando cancelado."));

  // The next exchange gets its own reply, whole and nothing else.
  const CliRun next = Send({"--port", pty, "--trace"});
  EXPECT_EQ(next.code, 0) << next.out << next.err;
  EXPECT_THAT(next.out, HasSubstr("Modelo:\tZT-300 A"));
  EXPECT_THAT(next.out, HasSubstr("RET:  06 4B 45 4C 4F"));

  // A silent printer: the cancel is seen after the current wait; the line is already
  // quiet, so only the drain's quiet time follows.
  SimProcess silent;
  const std::string quiet = StartSim(silent, {"--pty", "--fault", "silence"}, "pty");
  ASSERT_FALSE(quiet.empty());
  const int fdsWithSilent = CountOpenFds();
  CancellingProgress later(1);
  context.progress = &later;
  const CliRun waited = Send({"--port", quiet}, context);
  EXPECT_EQ(waited.code, 5);
  EXPECT_LT(MsSince(later.cancelledAt), drainBound);
  EXPECT_EQ(CountOpenFds(), fdsWithSilent);
}

// A bridge on the loopback interface that resets each connection: after reading the
// frame, or at once.
class ResettingBridge {
 public:
  ResettingBridge() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&a), size);
    ::listen(listener_, 4);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size);
    address_ = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
  }
  ~ResettingBridge() {
    if (thread_.joinable()) thread_.join();
    ::close(listener_);
  }
  void Serve(bool readFrameFirst) {
    if (thread_.joinable()) thread_.join();
    thread_ = std::thread([this, readFrameFirst] {
      pollfd item{listener_, POLLIN, 0};
      if (::poll(&item, 1, 5000) != 1) return;
      const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) return;
      if (readFrameFirst) {
        std::uint8_t buffer[64];
        size_t got = 0;
        pollfd data{fd, POLLIN, 0};
        while (got < 10 && ::poll(&data, 1, 5000) == 1) {
          const ssize_t n = ::read(fd, buffer, sizeof buffer);
          if (n <= 0) break;
          got += static_cast<size_t>(n);
        }
      }
      const linger reset{1, 0};  // close with a reset, not an orderly end
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
      ::close(fd);
    });
  }
  const std::string& address() const { return address_; }

 private:
  int listener_ = -1;
  std::string address_;
  std::thread thread_;
};

TEST_F(FaultTest, TcpPeerThatResetsFailsTheCommandWithoutSigpipe) {
  // Writing to a reset connection raises SIGPIPE unless the sender prevents it; with the
  // default action it would end this test program.
  struct sigaction previous {};
  struct sigaction deflt {};
  deflt.sa_handler = SIG_DFL;
  ::sigaction(SIGPIPE, &deflt, &previous);
  ResettingBridge bridge;
  const int fds = CountOpenFds();
  for (const bool readFirst : {true, false}) {
    bridge.Serve(readFirst);
    // Give the bridge time to reset before the frame goes, in the second round.
    if (!readFirst) {
      const CliRun early = FastSend({"--port", "SOCKET", "--address", bridge.address()});
      EXPECT_EQ(early.code, 4);
      // The reset may come before the open has finished, which then names its reason.
      EXPECT_THAT(early.out, HasSubstr("Falha no envio do comando\n"));
      continue;
    }
    std::int64_t clockMs = 0;
    const CliRun run = FastSend({"--port", "SOCKET", "--address", bridge.address()}, &clockMs);
    EXPECT_EQ(run.code, 4);
    EXPECT_THAT(run.out, HasSubstr("Falha no envio do comando\nConexão com a impressora perdida: a ponte TCP em " +
                                   bridge.address() + " interrompeu a conexão"));
    // Waiting the reset out would take the 72 pauses (21.6 s of this clock); a slow
    // (sanitized) build still needs some real milliseconds, which count 40 times here.
    EXPECT_LT(clockMs, 8000) << "a reset connection is not waited on";
  }
  EXPECT_EQ(CountOpenFds(), fds);
  ::sigaction(SIGPIPE, &previous, nullptr);
}

TEST_F(FaultTest, APortHeldElsewhereOrUnusableFailsAtOnce) {
  SimProcess sim;
  const std::string pty = StartSim(sim, {"--pty"}, "pty");
  ASSERT_FALSE(pty.empty());
  const int fds = CountOpenFds();

  // Held by a port of this process (other processes are kept out the same way).
  {
    CSerialPort holder(pty, SystemClock());
    ASSERT_TRUE(holder.Open(9600));
    const CliRun second = Send({"--port", pty});
    EXPECT_EQ(second.code, 4);
    EXPECT_LT(second.ms, 1000);
    EXPECT_THAT(second.err, HasSubstr("em uso por outro programa"));
    EXPECT_THAT(second.err, HasSubstr("PID " + std::to_string(::getpid())));
    EXPECT_EQ(second.out, "Comando:\tMarca, Modelo e Tipo\nFalha no envio do comando\n" + second.err);
  }
  EXPECT_EQ(Send({"--port", pty}).code, 0);

  // A device that does not exist, and a folder.
  const CliRun missing = Send({"--port", dir() + "/ttyNONE"});
  EXPECT_EQ(missing.code, 4);
  EXPECT_THAT(missing.err, HasSubstr("o dispositivo " + dir() + "/ttyNONE não existe"));
  const CliRun folder = Send({"--port", dir()});
  EXPECT_EQ(folder.code, 4);
  EXPECT_THAT(folder.err, HasSubstr("não é uma porta serial"));
  EXPECT_EQ(CountOpenFds(), fds);
}

// The program itself, stopped with Ctrl-C while the printer stays silent.
TEST_F(FaultTest, CtrlCCancelsTheProgram) {
  SimProcess sim;
  const std::string pty = StartSim(sim, {"--pty", "--fault", "silence"}, "pty");
  ASSERT_FALSE(pty.empty());
  const std::vector<std::string> args{"send", "--workdir", workDir(), "--port", pty, "--title", kModelQuery};

  SimProcess cli;
  ASSERT_TRUE(cli.Start(CliPath(), args));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ::kill(cli.pid(), SIGINT);
  std::string out;
  for (std::string line = cli.Line(3000); !line.empty(); line = cli.Line(3000)) out += line + "\n";
  EXPECT_EQ(cli.Stop(0), 5);
  EXPECT_THAT(out, EndsWith("Comando cancelado.\n"));
  EXPECT_THAT(Log(), HasSubstr("Comando cancelado."));

  // A second Ctrl-C does not wait for the exchange.
  SimProcess impatient;
  ASSERT_TRUE(impatient.Start(CliPath(), args));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ::kill(impatient.pid(), SIGINT);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto second = Steady::now();
  ::kill(impatient.pid(), SIGINT);
  EXPECT_EQ(impatient.Stop(0), 5);
  EXPECT_LT(MsSince(second), 500);
}

}  // namespace
}  // namespace tervane::e2e
