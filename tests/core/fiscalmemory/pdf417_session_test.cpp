#include "core/fiscalmemory/pdf417_session.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "core/common/atomic_file.h"
#include "core/fiscalmemory/pdf417_settings.h"
#include "core/fiscalmemory/pdf417_test_support.h"
#include "support/fake_clock.h"
#include "support/fake_prompter.h"

namespace tervane {
namespace {

using testing::Data;
using testing::FakeClock;
using testing::FakePrompter;
using testing::MakeSymbol;
using testing::PromptKind;
using testing::RecordingObserver;
using testing::ScriptedScannerPort;

class Pdf417SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tervane_pdf417_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::unique_ptr<Pdf417Session> MakeSession() {
    return std::make_unique<Pdf417Session>(prompter_, clock_, &observer_, [this] {
      return std::make_unique<ScriptedScannerPort>(port_);
    });
  }
  std::string PathOf(const char* name) const { return (dir_ / name).string(); }
  static std::string Read(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(path, bytes));
    return bytes;
  }

  std::filesystem::path dir_;
  FakePrompter prompter_;
  FakeClock clock_;
  RecordingObserver observer_;
  ScriptedScannerPort::Shared port_;
  ScannerLineSettings line_;
};

TEST_F(Pdf417SessionTest, CompleteSetIsSavedAsMfdAfterTheWaits) {
  auto session = MakeSession();
  ASSERT_TRUE(session->Start(line_));
  // The second symbol arrives in two parts: the rest comes on the read after 100 ms.
  const auto second = MakeSymbol(1000, 668, Data(332, 2));
  ScriptedScannerPort::Event split;
  split.first.assign(second.begin(), second.begin() + 100);
  split.second.assign(second.begin() + 100, second.end());
  port_.QueueSymbol(MakeSymbol(1000, 0, Data(668, 1)));
  port_.Queue(split);

  ASSERT_TRUE(observer_.WaitForAllRead());
  const auto views = observer_.Views();
  ASSERT_EQ(views.size(), 2u);
  EXPECT_EQ(views[0].status, Cp("Símbolo lido: 1/2"));
  EXPECT_EQ(views[1].status, Cp("Símbolo lido: 2/2"));
  EXPECT_EQ(views[1].expectedText, "2");
  EXPECT_EQ(views[1].receivedText, "2");
  // Each event costs the 1500 ms settle and the 100 ms second read.
  EXPECT_EQ(clock_.SleptMs(), 2 * (1500 + 100));

  prompter_.QueueSaveFile(PathOf("set.mfd"));
  std::string saved;
  EXPECT_EQ(session->Stop("captura.mfd", &saved), Pdf417StopResult::kSaved);
  EXPECT_EQ(saved, PathOf("set.mfd"));
  EXPECT_FALSE(session->Running());
  EXPECT_FALSE(port_.open);

  const auto saves = prompter_.RequestsOf(PromptKind::kSaveFile);
  ASSERT_EQ(saves.size(), 1u);
  EXPECT_EQ(saves[0].caption, "Arquivos de MFD (*.mfd)|*.mfd|Todos os Arquivos (*.*)|*.*||");
  EXPECT_EQ(saves[0].start2, "*.mfd");
  EXPECT_EQ(saves[0].start, "captura.mfd");
  const auto messages = prompter_.RequestsOf(PromptKind::kMessage);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, Cp("Concluído"));
  EXPECT_EQ(messages[0].description,
            Cp("FORAM DECODIFICADOS (2) SÍMBOLOS PDF-417.\n\nArquivo ") + PathOf("set.mfd") +
                Cp(" criado com sucesso.\nUtilize a geração de documento RTF ou banco de dados para\n"
                   "obter as informações da mesma forma como para download."));
  EXPECT_TRUE(prompter_.RequestsOf(PromptKind::kYesNoCancel).empty());

  const std::string file = Read(PathOf("set.mfd"));
  ASSERT_EQ(file.size(), 524288u + 1536 + 1000 + 256);
  const auto d1 = Data(668, 1), d2 = Data(332, 2);
  EXPECT_EQ(file.substr(524288 + 1536, 1000), std::string(d1.begin(), d1.end()) + std::string(d2.begin(), d2.end()));
  EXPECT_EQ(prompter_.Unscripted(), 0);
}

