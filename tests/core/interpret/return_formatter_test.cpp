#include "core/interpret/return_formatter.h"

#include <gtest/gtest.h>

#include "core/common/string_table.h"
#include "core/interpret/interpret_test_support.h"

namespace tervane {
namespace {

using testing::Bytes;
using testing::CommandBuilder;
using testing::W;

ProgramSettings Normal() { return {}; }
ProgramSettings Extended() {
  ProgramSettings s;
  s.g_extendedReply = true;
  return s;
}

std::string Formatted(CommandRecord& c, const ProgramSettings& s = Normal()) {
  EXPECT_EQ(FormatReturn(c, s), 0);
  return c.ResultText;
}

// --- status block -------------------------------------------------------------------

TEST(FormatReturnStatus, AckNakAndOtherFirstBytesInBothModes) {
  auto ack = CommandBuilder().Reply(Bytes({0x06, 0x00, 0x00, 0x00, 0x00})).Build();
  EXPECT_EQ(Formatted(ack), "\r\nCOMANDO OK");
  ack.ResultText.clear();
  EXPECT_EQ(Formatted(ack, Extended()), "\r\nCOMANDO OK\r\nCOMANDO OK\r\n");

  auto nak = CommandBuilder().Reply(Bytes({0x15})).Build();
  EXPECT_EQ(Formatted(nak), "\r\n" + W("COMANDO NÃO RECEBIDO"));
  nak.ResultText.clear();
  EXPECT_EQ(Formatted(nak, Extended()), "\r\nFalha no envio do comando");

  auto other = CommandBuilder().Reply(Bytes({0x02, 0x00, 0x00, 0x00, 0x00})).Build();
  EXPECT_EQ(Formatted(other), "\r\n");
  other.ResultText.clear();
  EXPECT_EQ(Formatted(other, Extended()), "\r\n");

  auto empty = CommandBuilder().Build();
  EXPECT_EQ(Formatted(empty, Extended()), "\r\n");
}

TEST(FormatReturnStatus, ExtendedCodeFollowsTheStatusBytes) {
  auto c = CommandBuilder().Reply(Bytes({0x06, 0x02, 0x00, 0x40, 0x00})).Build();
  EXPECT_EQ(Formatted(c, Extended()), "\r\n\r\nCUPOM ABERTO\r\n FP ABERTA");
  // In normal mode the two trailing bytes are not read.
  c.ResultText.clear();
  EXPECT_EQ(Formatted(c), "\r\n\r\nCUPOM ABERTO");
  // Codes past the table add nothing.
  auto high = CommandBuilder().Reply(Bytes({0x06, 0x00, 0x00, 0x00, 0x01})).Build();
  EXPECT_EQ(Formatted(high, Extended()), "\r\nCOMANDO OK");
}

TEST(FormatReturnStatus, StatusBytesSitAfterAllFieldsAndAppendIsCumulative) {
  // The unlisted kind does not move the read position, but its size still places the
  // status bytes.
  auto c = CommandBuilder()
               .Field("NAO_LISTADO", 2)
               .Field("ASCII", 1, "Letra")
               .Reply(Bytes({0x06, 'X', 'Y', 'Z', 0x80, 0x00}))
               .Build();
  c.ResultText = "antes";
  EXPECT_EQ(Formatted(c), "antes\r\n\r\nFIM DE PAPEL\r\nLetra:\tX\r\n");
}

TEST(FormatReturnStatus, DeclaredSizeMinusTwoGivesFieldLinesOnly) {
  auto c = CommandBuilder().Field("ASCII", 2, "Nome").DeclaredSize(-2).AckReply(Bytes({'O', 'K'}), 0xFF, 0xFF).Build();
  EXPECT_EQ(Formatted(c, Extended()), "\r\n\r\nNome:\tOK\r\n");
  // -1 (open, ended by ETX) still decodes the status.
  c.declaredReturnSize = -1;
  c.ResultText.clear();
  EXPECT_NE(Formatted(c).find("FIM DE PAPEL"), std::string::npos);
}

TEST(FormatReturnStatus, MissingStatusBytesGiveNoStatusLine) {
  auto c = CommandBuilder().Field("ASCII", 2, "Nome").Reply(Bytes({0x06, 'O', 'K', 0x80})).Build();
  EXPECT_EQ(Formatted(c), "\r\n\r\nNome:\tOK\r\n");
  // Extended mode with ST1 and ST2 but no code bytes: the status alone.
  auto d = CommandBuilder().Reply(Bytes({0x06, 0x00, 0x01, 0x05})).Build();
  EXPECT_EQ(Formatted(d, Extended()), W("\r\n\r\nCOMANDO NÃO EXECUTADO"));
}

// --- single-value kinds -------------------------------------------------------------

TEST(FormatReturnFields, BcdKinds) {
  auto c = CommandBuilder()
               .Field("BCD_FINANCE", 7, "Total")
               .Field("BCD_PERCENTAGE", 2, "Taxa")
               .Field("BCD_DATA", 3)
               .Field("BCD_HORA", 3)
               .Field("BCD_INTEGER", 2, "Loja")
               .AckReply(Bytes({0x00, 0x00, 0x00, 0x01, 0x23, 0x45, 0x67, 0x18, 0x00, 0x31, 0x12, 0x09,
                                0x23, 0x59, 0x01, 0x00, 0xAB}))
               .DeclaredSize(17)
               .Build();
  EXPECT_EQ(Formatted(c), "\r\nCOMANDO OK"
                    "\r\nTotal:\t000000012345,67\r\n"
                    "\r\nTaxa:\t18,00%\r\n"
                    "\r\nData: 31/12/09\r\n"
                    "\r\nHora: 23:59:01\r\n"
                    "\r\nLoja:\t00:;\r\n");  // nibbles above 9 are shown as sent
  EXPECT_EQ(c.returnFields[0].value, "00000001234567");
  EXPECT_EQ(c.returnFields[1].value, "1800");
  EXPECT_EQ(c.returnFields[2].value, "311209");
  EXPECT_EQ(c.returnFields[3].value, "235901");
  EXPECT_EQ(c.returnFields[4].value, "00:;");
}

TEST(FormatReturnFields, IntegerAndPaperStatus) {
  auto c = CommandBuilder()
               .Field("STATUS_PAPEL", 2, "Papel")
               .Field("INTEGER", 1, "Quantidade")
               .Field("INTEGER", 2, "Contador")
               .AckReply(Bytes({0x10, 0x27, 0xC8, 0x34, 0x12}))
               .Build();
  c.returnFields[1].value = "antigo";
  EXPECT_EQ(Formatted(c), "\r\nCOMANDO OK\r\nPapel\t\t10000\r\n\r\nQuantidade\t\t200\r\n"
                    "\r\nContador\t\t4660\r\n");
  EXPECT_EQ(c.returnFields[0].value, "10000");
  EXPECT_EQ(c.returnFields[1].value, "");
}

TEST(FormatReturnFields, AsciiCollectsConvertsAndStopsAtZero) {
  auto c = CommandBuilder()
               .Field("ASCII", 6, "Texto")
               .Field("ASCII", 5, "Corte")
               .AckReply(Bytes({'a', 0x87, 0xC6, 0x0A, 'o', '!', 'A', 'B', 0x00, 'C', 'D'}))
               .Build();
  EXPECT_EQ(Formatted(c), W("\r\nCOMANDO OK\r\nTexto:\taçã\r\no!\r\n\r\nCorte:\tAB\r\n"));
  EXPECT_EQ(c.returnFields[0].value, W("açã\r\no!"));
  EXPECT_EQ(c.returnFields[1].value, "AB");
}

TEST(FormatReturnFields, PaymentModeNumber) {
  auto refused = CommandBuilder().Field("BCD_FLAG_PAYMENT_MODE", 3).AckReply(Bytes({'2', '5', '5'})).Build();
  EXPECT_EQ(Formatted(refused), W("\r\nCOMANDO OK\r\nNão foi possível inserir esta forma de pagamento.\r\n"));

  auto ok = CommandBuilder().Field("BCD_FLAG_PAYMENT_MODE", 2).AckReply(Bytes({'0', '3'})).Build();
  ok.returnFields[0].value = "mantido";
  EXPECT_EQ(Formatted(ok), W("\r\nCOMANDO OK\r\nForma de pagamento nº 3 programada\r\n"));
  EXPECT_EQ(ok.returnFields[0].value, "mantido");

  // The leading digits count; none gives 0.
  auto none = CommandBuilder().Field("BCD_FLAG_PAYMENT_MODE", 2).AckReply(Bytes({'x', '9'})).Build();
  EXPECT_NE(Formatted(none).find(W("nº 0 programada")), std::string::npos);
}

TEST(FormatReturnFields, UnlistedKindNeitherReadsNorAdvancesNorTouchesValue) {
  auto c = CommandBuilder()
               .Field("BCD_INTEGER", 1, "A")
               .Field("bcd_integer", 1, "B")  // names are case-sensitive
               .Field("BCD_INTEGER", 1, "C")
               .AckReply(Bytes({0x12, 0x34, 0x56}))
               .Build();
  c.returnFields[1].value = "intocado";
  EXPECT_EQ(Formatted(c), "\r\nCOMANDO OK\r\nA:\t12\r\n\r\nC:\t34\r\n");
  EXPECT_EQ(c.returnFields[1].value, "intocado");
}

TEST(FormatReturnFields, NegativeSizeNeverMovesBackwards) {
  auto c = CommandBuilder()
               .Field("BCD_INTEGER", -5, "Neg")
               .Field("BCD_INTEGER", 1, "A")
               .AckReply(Bytes({0x42}))
               .Build();
  EXPECT_EQ(Formatted(c), "\r\nCOMANDO OK\r\nNeg:\t\r\n\r\nA:\t42\r\n");
}

}  // namespace
}  // namespace tervane
