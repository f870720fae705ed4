// Failures of the exchange that must be immediate and named: an answer that is neither
// ACK nor NAK, a port that will not open, bytes left on the line, a reply through the
// exchange files that comes too late.
#include "core/protocol/exchange_fixture.h"
#include "core/sequences/sequence_runner.h"
#include "support/fake_prompter.h"
#include "core/transport/port_factory.h"
#include "core/transport/serial_port.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tervane::testing {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

TEST_F(ExchangeTest, AnAnswerThatIsNeitherAckNorNakFailsAndShowsItsBytes) {
  // Fixed shape: the first byte decides; what follows it is taken off the line and shown.
  ports.Script("COM1:", Reply({Bytes({0x41, 0x42, 0x43})}));
  CommandRecord fixed = Command(2);
  EXPECT_EQ(Run(fixed), kExchangeFailed);
  EXPECT_THAT(fixed.ResultText, HasSubstr(Cp("A resposta da impressora não foi entendida")));
  EXPECT_THAT(fixed.ResultText, EndsWith("Recebido: 41 42 43"));
  EXPECT_THAT(fixed.ResultText, Not(HasSubstr("COMANDO OK")));
  EXPECT_THAT(fixed.HexTrace, EndsWith("RET:  41 42 43\r\n"));
  EXPECT_THAT(Log(), HasSubstr("Recebido: 41 42 43"));
  EXPECT_EQ(ports.Last().drainCalls, 3);  // two more bytes, then the quiet that ends the drain

  // An ACK-led reply is still read whole, and a 15h later in it is data.
  ports.Script("COM1:", Reply({Bytes({0x06, 0x15, 0x41, 0x00, 0x00})}));
  CommandRecord good = Command(2);
  EXPECT_EQ(Run(good), kOk);

  // Open shape: the status block's first byte is checked the same way.
  ports.Script("COM1:", Reply({Bytes({0xFF, 0x00, 0x00, 'x', 0x03})}));
  CommandRecord open = Command(-1);
  EXPECT_EQ(Run(open), kExchangeFailed);
  EXPECT_THAT(open.ResultText, EndsWith("Recebido: FF 00 00 78 03"));

  // A long run of garbage is shown cut, and taken off the line all the same.
  FakePortScript noise = Reply({Bytes(std::vector<std::uint8_t>(200, 0x7E))});
  ports.Script("COM1:", noise);
  CommandRecord cut = Command(2);
  EXPECT_EQ(Run(cut), kExchangeFailed);
  EXPECT_THAT(cut.ResultText, EndsWith("7E 7E ..."));
  EXPECT_EQ(ports.Last().bytesDelivered, 200);
}

TEST_F(ExchangeTest, AnAnswerNotUnderstoodStopsASequence) {
  ports.Script("COM1:", Reply({Bytes({0x06, 0x00, 0x00})}));
  ports.Script("COM1:", Reply({Bytes({0x99, 0x00, 0x00})}));
  ports.Script("COM1:", Reply({Bytes({0x06, 0x00, 0x00})}));
  CSequenceRunner runner({Command(0), Command(0), Command(0)}, false, 0);
  FakePrompter prompter;
  SequenceRunContext context;
  context.exchange = Context();
  context.prompter = &prompter;
  EXPECT_EQ(runner.Run(context), kExchangeFailed);
  EXPECT_EQ(ports.records.size(), 2u);  // the third command never went out
  EXPECT_THAT(runner.ResultText(), HasSubstr("Recebido: 99 00 00"));
}