TEST_F(Pdf417SessionTest, FirstSymbolOnASlowLineIsTakenWhole) {
  // At 1200 bauds a symbol takes over 5 s: the waits after the first bytes end long
  // before it is all there.
  auto session = MakeSession();
  ASSERT_TRUE(session->Start(line_));
  const auto symbol = MakeSymbol(1336, 0, Data(668, 1));
  for (std::size_t at = 0; at < symbol.size(); at += 200) {
    ScriptedScannerPort::Event part;
    part.first.assign(symbol.begin() + at, symbol.begin() + std::min(symbol.size(), at + 200));
    port_.Queue(part);
  }
  ASSERT_TRUE(observer_.WaitForSymbols(1));
  EXPECT_EQ(observer_.Views()[0].status, Cp("Símbolo lido: 1/2"));
  prompter_.QueueYesNoCancel(1).QueueSaveFile(PathOf("slow.mfd"));
  EXPECT_EQ(session->Stop(), Pdf417StopResult::kSaved);
  EXPECT_EQ(observer_.Views().size(), 1u);
  const std::string file = Read(PathOf("slow.mfd"));
  const auto data = Data(668, 1);
  EXPECT_EQ(file.substr(524288 + 1536, 668), std::string(data.begin(), data.end()));
}

TEST_F(Pdf417SessionTest, MissingSymbolsAskYesNoCancel) {
  auto session = MakeSession();
  ASSERT_TRUE(session->Start(line_));
  port_.QueueSymbol(MakeSymbol(668 * 3, 668, Data(668, 2)));
  ASSERT_TRUE(observer_.WaitForSymbols(1));

  // Cancel: back to capturing, the port stays open and the thread keeps reading.
  prompter_.QueueYesNoCancel(0);
  EXPECT_EQ(session->Stop(), Pdf417StopResult::kCapturing);
  EXPECT_TRUE(session->Running());
  const auto questions = prompter_.RequestsOf(PromptKind::kYesNoCancel);
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].caption, Cp("Atenção"));
  EXPECT_EQ(questions[0].description,
            Cp("Alguns símbolos impressos não foram capturados.\nIsso significa que apenas uma parcela das "
               "informações\nda seção estará disponível para recuperação.\n\n* Clique \"Sim\" para salvar em "
               "arquivo mesmo assim; ou\n* clique \"Não\" para interromper a captura sem salvar; ou\n* clique "
               "\"Cancelar\" para voltar à captura dos símbolos restantes"));
  port_.QueueSymbol(MakeSymbol(668 * 3, 0, Data(668, 1)));
  ASSERT_TRUE(observer_.WaitForSymbols(2));

  // Yes: saved with what was read (2 of 3 slots), and the message counts the slots.
  prompter_.QueueYesNoCancel(1).QueueSaveFile(PathOf("part.mfd"));
  EXPECT_EQ(session->Stop(), Pdf417StopResult::kSaved);
  EXPECT_EQ(Read(PathOf("part.mfd")).size(), 524288u + 1536 + 1336 + 256);
  const auto messages = prompter_.RequestsOf(PromptKind::kMessage);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].description.rfind("FORAM DECODIFICADOS (3) ", 0), 0u);

  // No: closed without saving.
  ASSERT_TRUE(session->Start(line_));
  port_.QueueSymbol(MakeSymbol(668 * 3, 0, Data(668, 1)));
  ASSERT_TRUE(observer_.WaitForSymbols(3));
  prompter_.QueueYesNoCancel(2);
  EXPECT_EQ(session->Stop(), Pdf417StopResult::kClosed);
  EXPECT_FALSE(session->Running());
  EXPECT_EQ(prompter_.RequestsOf(PromptKind::kSaveFile).size(), 1u);
  EXPECT_EQ(prompter_.Unscripted(), 0);
}

TEST_F(Pdf417SessionTest, NothingReadClosesWithoutQuestions) {
  auto session = MakeSession();
  ASSERT_TRUE(session->Start(line_));
  EXPECT_EQ(session->Stop(), Pdf417StopResult::kClosed);
  EXPECT_TRUE(prompter_.Requests().empty());
  EXPECT_EQ(port_.closes, 1);
  EXPECT_EQ(session->Stop(), Pdf417StopResult::kNotRunning);
}

TEST_F(Pdf417SessionTest, SignaturePassWritesRsaWithoutTheDoneMessage) {
  auto session = MakeSession();
  session->SetSignature(true);
  ASSERT_TRUE(session->Start(line_));
  // A whole signature (one symbol here) is written with its zero bytes left out.
  std::vector<std::uint8_t> data = {'K', 0, 'E', 'Y'};
  port_.QueueSymbol(MakeSymbol(4, 0, data));
  ASSERT_TRUE(observer_.WaitForSymbols(1));
  prompter_.QueueSaveFile(PathOf("sig.rsa"));
  EXPECT_EQ(session->Stop(), Pdf417StopResult::kSaved);
  EXPECT_EQ(Read(PathOf("sig.rsa")), "KEY");
  const auto saves = prompter_.RequestsOf(PromptKind::kSaveFile);
  ASSERT_EQ(saves.size(), 1u);
  EXPECT_EQ(saves[0].caption, "Arquivos de RSA (*.rsa)|*.rsa|Todos os Arquivos (*.*)|*.*||");
  EXPECT_EQ(saves[0].start2, "*.rsa");
  EXPECT_TRUE(prompter_.RequestsOf(PromptKind::kMessage).empty());
}

