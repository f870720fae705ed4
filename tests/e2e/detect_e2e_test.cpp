// tervane-cli detect and ports against tervane-sim on a pseudo-terminal mapped to COM3:.
#include "e2e/e2e_fixture.h"

namespace tervane::e2e {
namespace {

using ::testing::HasSubstr;

class DetectTest : public EndToEndTest {
 protected:
  // Maps COM3: to `com3` and every other COM name to a device that does not exist.
  void MapPorts(const std::string& com3) {
    env_.clear();
    for (int n = 1; n <= 8; ++n) {
      const std::string name = "TERVANE_COM" + std::to_string(n);
      const std::string device = n == 3 ? com3 : dir() + "/no-tty" + std::to_string(n);
      env_.push_back(std::make_unique<ScopedEnv>(name.c_str(), device));
    }
  }

  // Detection with its waits ten times shorter (the second the outcome stays on screen,
  // the probe's time-outs), still long enough for a real reply.
  CliRun Detect(std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"detect", "--workdir", workDir()};
    args.insert(args.end(), extra.begin(), extra.end());
    ScaledClock clock(10);
    cli::CliContext context;
    context.clock = &clock;
    return Cli(args, context);
  }

 private:
  std::vector<std::unique_ptr<ScopedEnv>> env_;
};

TEST_F(DetectTest, FindsThePrinterOnCom3AndSwitchesExtendedModeOn) {
  SimProcess sim;
  const std::string pty = StartSim(sim, {"--pty"}, "pty");
  ASSERT_FALSE(pty.empty());
  MapPorts(pty);
  // The USB link lives for the whole process (its library context included), so the
  // descriptor count is taken after a first detection has brought it up.
  Detect();
  const int fds = CountOpenFds();

  const CliRun run = Detect();
  EXPECT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_EQ(run.out,
            "Port: COM3:\n"
            "Impressora Fiscal conectada à porta COM3:\n"
            "Modo Normal\n"
            "Model: ZT-300 A\n"
            "Model mask: 1024\n"
            "Extended-reply mode: on (switched on for this model)\n");
  EXPECT_EQ(CountOpenFds(), fds);
  EXPECT_THAT(Log(), HasSubstr("Marca, Modelo e Tipo"));

  // Already on: said so, not "switched on"; a model chosen afterwards keeps the mode.
  const CliRun chosen = Detect({"--extended", "--model", "ZK-110 A"});
  EXPECT_EQ(chosen.code, 0) << chosen.err;
  EXPECT_THAT(chosen.out, HasSubstr("Extended-reply mode: on\nModel chosen: ZK-110 A (mask 1)\n"));

  // The port listing shows the map and the pseudo-terminal named on the command line.
  const CliRun ports = Cli({"ports", pty});
  EXPECT_EQ(ports.code, 0);
  EXPECT_THAT(ports.out, HasSubstr("COM3:\t" + pty + "\tenvironment\tpresent\n"));
  EXPECT_THAT(ports.out, HasSubstr("COM1:\t" + dir() + "/no-tty1\tenvironment\tabsent\n"));
  EXPECT_THAT(ports.out, HasSubstr(pty + "\t" + pty + "\tgiven\tpresent\n"));
  EXPECT_EQ(sim.Stop(), 0);
}

// A model detection does not recognise enables every model bit and leaves the mode alone.
TEST_F(DetectTest, InterventionModeAndAModelWithoutExtendedReplies) {
  SimProcess sim;
  const std::string pty = StartSim(sim, {"--pty", "--intervention", "--model", "ZK-110 A"}, "pty");
  ASSERT_FALSE(pty.empty());
  MapPorts(pty);
  const CliRun run = Detect();
  EXPECT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_EQ(run.out,
            "Port: COM3:\n"
            "Impressora Fiscal conectada à porta COM3:\n"
            "Modo Intervenção Técnica.\n"
            "Model: ZK-110 A\n"
            "Model mask: 131071\n"
            "Extended-reply mode: off\n");
  EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(DetectTest, NoPrinterAnswering) {
  MapPorts(dir() + "/no-tty3");
  // The first run opens what the process keeps for its life (the USB context among
  // them); a second run must hold no more than the first left.
  Detect();
  const int fds = CountOpenFds();
  const CliRun run = Detect();
  EXPECT_EQ(run.code, 4);
  EXPECT_EQ(run.out, "Atenção!\nNão foi possível efetuar a conexão com a Impressora Fiscal.\n");
  EXPECT_EQ(Log(), "");  // no model query without a printer
  EXPECT_EQ(CountOpenFds(), fds);
}

}  // namespace
}  // namespace tervane::e2e
