// The daily command log and the hex dump, checked byte for byte against hand-written
// files and on a real folder.
#include "core/protocol/command_log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/common/charset.h"
#include "core/protocol/frame_builder.h"
#include "support/fake_clock.h"

namespace tervane {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Golden(const char* name) {
  const fs::path path = fs::path(TERVANE_TEST_DATA) / "golden" / name;
  EXPECT_TRUE(fs::exists(path)) << path;
  return ReadFile(path);
}

// A FINANCE value framed (and so padded) before it is logged, as in a real exchange.
CommandRecord FinanceCommand() {
  CommandRecord c;
  c.title = Cp("Lançamento de valor");
  c.escapeText = "35 60";
  c.escapeBytes[0] = 35;
  c.escapeBytes[1] = 60;
  c.escapeCount = 2;
  ParameterRecord value;
  value.title = "Valor";
  value.kind = "FINANCE";
  value.size = 14;
  value.value = "1,50";
  ParameterRecord text;
  text.title = Cp("Descrição");
  text.kind = "STRING";
  text.size = 5;
  text.value = Cp("Café");
  c.parameters = {value, text};
  ReturnFieldRecord counter;
  counter.title = "Contador";
  counter.value = "0042";
  c.returnFields = {counter};
  c.ResultText = Cp("\r\nComando:\tLançamento de valor\r\nContador: 0042\r\n");
  return c;
}

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "tervane-log-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

TEST(CommandLog, RecordMatchesGoldenFile) {
  testing::FakeClock clock;
  CommandRecord c = FinanceCommand();
  ASSERT_EQ(AssembleFrame(c, ProgramSettings{}, clock), 0);
  EXPECT_EQ(FormatLogRecord(c, clock.LocalNow()), Golden("log_record_finance.txt"));
}

TEST(CommandLog, AppendsPerDayAndCreatesFolder) {
  TempDir dir;
  ProgramSettings settings;
  settings.g_workDir = dir.path().string();
  testing::FakeClock clock;
  clock.SetLocal({2024, 3, 5, 23, 59, 58, 0});
  const CommandRecord c = FinanceCommand();

  EXPECT_EQ(LogFilePath(settings, clock.LocalNow()), settings.g_workDir + "/log/Log_2024_03_05.txt");
  EXPECT_EQ(WriteCommandLog(c, settings, clock), 0);
  EXPECT_EQ(WriteCommandLog(c, settings, clock), 0);
  const std::string one = FormatLogRecord(c, clock.LocalNow());
  EXPECT_EQ(ReadFile(dir.path() / "log" / "Log_2024_03_05.txt"), one + one);

  clock.SetLocal({2024, 3, 6, 0, 0, 1, 0});
  EXPECT_EQ(WriteCommandLog(c, settings, clock), 0);
  EXPECT_EQ(ReadFile(dir.path() / "log" / "Log_2024_03_06.txt"), FormatLogRecord(c, clock.LocalNow()));
  EXPECT_EQ(ReadFile(dir.path() / "log" / "Log_2024_03_05.txt"), one + one);
}

TEST(CommandLog, UnwritableLogLosesRecordSilently) {
  TempDir dir;
  testing::FakeClock clock;
  ProgramSettings missing;
  missing.g_workDir = (dir.path() / "no" / "such" / "folder").string();
  EXPECT_EQ(WriteCommandLog(FinanceCommand(), missing, clock), 0);
  EXPECT_FALSE(fs::exists(missing.g_workDir));

  ProgramSettings blocked;  // "log" is a file, not a folder
  blocked.g_workDir = dir.path().string();
  std::ofstream(dir.path() / "log") << "x";
  EXPECT_EQ(WriteCommandLog(FinanceCommand(), blocked, clock), 0);
  EXPECT_EQ(ReadFile(dir.path() / "log"), "x");
}

TEST(HexDump, TwentyByteFrameWithoutReplyMatchesGoldenFile) {
  const std::string trace =
      "CMD:  02 11 00 1B 3E 41 42 43 44 45 46 47 48 49 4A 4B 4C 20 C7 03\r\nRET: \r\n";
  EXPECT_EQ(HexDump(trace), Golden("hexdump_20_byte_frame.txt"));
}

TEST(HexDump, ReplyLinesAndSeveralBlocks) {
  const std::string trace =
      "CMD:  1B 23\r\nRET:  06 00 00\r\n"
      "CMD:  1B 24\r\n"  // a block whose reply never came
      "CMD:  1B 25\r\nRET:  15\r\n";
  const std::string pad(43, ' ');
  const std::string expected = std::string("CMD:\r\n0000  1B 23") + pad + "\x1B#\r\n" +
                               "RET:\r\n0000  06 00 00" + std::string(40, ' ') + "\x06..\r\n\r\n" +
                               "CMD:\r\n0000  1B 24" + pad + "\x1B$\r\nRET:\r\n\r\n" +
                               "CMD:\r\n0000  1B 25" + pad + "\x1B%\r\nRET:\r\n0000  15" + std::string(46, ' ') +
                               "\x15\r\n\r\n";
  EXPECT_EQ(HexDump(trace), expected);

  // Exactly 16 bytes make one full line, 17 a second line of one byte.
  std::string sixteen = "CMD: ";
  for (int i = 0; i < 16; ++i) sixteen += " 41";
  EXPECT_EQ(HexDump(sixteen + "\r\n"), "CMD:\r\n0000  " + sixteen.substr(6) + " AAAAAAAAAAAAAAAA\r\nRET:\r\n\r\n");
  EXPECT_EQ(HexDump(sixteen + " 42\r\n"), "CMD:\r\n0000  " + sixteen.substr(6) + " AAAAAAAAAAAAAAAA\r\n0010  42" +
                                              std::string(46, ' ') + "B\r\nRET:\r\n\r\n");
  EXPECT_EQ(HexDump(""), "");
}

}  // namespace
}  // namespace tervane