TEST_F(Pdf417SessionTest, IncompleteSignatureIsNeverSaved) {
  auto session = MakeSession();
  session->SetSignature(true);
  ASSERT_TRUE(session->Start(line_));
  // Two symbols of a three-symbol signature: Retry goes back to capturing, Cancel ends
  // without a file; the question of the MFD pass ("Sim" saves anyway) is not asked.
  port_.QueueSymbol(MakeSymbol(1500, 0, Data(668, 1)));
  port_.QueueSymbol(MakeSymbol(1500, 668, Data(668, 2)));
  ASSERT_TRUE(observer_.WaitForSymbols(2));
  prompter_.QueueRetryCancel(true);
  EXPECT_EQ(session->Stop(PathOf("sig.rsa")), Pdf417StopResult::kCapturing);
  prompter_.QueueRetryCancel(false);
  EXPECT_EQ(session->Stop(PathOf("sig.rsa")), Pdf417StopResult::kClosed);
  EXPECT_FALSE(std::filesystem::exists(PathOf("sig.rsa")));
  EXPECT_TRUE(prompter_.RequestsOf(PromptKind::kYesNoCancel).empty());
  const auto asked = prompter_.RequestsOf(PromptKind::kRetryCancel);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_NE(asked[0].description.find(Cp("não foi lida por inteiro (2 de 3")), std::string::npos);
}

TEST_F(Pdf417SessionTest, UnwritableFileKeepsTheCaptureGoing) {
  auto session = MakeSession();
  ASSERT_TRUE(session->Start(line_));
  port_.QueueSymbol(MakeSymbol(1336, 0, Data(668, 1)));
  ASSERT_TRUE(observer_.WaitForSymbols(1));
  const std::string bad = PathOf("missing-folder/x.mfd");
  prompter_.QueueYesNoCancel(1).QueueSaveFile(bad);
  EXPECT_EQ(session->Stop(), Pdf417StopResult::kCapturing);
  const auto messages = prompter_.RequestsOf(PromptKind::kMessage);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Erro");
  EXPECT_EQ(messages[0].description, std::string("No such file or directory\nArquivo: ") + bad);
  EXPECT_TRUE(session->Running());

  // The symbols are still there and the thread still reads: the set completes and saves.
  port_.QueueSymbol(MakeSymbol(1336, 668, Data(668, 2)));
  ASSERT_TRUE(observer_.WaitForAllRead());
  prompter_.QueueSaveFile(PathOf("ok.mfd"));
  EXPECT_EQ(session->Stop(), Pdf417StopResult::kSaved);
  EXPECT_EQ(Read(PathOf("ok.mfd")).size(), 524288u + 1536 + 1336 + 256);
}

TEST_F(Pdf417SessionTest, OpeningFailureAsksRetryThenCancel) {
  port_.openFailures = 2;
  line_.portName = "COM3:";
  auto session = MakeSession();
  prompter_.QueueRetryCancel(true).QueueRetryCancel(true);
  EXPECT_TRUE(session->Start(line_));
  EXPECT_EQ(port_.opens, 3);
  const auto warnings = prompter_.RequestsOf(PromptKind::kMessage);
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_EQ(warnings[0].caption, "Erro na porta COM3:");
  EXPECT_EQ(warnings[0].description, "Device or resource busy");
  const auto retries = prompter_.RequestsOf(PromptKind::kRetryCancel);
  ASSERT_EQ(retries.size(), 2u);
  EXPECT_EQ(retries[0].caption, Cp("Atenção"));
  EXPECT_EQ(retries[0].description, Cp("Porta serial COM3: pode não ter\nsido corretamente inicializada."));
  EXPECT_EQ(session->Stop(), Pdf417StopResult::kClosed);

  port_.openFailures = 1;
  prompter_.QueueRetryCancel(false);
  EXPECT_FALSE(session->Start(line_));
  EXPECT_FALSE(session->Running());
}

TEST_F(Pdf417SessionTest, CloseFailureAsksRetry) {
  line_.portName = "/dev/ttyUSB0";
  auto session = MakeSession();
  ASSERT_TRUE(session->Start(line_));
  port_.closeFailures = 1;
  prompter_.QueueRetryCancel(true);
  EXPECT_EQ(session->Stop(), Pdf417StopResult::kClosed);
  EXPECT_EQ(port_.closes, 2);
  const auto retries = prompter_.RequestsOf(PromptKind::kRetryCancel);
  ASSERT_EQ(retries.size(), 1u);
  EXPECT_EQ(retries[0].description,
            Cp("Porta serial /dev/ttyUSB0 pode não ter\nsido corretamente liberada para o sistema."));
}

