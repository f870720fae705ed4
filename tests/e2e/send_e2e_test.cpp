// tervane-cli send against tervane-sim over each kind of port: the model query comes back
// whole, the daily log holds every exchange, and no descriptor is left behind.
#include "e2e/e2e_fixture.h"
#include "support/fake_port.h"

namespace tervane::e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// The byte count of the reply in a --trace "RET:" line.
size_t ReplyBytes(const std::string& out) {
  const size_t ret = out.find("RET: ");
  if (ret == std::string::npos) return 0;
  const size_t end = out.find('\n', ret);
  const std::string line = out.substr(ret + 5, end - ret - 5);
  return static_cast<size_t>(std::count(line.begin(), line.end(), ' '));
}

TEST_F(EndToEndTest, ModelQueryOverPtyTcpAndExchangeFiles) {
  SimProcess sim;
  const std::string files = dir() + "/troca";
  ASSERT_TRUE(sim.Start(SimPath(), {"--pty", "--tcp", "0", "--files", files}));
  const std::string pty = sim.Ready("pty");
  const std::string tcp = sim.Ready("tcp");
  ASSERT_EQ(sim.Ready("files"), files);
  ASSERT_FALSE(pty.empty());
  ASSERT_FALSE(tcp.empty());

  const int fds = CountOpenFds();
  const std::vector<std::vector<std::string>> ports{
      {"--port", pty}, {"--port", "SOCKET", "--address", tcp}, {"--port", "FILE", "--exchange-dir", files}};
  for (const auto& port : ports) {
    std::vector<std::string> args = port;
    args.push_back("--trace");
    const CliRun run = Send(args);
    EXPECT_EQ(run.code, 0) << port[1] << "\n" << run.out << run.err;
    EXPECT_THAT(run.out, StartsWith("Comando:\tMarca, Modelo e Tipo\n"));
    EXPECT_THAT(run.out, HasSubstr("COMANDO OK"));
    EXPECT_THAT(run.out, HasSubstr("Modelo:\tZT-300 A"));
    EXPECT_THAT(run.out, HasSubstr("CMD:  02 05 00 1B 23 3C 7A 00\n"));
    EXPECT_EQ(ReplyBytes(run.out), 45u) << run.out;
    EXPECT_EQ(CountOpenFds(), fds) << port[1];
  }

  // One record per exchange, in the work folder's daily log.
  const std::string log = Log();
  size_t records = 0;
  for (size_t at = log.find("Marca, Modelo e Tipo\t35 60"); at != std::string::npos;
       at = log.find("Marca, Modelo e Tipo\t35 60", at + 1)) {
    ++records;
  }
  EXPECT_EQ(records, 3u) << log;
  EXPECT_THAT(log, HasSubstr("COMANDO OK"));
  EXPECT_THAT(log, HasSubstr("ZT-300 A"));

  // Extended-reply mode: the frame starts with 1Ch and two more status bytes come back.
  const CliRun extended = Send({"--port", pty, "--extended", "--trace"});
  EXPECT_EQ(extended.code, 0) << extended.out << extended.err;
  EXPECT_THAT(extended.out, HasSubstr("CMD:  02 05 00 1C"));
  EXPECT_EQ(ReplyBytes(extended.out), 47u);
  EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(EndToEndTest, RepliesOfOpenLengthAndGprsThroughEachFace) {
  SimProcess sim;
  const std::string files = dir() + "/troca";
  ASSERT_TRUE(sim.Start(SimPath(), {"--pty", "--files", files}));
  const std::string pty = sim.Ready("pty");
  ASSERT_EQ(sim.Ready("files"), files);

  // A fiscal-memory reading sent back through the port: an open reply ending in 03h.
  for (const std::vector<std::string>& port :
       {std::vector<std::string>{"--port", pty}, {"--port", "FILE", "--exchange-dir", files}}) {
    std::vector<std::string> args{"send", "--workdir", workDir(), "--title", "Leitura da Memória Fiscal",
                                  "--set", "1=010120311229R"};
    args.insert(args.end(), port.begin(), port.end());
    const CliRun reading = Cli(args);
    EXPECT_EQ(reading.code, 0) << reading.out << reading.err;
    EXPECT_THAT(reading.out, StartsWith("COMANDO OK\n"));
    EXPECT_THAT(reading.out, HasSubstr("LEITURA DA MEMÓRIA FISCAL"));
    EXPECT_THAT(reading.out, HasSubstr("PERÍODO: 01/01/20 A 31/12/29"));
  }

  // GPRS replies through the exchange files have no byte stream to be read from.
  const CliRun signal = Send({"--port", "FILE", "--exchange-dir", files}, {}, "GPRS: Nível do Sinal");
  EXPECT_EQ(signal.code, 0) << signal.out << signal.err;
  EXPECT_THAT(signal.out, HasSubstr("COMANDO OK\nGPRS: Nível do Sinal:\n\n21\n"));
  const CliRun overPty = Send({"--port", pty}, {}, "GPRS: Nível do Sinal");
  EXPECT_EQ(overPty.out, signal.out);
  EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(EndToEndTest, ParameterErrorsSendNothing) {
  // No simulator at all: a parameter error must be found before any port is touched.
  const CliRun empty = Cli({"send", "--workdir", workDir(), "--port", "/nonexistent/tty", "--title",
                            "Leitura da Memória Fiscal"});
  EXPECT_EQ(empty.code, 2);
  EXPECT_THAT(empty.err, HasSubstr("Parâmetro obrigatório não preenchido"));
  const CliRun wrong = Cli({"send", "--workdir", workDir(), "--port", "/nonexistent/tty", "--title",
                            "Leitura da Memória Fiscal", "--set", "1=01012031122999R"});
  EXPECT_EQ(wrong.code, 3);
  EXPECT_THAT(wrong.err, HasSubstr("Parâmetro com tamanho errado"));
  EXPECT_EQ(Log(), "");

  const CliRun badAddress = Send({"--port", "SOCKET", "--address", "localhost:99999"});
  EXPECT_EQ(badAddress.code, 1);
  EXPECT_THAT(badAddress.err, HasSubstr("is not a.b.c.d or a.b.c.d:port"));
}

TEST_F(EndToEndTest, SendOpensThePortOnceAndLogsEveryExchangeThatReachedIt) {
  // A printer that answers the model query: ACK, brand, model and type, ST1, ST2.
  std::vector<std::uint8_t> reply{0x06};
  const std::string fields = std::string("KELO") + std::string(11, ' ') + "ZT-300 A" + std::string(12, ' ') + "ECF-IF ";
  reply.insert(reply.end(), fields.begin(), fields.end());
  reply.insert(reply.end(), {0x00, 0x00});
  testing::FakePortFactory ports;
  testing::FakePortScript answering;
  answering.reply = {testing::Bytes(reply)};
  ports.Script("/dev/ttyFAKE0", answering);
  cli::CliContext context;
  context.ports = &ports;
  const CliRun ok = Send({"--port", "/dev/ttyFAKE0"}, context);
  EXPECT_EQ(ok.code, 0) << ok.out << ok.err;
  ASSERT_EQ(ports.records.size(), 1u);
  EXPECT_EQ(ports.Last().calls,
            (std::vector<std::string>{"Open(9600)", "Purge", "Send", "Receive", "Close", "Destroy"}));

  // A port that does not open is tried once, and the attempt is in the log too.
  testing::FakePortScript refused;
  refused.openOk = false;
  refused.openFailure = PortOpenFailure{OpenFailureKind::kBusy, EBUSY, "/dev/ttyFAKE1"};
  ports.Script("/dev/ttyFAKE1", refused);
  const CliRun busy = Send({"--port", "/dev/ttyFAKE1"}, context);
  EXPECT_EQ(busy.code, 4);
  ASSERT_EQ(ports.records.size(), 2u);
  EXPECT_EQ(ports.Last().calls, (std::vector<std::string>{"Open(9600)", "Close", "Destroy"}));
  const std::string log = Log();
  EXPECT_THAT(log, HasSubstr("ZT-300 A"));
  EXPECT_THAT(log, HasSubstr(Utf8ToCp1252Lossy("a porta está em uso por outro programa")));
}

}  // namespace
}  // namespace tervane::e2e
