// `tervane-cli pdf417 capture` against tervane-scanner where a real line defeats a naive
// reader: a signature sent at 1200 bauds (slower than the reader's pause after the first
// byte), and symbols scanned so close together that one read holds more than one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "cli/cli_app.h"
#include "cli/cli_environment.h"
#include "cli/pdf417_command.h"
#include "core/common/atomic_file.h"
#include "core/fiscalmemory/pdf417_capture.h"
#include "support/scaled_clock.h"
#include "support/sim_process.h"

namespace tervane {
namespace {

class Pdf417SlowLine : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tervane_pdf417_slow_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    profile_ = (dir_ / "none.ini").string();
  }
  void TearDown() override {
    scanner_.Stop();
    std::filesystem::remove_all(dir_);
  }

  std::string StartScanner(std::vector<std::string> args) {
    args.insert(args.end(), {"--open-delay-ms", "150"});
    if (!scanner_.Start(std::string(TERVANE_BIN_DIR) + "/tervane-scanner", args)) return {};
    return scanner_.Line();
  }

  int Capture(std::vector<std::string> args, int speedUp, std::string& out, const std::string& answers = "") {
    args.insert(args.begin(), {"pdf417", "capture", "--profile", profile_});
    std::istringstream in(answers);
    std::ostringstream o, e;
    testing::ScaledClock clock(speedUp);
    cli::CliEnvironment environment;
    environment.in = &in;
    environment.clock = &clock;
    environment.catchInterrupt = false;
    const int code = cli::RunCli(args, o, e, environment);
    out = o.str() + e.str();
    return code;
  }

  std::string PathOf(const char* name) const { return (dir_ / name).string(); }

  std::filesystem::path dir_;
  std::string profile_;
  testing::SimProcess scanner_;
};

// At 1200 bauds the signature's symbol takes over 2 s, longer than the reader's pause
// after the first byte: the reader waits for all of it, and the .rsa holds the whole
// signature.
TEST_F(Pdf417SlowLine, SignatureAt1200BaudsIsSavedWhole) {
  std::string rsa(256, '\0');
  for (int i = 0; i < 256; ++i) rsa[static_cast<std::size_t>(i)] = static_cast<char>(i % 255 + 1);
  ASSERT_TRUE(SaveFileAtomically(PathOf("key.rsa"), rsa, nullptr));
  const std::string pty = StartScanner({"--set", PathOf("key.rsa"), "--baud", "1200"});
  ASSERT_FALSE(pty.empty());
  std::string out;
  const int code = Capture({"--port", pty, "--baud", "1200", "--signature", "-o", PathOf("got.rsa"),
                            "--timeout", "30"},
                           1, out);
  ASSERT_EQ(code, 0) << out;
  std::string got;
  ASSERT_TRUE(ReadWholeFile(PathOf("got.rsa"), got));
  EXPECT_EQ(got, rsa);
}

// A signature whose symbol never arrives whole is not saved, and the command says so
// rather than "Saved".
TEST_F(Pdf417SlowLine, SignatureCutShortIsNotSaved) {
  std::string rsa(2000, 'S');  // three symbols; the last one never comes
  ASSERT_TRUE(SaveFileAtomically(PathOf("key.rsa"), rsa, nullptr));
  const std::string pty = StartScanner({"--set", PathOf("key.rsa"), "--missing", "3", "--gap-ms", "300"});
  ASSERT_FALSE(pty.empty());
  std::string out;
  const int code = Capture({"--port", pty, "--signature", "-o", PathOf("got.rsa"), "--timeout", "20",
                            "--incomplete", "save"},
                           10, out);
  EXPECT_EQ(code, cli::kExitPdf417Stopped) << out;
  EXPECT_EQ(out.find("Saved"), std::string::npos) << out;
  EXPECT_NE(out.find("não foi lida por inteiro (2 de 3"), std::string::npos) << out;
  EXPECT_FALSE(std::filesystem::exists(PathOf("got.rsa")));
}

// Symbols sent so close together that the reader's one read after its pause holds a
// whole symbol and part of the next: every symbol is kept.
TEST_F(Pdf417SlowLine, SymbolsScannedCloseTogetherAreAllKept) {
  const std::string pty = StartScanner({"--generate", "2004", "--seed", "3", "--gap-ms", "60"});
  ASSERT_FALSE(pty.empty());
  std::string out;
  const int code = Capture({"--port", pty, "-o", PathOf("set.mfd"), "--timeout", "100"}, 10, out);
  ASSERT_EQ(code, 0) << out;
  EXPECT_EQ(out.find("recusado"), std::string::npos) << out;
  EXPECT_NE(out.find("Todos os símbolos foram lidos."), std::string::npos) << out;
  std::string file;
  ASSERT_TRUE(ReadWholeFile(PathOf("set.mfd"), file));
  EXPECT_EQ(file.size(), 524288u + 1536 + 2004 + 256);
}

}  // namespace
}  // namespace tervane
