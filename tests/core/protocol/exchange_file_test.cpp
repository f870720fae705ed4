// The exchange through the request and reply files.
#include "core/protocol/exchange_fixture.h"
#include "core/interpret/status_text.h"

namespace tervane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class FileExchangeTest : public ExchangeTest {
 protected:
  void SetUp() override {
    ExchangeTest::SetUp();
    settings.g_portName = "FILE";
  }
  FakePortScript Peer(std::vector<FileChunk> chunks) {
    FakePortScript script;
    script.chunks = std::move(chunks);
    return script;
  }
};

TEST_F(FileExchangeTest, FixedReplyAfterAStaleOneIsThrownAway) {
  FakePortScript peer = Peer({{500, {0x06, 0x00, 0x00}}});
  peer.staleReply = {0x06, 0x99, 0x99};
  ports.Script("FILE", peer);
  CommandRecord c = Command(0);
  EXPECT_EQ(Run(c), kOk);
  const FakePortRecord& port = ports.Last();
  ASSERT_GE(port.calls.size(), 4u);
  EXPECT_THAT(std::vector<std::string>(port.calls.begin(), port.calls.begin() + 4),
              ElementsAre("Open(0)", "Purge", "PendingReplySize", "WriteRequest"));
  EXPECT_EQ(port.requestFile, FrameOf(c));
  EXPECT_EQ(port.sends, 0);
  EXPECT_THAT(wait.shown, ElementsAre("Por favor, aguarde....."));
  EXPECT_EQ(c.HexTrace, "CMD:  02 05 00 1B 23 14 52 00\r\nRET:  06 00 00\r\n");
  EXPECT_THAT(c.ResultText, HasSubstr("COMANDO OK"));
  EXPECT_THAT(progress.messages, ElementsAre("Recebendo Retorno...", "Processando retorno"));
  EXPECT_THAT(Log(), HasSubstr("Leitura"));
}

TEST_F(FileExchangeTest, FixedReplyInTwoPartsAndPeersThatFail) {
  ports.Script("FILE", Peer({{0, {0x06, 'a'}}, {900, {'b', 0x00, 0x00}}}));
  CommandRecord split = Command(2);
  EXPECT_EQ(Run(split), kOk);
  EXPECT_EQ(split.replyData, (std::vector<std::uint8_t>{0x06, 'a', 'b', 0x00, 0x00}));

  CommandRecord silent = Command(0);
  EXPECT_EQ(Run(silent), kExchangeFailed);
  EXPECT_EQ(ports.Last().readCalls, 11);
  // The peer may still run it: the failure says so.
  EXPECT_THAT(silent.ResultText, EndsWith("Falha no envio do comando\r\n" + LateReplyWarning()));

  ports.Script("FILE", Peer({{0, {0x15}}}));
  CommandRecord nak = Command(0);
  EXPECT_EQ(Run(nak), kExchangeFailed);
  EXPECT_THAT(nak.ResultText, EndsWith(Cp("COMANDO NÃO RECEBIDO")));

  // A peer that never stops writing: polling ends once the whole reply is there. What it
  // writes does not start with ACK, so it is no answer to the command.
  FakePortScript flood;
  flood.growPerPoll = 1;
  ports.Script("FILE", flood);
  CommandRecord flooded = Command(0);
  EXPECT_EQ(Run(flooded), kExchangeFailed);
  EXPECT_THAT(flooded.ResultText, HasSubstr("Recebido: 41"));
  EXPECT_LE(ports.Last().pendingCalls, 6);
}

TEST_F(FileExchangeTest, RequestWritesAreBoundedAndNeverDuplicated) {
  FakePortScript failing;
  failing.failWrites = -1;
  ports.Script("FILE", failing);
  CommandRecord c = Command(0);
  EXPECT_EQ(Run(c), kExchangeFailed);
  EXPECT_EQ(ports.Last().writeCalls, 10);
  EXPECT_THAT(c.ResultText, EndsWith("Falha no envio do comando"));
  EXPECT_THAT(c.HexTrace, StartsWith("CMD:  02"));
  EXPECT_THAT(Log(), HasSubstr("Falha no envio do comando"));
  EXPECT_EQ(wait.hides, 1);

  FakePortScript partial = Peer({{0, {0x06, 0x00, 0x00}}});
  partial.failWrites = 2;
  partial.writeChunk = 3;
  ports.Script("FILE", partial);
  CommandRecord pieces = Command(0);
  EXPECT_EQ(Run(pieces), kOk);
  EXPECT_EQ(ports.Last().requestFile, FrameOf(pieces));

  // A stale reply that keeps coming back: nothing is sent.
  FakePortScript stale;
  stale.staleReply = {0x06};
  stale.staleRefills = 1000;
  ports.Script("FILE", stale);
  CommandRecord blocked = Command(0);
  EXPECT_EQ(Run(blocked), kExchangeFailed);
  EXPECT_EQ(ports.Last().purges, kFilePurgeRounds);
  EXPECT_EQ(ports.Last().writeCalls, 0);
}

TEST_F(FileExchangeTest, OpenReplyTakesStatusFromItsStartAndStopsAtTheTerminator) {
  // ST1 is 03h: it is status, not the terminator; the reply arrives in two parts.
  ports.Script("FILE", Peer({{0, {0x06, 0x03, 0x00, 'a'}}, {1000, {0x87, 0x03, 'X'}}}));
  CommandRecord c = Command(-1);
  EXPECT_EQ(Run(c), kOk);
  EXPECT_EQ(c.ResultText, StatusText(3, 0) + "\r\na\xE7");
  EXPECT_THAT(c.HexTrace, EndsWith("RET:  06 03 00 61 87 03\r\n"));

  ports.Script("FILE", Peer({{0, {0x06, 0x40, 0x00, 'x', 0x00, 'y'}}}));
  CommandRecord nul = Command(-2);
  EXPECT_EQ(Run(nul), kOk);
  EXPECT_EQ(nul.ResultText, "x");
}

TEST_F(FileExchangeTest, OpenReplyCancelAndSilence) {
  progress.cancelAfterPolls = 0;
  CommandRecord early = Command(-1);
  EXPECT_EQ(Run(early), kCancelled);
  EXPECT_THAT(early.ResultText, EndsWith("Comando Cancelado!"));
  EXPECT_THAT(Log(), HasSubstr("Comando Cancelado!"));

  progress.cancelAfterPolls = progress.polls + 1;
  CommandRecord reading = Command(-1);
  EXPECT_EQ(Run(reading), kCancelled);
  EXPECT_THAT(reading.ResultText, EndsWith("Comando cancelado."));

  progress.cancelAfterPolls = -1;
  CommandRecord silent = Command(-1);
  EXPECT_EQ(Run(silent), kExchangeFailed);
  // The peer may still run it: the failure says so.
  EXPECT_THAT(silent.ResultText, EndsWith("Falha no envio do comando\r\n" + LateReplyWarning()));
}

}  // namespace
}  // namespace tervane::testing