TEST_F(ExchangeTest, APortThatDoesNotOpenFailsAtOnceWithItsReason) {
  FakePortScript denied;
  denied.openOk = false;
  denied.openFailure = PortOpenFailure{OpenFailureKind::kPermission, EACCES, "/dev/ttyNONE-perm"};
  ports.Script("COM1:", denied);
  CommandRecord c = Command(0);
  const std::int64_t before = clock.MonotonicMs();
  EXPECT_EQ(Run(c), kExchangeFailed);
  EXPECT_LT(clock.MonotonicMs() - before, 100);  // no time-outs waited out
  const FakePortRecord& port = ports.Last();
  EXPECT_EQ(port.sends, 0);
  EXPECT_EQ(port.receives, 0);
  EXPECT_THAT(c.portFailure, HasSubstr(Cp("Não foi possível abrir a porta COM1: (/dev/ttyNONE-perm)")));
  EXPECT_THAT(c.portFailure, HasSubstr("sudo usermod -aG dialout"));
  EXPECT_THAT(c.ResultText, EndsWith("Falha no envio do comando\r\n" + c.portFailure));
  EXPECT_THAT(c.HexTrace, EndsWith("\r\n"));
  EXPECT_THAT(Log(), HasSubstr("sudo usermod -aG dialout"));

  // A kind that keeps no reason still fails at once, naming the port.
  FakePortScript silent;
  silent.openOk = false;
  ports.Script("COM1:", silent);
  CommandRecord plain = Command(0);
  EXPECT_EQ(Run(plain), kExchangeFailed);
  EXPECT_EQ(plain.portFailure, Cp("Não foi possível abrir a porta COM1:."));

  // The exchange files: a reply file that cannot be opened ends it the same way.
  settings.g_portName = "FILE";
  FakePortScript files;
  files.openOk = false;
  files.openFailure = PortOpenFailure{OpenFailureKind::kPermission, EACCES, "/srv/ecf/retorno.dat"};
  ports.Script("FILE", files);
  CommandRecord byFile = Command(0);
  EXPECT_EQ(Run(byFile), kExchangeFailed);
  EXPECT_EQ(ports.Last().writeCalls, 0);
  EXPECT_THAT(byFile.portFailure, HasSubstr("/srv/ecf/retorno.dat"));

  // An opened port clears what an earlier exchange of the record kept.
  settings.g_portName = "COM1:";
  ports.Script("COM1:", Reply({Bytes({0x06, 0x00, 0x00})}));
  EXPECT_EQ(Run(c), kOk);
  EXPECT_TRUE(c.portFailure.empty());
}

TEST_F(ExchangeTest, BytesWaitingBeforeTheFrameAreDiscardedAndCounted) {
  FakePortScript leftovers = Reply({Bytes({0x06, 0x00, 0x00})});
  leftovers.pendingInput = 7;
  ports.Script("COM1:", leftovers);
  CommandRecord c = Command(0);
  EXPECT_EQ(Run(c), kOk);
  EXPECT_EQ(c.discardedBytes, 7);
  EXPECT_THAT(Log(), HasSubstr("Bytes descartados antes do envio:\t7"));

  // Nothing waiting: no such line.
  ports.Script("COM1:", Reply({Bytes({0x06, 0x00, 0x00})}));
  CommandRecord clean = Command(0);
  EXPECT_EQ(Run(clean), kOk);
  EXPECT_EQ(clean.discardedBytes, 0);
  EXPECT_THAT(FormatLogRecord(clean, clock.LocalNow()), Not(HasSubstr("descartados")));
}

TEST_F(ExchangeTest, CancelDrainsUntilTheLineIsQuietForAByteTimeout) {
  // The printer goes on sending in bursts with short gaps after the cancel; every gap
  // shorter than the quiet time is waited through.
  ports.Script("COM1:", Reply({Bytes({0x06}), Bytes({0x01, 0x02}), Timeouts(1), Bytes({0x03})}));
  progress.cancelAfterPolls = 1;
  CommandRecord c = Command(4);
  EXPECT_EQ(Run(c), kCancelled);
  // Every drain read asks for the quiet time (the fake counts only those); the fake's
  // time-out stands for a full quiet time, so its gap ends this drain.
  EXPECT_EQ(ports.Last().drainCalls, 3);
  EXPECT_EQ(kDrainQuietMs, kSerialReadMsPerByte + kSerialReadConstantMs);
}

class LateFileReplyTest : public ExchangeTest {
 protected:
  void SetUp() override {
    ExchangeTest::SetUp();
    settings.g_portName = "FILE";
  }
};

