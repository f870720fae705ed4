// Replies shorter than their layout: decoding stops at the first field the reply does not
// hold entirely and never reads past the received bytes (the buffers here are allocated
// to the exact length, so a read past them is caught by the address sanitizer).
#include <gtest/gtest.h>

#include "core/interpret/return_formatter.h"
#include "core/interpret/interpret_test_support.h"

namespace tervane {
namespace {

using testing::Bytes;
using testing::CommandBuilder;

struct KindSize {
  const char* kind;
  int size;
};

constexpr KindSize kEveryKind[] = {
    {"ASCII", 5},
    {"BCD_FLAG_PAYMENT_MODE", 2},
    {"INTEGER", 1},
    {"INTEGER", 12},
    {"BCD_INTEGER", 2},
    {"BCD_PERCENTAGE", 2},
    {"BCD_FINANCE", 7},
    {"BCD_DATA", 3},
    {"BCD_HORA", 3},
    {"STATUS_PAPEL", 2},
    {"ASCII_FLAGS_FISCAIS", 2},
    {"ASCII_FLAGS_FISCAIS_II", 1},
    {"ASCII_FLAGS_FISCAIS_III", 1},
    {"FLAG_SENSORES", 1},
    {"FLAG_CHEQUE", 2},
    {"ASCII_FLAG_VINC_ISS", 2},
    {"BCD_FLAG_INT_TEC", 1},
    {"FLAG_RED_AUT_COM", 1},
    {"FORMAS_DE_PAGAMENTO", 620},
    {"DEPARTAMENTOS", 600},
    {"TOT_NAO_SUJ_ICMS", 780},
    {"RELAT_GER", 570},
    {"ALIQUOTAS", 33},
    {"TOT_PARCIAIS", 219},
    {"VER_INT_MEM_FISCAL", 6},
    {"VER_INT_MEM_FISCAL_COMP", 30},
};

// ACK followed by `count` bytes with no zero among them, in a buffer of exactly that size.
std::vector<std::uint8_t> Cut(size_t count) {
  std::vector<std::uint8_t> bytes(count + 1, 0x31);
  bytes[0] = 0x06;
  bytes.shrink_to_fit();
  return bytes;
}

TEST(TruncatedReply, EveryKindCutShortDecodesNothing) {
  for (const KindSize& k : kEveryKind) {
    for (int have = 0; have < k.size; ++have) {
      auto c = CommandBuilder().Field(k.kind, k.size, "F").Reply(Cut(static_cast<size_t>(have))).Build();
      c.returnFields[0].value = "antes";
      EXPECT_EQ(FormatReturn(c, ProgramSettings{}), 0);
      EXPECT_EQ(c.ResultText, "\r\n") << k.kind << " with " << have << " bytes";
      EXPECT_EQ(c.returnFields[0].value, "antes") << k.kind;
    }
    // The whole field without status bytes decodes the field only.
    auto whole = CommandBuilder().Field(k.kind, k.size, "F").Reply(Cut(static_cast<size_t>(k.size))).Build();
    FormatReturn(whole, ProgramSettings{});
    EXPECT_GT(whole.ResultText.size(), 4u) << k.kind;
    EXPECT_EQ(whole.ResultText.find("COMANDO"), std::string::npos) << k.kind;
  }
}

TEST(TruncatedReply, FieldsBeforeTheCutStandAndLaterOnesAreLeftOut) {
  auto c = CommandBuilder()
               .Field("BCD_INTEGER", 1, "Primeiro")
               .Field("FORMAS_DE_PAGAMENTO", 620, "Formas")
               .Field("BCD_INTEGER", 1, "Ultimo")
               .Reply(Cut(300))
               .Build();
  c.returnFields[2].value = "antes";
  FormatReturn(c, ProgramSettings{});
  EXPECT_EQ(c.ResultText, "\r\n\r\nPrimeiro:\t31\r\n");
  EXPECT_EQ(c.returnFields[2].value, "antes");
}

TEST(TruncatedReply, LayoutLargerThanTheDeclaredSizeIsNotReadFromTheStatus) {
  // A table given too small a size in the catalogue: its layout runs past the reply.
  auto c = CommandBuilder().Field("FORMAS_DE_PAGAMENTO", 10).AckReply(std::vector<std::uint8_t>(10, 0x20)).Build();
  c.replyData.shrink_to_fit();
  FormatReturn(c, ProgramSettings{});
  EXPECT_EQ(c.ResultText, "\r\nCOMANDO OK");
  // A two-byte kind declared with one byte reads into what follows while the reply holds it.
  auto p = CommandBuilder().Field("BCD_PERCENTAGE", 1, "T").AckReply(Bytes({0x18}), 0x00, 0x00).Build();
  FormatReturn(p, ProgramSettings{});
  EXPECT_EQ(p.ResultText, "\r\nCOMANDO OK\r\nT:\t18,00%\r\n");
}

TEST(TruncatedReply, StatusBytesCutAtEachPoint) {
  for (size_t keep = 1; keep <= 5; ++keep) {
    std::vector<std::uint8_t> reply = Bytes({0x06, 0x42, 0x80, 0x00, 0x01});
    reply.resize(keep);
    reply.shrink_to_fit();
    auto c = CommandBuilder().Field("BCD_INTEGER", 1, "A").Reply(reply).Build();
    ProgramSettings s;
    s.g_extendedReply = true;
    FormatReturn(c, s);
    std::string expected = "\r\n";
    if (keep >= 4) expected += "\r\nFIM DE PAPEL";
    if (keep >= 2) expected += "\r\nA:\t42\r\n";
    EXPECT_EQ(c.ResultText, expected) << keep;
  }
}

}  // namespace
}  // namespace tervane
