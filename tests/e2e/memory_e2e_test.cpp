// The memory commands as programs against tervane-sim: tervane-cli finds the memory
// libraries by bare name beside itself (build/lib), asks the printer for its model and,
// on the models that keep one, its user number, and downloads through the libraries.
#include "e2e/e2e_fixture.h"

namespace tervane::e2e {
namespace {

using ::testing::HasSubstr;

class MemoryEndToEndTest : public EndToEndTest {
 protected:
  // Runs the tervane-cli program and waits for its end.
  CliRun Program(const std::vector<std::string>& args) {
    SimProcess cli;
    CliRun run;
    if (!cli.Start(CliPath(), args, true)) return run;
    for (std::string line = cli.Line(60000); !line.empty(); line = cli.Line(60000)) run.out += line + "\n";
    run.code = cli.Stop(0);
    if (run.code < 0) run.code = cli.Stop(SIGKILL);
    return run;
  }
  std::vector<std::string> Args(std::vector<std::string> args, const std::string& pty) {
    args.insert(args.end(), {"--port", pty, "--workdir", workDir()});
    return args;
  }
  static std::uintmax_t Size(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? 0 : size;
  }
};

TEST_F(MemoryEndToEndTest, DownloadsThroughTheLibrariesFoundBesideTheProgram) {
  SimProcess sim;
  const std::string pty = StartSim(sim, {"--pty", "--model", "ZT-400 A", "--history", "2"}, "pty");
  ASSERT_FALSE(pty.empty());
  const std::string mf = dir() + "/m.mf", mfd = dir() + "/m.mfd", pub = dir() + "/k.pub", sb = dir() + "/s.bin";

  // No --model: the printer is asked, and the model's library (the second) is used.
  const CliRun mfRun = Program(Args({"mf", "download", "-o", mf}, pty));
  EXPECT_EQ(mfRun.code, 0) << mfRun.out;
  EXPECT_EQ(mfRun.out, mf + "\n");
  EXPECT_GT(Size(mf), 0u);

  EXPECT_EQ(Program(Args({"mfd", "download", "-o", mfd, "--model", "ZT-400 A"}, pty)).code, 0);
  EXPECT_GT(Size(mfd), 0u);
  EXPECT_EQ(Program(Args({"sb", "download", "-o", sb, "--model", "ZT-400 A"}, pty)).code, 0);
  EXPECT_GT(Size(sb), 0u);

  // The public key file: the key as 256 hexadecimal digits on its first line.
  EXPECT_EQ(Program(Args({"keys", "download", "pub", "-o", pub, "--model", "ZT-400 A"}, pty)).code, 0);
  std::ifstream in(pub);
  std::string key;
  std::getline(in, key);
  if (!key.empty() && key.back() == '\r') key.pop_back();
  EXPECT_EQ(key.size(), 256u);
  EXPECT_EQ(key.find_first_not_of("0123456789ABCDEFabcdef"), std::string::npos);
}

TEST_F(MemoryEndToEndTest, UserNumberModelAsksTheNumberFirst) {
  SimProcess sim;
  const std::string pty = StartSim(sim, {"--pty", "--model", "ZK-110 B", "--history", "1"}, "pty");
  ASSERT_FALSE(pty.empty());
  const std::string mf = dir() + "/m.mf";
  const CliRun run = Program(Args({"mf", "download", "-o", mf}, pty));
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_GT(Size(mf), 0u);
  EXPECT_THAT(Log(), HasSubstr("35 1"));
}

// A printer that hangs up in the middle of a download: status 3, its message, exit 4,
// and no partial file left behind.
TEST_F(MemoryEndToEndTest, HangUpMidDownloadLeavesNoFile) {
  SimProcess sim;
  const std::string pty =
      StartSim(sim, {"--pty", "--model", "ZT-400 A", "--history", "2", "--hangup-at-block", "2"}, "pty");
  ASSERT_FALSE(pty.empty());
  const std::string mfd = dir() + "/cut.mfd";
  const CliRun run = Program(Args({"mfd", "download", "-o", mfd, "--model", "ZT-400 A"}, pty));
  EXPECT_EQ(run.code, 4);
  EXPECT_FALSE(std::filesystem::exists(mfd));
}

}  // namespace
}  // namespace tervane::e2e
