// `tervane-cli pdf417 capture` in-process against tervane-scanner on a pseudo-terminal:
// the real termios port, the real reading thread, the reader's waits shortened tenfold.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "cli/cli_app.h"
#include "cli/cli_environment.h"
#include "cli/pdf417_command.h"
#include "core/common/atomic_file.h"
#include "core/fiscalmemory/pdf417_capture.h"
#include "core/fiscalmemory/pdf417_test_support.h"
#include "support/scaled_clock.h"
#include "support/sim_process.h"

namespace tervane {
namespace {

struct CaptureRun {
  int code = -1;
  std::string out;
  std::string err;
};

class Pdf417CliE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tervane_pdf417_e2e_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    // No profile of the person running the tests.
    profile_ = (dir_ / "none.ini").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Starts the scanner with `args` (the gap fits the shortened waits) and returns its
  // pseudo-terminal.
  std::string StartScanner(std::vector<std::string> args, const std::string& gapMs = "450") {
    args.insert(args.end(), {"--gap-ms", gapMs, "--open-delay-ms", "150"});
    if (!scanner_.Start(std::string(TERVANE_BIN_DIR) + "/tervane-scanner", args)) return {};
    return scanner_.Line();
  }

  // `speedUp`: how much faster than real time the reader's waits pass; they must still
  // outlast the sending of one symbol at the line's speed.
  CaptureRun Capture(std::vector<std::string> args, const std::string& answers = "", int speedUp = 10) {
    args.insert(args.begin(), {"pdf417", "capture", "--profile", profile_});
    std::istringstream in(answers);
    std::ostringstream out, err;
    testing::ScaledClock clock(speedUp);
    cli::CliEnvironment environment;
    environment.in = &in;
    environment.clock = &clock;
    environment.catchInterrupt = false;
    CaptureRun run;
    run.code = cli::RunCli(args, out, err, environment);
    run.out = out.str();
    run.err = err.str();
    return run;
  }

  std::string PathOf(const char* name) const { return (dir_ / name).string(); }

  std::filesystem::path dir_;
  std::string profile_;
  testing::SimProcess scanner_;
};

TEST_F(Pdf417CliE2e, ShuffledSetWithARepeatRoundTripsThroughTheMfdFile) {
  // 1500 bytes: 3 symbols, the last one short; sent last first, with the first twice.
  const std::string pty = StartScanner({"--generate", "1500", "--seed", "5", "--order", "3,1,1,2"});
  ASSERT_FALSE(pty.empty());
  const std::string mfd = PathOf("set.mfd");
  const CaptureRun run = Capture({"--port", pty, "-o", mfd, "--timeout", "200"});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Símbolo lido: 3/3 [1/3]\nSímbolo lido: 1/3 [2/3]\nSímbolo já foi lido [2/3]\n"
                         "Símbolo lido: 2/3 [3/3]\nTodos os símbolos foram lidos."),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("FORAM DECODIFICADOS (3) SÍMBOLOS PDF-417."), std::string::npos);
  std::string file;
  ASSERT_TRUE(ReadWholeFile(mfd, file));
  EXPECT_EQ(file.size(), 524288u + 768 + 768 + 1500 + 256);
  scanner_.Stop();

  // Served again from the file just written, in order, at 38400 bauds with even parity
  // (about 200 ms a symbol), the capture writes the same file.
  const std::string pty2 = StartScanner({"--set", mfd, "--baud", "38400", "--parity", "even"}, "900");
  ASSERT_FALSE(pty2.empty());
  const std::string again = PathOf("again.mfd");
  const CaptureRun second =
      Capture({"--port", pty2, "-o", again, "--baud", "38400", "--parity", "even", "--timeout", "100"}, "", 4);
  ASSERT_EQ(second.code, 0) << second.out << second.err;
  std::string file2;
  ASSERT_TRUE(ReadWholeFile(again, file2));
  EXPECT_EQ(file2, file);
}

TEST_F(Pdf417CliE2e, MissingSymbolAndHostileSymbolsEndWithTheQuestion) {
  const std::string pty =
      StartScanner({"--generate", "2004", "--missing", "2", "--hostile", "huge-length", "--hostile", "beyond"});
  ASSERT_FALSE(pty.empty());
  const std::string mfd = PathOf("part.mfd");
  // The set never completes: the time-out stops it and the answer "s" saves what was read.
  const CaptureRun run = Capture({"--port", pty, "-o", mfd, "--timeout", "40"}, "s\n");
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Símbolo recusado: tamanho do conjunto inválido (4294967280) [0/0]"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("Símbolo recusado: posição 2672 fora do conjunto [0/0]"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Símbolo lido: 3/3 [2/3]"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Alguns símbolos impressos não foram capturados."), std::string::npos);
  EXPECT_NE(run.err.find("time-out"), std::string::npos);
  std::string file;
  ASSERT_TRUE(ReadWholeFile(mfd, file));
  EXPECT_EQ(file.size(), 524288u + 1536 + 1336 + 256);
}

TEST_F(Pdf417CliE2e, NoAnswerStopsWithoutSavingAndABusyPortIsReported) {
  const std::string pty = StartScanner({"--generate", "2004", "--order", "1"});
  ASSERT_FALSE(pty.empty());
  const std::string mfd = PathOf("none.mfd");
  const CaptureRun run = Capture({"--port", pty, "-o", mfd, "--timeout", "30"}, "n\n");
  EXPECT_EQ(run.code, cli::kExitPdf417Stopped) << run.out << run.err;
  EXPECT_FALSE(std::filesystem::exists(mfd));

  // A port that cannot be opened: the warning, the Retry/Cancel question, and no file.
  const CaptureRun missing = Capture({"--port", PathOf("no-such-tty"), "-o", mfd}, "\n");
  EXPECT_EQ(missing.code, cli::kExitPdf417NothingSaved);
  EXPECT_NE(missing.out.find("No such file or directory"), std::string::npos) << missing.out;
  EXPECT_NE(missing.out.find("pode não ter\nsido corretamente inicializada."), std::string::npos) << missing.out;
}

}  // namespace
}  // namespace tervane
