// The uploader against a scripted printer: packets and their numbering, the size
// limits, the CRC and the confirmation, replies that fail, and the error texts.
#include <gtest/gtest.h>

#include "core/common/charset.h"
#include "control/logo_package.h"
#include "control/package_manager.h"
#include "control/raster_encoder.h"
#include "control/fake_logo_line.h"

namespace tervane {
namespace {

using testing::ByteVec;
using testing::FakeClock;
using testing::FakeLogoLine;
using testing::Reply;

constexpr std::uint8_t kAck = 0x06;

struct RecordingSink : LogoMessageSink {
  void ShowError(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

class UploadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetStoredLogoCrc(0);
    line.answer = [](const ByteVec& w) {
      if (w.size() >= 6 && w[3] == 0x1C && w[4] == 0x3E) return Reply(kAck, 0, 0, 0);
      return ByteVec{};  // the wake-up gets no answer
    };
    ASSERT_TRUE(manager.OpenPort("COM1:"));
  }
  // The packets written after the wake-up.
  std::vector<ByteVec> Packets() const {
    std::vector<ByteVec> packets;
    for (const ByteVec& w : line.writes) {
      if (w.size() >= 6 && w[5] == 0x41) packets.push_back(w);
    }
    return packets;
  }

  FakeClock clock;
  FakeLogoLine line{clock};
  RecordingSink sink;
  PackageManager manager{line, clock, &sink, LogoLanguage::kEnglish};
};

ByteVec Data(std::size_t size) {
  ByteVec data(size);
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 1);
  return data;
}

TEST(LogoCrc, KermitValuesAndConfirmationBytes) {
  const std::uint8_t abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(Crc16Kermit(abc, 3), 0x58E9);
  const std::uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Crc16Kermit(check, 9), 0x2189);  // the algorithm's published check value
  EXPECT_EQ(Crc16Kermit(nullptr, 0), 0);

  EXPECT_EQ(ConfirmationFrame(0), (ByteVec{0x02, 0x07, 0x00, 0x1C, 0x3E, 0x42, 0, 0, 0x9C, 0x00}));
  EXPECT_EQ(ConfirmationFrame(0xFFFF), (ByteVec{0x02, 0x07, 0x00, 0x1C, 0x3E, 0x42, 0, 1, 0x9D, 0x00}));
  // 0x58E9 = 22761 = 89 * 255 + 66; the sum carries into the high byte.
  EXPECT_EQ(ConfirmationFrame(0x58E9), (ByteVec{0x02, 0x07, 0x00, 0x1C, 0x3E, 0x42, 66, 89, 0x37, 0x01}));
}

TEST(LogoPackageFrame, LayoutSumAndSizeLimit) {
  const ByteVec data = Data(880);
  LogoPackage full(3, 14, data.data(), data.size());
  ASSERT_EQ(full.Length(), 890u);
  const std::uint8_t* p = full.Data();
  EXPECT_EQ(p[0], 0x02);
  EXPECT_EQ(p[1] | (p[2] << 8), 887);
  EXPECT_EQ(ByteVec(p + 3, p + 8), (ByteVec{0x1C, 0x3E, 0x41, 3, 14}));
  unsigned sum = 0;
  for (int i = 3; i < 888; ++i) sum += p[i];
  EXPECT_EQ(p[888] | (p[889] << 8), static_cast<int>(sum & 0xFFFF));

  const ByteVec more = Data(881);
  try {
    LogoPackage tooBig(1, 1, more.data(), more.size());
    FAIL() << "881 data bytes were framed";
  } catch (const LogoSizeError& error) {
    EXPECT_STREQ(error.what(), "LogoPackageConstructorSizeError");
  }
}

TEST_F(UploadTest, PacketsAreNumberedAndSplitAt880) {
  ASSERT_EQ(manager.UploadData(Data(880)), kLogoOk);
  auto packets = Packets();
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0][6], 1);
  EXPECT_EQ(packets[0][7], 1);
  EXPECT_EQ(packets[0].size(), 890u);
  EXPECT_EQ(line.writes.front(), (ByteVec{0x02, 0x05, 0x00, 0x1B, 0x23, 0x00, 0x3E, 0x00}));
  EXPECT_GE(line.purges, 1);

  line.writes.clear();
  const ByteVec data = Data(881);
  ASSERT_EQ(manager.UploadData(data), kLogoOk);
  packets = Packets();
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_EQ(packets[0].size(), 890u);
  EXPECT_EQ(packets[1].size(), 11u);
  EXPECT_EQ(packets[1][6], 2);
  EXPECT_EQ(packets[1][7], 2);
  EXPECT_EQ(packets[1][8], data[880]);
  EXPECT_EQ(StoredLogoCrc(), Crc16Kermit(data.data(), data.size()));
}

