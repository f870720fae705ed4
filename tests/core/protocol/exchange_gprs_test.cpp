// GPRS replies: the parsed kinds, the status lines before them, and the failures.
#include "core/protocol/exchange_fixture.h"
#include "core/interpret/status_text.h"

namespace tervane::testing {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;

class GprsTest : public ExchangeTest {
 protected:
  CommandRecord Gprs() {
    CommandRecord c = Command(0, {0x50, 0x01}, "Modem");
    c.group = "GPRS";
    return c;
  }
  // Runs a GPRS command against a printer that sends `reply`.
  CommandRecord RunWith(std::vector<std::uint8_t> reply, int expectedResult = kOk) {
    ports.Script("COM1:", Reply({Bytes(std::move(reply))}));
    CommandRecord c = Gprs();
    EXPECT_EQ(Run(c), expectedResult);
    return c;
  }
};

TEST_F(GprsTest, KindsAreDecodedAfterTheStatusLines) {
  EXPECT_EQ(RunWith({0x06, 0x00, 0x00, 0x00, 0x00}).ResultText, "COMANDO OK\r\nModem:\r\n\r\nExecutado\r\n");
  EXPECT_EQ(RunWith({0x06, 0x00, 0x01, 0x02, 0x00}).ResultText,
            StatusText(2, 0) + "\r\nModem:\r\n\r\n" + Cp("<Não> Executado") + "\r\n");
  EXPECT_EQ(RunWith({0x06, 0x01, 0x34, 0x12, 0x00, 0x00}).ResultText, "COMANDO OK\r\nModem:\r\n\r\n4660\r\n");
  // Kind 3: text up to its terminator, unprintable bytes left out.
  EXPECT_EQ(RunWith({0x06, 0x03, 0x00, 'o', 0x01, 'k', 0x00, 0x00, 0x00}).ResultText,
            "COMANDO OK\r\nModem:\r\n\r\nok\r\n");
  // Kind 2: skipped bytes; with length 0 the status bytes follow at once.
  EXPECT_EQ(RunWith({0x06, 0x02, 0x02, 0xAA, 0xBB, 0x00, 0x00}).ResultText, "COMANDO OK\r\nModem:\r\n\r\n\r\n");
  EXPECT_EQ(RunWith({0x06, 0x02, 0x00, 0x00, 0x00}).ResultText, "COMANDO OK\r\nModem:\r\n\r\n\r\n");
  // Kind 5: status bytes only.
  CommandRecord status = RunWith({0x06, 0x05, 0x80, 0x00, 0x77});
  EXPECT_EQ(status.ResultText, StatusText(0x80, 0) + "\r\nModem:\r\n\r\n\r\n");
  EXPECT_EQ(ports.Last().receives, 4);  // reading stops when the reply is complete
  EXPECT_THAT(status.HexTrace, EndsWith("RET:  06 05 80 00\r\n"));
}

TEST_F(GprsTest, ExtendedModeReadsTheExtendedCode) {
  settings.g_extendedReply = true;
  CommandRecord c = RunWith({0x06, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00});
  EXPECT_EQ(c.ResultText, "COMANDO OK\r\n" + ExtendedErrorText(1, 0) + "\r\nModem:\r\n\r\nExecutado\r\n");
  EXPECT_EQ(ports.Last().receives, 7);
}

TEST_F(GprsTest, BusyModuleShowsNoStatusLine) {
  CommandRecord c = RunWith({0x06, 0x04, 0x10, 0x20, 0x30, 0x00, 0x99});
  EXPECT_EQ(c.ResultText,
            Cp("Modem:\r\n\r\nO Módulo GPRS está ocupado, aguarde um (1) minuto e tente novamente.\r\n"));
  EXPECT_EQ(ports.Last().receives, 6);
}

TEST_F(GprsTest, Failures) {
  // Out of sequence: only the title line of the send step stays.
  CommandRecord out = RunWith({0x06, 0x09, 0x00, 0x00}, kExchangeFailed);
  EXPECT_EQ(out.ResultText, "\r\nComando:\tModem\r\n");
  EXPECT_EQ(ports.Last().receives, 2);
  EXPECT_THAT(out.HexTrace, EndsWith("RET:  06 09\r\n"));
  EXPECT_THAT(Log(), HasSubstr("Modem"));

  CommandRecord nak = RunWith({0x15}, kExchangeFailed);
  EXPECT_THAT(nak.ResultText, EndsWith(Cp("COMANDO NÃO RECEBIDO")));

  ports.Script("COM1:", Reply({Bytes({0x06})}));
  CommandRecord silent = Gprs();
  const auto slept = clock.SleptMs();
  EXPECT_EQ(Run(silent), kExchangeFailed);
  EXPECT_EQ(clock.SleptMs() - slept, 72 * 300);
  EXPECT_THAT(silent.ResultText, EndsWith("Falha no envio do comando"));

  // A text that never ends stops at the 1024-byte reply buffer.
  FakePortScript endless = Reply({Bytes({0x06, 0x03, 0x00})});
  endless.endlessByte = 'A';
  ports.Script("COM1:", endless);
  CommandRecord longReply = Gprs();
  EXPECT_EQ(Run(longReply), kExchangeFailed);
  EXPECT_EQ(longReply.replyData.size(), 1024u);
  EXPECT_THAT(longReply.ResultText, EndsWith("Falha no envio do comando"));

  ports.Script("COM1:", Reply({Bytes({0x06, 0x00})}));
  progress.cancelAfterPolls = progress.polls + 2;
  CommandRecord cancelled = Gprs();
  EXPECT_EQ(Run(cancelled), kCancelled);
  EXPECT_THAT(cancelled.ResultText, EndsWith("Comando cancelado."));
}

TEST_F(GprsTest, ThroughTheExchangeFiles) {
  settings.g_portName = "FILE";
  FakePortScript peer;
  peer.chunks = {{0, {0x06, 0x03, 0x00, 'o'}}, {900, {'k', 0x00, 0x00, 0x00, 0xEE}}};
  ports.Script("FILE", peer);
  CommandRecord c = Gprs();
  EXPECT_EQ(Run(c), kOk);
  EXPECT_EQ(c.ResultText, "COMANDO OK\r\nModem:\r\n\r\nok\r\n");
  // The byte behind the complete reply is not part of it.
  EXPECT_THAT(c.HexTrace, EndsWith("RET:  06 03 00 6F 6B 00 00 00\r\n"));
  EXPECT_EQ(ports.Last().receives, 0);
  EXPECT_THAT(Log(), HasSubstr("Modem"));

  ports.Script("FILE", FakePortScript{});
  CommandRecord silent = Gprs();
  const auto slept = clock.SleptMs();
  EXPECT_EQ(Run(silent), kExchangeFailed);
  EXPECT_EQ(clock.SleptMs() - slept, kFilePurgePauseMs + 72 * kFilePollMs);
  EXPECT_THAT(silent.ResultText, EndsWith("Falha no envio do comando\r\n" + LateReplyWarning()));

  peer.chunks = {{0, {0x15}}};
  ports.Script("FILE", peer);
  CommandRecord nak = Gprs();
  EXPECT_EQ(Run(nak), kExchangeFailed);
  EXPECT_THAT(nak.ResultText, EndsWith(Cp("COMANDO NÃO RECEBIDO")));

  peer.chunks = {{0, {0x06, 0x00}}};
  ports.Script("FILE", peer);
  progress.cancelAfterPolls = progress.polls + 3;
  CommandRecord cancelled = Gprs();
  EXPECT_EQ(Run(cancelled), kCancelled);
  EXPECT_THAT(cancelled.ResultText, EndsWith("Comando cancelado."));
  EXPECT_EQ(ports.Last().drainCalls, 0);
}

}  // namespace
}  // namespace tervane::testing
