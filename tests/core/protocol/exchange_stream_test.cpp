// The exchange on a stream port (serial, USB, TCP): reply shapes, NAK, time-outs, cancel.
#include "core/protocol/exchange_fixture.h"
#include "core/interpret/status_text.h"

namespace tervane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// --- fixed replies ------------------------------------------------------------------------

TEST_F(ExchangeTest, FixedReplyReadsExactlyItsLengthInBothModes) {
  ports.Script("COM1:", Reply({Bytes({0x06, 0x00, 0x00, 0xAA})}));
  CommandRecord normal = Command(0);
  EXPECT_EQ(Run(normal), kOk);
  const FakePortRecord& first = ports.Last();
  EXPECT_THAT(first.calls, ElementsAre("Open(9600)", "Purge", "Send", "Receive", "Close", "Destroy"));
  EXPECT_EQ(first.receives, 3);
  EXPECT_EQ(first.sendParam, 20000);
  EXPECT_EQ(first.sent, FrameOf(normal));
  EXPECT_EQ(normal.HexTrace, "CMD:  02 05 00 1B 23 14 52 00\r\nRET:  06 00 00\r\n");
  EXPECT_THAT(normal.ResultText, StartsWith("\r\nComando:\tLeitura\r\n"));
  EXPECT_THAT(normal.ResultText, HasSubstr("COMANDO OK"));
  EXPECT_THAT(Log(), HasSubstr("Leitura"));

  settings.g_extendedReply = true;
  ports.Script("COM1:", Reply({Bytes({0x06, 0x00, 0x00, 0x00, 0x00, 0xAA})}));
  CommandRecord extended = Command(0);
  EXPECT_EQ(Run(extended), kOk);
  EXPECT_EQ(extended.frame.bytes[3], 0x1C);
  EXPECT_EQ(ports.Last().receives, 5);
  EXPECT_EQ(extended.replyData.size(), 5u);
}

TEST_F(ExchangeTest, NakEndsTheReplyOnlyAsFirstByte) {
  ports.Script("COM1:", Reply({Bytes({0x15, 0x00, 0x00})}));
  CommandRecord nak = Command(0);
  EXPECT_EQ(Run(nak), kExchangeFailed);
  EXPECT_EQ(ports.Last().receives, 1);
  EXPECT_THAT(nak.HexTrace, EndsWith("RET:  15\r\n"));
  EXPECT_THAT(nak.ResultText, EndsWith(Cp("COMANDO NÃO RECEBIDO")));
  EXPECT_THAT(Log(), HasSubstr(Cp("COMANDO NÃO RECEBIDO")));

  ports.Script("COM1:", Reply({Bytes({0x06, 0x15, 0x00, 0x00})}));
  CommandRecord data = Command(1);
  EXPECT_EQ(Run(data), kOk);
  EXPECT_EQ(data.replyData, (std::vector<std::uint8_t>{0x06, 0x15, 0x00, 0x00}));
}

TEST_F(ExchangeTest, SilentPrinterFailsOnThe72ndTimeout) {
  const auto start = clock.MonotonicMs();
  CommandRecord c = Command(0);
  EXPECT_EQ(Run(c), kExchangeFailed);
  EXPECT_EQ(ports.Last().receives, 72);
  EXPECT_EQ(clock.SleptMs(), 72 * 300);
  EXPECT_EQ(clock.MonotonicMs() - start, 72 * (2000 + 300));
  EXPECT_THAT(c.ResultText, EndsWith("Falha no envio do comando"));
  EXPECT_THAT(c.HexTrace, EndsWith("RET: \r\n"));
  EXPECT_THAT(Log(), HasSubstr("Falha no envio do comando"));

  // The count is of consecutive time-outs: a byte starts it again.
  ports.Script("COM1:", Reply({Timeouts(71), Bytes({0x06}), Timeouts(71), Bytes({0x00, 0x00})}));
  CommandRecord patient = Command(0);
  EXPECT_EQ(Run(patient), kOk);
}

