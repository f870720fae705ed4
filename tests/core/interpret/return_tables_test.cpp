// Flag kinds and the fixed multi-entry layouts.
#include <gtest/gtest.h>

#include <cstring>

#include "core/common/string_table.h"
#include "core/interpret/return_formatter.h"
#include "core/interpret/interpret_test_support.h"

namespace tervane {
namespace {

using testing::Bytes;
using testing::CommandBuilder;
using testing::EndsWith;
using testing::W;

// The field lines only: the formatter's leading "\r\n" and "COMANDO OK" removed.
std::string FieldLines(CommandRecord& c) {
  EXPECT_EQ(FormatReturn(c, ProgramSettings{}), 0);
  const std::string head = "\r\nCOMANDO OK";
  EXPECT_EQ(c.ResultText.rfind(head, 0), 0u) << c.ResultText;
  return c.ResultText.substr(head.size());
}

void Put(std::vector<std::uint8_t>& bytes, size_t at, const std::vector<std::uint8_t>& what) {
  std::copy(what.begin(), what.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

void PutText(std::vector<std::uint8_t>& bytes, size_t at, const char* text) {
  std::memcpy(bytes.data() + at, text, std::strlen(text));
}

// --- flags --------------------------------------------------------------------------

TEST(FormatReturnFlags, BitGroupShowsFirstByteAndStoresEveryByte) {
  auto c = CommandBuilder().Field("ASCII_FLAGS_FISCAIS", 2).AckReply(Bytes({0x05, 0x80})).Build();
  EXPECT_EQ(FieldLines(c), W("\r\nFlags Fiscais:\r\nAtivado?\t\tDescrição\r\n"
                             "sim\t\tCupom fiscal aberto\r\n"
                             "não\t\tFechamento de formas de pagamento iniciado\r\n"
                             "sim\t\tHorário de verão\r\n"
                             "não\t\tJá houve redução Z no dia (ECF Bloqueado)\r\n"
                             "não\t\tÚltima RZ foi  automática\r\n"
                             "não\t\tPermite cancelar cupom fiscal\r\n"
                             "não\t\t-----bit não utilizado----\r\n"
                             "não\t\tMemória fiscal sem espaço"));
  EXPECT_EQ(c.returnFields[0].value, "1010000000000001");
}

TEST(FormatReturnFlags, OtherBitGroupsHaveTheirOwnTexts) {
  auto c = CommandBuilder()
               .Field("ASCII_FLAGS_FISCAIS_II", 1)
               .Field("ASCII_FLAGS_FISCAIS_III", 1)
               .Field("FLAG_SENSORES", 1)
               .Field("FLAG_CHEQUE", 1)
               .AckReply(Bytes({0x80, 0x04, 0x01, 0x10}))
               .Build();
  const std::string t = FieldLines(c);
  EXPECT_NE(t.find(W("Flags Fiscais II:\r\nAtivado?\t\tDescrição\r\nnão\t\tComprovante não fiscal aberto")),
            std::string::npos);
  EXPECT_NE(t.find(W("sim\t\t-----bit não utilizado----\r\nFlags")), std::string::npos);  // II bit 7, no CR LF
  EXPECT_NE(t.find(W("sim\t\tCancelamento automático de cupom às duas horas habilitado\r\n")), std::string::npos);
  EXPECT_NE(t.find(W("Flags Sensores:\r\nAtivado?\t\tDescrição\r\nsim\t\tCabeça levantada\r\n")), std::string::npos);
  EXPECT_NE(t.find(W("sim\t\tStatus do buffer de impressão ( não liberado?)\r\n")), std::string::npos);
  EXPECT_TRUE(EndsWith(t, W("não\t\tBuffer cheio")));
  EXPECT_EQ(c.returnFields[3].value, "00001000");
}

TEST(FormatReturnFlags, IssBindingFlagOneIsTheHighBit) {
  auto c = CommandBuilder().Field("ASCII_FLAG_VINC_ISS", 2).AckReply(Bytes({0x80, 0x03})).Build();
  std::string expected = W("\r\nFlags de vinculaçoao ao ISS:\r\nNúmero\t\tVinculado ao ISS?\r\n");
  const char* answers = "1000000000000011";
  for (int flag = 1; flag <= 16; ++flag) {
    expected += (flag < 10 ? "\r\n " : "\r\n") + std::to_string(flag) + "\t\t" +
                (answers[flag - 1] == '1' ? "sim" : W("não"));
  }
  EXPECT_EQ(FieldLines(c), expected);
  EXPECT_EQ(c.returnFields[0].value, answers);
}

TEST(FormatReturnFlags, SwitchesCompareWithTheirOnByte) {
  struct Case {
    const char* kind;
    int on;
    int equalId;
    int differentId;
  };
  const Case cases[] = {
      {"BCD_FLAG_INT_TEC", 0x55, 32886, 32932},   {"BCD_FLAG_EPROM_CONECT", 0x55, 32855, 32856},
      {"FLAG_TRUNCAMENTO", 0x00, 32947, 32917},   {"FLAG_CORTE", 0x30, 32839, 32840},
      {"FLAG_ALINHAMENTO", 0x30, 32800, 32801},   {"FLAG_BP_CF", 0x00, 32934, 32863},
      {"FLAG_PRESENTER_GAVETA", 0x00, 32901, 32982}, {"FLAG_GAVETA", 0x00, 32826, 32827},
      {"FLAG_CUTTER_AUTENTIC", 0x00, 32841, 33028}, {"FLAG_RED_AUT_COM", 0x00, 32920, 32919},
  };
  for (const Case& k : cases) {
    for (int byte : {k.on, k.on ^ 0x01}) {
      auto c = CommandBuilder().Field(k.kind, 1).AckReply(Bytes({byte})).Build();
      c.returnFields[0].value = "mantido";
      const std::string& message = LoadString(byte == k.on ? k.equalId : k.differentId);
      ASSERT_FALSE(message.empty()) << k.kind;
      EXPECT_EQ(FieldLines(c), "\r\n" + message + "\r\n") << k.kind << " " << byte;
      EXPECT_EQ(c.returnFields[0].value, "mantido");
    }
  }
}

// --- fixed layouts ------------------------------------------------------------------

TEST(FormatReturnTables, PaymentMethods) {
  std::vector<std::uint8_t> b(620, 0x00);
  for (size_t k = 0; k < 20; ++k) {
    std::memset(b.data() + 16 * k, ' ', 16);
    b[320 + 7 * k + 6] = static_cast<std::uint8_t>(k);  // cents of the value
    b[460 + 7 * k] = 0x10;                               // top digits of the last coupon
  }
  PutText(b, 0, "Dinheiro");
  PutText(b, 16 * 3, "Cart\xC6o");  // code page 850 a-tilde
  PutText(b, 16 * 19, "Ultima\nlinha");
  Put(b, 320 + 7 * 3, Bytes({0x00, 0x00, 0x00, 0x01, 0x23, 0x45, 0x67}));
  Put(b, 460 + 7 * 19, Bytes({0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99}));
  b[600 + 3] = 0x55;
  b[600 + 19] = 'u';  // only an upper-case U allows TEF

  auto c = CommandBuilder().Field("FORMAS_DE_PAGAMENTO", 620).AckReply(b).Build();
  c.returnFields[0].value = "mantido";
  const std::string t = FieldLines(c);
  const std::string header =
      W("\r\nDescrição:\t\tValor\t\t\tValor no último cupom\tPermite emissão de TEF\r\n");
  ASSERT_EQ(t.rfind(header, 0), 0u);
  EXPECT_NE(t.find(header + "Dinheiro        \t000000000000,00\t\t100000000000,00\t\t" + W("não") + "\r\n"),
            std::string::npos);
  EXPECT_NE(t.find(W("\r\nCartão          \t000000012345,67\t\t100000000000,00\t\tsim\r\n")),
            std::string::npos);
  EXPECT_NE(t.find(W("\r\nUltima\r\nlinha    \t000000000000,13\t\t999999999999,99\t\tnão\r\n")),
            std::string::npos);
  EXPECT_TRUE(EndsWith(t, "\r\n"));
  EXPECT_EQ(c.returnFields[0].value, "mantido");
}

TEST(FormatReturnTables, DepartmentsDescriptionFollowsTheValue) {
  std::vector<std::uint8_t> b(600, 0x00);
  Put(b, 20 * 2, Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0x12, 0x34}));
  PutText(b, 20 * 2 + 10, "Bebidas\x87");  // code page 850 c-cedilla
  Put(b, 400 + 10 * 2, Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0x05, 0x50}));
  PutText(b, 20 * 19 + 10, "LimpezaXYZ");
  Put(b, 20 * 19 + 9, Bytes({0x99}));
  Put(b, 400 + 10 * 19 + 9, Bytes({0x01}));
  auto c = CommandBuilder().Field("DEPARTAMENTOS", 600).AckReply(b).Build();
  const std::string t = FieldLines(c);
  ASSERT_EQ(t.rfind(W("\r\nDescrição:\t\tQuantidade\t\t\tValor\r\n\t\t000000000000000000,00\t\t"), 0), 0u);
  EXPECT_NE(t.find(W("\r\nBebidasç\t\t000000000000000005,50\t\t000000000000000012,34\r\n")),
            std::string::npos);
  EXPECT_TRUE(EndsWith(t, "\r\nLimpezaXYZ\t\t000000000000000000,01\t\t000000000000000000,99\r\n"));
}