TEST_F(Pdf417SessionTest, LineErrorIsClearedAndAStopDuringTheWaitEndsTheThread) {
  auto session = MakeSession();
  ASSERT_TRUE(session->Start(line_));
  ScriptedScannerPort::Event error;
  error.bits = kScannerLineError;
  port_.Queue(error);
  port_.QueueSymbol(MakeSymbol(1336, 0, Data(668, 1)));
  ASSERT_TRUE(observer_.WaitForSymbols(1));
  EXPECT_EQ(port_.lineErrorsCleared, 1);
  // The line error alone waits 1500 ms but not the second read.
  EXPECT_EQ(clock_.SleptMs(), 1500 + 1500 + 100);
  prompter_.QueueYesNoCancel(2);
  EXPECT_EQ(session->Stop(), Pdf417StopResult::kClosed);
}

class MapProfile final : public ScannerProfileSource {
 public:
  std::map<std::string, std::string> values;
  bool ReadValue(const std::string& key, std::string* value) const override {
    auto it = values.find(key);
    if (it == values.end()) return false;
    *value = it->second;
    return true;
  }
};

TEST(Pdf417Settings, DefaultsAndListPositions) {
  MapProfile empty;
  const ScannerProfileValues capture = ReadScannerProfile(empty, false);
  EXPECT_EQ(capture.portName, "COM1:");
  EXPECT_EQ(capture.handshake, 0);
  EXPECT_EQ(ReadScannerProfile(empty, true).handshake, 1);
  const ScannerLineSettings line = ToLineSettings(capture);
  EXPECT_EQ(line.baudRate, 115200);
  EXPECT_EQ(line.dataBits, 8);
  EXPECT_EQ(line.parity, ScannerParity::kNone);
  EXPECT_EQ(line.stopBits, ScannerStopBits::kOne);
  EXPECT_FALSE(line.hardwareHandshake);

  MapProfile set;
  set.values = {{"Port name", "/dev/ttyUSB1"}, {"Baud rate", "3"}, {"Byte length", "0"},
                {"Parity", "2"},              {"Stop bits", "1"}, {"Handshake", "1"}};
  const ScannerLineSettings chosen = ToLineSettings(ReadScannerProfile(set, false));
  EXPECT_EQ(chosen.portName, "/dev/ttyUSB1");
  EXPECT_EQ(chosen.baudRate, 9600);
  EXPECT_EQ(chosen.dataBits, 5);
  EXPECT_EQ(chosen.parity, ScannerParity::kOdd);
  EXPECT_EQ(chosen.stopBits, ScannerStopBits::kOneAndHalf);
  EXPECT_TRUE(chosen.hardwareHandshake);

  // Positions outside the lists, and values that are not numbers.
  MapProfile odd;
  odd.values = {{"Baud rate", "8"}, {"Byte length", "-1"}, {"Parity", "7"}, {"Stop bits", "x"}};
  const ScannerLineSettings fallback = ToLineSettings(ReadScannerProfile(odd, false));
  EXPECT_EQ(fallback.baudRate, 1200);
  EXPECT_EQ(fallback.dataBits, 8);
  EXPECT_EQ(fallback.parity, ScannerParity::kNone);
  EXPECT_EQ(fallback.stopBits, ScannerStopBits::kOne);
}

TEST(Pdf417Settings, IniFileAsWrittenByHandAndByQt) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("tervane_pdf417_ini_" + std::to_string(::getpid()) + ".ini"))
                               .string();
  {
    std::ofstream out(path);
    out << "[Settings]\nX=1\n[Scanner%20Port]\nPort%20name=/dev/pts/9\nBaud%20rate=4\nHandshake=1\n";
  }
  ScannerLineSettings line = ToLineSettings(ReadScannerProfile(IniScannerProfile(path), false));
  EXPECT_EQ(line.portName, "/dev/pts/9");
  EXPECT_EQ(line.baudRate, 19200);
  EXPECT_TRUE(line.hardwareHandshake);
  {
    std::ofstream out(path);
    out << "[Scanner Port]\nPort name = COM2:\nByte length=2\n";
  }
  line = ToLineSettings(ReadScannerProfile(IniScannerProfile(path), false));
  EXPECT_EQ(line.portName, "COM2:");
  EXPECT_EQ(line.dataBits, 7);
  EXPECT_EQ(line.baudRate, 115200);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace tervane