TEST_F(LateFileReplyTest, AReplyThatLandsAfterTheGiveUpIsNotTheNextCommandsAnswer) {
  // The peer does not answer in time: the failure says the command may have run.
  ports.Script("FILE", FakePortScript{});
  CommandRecord first = Command(0);
  EXPECT_EQ(Run(first), kExchangeFailed);
  EXPECT_THAT(first.ResultText, HasSubstr("Falha no envio do comando\r\n"));
  EXPECT_THAT(first.ResultText, HasSubstr(Cp("A impressora pode ter executado o comando")));

  // Its reply lands afterwards; the next command clears it before sending and takes only
  // its own.
  FakePortScript next;
  next.staleReply = {0x06, 0xAA, 0xAA, 0x11, 0x11};
  next.chunks = {{400, {0x06, 0x00, 0x00}}};
  ports.Script("FILE", next);
  CommandRecord second = Command(0);
  EXPECT_EQ(Run(second), kOk);
  EXPECT_THAT(second.HexTrace, EndsWith("RET:  06 00 00\r\n"));
  EXPECT_EQ(ports.Last().requestFile, FrameOf(second));

  // The open shape's give-up says the same.
  ports.Script("FILE", FakePortScript{});
  CommandRecord open = Command(-1);
  EXPECT_EQ(Run(open), kExchangeFailed);
  EXPECT_THAT(open.ResultText, HasSubstr(Cp("A impressora pode ter executado o comando")));
}

}  // namespace
}  // namespace tervane::testing

namespace tervane::testing {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;

TEST_F(ExchangeTest, APortThatKnowsItsLinkIsGoneEndsEveryShapeAtOnce) {
  struct Case {
    const char* what;
    int declared;
    const char* group;
    std::vector<std::uint8_t> before;  // bytes that arrive before the link goes
  } cases[] = {
      {"fixed, nothing yet", 0, "", {}},
      {"fixed, mid-reply", 4, "", {0x06, 0x41}},
      {"open, in the status block", -1, "", {0x06}},
      {"open, in the data", -1, "", {0x06, 0x00, 0x00, 'a'}},
      {"GPRS", 0, "GPRS", {0x06, 0x00}},
  };
  for (const Case& k : cases) {
    FakePortScript gone = Reply({Bytes(k.before)});
    gone.breakAfterBytes = static_cast<int>(k.before.size());
    gone.lossOnBreak = LinkLossKind::kHangup;
    ports.Script("COM1:", gone);
    CommandRecord c = Command(k.declared);
    c.group = k.group;
    const std::int64_t before = clock.MonotonicMs();
    EXPECT_EQ(Run(c), kExchangeFailed) << k.what;
    EXPECT_EQ(clock.MonotonicMs() - before, 0) << k.what << ": no pause waited out";
    EXPECT_EQ(ports.Last().receives, static_cast<int>(k.before.size()) + 1) << k.what;
    EXPECT_THAT(c.ResultText, EndsWith(std::string("Falha no envio do comando\r\n") +
                                       Cp("Conexão com a impressora perdida: a linha serial /dev/fake caiu "
                                          "(cabo ou adaptador desconectado, impressora desligada, ou o outro "
                                          "lado fechou a porta).")))
        << k.what;
    EXPECT_THAT(c.HexTrace, EndsWith(Hex(k.before) + "\r\n")) << k.what;
  }
  // Every one of them reached the port, so every one is in the daily log.
  const std::string log = Log();
  size_t count = 0;
  for (size_t at = log.find(Cp("Conexão com a impressora perdida")); at != std::string::npos;
       at = log.find(Cp("Conexão com a impressora perdida"), at + 1)) {
    ++count;
  }
  EXPECT_EQ(count, std::size(cases));
}

TEST_F(ExchangeTest, ARefusedConnectionIsToldAsALostOne) {
  // A loopback port nobody listens on: bound, then closed again.
  const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof a;
  ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&a), size), 0);
  ASSERT_EQ(::getsockname(probe, reinterpret_cast<sockaddr*>(&a), &size), 0);
  ::close(probe);
  settings.g_portName = "SOCKET";
  settings.g_printerAddress = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
  SystemPortFactory real(PortContext{&settings, &clock});
  ExchangeContext context = Context();
  context.ports = &real;
  CommandRecord c = Command(0);
  EXPECT_EQ(ExecuteCommand(c, context), kExchangeFailed);
  EXPECT_EQ(c.portFailure, Cp("Conexão com a impressora perdida: a ponte TCP em " + settings.g_printerAddress +
                              " recusou a conexão (nada atende nesse endereço e porta)."));
  EXPECT_THAT(c.ResultText, EndsWith("Falha no envio do comando\r\n" + c.portFailure));
  EXPECT_THAT(Log(), HasSubstr(c.portFailure));
}

}  // namespace
}  // namespace tervane::testing
