// The README's terminal tour of the memory tools and of the PDF-417 capture, run as
// written: its code blocks are taken from README.md, the simulator (and the scanner) are
// started as the blocks say, "/dev/pts/N" becomes their pseudo-terminal, and every
// command must end with exit status 0.
#include <sys/wait.h>

#include "e2e/e2e_fixture.h"

namespace tervane::e2e {
namespace {

// The lines of the first fenced block after the heading `heading`.
std::vector<std::string> BlockAfter(const std::string& readme, const std::string& heading) {
  std::vector<std::string> lines;
  const std::size_t at = readme.find("\n" + heading + "\n");
  if (at == std::string::npos) return lines;
  const std::size_t open = readme.find("```\n", at);
  const std::size_t close = open == std::string::npos ? open : readme.find("\n```", open + 4);
  if (close == std::string::npos) return lines;
  std::istringstream block(readme.substr(open + 4, close - open - 4));
  for (std::string line; std::getline(block, line);) lines.push_back(line);
  return lines;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// The text of a line after its "# ", or "".
std::string CommentOf(const std::string& line) {
  const std::size_t hash = line.find("# ");
  return hash == std::string::npos ? std::string() : line.substr(hash + 2);
}

class ReadmeTour : public EndToEndTest {
 protected:
  void SetUp() override {
    EndToEndTest::SetUp();
    std::ifstream in(std::string(TERVANE_REPO_DIR) + "/README.md");
    std::stringstream s;
    s << in.rdbuf();
    readme_ = s.str();
    bin_ = TERVANE_BIN_DIR;
    ::setenv("XDG_CONFIG_HOME", (dir() + "/config").c_str(), 1);  // no scanner profile of the person
  }
  void TearDown() override {
    ::unsetenv("XDG_CONFIG_HOME");
    EndToEndTest::TearDown();
  }
  // The README's commands name the programs as build/bin/X or bare X.
  std::string Programs(const std::string& line) const { return Replace(line, "build/bin/", bin_ + "/"); }
  std::string Shell(const std::string& script) const {
    return "cd '" + workDir() + "' && PATH='" + bin_ + "':\"$PATH\" && " + script;
  }
  // Runs `script` with sh; returns its exit status and output.
  int Run(const std::string& script, std::string& output) {
    const std::string file = dir() + "/tour.sh", out = dir() + "/tour.out";
    std::ofstream(file) << Shell(script) << "\n";
    const int status = std::system(("/bin/sh '" + file + "' > '" + out + "' 2>&1 < /dev/null").c_str());
    std::ifstream in(out);
    std::stringstream s;
    s << in.rdbuf();
    output = s.str();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string readme_;
  std::string bin_;
};

TEST_F(ReadmeTour, FiscalMemoryAndDetailTapeFromTheTerminal) {
  const std::vector<std::string> lines = BlockAfter(readme_, "## Fiscal memory and detail tape from the terminal");
  ASSERT_GE(lines.size(), 5u);
  // The first line sets P and says, after "#", how the simulator is started.
  const std::string start = CommentOf(lines[0]);
  ASSERT_EQ(start.rfind("tervane-sim ", 0), 0u) << lines[0];
  SimProcess sim;
  ASSERT_TRUE(sim.Start("/bin/sh", {"-c", Shell("exec " + start)}));
  const std::string pty = sim.Ready("pty", 15000);
  ASSERT_FALSE(pty.empty());

  std::string script = "set -e";
  for (const std::string& line : lines) script += "\n" + Programs(Replace(line, "/dev/pts/N", pty));
  std::string output;
  EXPECT_EQ(Run(script + "\necho TOUR-DONE", output), 0) << output;
  EXPECT_NE(output.find("TOUR-DONE"), std::string::npos) << output;
}

TEST_F(ReadmeTour, Pdf417SymbolsFromAHandScanner) {
  const std::vector<std::string> lines = BlockAfter(readme_, "## PDF-417 symbols from a hand scanner");
  ASSERT_EQ(lines.size() % 2, 0u);
  ASSERT_GE(lines.size(), 2u);
  // Each scanner line serves on the pseudo-terminal it prints; the capture line after it
  // reads from there.
  for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
    ASSERT_NE(lines[i].find("tervane-scanner"), std::string::npos) << lines[i];
    const std::string scannerLine = lines[i].substr(0, lines[i].find('#'));
    SimProcess scanner;
    ASSERT_TRUE(scanner.Start("/bin/sh", {"-c", Shell("exec " + Programs(scannerLine))}));
    const std::string pty = scanner.Line(15000);
    ASSERT_EQ(pty.rfind("/dev/pts/", 0), 0u) << pty;
    std::string output;
    EXPECT_EQ(Run(Programs(Replace(lines[i + 1], "/dev/pts/N", pty)), output), 0) << lines[i + 1] << "\n" << output;
    scanner.Kill();
  }
  EXPECT_TRUE(std::filesystem::exists(workDir() + "/set.mfd"));
  EXPECT_TRUE(std::filesystem::exists(workDir() + "/part.mfd"));
}

}  // namespace
}  // namespace tervane::e2e
