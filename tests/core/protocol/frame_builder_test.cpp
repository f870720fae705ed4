// Frame building: header and checksum, the encoding of each parameter kind, the failures
// that must leave a record ready to be framed again, and frames that would not fit.
#include "core/protocol/frame_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/common/string_table.h"
#include "core/common/charset.h"
#include "support/fake_clock.h"

namespace tervane {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FrameBytes(const FrameBuffer& f, size_t from = 0) {
  return Bytes(f.bytes.begin() + static_cast<long>(from), f.bytes.begin() + static_cast<long>(f.length));
}

Bytes B(std::string_view s) { return Bytes(s.begin(), s.end()); }

ParameterRecord FrameParam(const std::string& kind, int size, const std::string& value, bool mandatory = true) {
  ParameterRecord p;
  p.kind = kind;
  p.size = size;
  p.value = value;
  p.mandatory = mandatory;
  p.title = "P";
  return p;
}

CommandRecord Command(std::vector<std::uint8_t> escape, std::vector<ParameterRecord> params = {},
                      int declaredReturnSize = 0) {
  CommandRecord c;
  c.title = "Teste";
  for (size_t i = 0; i < escape.size(); ++i) c.escapeBytes[i] = escape[i];
  c.escapeCount = static_cast<int>(escape.size());
  c.parameters = std::move(params);
  c.declaredReturnSize = declaredReturnSize;
  c.ExpectedReplyLength = declaredReturnSize;
  return c;
}

TEST(FrameBuilder, HeaderAndChecksum) {
  FrameBuffer probe;
  probe.length = 3;
  const std::uint8_t body[] = {0x1B, 0x23, 0x14};
  ASSERT_TRUE(AppendBytes(probe, body, 3));
  ASSERT_TRUE(FinalizeFrame(probe));
  EXPECT_EQ(FrameBytes(probe), (Bytes{0x02, 0x05, 0x00, 0x1B, 0x23, 0x14, 0x52, 0x00}));

  testing::FakeClock clock;
  ProgramSettings settings;
  CommandRecord c = Command({0x23, 0x3C});
  ASSERT_EQ(AssembleFrame(c, settings, clock), 0);
  EXPECT_EQ(FrameBytes(c.frame), (Bytes{0x02, 0x05, 0x00, 0x1B, 0x23, 0x3C, 0x7A, 0x00}));
  EXPECT_EQ(c.StatusBlockLength, 3);
  EXPECT_EQ(c.ExpectedReplyLength, 3);

  // The sum wraps at 65536 and the length field takes two bytes.
  FrameBuffer big;
  big.length = 3;
  const Bytes ff(300, 0xFF);
  ASSERT_TRUE(AppendBytes(big, ff.data(), ff.size()));
  ASSERT_TRUE(FinalizeFrame(big));
  EXPECT_EQ(big.bytes[1], 0x2E);  // 302 bytes follow the length field
  EXPECT_EQ(big.bytes[2], 0x01);
  EXPECT_EQ(big.bytes[303], 0xD4);  // 300 x FFh = 12AD4h
  EXPECT_EQ(big.bytes[304], 0x2A);

  FrameBuffer tooShort;
  tooShort.length = 2;
  EXPECT_FALSE(FinalizeFrame(tooShort));
  EXPECT_EQ(tooShort.length, 2u);
}

TEST(FrameBuilder, ReplyLengthByMode) {
  testing::FakeClock clock;
  ProgramSettings settings;
  settings.g_extendedReply = true;
  struct Case {
    int declared;
    std::uint8_t lead;
    int statusBlock;
    int expected;
  };
  for (const Case& k : {Case{4, 0x1C, 5, 9}, Case{-1, 0x1C, 5, 4}, Case{-2, 0x1B, 3, 1}}) {
    CommandRecord c = Command({0x23}, {}, k.declared);
    ASSERT_EQ(AssembleFrame(c, settings, clock), 0);
    EXPECT_EQ(c.frame.bytes[3], k.lead) << k.declared;
    EXPECT_EQ(c.StatusBlockLength, k.statusBlock) << k.declared;
    EXPECT_EQ(c.ExpectedReplyLength, k.expected) << k.declared;
    // Framing the same record again gives the same reply length, not a sum of both.
    ASSERT_EQ(AssembleFrame(c, settings, clock), 0);
    EXPECT_EQ(c.ExpectedReplyLength, k.expected) << k.declared;
  }
}

struct KindCase {
  const char* kind;
  int size;
  bool mandatory;
  std::string value;
  Bytes expected;
  std::string valueAfter;  // what the log will show
};

TEST(FrameBuilder, EncodingOfEachKind) {
  const std::string troca = "12" + std::string(64, 'x');
  const std::vector<KindCase> cases = {
      {"FINANCE", 14, true, "1,50", B("00000000000150"), "00000000000150"},
      {"STRING", 5, true, Cp("ação"), {0x61, 0x87, 0xC6, 0x6F, 0x20}, Cp("ação")},
      {"BIG_STRING", 5, true, "a\r\nb", {'a', 0x0A, 'b', ' ', ' '}, "a\r\nb"},
      {"DIG_HEX", 2, true, "0A1F", {0x0A, 0x1F}, "0A1F"},
      {"DIG_HEX", 2, true, "0a1f", {0x01, 0x16}, "0a1f"},
      {"CHEQUE_POS", 3, true, "102030", {0x0A, 0x14, 0x1E}, "102030"},
      {"BINARIO", 0, true, "300", {0xFF}, "300"},
      {"BINARIO", 0, true, "65", {0x41}, "65"},
      {"STRING_VAR_SIZE", 10, true, "abc", B("abc\n"), "abc"},
      {"STRING_VAR_SIZE", 3, true, "abc", B("ab\n"), "abc"},
      {"BIG_STRING_VAR_SIZE", 10, true, "a\r\nb\r\n", B("a\nb\n"), "a\r\nb\r\n"},
      {"STRING_VAR_SIZE_WITHOUT_CR", 2, true, Cp("é\r\n"), {0x82, '\r', '\n'}, Cp("é\r\n")},
      {"CLICHE", 20, true, "CLICHE_ENF_INI_XMLxCLICHE_SUB_INI_XML", {0x1B, 0x45, 'x', 0x1B, 0x2D, 0x01, 0x0A},
       "CLICHE_ENF_INI_XMLxCLICHE_SUB_INI_XML"},
      {"DATA", 6, true, "05/03/24", B("050324"), "050324"},
      {"BCD_INTEGER", 1, true, "7", {0x07}, "7"},
      {"BCD_INTEGER", 3, true, "300", {0x2C, 0x01, 0x00}, "300"},
      {"BCD_INTEGER", 4, true, "5", {0x05, 0x00, 0x00, 0x00}, "0005"},
      {"NOT_EDITABLE", 3, true, "", B("   "), ""},
      {"NOT_EDITABLE", 3, false, "ab", {}, "ab"},
      {"DESCR_FORMA_PAGAMENTO", 10, true, Cp("Cartão"), {'C', 'a', 'r', 't', 0xC6, 'o'}, Cp("Cartão")},
      {"TROCA_SIT_TRIB", 64, true, troca, [&] { Bytes b{12}; b.resize(65, 'x'); return b; }(), troca},
      {"CUPOM_OU_BILHETE_CONV_156", 1, true, "B", {0xFF}, "B"},
      {"NO_SUCH_KIND", 4, true, "abcd", {}, "abcd"},
      // Optional values of the wrong size are left out without a message.
      {"STRING", 2, false, "abc", {}, "abc"},
      {"DATA", 6, false, "5/3/24", {}, "5324"},
  };
  testing::FakeClock clock;
  for (const KindCase& k : cases) {
    CommandRecord c = Command({0x23}, {FrameParam(k.kind, k.size, k.value, k.mandatory)});
    c.frame.length = 4;
    ASSERT_EQ(EncodeParameters(c, clock), 0) << k.kind << " " << k.value;
    EXPECT_EQ(FrameBytes(c.frame, 4), k.expected) << k.kind << " " << k.value;
    EXPECT_EQ(c.parameters[0].value, k.valueAfter) << k.kind;
    EXPECT_EQ(c.ResultText, "") << k.kind;
  }
}

TEST(FrameBuilder, RandomKindsFillOnlyMandatoryValues) {
  testing::FakeClock clock;
  CommandRecord c = Command({0x23}, {FrameParam("RANDOM_NUMBER", 6, "", false), FrameParam("RANDOM_NUMBER", 6, ""),
                                     FrameParam("RANDOM_STRING", 4, "")});
  c.frame.length = 4;
  ASSERT_EQ(EncodeParameters(c, clock), 0);
  EXPECT_EQ(c.parameters[0].value, "");
  const std::string& digits = c.parameters[1].value;
  ASSERT_EQ(digits.size(), 6u);
  EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_NE(digits, "000000");
  ASSERT_EQ(c.parameters[2].value.size(), 4u);
  EXPECT_EQ(FrameBytes(c.frame, 4), B(digits + c.parameters[2].value));
}

TEST(FrameBuilder, ParameterErrorsLeaveRecordReadyToReframe) {
  testing::FakeClock clock;
  ProgramSettings settings;
  settings.g_extendedReply = true;
  CommandRecord c = Command({0x23}, {FrameParam("STRING", 2, "abc"), FrameParam("INTEGER", 2, "")}, 7);
  c.ResultText = "\r\nComando:\tTeste\r\n";

  EXPECT_EQ(AssembleFrame(c, settings, clock), kWrongSize);
  EXPECT_EQ(c.ResultText, "\r\nComando:\tTeste\r\n" + LoadString(str::kParametroTamanho));
  EXPECT_EQ(c.ExpectedReplyLength, 7);
  EXPECT_EQ(c.frame.length, 0u);

  c.parameters[0].value = "ab";
  c.ResultText.clear();
  EXPECT_EQ(AssembleFrame(c, settings, clock), kMandatoryEmpty);
  EXPECT_EQ(c.ResultText, LoadString(str::kParametroObrigatorio));
  EXPECT_EQ(c.ExpectedReplyLength, 7);

  c.parameters[1].value = "5";
  ASSERT_EQ(AssembleFrame(c, settings, clock), 0);
  EXPECT_EQ(FrameBytes(c.frame), (Bytes{0x02, 0x08, 0x00, 0x1C, 0x23, 'a', 'b', '0', '5', 0x67, 0x01}));
  EXPECT_EQ(c.ExpectedReplyLength, 12);
}

TEST(FrameBuilder, FramesThatWouldPassTheCapacityAreRefused) {
  testing::FakeClock clock;
  ProgramSettings settings;
  // Header 3, ESC and one escape byte, the checksum 2: 4089 parameter bytes fill 4096.
  CommandRecord c = Command({0x23}, {FrameParam("STRING_VAR_SIZE_WITHOUT_CR", 0, std::string(4089, 'a'))}, 2);
  ASSERT_EQ(AssembleFrame(c, settings, clock), 0);
  EXPECT_EQ(c.frame.length, kFrameCapacity);
  EXPECT_EQ(c.frame.bytes[1] | c.frame.bytes[2] << 8, 4093);

  c.parameters[0].value += 'a';
  EXPECT_EQ(AssembleFrame(c, settings, clock), kWrongSize);
  EXPECT_EQ(c.ResultText, FrameTooLongText());
  EXPECT_EQ(c.ResultText, Cp("Comando excede o tamanho máximo do quadro (4096 bytes)"));
  EXPECT_EQ(c.frame.length, 0u);
  EXPECT_EQ(c.ExpectedReplyLength, 2);

  // Sizes from the catalogue that no frame can hold are refused before any padding,
  // random value or run of spaces is made, even for optional parameters.
  for (const char* kind : {"INTEGER", "RANDOM_NUMBER", "STRING", "RANDOM_STRING", "NOT_EDITABLE", "BCD_INTEGER"}) {
    CommandRecord huge = Command({0x23}, {FrameParam(kind, 2'000'000'000, kind[0] == 'R' ? "" : "1", false)});
    huge.parameters[0].mandatory = std::string(kind) != "INTEGER";
    EXPECT_EQ(AssembleFrame(huge, settings, clock), kWrongSize) << kind;
    EXPECT_EQ(huge.ResultText, FrameTooLongText()) << kind;
    EXPECT_LT(huge.parameters[0].value.size(), 2u) << kind;
  }
  // The sink check does not depend on one parameter alone.
  std::vector<ParameterRecord> many(5, FrameParam("DIG_HEX", 1000, std::string(2000, 'F')));
  CommandRecord split = Command({0x23}, many);
  EXPECT_EQ(AssembleFrame(split, settings, clock), kWrongSize);
}

TEST(FrameBuilder, BadEscapeIsRefused) {
  testing::FakeClock clock;
  ProgramSettings settings;
  CommandRecord c = Command({0x23});
  c.escapeError = "Escape com mais de 12 bytes";
  EXPECT_EQ(AssembleFrame(c, settings, clock), kCatalogueNotLoadable);
  EXPECT_EQ(c.ResultText, "Escape com mais de 12 bytes");
  EXPECT_EQ(c.frame.length, 0u);

  CommandRecord d = Command({0x23});
  d.escapeCount = kMaxEscapeBytes + 1;
  EXPECT_EQ(AssembleFrame(d, settings, clock), kCatalogueNotLoadable);
  EXPECT_EQ(d.ResultText, InvalidEscapeText());
}

TEST(FrameBuilder, OpenEtxReplies) {
  testing::FakeClock clock;
  ProgramSettings settings;
  EXPECT_TRUE(IsOpenEtxReply(Command({0x23}, {}, -1)));
  EXPECT_FALSE(IsOpenEtxReply(Command({0x23}, {}, -2)));
  // A memory read: ESC 08h, then 12 bytes of range, then the read mode at frame offset 17.
  for (const auto& [mode, open] : {std::pair{"R", true}, {"r", true}, {"I", false}}) {
    CommandRecord c = Command({0x08}, {FrameParam("STRING", 12, "000001000002"), FrameParam("STRING", 1, mode)});
    ASSERT_EQ(AssembleFrame(c, settings, clock), 0);
    EXPECT_EQ(IsOpenEtxReply(c), open) << mode;
  }
}

}  // namespace
}  // namespace tervane