TEST_F(UploadTest, TotalDataLimitIs12096) {
  // A text block and a graphic stream of 12096 - 192 bytes: 13 packets of 880, one of 656.
  ASSERT_EQ(manager.UploadData(Data(12096)), kLogoOk);
  auto packets = Packets();
  ASSERT_EQ(packets.size(), 14u);
  EXPECT_EQ(packets.back().size(), 666u);
  EXPECT_EQ(packets.back()[7], 14);
  EXPECT_TRUE(sink.shown.empty());

  line.writes.clear();
  EXPECT_EQ(manager.UploadData(Data(12097)), kLogoFailed);
  EXPECT_TRUE(Packets().empty());                 // refused before any packet
  EXPECT_EQ(line.writes.size(), 1u);              // only the wake-up went out
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0], "PackageManagerConstructorSizeError");
}

TEST_F(UploadTest, CompositionChecksComeBeforeAnyByte) {
  const std::string long49(49, 'x');
  EXPECT_EQ(manager.Upload(MonoImage::White(10, 10), "a", long49, "c", ""), kLogoInvalidText);
  EXPECT_EQ(manager.Upload(MonoImage::White(10, 10), "a", "b", "c", long49), kLogoInvalidText);
  MonoImage solid = MonoImage::White(1152, 140);  // two pages of six full stripes
  std::fill(solid.pixels.begin(), solid.pixels.end(), 1);
  EXPECT_EQ(manager.Upload(solid, "a", "b", "c", ""), kLogoGraphicTooLarge);
  EXPECT_TRUE(line.writes.empty());

  // A good composition: the first packet starts with the padded text block.
  MonoImage small = MonoImage::White(8, 8);
  small.Set(0, 0, true);
  ASSERT_EQ(manager.Upload(small, "EMPRESA", "LOJA", std::string(48, 'R'), ""), kLogoOk);
  auto packets = Packets();
  ASSERT_EQ(packets.size(), 1u);
  const std::string text(packets[0].begin() + 8, packets[0].begin() + 8 + 192);
  EXPECT_EQ(text, "EMPRESA" + std::string(41, ' ') + "LOJA" + std::string(44, ' ') + std::string(48, 'R') +
                      std::string(48, ' '));
  EXPECT_EQ(packets[0][8 + 192], 0x1B);  // the graphic preamble follows
}

TEST_F(UploadTest, PrinterRefusalsAndBrokenReplies) {
  // Extended code 59 with ST2 bit 0: a printer error, named by ErrorText.
  line.answer = [](const ByteVec& w) {
    return w.size() > 8 && w[5] == 0x41 ? Reply(kAck, 0, 0x01, 59) : ByteVec{};
  };
  EXPECT_EQ(manager.UploadData(Data(2000)), kLogoPrinterError);
  EXPECT_EQ(Packets().size(), 1u);  // stops at the refused packet
  EXPECT_EQ(manager.LastError(), 59);
  EXPECT_EQ(manager.ErrorText(), "Operation permited only during technical intervention!");

  // An error flagged with code 0 says what the status bytes say, never nothing.
  line.writes.clear();
  line.answer = [](const ByteVec& w) {
    return w.size() > 8 && w[5] == 0x41 ? Reply(kAck, 0x08, 0x01, 0) : ByteVec{};
  };
  EXPECT_EQ(manager.UploadData(Data(2000)), kLogoPrinterError);
  EXPECT_EQ(manager.LastError(), 0);
  EXPECT_NE(manager.ErrorText().find(Utf8ToCp1252Lossy("COMANDO NÃO EXECUTADO")), std::string::npos)
      << manager.ErrorText();
  EXPECT_NE(manager.ErrorText().front(), '\r');  // a message box text, not a log line

  // A NAK ends the read at once and the upload as a communication failure.
  line.writes.clear();
  line.answer = [](const ByteVec& w) { return w.size() > 8 && w[5] == 0x41 ? ByteVec{0x15} : ByteVec{}; };
  const std::int64_t before = clock.MonotonicMs();
  EXPECT_EQ(manager.UploadData(Data(2000)), kLogoFailed);
  EXPECT_EQ(manager.LastError(), 0);
  EXPECT_LT(clock.MonotonicMs() - before, 800 + 100);  // the wake-up wait, not the 500 ms reply wait
  EXPECT_EQ(Packets().size(), 1u);

  // A short reply (3 of 5 bytes) times out after 500 ms.
  line.writes.clear();
  line.answer = [](const ByteVec& w) { return w.size() > 8 && w[5] == 0x41 ? ByteVec{kAck, 0, 0} : ByteVec{}; };
  EXPECT_EQ(manager.UploadData(Data(100)), kLogoFailed);

  // A port that vanishes after the wake-up: writes fail until the 3000 ms limit.
  line.writes.clear();
  line.vanishAtWrite = 2;
  line.answer = [](const ByteVec&) { return Reply(kAck, 0, 0, 0); };
  EXPECT_EQ(manager.UploadData(Data(100)), kLogoFailed);
}