TEST(FormatReturnTables, UntaxedTotalsAndReportCounters) {
  std::vector<std::uint8_t> tot(780, 0x00);
  PutText(tot, 0, "Sangria");
  PutText(tot, 19 * 29, "Ultimo totalizador!");  // all 19 bytes
  Put(tot, 570, Bytes({0, 0, 0, 0, 0, 0x10, 0x00}));
  Put(tot, 570 + 7 * 29, Bytes({0, 0, 0, 0, 0, 0, 0x99}));
  auto c = CommandBuilder().Field("TOT_NAO_SUJ_ICMS", 780).AckReply(tot).Build();
  std::string t = FieldLines(c);
  EXPECT_EQ(t.rfind("\r\nSangria:\t000000000010,00\r\n\r\n:\t000000000000,00\r\n", 0), 0u);
  EXPECT_TRUE(EndsWith(t, "\r\nUltimo totalizador!:\t000000000000,99\r\n"));

  std::vector<std::uint8_t> rel(570, 0x00);
  Put(rel, 0, Bytes({0x00, 0x07}));
  Put(rel, 58, Bytes({0x12, 0x34}));
  PutText(rel, 60, "Sangrias");
  PutText(rel, 60 + 17 * 29, "Relatorio 30");
  auto r = CommandBuilder().Field("RELAT_GER", 570).AckReply(rel).Build();
  t = FieldLines(r);
  EXPECT_EQ(t.rfind("\r\nSangrias:\t0007\r\n", 0), 0u);
  EXPECT_TRUE(EndsWith(t, "\r\nRelatorio 30:\t1234\r\n"));
}

