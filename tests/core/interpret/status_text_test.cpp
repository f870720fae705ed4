#include "core/interpret/status_text.h"

#include <gtest/gtest.h>

#include "core/interpret/interpret_test_support.h"

namespace tervane {
namespace {

using testing::EndsWith;
using testing::W;

size_t CountLines(const std::string& text) {
  size_t n = 0;
  for (size_t pos = 0; (pos = text.find("\r\n", pos)) != std::string::npos; pos += 2) ++n;
  return n;
}

TEST(StatusText, AllClearIsComandoOkWithoutLineBreak) {
  EXPECT_EQ(StatusText(0, 0), "COMANDO OK");
}

TEST(StatusText, EachSetBitGivesItsOwnLineInBitOrder) {
  EXPECT_EQ(StatusText(0, 0x01), W("\r\nCOMANDO NÃO EXECUTADO"));
  EXPECT_EQ(StatusText(0, 0x08), W("\r\nCAPACIDADE DE ALÍQUOTAS PROGRAMÁVEIS LOTADA"));
  EXPECT_EQ(StatusText(0x0F, 0),
            W("\r\nPRIMEIRO DADO DE CMD NÃO FOI ESC ( 1BH)\r\nCOMANDO INEXISTENTE"
              "\r\nCUPOM ABERTO\r\nNÚMERO DE PARÂMETROS DE CMD INVÁLIDO"));
  // ST1 lines come before ST2 lines.
  EXPECT_EQ(StatusText(0x80, 0x01), W("\r\nFIM DE PAPEL\r\nCOMANDO NÃO EXECUTADO"));
  EXPECT_EQ(StatusText(0x20, 0x80),
            W("\r\nERRO NO RELÓGIO\r\nTIPO DE PARÂMETRO DE CMD INVÁLIDO"));
  EXPECT_EQ(StatusText(0, 0x20), W("\r\nERRO NA MEMÓRIA RAM CMOS NÃO VOLÁTIL"));
}

TEST(StatusText, AllBitsGiveSixteenLinesSt1First) {
  const std::string all = StatusText(0xFF, 0xFF);
  EXPECT_EQ(CountLines(all), 16u);
  EXPECT_EQ(all.rfind(W("\r\nFIM DE PAPEL\r\nPOUCO PAPEL"), 0), 0u);
  EXPECT_NE(all.find(W("INVÁLIDO\r\nTIPO DE PARÂMETRO")), std::string::npos);
  EXPECT_TRUE(EndsWith(all, W("\r\nCOMANDO NÃO EXECUTADO")));
}

TEST(ExtendedErrorText, EndsOfTheTable) {
  EXPECT_EQ(ExtendedErrorText(0, 0), "\r\nCOMANDO OK\r\n");
  EXPECT_EQ(ExtendedErrorText(1, 0), W("\r\nCOMANDO INVÁLIDO"));
  EXPECT_EQ(ExtendedErrorText(0xDA, 0), "\r\nCANCELAMENTO DE ACRESCIMO OU DESCONTO NAO PERMITIDO");
  EXPECT_EQ(ExtendedErrorText(0xDB, 0), "");
  EXPECT_EQ(ExtendedErrorText(0xFF, 0), "");
  EXPECT_EQ(ExtendedErrorText(0, 1), "");   // 256
  EXPECT_EQ(ExtendedErrorText(1, 0xFF), "");
  EXPECT_EQ(ExtendedErrorText(-1, 0), "");
}

TEST(ExtendedErrorText, MessagesAreExactAndInPlace) {
  EXPECT_EQ(ExtendedErrorText(64, 0), "\r\n FP ABERTA");
  EXPECT_EQ(ExtendedErrorText(56, 0), W("\r\nERRO DE ALOCAÇÃO"));
  EXPECT_EQ(ExtendedErrorText(65, 0), "\r\nAGUARDANDO PRIMEIRO PROPRIETARIO");
  EXPECT_EQ(ExtendedErrorText(147, 0),
            "\r\nAGUARDANDO ACERTO DO RELOGIO OU DESBLOQUEIO PELO TECLADO");
  EXPECT_EQ(ExtendedErrorText(186, 0), W("\r\nRETORNO ACRESIMO/DESCONTO EM ITEM NÃO PERMITIDO"));
  EXPECT_EQ(ExtendedErrorText(215, 0), W("\r\nRETORNO USUÁRIO JÁ PROGRAMADO"));
  EXPECT_EQ(ExtendedErrorText(217, 0), "\r\nDETECTADA ABERTURA DO EQUIPAMENTO");
}

TEST(ExtendedErrorText, EveryKnownCodeIsOneConvertedLine) {
  for (int code = 1; code <= 218; ++code) {
    const std::string t = ExtendedErrorText(code, 0);
    ASSERT_GT(t.size(), 3u) << code;
    EXPECT_EQ(t.rfind("\r\n", 0), 0u) << code;
    EXPECT_EQ(CountLines(t), 1u) << code;
    // '?' would mark a letter lost in the conversion to Windows-1252.
    EXPECT_EQ(t.find('?'), std::string::npos) << code;
  }
}

}  // namespace
}  // namespace tervane