TEST_F(ExchangeTest, CancelDrainsTheRestBeforeClosing) {
  ports.Script("COM1:", Reply({Bytes({0x06}), Bytes({0x00, 0x00, 0xAA, 0xBB})}));
  progress.cancelAfterPolls = 1;
  CommandRecord c = Command(2);
  EXPECT_EQ(Run(c), kCancelled);
  const FakePortRecord& port = ports.Last();
  EXPECT_EQ(port.bytesDelivered, 5);  // everything the printer sent was taken off the line
  EXPECT_EQ(port.drainCalls, 5);
  EXPECT_THAT(port.calls, ElementsAre("Open(9600)", "Purge", "Send", "Receive", "Drain", "Close", "Destroy"));
  EXPECT_THAT(c.HexTrace, EndsWith("RET:  06\r\n"));
  EXPECT_THAT(c.ResultText, EndsWith("Comando cancelado."));
  EXPECT_THAT(Log(), HasSubstr("Comando cancelado."));

  // A line that never goes quiet does not hold the cancel forever.
  FakePortScript endless = Reply({Bytes({0x06})});
  endless.endlessByte = 0xAA;
  ports.Script("COM1:", endless);
  progress.cancelAfterPolls = progress.polls + 1;
  CommandRecord again = Command(2);
  EXPECT_EQ(Run(again), kCancelled);
  EXPECT_EQ(ports.Last().drainCalls, kMaxDrainBytes);
}

// --- open replies ---------------------------------------------------------------------------

// A fiscal-memory read: escape 08h and a 13-character parameter whose last character
// lands on frame offset 17.
CommandRecord FiscalMemoryRead(char mode) {
  CommandRecord c = Command(0, {0x08}, "Leitura MF");
  ParameterRecord p;
  p.size = 13;
  p.kind = "STRING";
  p.title = "Intervalo";
  p.value = std::string("010120310120") + mode;
  c.parameters.push_back(p);
  return c;
}

TEST_F(ExchangeTest, FiscalMemoryReadWithRIsAnOpenReply) {
  ports.Script("COM1:", Reply({Bytes({0x06, 0x00, 0x00}), Text("MF\n"), Bytes({0x81, 0x00, 0x03, 0x06})}));
  CommandRecord read = FiscalMemoryRead('R');
  EXPECT_EQ(Run(read), kOk);
  EXPECT_EQ(read.frame.bytes[17], 'R');
  EXPECT_EQ(ports.Last().receives, 9);
  EXPECT_EQ(read.ResultText, "COMANDO OK\r\nMF\r\n\xFC");  // 81h shows as the ü of the display table
  EXPECT_THAT(read.HexTrace, EndsWith("RET:  06 00 00 4D 46 0A 81 00 03\r\n"));

  ports.Script("COM1:", Reply({Bytes({0x06, 0x00, 0x00, 0x03})}));
  CommandRecord fixed = FiscalMemoryRead('I');
  EXPECT_EQ(Run(fixed), kOk);
  EXPECT_EQ(ports.Last().receives, 3);
}

TEST_F(ExchangeTest, OpenReplyShowsStatusAndExtendedLinesThenText) {
  settings.g_extendedReply = true;
  ports.Script("COM1:", Reply({Bytes({0x06, 0x40, 0x00, 0x00, 0x00}), Text("ok"), Bytes({0x03})}));
  CommandRecord c = Command(-1);
  EXPECT_EQ(Run(c), kOk);
  EXPECT_EQ(c.ResultText, StatusText(0x40, 0) + "\r\n" + ExtendedErrorText(0, 0) + "\r\nok");
  EXPECT_THAT(Log(), HasSubstr("ok"));
}

TEST_F(ExchangeTest, NulTerminatedReplyShowsOnlyTheText) {
  settings.g_extendedReply = true;  // never used for this shape
  ports.Script("COM1:", Reply({Bytes({0x06, 0x40, 0x01}), Text("o\nk"), Bytes({0x00, 0x41})}));
  CommandRecord c = Command(-2);
  EXPECT_EQ(Run(c), kOk);
  EXPECT_EQ(c.frame.bytes[3], 0x1B);
  EXPECT_EQ(c.ResultText, "o\r\nk");
  EXPECT_EQ(ports.Last().receives, 7);
}