TEST(FormatReturnTables, TaxRatesListEveryWholeSlot) {
  auto c = CommandBuilder()
               .Field("ALIQUOTAS", 7)
               .AckReply(Bytes({0x02, 0x18, 0x00, 0x07, 0x00, 0x00, 0x00}))
               .Build();
  EXPECT_EQ(FieldLines(c), W("\r\nNúmero de alíquotas:\t2\r\nAlíquota\tValor\r\n"
                             "\r\n1\t\t18,00\r\n\r\n2\t\t07,00\r\n\r\n3\t\t00,00\r\n"));
  // An even size leaves a half slot at the end, which is not read.
  auto even = CommandBuilder().Field("ALIQUOTAS", 4).AckReply(Bytes({0x01, 0x12, 0x50, 0x99})).Build();
  EXPECT_EQ(FieldLines(even), W("\r\nNúmero de alíquotas:\t1\r\nAlíquota\tValor\r\n\r\n1\t\t12,50\r\n"));
}

TEST(FormatReturnTables, PartialTotalsReadAmountsInOrder) {
  std::vector<std::uint8_t> b(219, 0x00);
  // Amount i (0-based) carries i in its cents; the grand total takes the last 9 bytes.
  for (size_t i = 0; i < 30; ++i) b[7 * i + 6] = static_cast<std::uint8_t>(((i / 10) << 4) | (i % 10));
  Put(b, 210, Bytes({0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x34, 0x56, 0x78}));
  auto c = CommandBuilder().Field("TOT_PARCIAIS", 219).AckReply(b).Build();

  const auto amount = [](int i) {
    return "000000000000," + std::string(1, static_cast<char>('0' + i / 10)) +
           static_cast<char>('0' + i % 10);
  };
  std::string expected = "\r\nTotalizadores parciais tributados:\r\nTotalizador\tValor\r\n";
  for (int i = 1; i <= 16; ++i) expected += "\r\n" + std::to_string(i) + "\t\t" + amount(i - 1) + "\r\n";
  expected += W("\r\nIsenção:\t\t") + amount(16) + W("\r\nNão Incidência:\t") + amount(17) +
              W("\r\nSubstituição:\t") + amount(18) + "\r\n";
  expected += W("\r\nTotalizadores parciais não sujeitos ao ICMS:\r\nTotalizador\tValor\r\n");
  for (int i = 1; i <= 9; ++i) expected += "\r\n" + std::to_string(i) + "\t\t" + amount(18 + i) + "\r\n";
  expected += "\r\nSangria:\t\t" + amount(28) + "\r\nSuprimentos:\t" + amount(29) +
              "\r\nGrande Total:\t1234567890123456,78\r\n";
  EXPECT_EQ(FieldLines(c), expected);
}

