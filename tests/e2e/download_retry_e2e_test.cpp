// Downloads on a noisy line and downloads cut short, as programs against tervane-sim:
// garbled block replies are asked again and the file comes out byte for byte the clean
// one; a download killed half-way continues with --resume from its last good block and
// asks the printer only for the rest.
#include <signal.h>

#include <thread>

#include "e2e/e2e_fixture.h"

namespace tervane::e2e {
namespace {

class DownloadRetryTest : public EndToEndTest {
 protected:
  CliRun Program(const std::vector<std::string>& args) {
    SimProcess cli;
    CliRun run;
    if (!cli.Start(CliPath(), args, true)) return run;
    for (std::string line = cli.Line(120000); !line.empty(); line = cli.Line(120000)) run.out += line + "\n";
    run.code = cli.Stop(0);
    if (run.code < 0) run.code = cli.Stop(SIGKILL);
    return run;
  }
  std::vector<std::string> Download(const std::string& pty, const std::string& file) {
    return {"mfd", "download", "-o", file, "--model", "ZT-400 A", "--port", pty, "--workdir", workDir()};
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Block requests (ESC 50h 6Fh) among what the simulator traced as received so far.
  static int BlockRequests(const std::string& log) {
    std::istringstream text(Read(log));
    int count = 0;
    for (std::string line; std::getline(text, line);)
      if (line.rfind("pty <- ", 0) == 0 && line.find("1B 50 6F") != std::string::npos) ++count;
    return count;
  }
};

TEST_F(DownloadRetryTest, GarbledRepliesAreAskedAgainOnEverySeed) {
  const std::vector<std::string> printer = {"--pty", "--model", "ZT-400 A", "--history", "3"};
  SimProcess clean;
  const std::string cleanPty = StartSim(clean, printer, "pty");
  ASSERT_FALSE(cleanPty.empty());
  const std::string reference = dir() + "/clean.mfd";
  ASSERT_EQ(Program(Download(cleanPty, reference)).code, 0);
  clean.Kill();
  const std::string expected = Read(reference);
  ASSERT_GT(expected.size(), 524288u + 1536 + 4 * 2048);

  for (int seed = 1; seed <= 10; ++seed) {
    std::vector<std::string> noisy = printer;
    noisy.insert(noisy.end(), {"--fault", "garbage:0.05", "--seed", std::to_string(seed)});
    SimProcess sim;
    const std::string pty = StartSim(sim, noisy, "pty");
    ASSERT_FALSE(pty.empty());
    const std::string file = dir() + "/noisy" + std::to_string(seed) + ".mfd";
    const CliRun run = Program(Download(pty, file));
    EXPECT_EQ(run.code, 0) << "seed " << seed << ": " << run.out;
    EXPECT_TRUE(Read(file) == expected) << "seed " << seed;
  }
}

TEST_F(DownloadRetryTest, ADownloadKilledHalfWayIsResumed) {
  const std::string log = dir() + "/sim.log";
  SimProcess sim;
  ASSERT_TRUE(sim.Start("/bin/sh", {"-c", "exec " + SimPath() +
                                              " --pty --model 'ZT-400 A' --history 8 --baud 115200 --verbose 2>" + log}));
  const std::string pty = sim.Ready("pty");
  ASSERT_FALSE(pty.empty());
  const std::string reference = dir() + "/whole.mfd";
  ASSERT_EQ(Program(Download(pty, reference)).code, 0);
  const std::string expected = Read(reference);
  const std::size_t blocks = (expected.size() - 524288 - 1536 - 256 + 2047) / 2048;
  ASSERT_GE(blocks, 10u);
  EXPECT_EQ(BlockRequests(log), static_cast<int>(blocks));

  // Killed once half the blocks are kept in the state folder.
  const std::string kept = dir() + "/state/tervane/downloads/download-D.part";
  const std::string file = dir() + "/resumed.mfd";
  SimProcess cli;
  ASSERT_TRUE(cli.Start(CliPath(), Download(pty, file)));
  auto keptBlocks = [&] {
    std::error_code ec;
    const auto size = std::filesystem::file_size(kept, ec);
    return ec || size < 60 ? 0u : static_cast<std::size_t>((size - 60) / 2055);
  };
  for (int i = 0; i < 6000 && keptBlocks() < blocks / 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_GE(keptBlocks(), blocks / 2);
  cli.Kill();
  EXPECT_FALSE(std::filesystem::exists(file));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the printer finishes the block it was sending
  const int before = BlockRequests(log);

  const std::size_t keptAtKill = keptBlocks();  // may count one short (the heading's size is not fixed)
  std::vector<std::string> resume = Download(pty, file);
  resume.push_back("--resume");
  const CliRun run = Program(resume);
  ASSERT_EQ(run.code, 0) << run.out;
  EXPECT_TRUE(Read(file) == expected);
  EXPECT_FALSE(std::filesystem::exists(kept));
  // Block 0 and the last kept block asked again to check them, then only the rest.
  const int asked = BlockRequests(log) - before;
  EXPECT_LE(asked, static_cast<int>(blocks - keptAtKill) + 3) << asked << " of " << blocks;
  EXPECT_LE(asked, static_cast<int>(blocks - blocks / 2) + 3) << asked << " of " << blocks;
  EXPECT_GE(asked, static_cast<int>(blocks - keptAtKill) - 1) << asked << " of " << blocks;
}

}  // namespace
}  // namespace tervane::e2e