TEST_F(ExchangeTest, OpenReplyTimeoutLimitsOnlyTheStatusBlock) {
  ports.Script("COM1:", Reply({Bytes({0x06}), Timeouts(11)}));
  CommandRecord silent = Command(-1);
  EXPECT_EQ(Run(silent), kExchangeFailed);
  EXPECT_EQ(ports.Last().receives, 13);
  EXPECT_EQ(clock.SleptMs(), 0);
  EXPECT_THAT(silent.ResultText, EndsWith("Falha no envio do comando"));

  ports.Script("COM1:", Reply({Bytes({0x06, 0x00, 0x00, 'a'}), Timeouts(500), Bytes({'b', 0x03})}));
  CommandRecord slow = Command(-1);
  EXPECT_EQ(Run(slow), kOk);
  EXPECT_EQ(slow.ResultText, "COMANDO OK\r\nab");
}

TEST_F(ExchangeTest, OpenReplyOnALinkThatDiedFailsWithoutSpinning) {
  // The device hangs up after the first data byte: every read fails at once.
  FakePortScript dead = Reply({Bytes({0x06, 0x00, 0x00, 'a'})});
  dead.breakAfterBytes = 4;
  ports.Script("COM1:", dead);
  CommandRecord c = Command(-1);
  EXPECT_EQ(Run(c), kExchangeFailed);
  EXPECT_EQ(ports.Last().receives, 4 + 72);
  EXPECT_EQ(clock.SleptMs(), 72 * 300);
  EXPECT_THAT(c.ResultText, EndsWith("Falha no envio do comando"));
  EXPECT_THAT(c.HexTrace, EndsWith(" 06 00 00 61\r\n"));
}

TEST_F(ExchangeTest, CancelOfAnOpenReply) {
  // During the data: the status lines replace the result text.
  ports.Script("COM1:", Reply({Bytes({0x06, 0x40, 0x00, 'a'}), Timeouts(2), Bytes({'z'})}));
  progress.cancelAfterPolls = 6;
  CommandRecord data = Command(-1);
  EXPECT_EQ(Run(data), kCancelled);
  EXPECT_EQ(data.ResultText, StatusText(0x40, 0) + "\r\nComando cancelado.");
  EXPECT_EQ(ports.Last().drainCalls, 2);
  EXPECT_THAT(wait.shown, ElementsAre("Por favor, aguarde....."));
  EXPECT_THAT(data.HexTrace, EndsWith(" 06 40 00 61\r\n"));

  // During the status block: the text is kept.
  ports.Script("COM1:", Reply({Bytes({0x06})}));
  progress.cancelAfterPolls = progress.polls + 1;
  CommandRecord status = Command(-1);
  EXPECT_EQ(Run(status), kCancelled);
  EXPECT_EQ(status.ResultText, "\r\nComando:\tLeitura\r\nComando cancelado.");
}

// --- sending ----------------------------------------------------------------------------------

TEST_F(ExchangeTest, SocketToldTheExpectedLengthOrMinusOne) {
  settings.g_portName = "SOCKET";
  struct Case {
    int declared;
    const char* group;
    int param;
  } cases[] = {{4, "", 7}, {-1, "", -1}, {-2, "", -1}, {0, "GPRS", -1}};
  for (const Case& k : cases) {
    CommandRecord c = Command(k.declared);
    c.group = k.group;
    Run(c);
    EXPECT_EQ(ports.Last().sendParam, k.param) << k.declared << k.group;
  }
  CommandRecord read = FiscalMemoryRead('r');
  Run(read);
  EXPECT_EQ(ports.Last().sendParam, -1);
}

TEST_F(ExchangeTest, ParameterErrorSendsNothing) {
  CommandRecord c = Command(0);
  c.HexTrace = "CMD:  01\r\nRET:  02\r\n";  // from an earlier run of the same record
  ParameterRecord p;
  p.size = 4;
  p.kind = "STRING";
  c.parameters.push_back(p);
  EXPECT_EQ(Run(c), kMandatoryEmpty);
  EXPECT_TRUE(ports.records.empty());
  EXPECT_TRUE(c.HexTrace.empty());
  EXPECT_EQ(Log(), "");
}

}  // namespace
}  // namespace tervane::testing