TEST(FormatReturnTables, MemoryCellCountsAndWarning) {
  auto c = CommandBuilder().Field("VER_INT_MEM_FISCAL", 6).AckReply(Bytes({0x10, 0x27, 0x0F, 0x27, 0, 0})).Build();
  EXPECT_EQ(FieldLines(c), W("\r\nNúmero de células gravadas:\t10000 \r\n Número de células ok:\t9999 \r\n"
                             " Número de células nok:\t0 \r\n"));
  auto bad = CommandBuilder().Field("VER_INT_MEM_FISCAL", 6).AckReply(Bytes({3, 0, 2, 0, 0, 1})).Build();
  EXPECT_EQ(FieldLines(bad), W("\r\nNúmero de células gravadas:\t3 \r\n Número de células ok:\t2 \r\n"
                               " Número de células nok:\t256 \r\n"
                               "\r\nATENÇÃO: DETECTADAS CÉLULAS NÃO OK\r\n"));

  std::vector<std::uint8_t> counts(30, 0x00);
  for (size_t i = 0; i < 15; ++i) counts[2 * i] = static_cast<std::uint8_t>(i % 3 == 2 ? 0 : 40 + i);
  auto comp = CommandBuilder().Field("VER_INT_MEM_FISCAL_COMP", 30).AckReply(counts).Build();
  std::string t = FieldLines(comp);
  EXPECT_EQ(t.rfind(W("\r\nCélulas iniciais:\r\n Células gravadas:\t 40\r\n Células OK:\t 41\r\n"
                      " Células não OK:\t 0\r\n\r\nCélulas de número de serie da MFD:\r\n"), 0), 0u);
  EXPECT_TRUE(EndsWith(t, W("\r\nCélulas de versão do software básico:\r\n Células gravadas:\t 52\r\n"
                            " Células OK:\t53\r\n Células não OK:\t0\r\n")));

  counts[2 * 14 + 1] = 0x01;  // only the last group's not-OK count
  auto comp2 = CommandBuilder().Field("VER_INT_MEM_FISCAL_COMP", 30).AckReply(counts).Build();
  t = FieldLines(comp2);
  EXPECT_NE(t.find(W(" Células não OK:\t256\r\n\r\nATENÇÃO: DETECTADAS CÉLULAS NÃO OK\r\n")), std::string::npos);
}

}  // namespace
}  // namespace tervane