TEST_F(UploadTest, ConfirmationUsesTheStoredCrc) {
  // Before any upload of the process the CRC is 0.
  line.answer = [](const ByteVec&) { return Reply(kAck, 0, 0, 0); };
  EXPECT_EQ(manager.Confirm(), kLogoOk);
  EXPECT_EQ(line.writes.back(), ConfirmationFrame(0));

  const ByteVec data = Data(500);
  ASSERT_EQ(manager.UploadData(data), kLogoOk);
  EXPECT_EQ(manager.Confirm(), kLogoOk);
  EXPECT_EQ(line.writes.back(), ConfirmationFrame(Crc16Kermit(data.data(), data.size())));

  line.answer = [](const ByteVec&) { return Reply(kAck, 0, 0x01, 211); };
  EXPECT_EQ(manager.Confirm(), kLogoPrinterError);
  EXPECT_EQ(manager.ErrorText(), "No logo available to save!");

  line.answer = [](const ByteVec&) { return ByteVec{}; };
  const std::int64_t before = clock.MonotonicMs();
  EXPECT_EQ(manager.Confirm(), kLogoFailed);
  EXPECT_GE(clock.MonotonicMs() - before, 10000);  // the confirmation waits 10 s
  EXPECT_EQ(manager.LastError(), 0);

  manager.ClosePort();
  EXPECT_EQ(manager.Confirm(), kLogoFailed);
}

TEST(LogoTexts, ErrorTextsAndLanguages) {
  EXPECT_EQ(LogoErrorText(0, LogoLanguage::kEnglish), "");
  EXPECT_EQ(LogoErrorText(13, LogoLanguage::kEnglish), "Printer off-line");
  EXPECT_EQ(LogoErrorText(210, LogoLanguage::kEnglish), "No more free space for logo storage!");
  EXPECT_EQ(LogoErrorText(77, LogoLanguage::kEnglish), "Execution error: 77");
  EXPECT_EQ(LogoErrorText(59, LogoLanguage::kPortuguese),
            Utf8ToCp1252Lossy("Operação permitida apenas em intervenção técnica!"));
  EXPECT_EQ(LogoErrorText(77, LogoLanguage::kSpanish), Utf8ToCp1252Lossy("error de la ejecución: 77"));

  EXPECT_EQ(LogoLanguageForLocale("pt_BR.UTF-8"), LogoLanguage::kPortuguese);
  EXPECT_EQ(LogoLanguageForLocale("pt_PT.UTF-8"), LogoLanguage::kEnglish);
  EXPECT_EQ(LogoLanguageForLocale("es_AR"), LogoLanguage::kSpanish);
  EXPECT_EQ(LogoLanguageForLocale("es"), LogoLanguage::kSpanish);
  EXPECT_EQ(LogoLanguageForLocale("est_EE"), LogoLanguage::kEnglish);
  EXPECT_EQ(LogoLanguageForLocale("C"), LogoLanguage::kEnglish);
  EXPECT_EQ(LogoAlignmentTexts(LogoLanguage::kEnglish).group, "Alingment");
  EXPECT_EQ(LogoAlignmentTexts(LogoLanguage::kSpanish).center, "Derecho");
  EXPECT_EQ(LogoString(99, LogoLanguage::kEnglish), "");
}

}  // namespace
}  // namespace tervane
