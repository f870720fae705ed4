// tervane-cli sequence: building, listing, showing and deleting sequences in a file, and
// running them in-process against scripted ports and against the simulator program.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli_app.h"
#include "cli/cli_environment.h"
#include "core/common/charset.h"
#include "support/fake_clock.h"
#include "support/fake_port.h"

namespace tervane::cli::testing {
namespace {

using tervane::testing::Bytes;
using tervane::testing::FakeClock;
using tervane::testing::FakePortFactory;
using tervane::testing::FakePortScript;

struct CliRun {
  int code = -1;
  std::string out;
  std::string err;
};

std::string DataDir() { return std::string(TERVANE_REPO_DIR) + "/data"; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

FakePortScript Answer(std::vector<std::uint8_t> bytes) {
  FakePortScript script;
  script.reply = {Bytes(std::move(bytes))};
  return script;
}

class CliSequenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tervane_cliseq_XXXXXX";
    dir_ = ::mkdtemp(pattern);
    environment.ports = &ports;
    environment.clock = &clock;
    environment.in = &answers;
    environment.catchInterrupt = false;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string File() const { return dir_ + "/seq.xml"; }

  // Runs tervane-cli with the sequence file and the repository's catalogue.
  CliRun Cli(std::vector<std::string> args) {
    args.insert(args.end(), {"--file", File()});
    std::ostringstream out, err;
    CliRun run;
    run.code = RunCli(args, out, err, environment);
    run.out = out.str();
    run.err = err.str();
    return run;
  }
  CliRun Add(const std::string& name, std::vector<std::string> choice) {
    std::vector<std::string> args{"sequence", "add", name, "--workdir", DataDir()};
    args.insert(args.end(), choice.begin(), choice.end());
    return Cli(args);
  }
  CliRun Run(std::vector<std::string> extra) {
    std::vector<std::string> args{"sequence", "run", "A", "--port", "COM1:", "--workdir", dir_};
    args.insert(args.end(), extra.begin(), extra.end());
    return Cli(args);
  }

  std::string dir_;
  FakeClock clock;
  FakePortFactory ports{&clock};
  std::istringstream answers;
  CliEnvironment environment;
};

TEST_F(CliSequenceTest, SequencesAreBuiltListedShownAndDeleted) {
  // A missing file is an empty list.
  CliRun run = Cli({"sequence", "list"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "");

  run = Add("a.", {"--title", "Leitura X"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "A: created with 1 command\n");
  run = Add("A", {"--index", "1"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "A: now 2 commands\n");
  run = Add("caixa", {"--title", "Sangria", "--set", "1=1,50"});
  ASSERT_EQ(run.code, 0) << run.err;

  run = Cli({"sequence", "list"});
  EXPECT_EQ(run.out, "A\t2\nCAIXA\t1\n");
  // Adding to an existing sequence keeps its place in the file.
  ASSERT_EQ(Add("a", {"--title", "Leitura X"}).code, 0);
  EXPECT_EQ(Cli({"sequence", "list"}).out, "A\t3\nCAIXA\t1\n");

  // Shown by its name as typed (cleaned to the stored form when needed).
  run = Cli({"sequence", "show", "caixa"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("1. Sangria"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("parameter 1: Valor (FINANCE, 14, sim) = \"1,50\""), std::string::npos) << run.out;
  run = Cli({"sequence", "show", "A"});
  EXPECT_NE(run.out.find("2. Marca, Modelo e Tipo"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("return field 2: Modelo (ASCII, 20)"), std::string::npos) << run.out;
  EXPECT_EQ(Cli({"sequence", "show", "Z"}).code, 1);

  // The file is the one the workbench reads.
  EXPECT_NE(ReadFile(File()).find("\t\t<titulo>CAIXA</titulo>\n"), std::string::npos);

  run = Cli({"sequence", "delete", "A"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(Cli({"sequence", "list"}).out, "CAIXA\t1\n");
  run = Cli({"sequence", "delete", "A"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("Registro não excluído"), std::string::npos) << run.err;
}

TEST_F(CliSequenceTest, BadNamesCommandsAndFilesAreRefused) {
  CliRun run = Add("ação", {"--title", "Leitura X"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "Nome inválido\n");
  run = Add("?!.", {"--title", "Leitura X"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "Registro não salvo\n");
  EXPECT_EQ(Add(std::string(21, 'x'), {"--title", "Leitura X"}).code, 1);
  EXPECT_EQ(Add("a", {"--title", "Nenhum comando"}).code, 1);
  EXPECT_EQ(Add("a", {"--title", "Sangria", "--set", "2=1"}).code, 1);
  EXPECT_FALSE(std::filesystem::exists(File()));

  // A file that cannot be read is reported and never replaced.
  const std::string broken = "<sequencias><sequencia><titulo>A</titulo>";
  std::ofstream(File(), std::ios::binary) << broken;
  run = Cli({"sequence", "list"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("Não foi possível carregar o arquivo indicado: " + File() + "."), std::string::npos)
      << run.err;
  EXPECT_EQ(Add("a", {"--title", "Leitura X"}).code, 1);
  EXPECT_EQ(Cli({"sequence", "delete", "A"}).code, 1);
  EXPECT_EQ(ReadFile(File()), broken);

  EXPECT_EQ(Cli({"sequence", "run", "A", "--port", "COM1:", "--times", "0"}).code, 1);
  EXPECT_EQ(Cli({"sequence", "run", "A", "--port", "COM1:", "--wait", "100"}).code, 1);
  EXPECT_EQ(Cli({"sequence", "run", "A"}).code, 1);  // no port
}

TEST_F(CliSequenceTest, RunPrintsTheResultsAndExitsWithTheCodesStatus) {
  ASSERT_EQ(Add("a", {"--title", "Leitura X"}).code, 0);
  ASSERT_EQ(Add("a", {"--title", "Leitura X"}).code, 0);

  ports.Script("COM1:", Answer({0x06, 0x00, 0x00}));
  ports.Script("COM1:", Answer({0x06, 0x00, 0x00}));
  CliRun run = Run({"--wait", "2"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("\n***Início de execução de sequência de comandos***\n")) << run.out;
  EXPECT_EQ(Count(run.out, "Comando:\tLeitura X"), 2);
  EXPECT_TRUE(run.out.ends_with("***Fim de execução de sequência de comandos***\n")) << run.out;
  EXPECT_EQ(clock.SleptMs(), 4000);

  // A failing command: the status of its code, the code's text last; --hex adds the dump.
  ports.Script("COM1:", Answer({0x06, 0x00, 0x00}));
  ports.Script("COM1:", Answer({0x15}));
  run = Run({"--times", "3", "--hex"});
  EXPECT_EQ(run.code, 4);
  EXPECT_EQ(ports.records.size(), 4u);
  EXPECT_NE(run.out.find("***Fim de execução de sequência de comandos***\nFalha no envio do comando\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(Count(run.out, "CMD:"), 2);

  // A mandatory parameter left empty.
  ASSERT_EQ(Add("a", {"--title", "Sangria"}).code, 0);
  for (int i = 0; i < 2; ++i) ports.Script("COM1:", Answer({0x06, 0x00, 0x00}));
  run = Run({});
  EXPECT_EQ(run.code, 2);
  EXPECT_TRUE(run.out.ends_with("Parâmetro obrigatório não preenchido\n")) << run.out;
}

TEST_F(CliSequenceTest, StepModeAsksOnTheTerminal) {
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Add("a", {"--title", "Leitura X"}).code, 0);
  for (int i = 0; i < 3; ++i) ports.Script("COM1:", Answer({0x06, 0x00, 0x00}));
  // Enter goes on, "c" stops: two commands run, and the run counts as done.
  answers.str("\nc\n");
  CliRun run = Run({"--step"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(ports.records.size(), 2u);
  EXPECT_EQ(Count(run.err, "Clique em OK para continuar a execução da sequência."), 2);
  EXPECT_EQ(Count(run.out, "***Fim"), 0);

  // The end of the input answers Cancel.
  ports.Script("COM1:", Answer({0x06, 0x00, 0x00}));
  answers.clear();
  answers.str("");
  run = Run({"--step"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(ports.records.size(), 3u);
}

// ------------------------------------------------------------------- against tervane-sim

class SimProcess {
 public:
  ~SimProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }

  // Starts the simulator on a free TCP port; returns the port, or 0.
  int StartTcp() {
    int fds[2];
    if (::pipe(fds) != 0) return 0;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fds[1], STDOUT_FILENO);
      ::close(fds[0]);
      ::close(fds[1]);
      const std::string program = std::string(TERVANE_BIN_DIR) + "/tervane-sim";
      ::execl(program.c_str(), program.c_str(), "--tcp", "0", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    out_ = fds[0];
    std::string line;
    for (;;) {
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0) return 0;
      char c = 0;
      if (::read(out_, &c, 1) != 1) return 0;
      if (c == '\n') break;
      line += c;
    }
    const size_t colon = line.rfind(':');
    return line.starts_with("tcp ") && colon != std::string::npos ? std::atoi(line.c_str() + colon + 1) : 0;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

TEST(CliSequenceSimulator, ASequenceBuiltFromTheCommandLineRunsRepeatedlyAgainstTheSimulator) {
  if (!std::filesystem::exists(std::string(TERVANE_BIN_DIR) + "/tervane-sim")) {
    GTEST_SKIP() << "tervane-sim is not built";
  }
  char pattern[] = "/tmp/tervane_cliseq_sim_XXXXXX";
  const std::string dir = ::mkdtemp(pattern);
  std::filesystem::copy_file(DataDir() + "/comandos.xml", dir + "/comandos.xml");
  SimProcess sim;
  const int port = sim.StartTcp();
  ASSERT_GT(port, 0);
  const std::string address = "127.0.0.1:" + std::to_string(port);

  auto cli = [&](std::vector<std::string> args) {
    std::ostringstream out, err;
    CliRun run;
    CliEnvironment environment;
    environment.catchInterrupt = false;
    run.code = RunCli(args, out, err, environment);
    run.out = out.str();
    run.err = err.str();
    return run;
  };
  ASSERT_EQ(cli({"sequence", "add", "demo", "--workdir", dir, "--title", "Marca, Modelo e Tipo"}).code, 0);
  ASSERT_EQ(cli({"sequence", "add", "demo", "--workdir", dir, "--title", "Leitura X"}).code, 0);
  EXPECT_EQ(cli({"sequence", "list", "--workdir", dir}).out, "DEMO\t2\n");

  const auto start = std::chrono::steady_clock::now();
  CliRun run = cli({"sequence", "run", "demo", "--workdir", dir, "--port", "SOCKET", "--address", address,
                    "--extended", "--times", "3", "--wait", "1"});
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_EQ(Count(run.out, "***Início"), 3);
  EXPECT_EQ(Count(run.out, "***Fim"), 3);
  EXPECT_EQ(Count(run.out, "Modelo:\tZT-300 A"), 3) << run.out;
  EXPECT_GE(seconds, 6.0);  // one second after each of the six commands
  // Each exchange was logged in the working directory.
  EXPECT_TRUE(std::filesystem::exists(dir + "/log"));

  // A second command that cannot be sent ends the first run there: no further runs.
  ASSERT_EQ(cli({"sequence", "add", "falha", "--workdir", dir, "--title", "Leitura X"}).code, 0);
  ASSERT_EQ(cli({"sequence", "add", "falha", "--workdir", dir, "--title", "Sangria"}).code, 0);
  ASSERT_EQ(cli({"sequence", "add", "falha", "--workdir", dir, "--title", "Leitura X"}).code, 0);
  run = cli({"sequence", "run", "falha", "--workdir", dir, "--port", "SOCKET", "--address", address,
             "--extended", "--times", "3"});
  EXPECT_EQ(run.code, 2);
  EXPECT_EQ(Count(run.out, "***Início"), 1);
  EXPECT_EQ(Count(run.out, "Comando:\tLeitura X"), 1);
  EXPECT_TRUE(run.out.ends_with("Parâmetro obrigatório não preenchido\n")) << run.out;
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tervane::cli::testing
