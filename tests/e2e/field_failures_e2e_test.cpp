// The command road as a technician meets it on a laptop: a printer answering garbage, a
// port this user may not open, a port another program holds, a USB-serial adapter
// plugged in, and a cancel at 300 baud followed by the next command.
#include <sys/stat.h>

#include <cstdio>

#include "core/app/printer_detection.h"
#include "e2e/e2e_fixture.h"
#include "core/protocol/command_exchange.h"
#include "core/transport/port_factory.h"

namespace tervane::e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// Runs a shell command line, standard error with standard output, and its exit status.
CliRun Shell(const std::string& line) {
  CliRun run;
  const auto start = Steady::now();
  std::FILE* pipe = ::popen((line + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[512];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
  const int status = ::pclose(pipe);
  run.ms = MsSince(start);
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

class FieldTest : public EndToEndTest {
 protected:
  // Every COM name to a device that does not exist, so only what a test adds answers.
  void MapComPortsAway() {
    for (int n = 1; n <= 8; ++n) {
      const std::string name = "TERVANE_COM" + std::to_string(n);
      env_.push_back(std::make_unique<ScopedEnv>(name.c_str(), dir() + "/no-tty" + std::to_string(n)));
    }
  }
  void Env(const char* name, const std::string& value) { env_.push_back(std::make_unique<ScopedEnv>(name, value)); }

  // A sequence "S" of the model query twice, in the work folder's sequence file.
  void AddSequence() {
    for (int i = 0; i < 2; ++i) {
      const CliRun add = Cli({"sequence", "add", "S", "--workdir", workDir(), "--title", kModelQuery});
      ASSERT_EQ(add.code, 0) << add.err;
    }
  }

 private:
  std::vector<std::unique_ptr<ScopedEnv>> env_;
};

TEST_F(FieldTest, AnAnswerThatIsNotAnAnswerFailsTheSendAndStopsASequence) {
  SimProcess sim;
  const std::string pty = StartSim(sim, {"--pty", "--fault", "garbage"}, "pty");
  ASSERT_FALSE(pty.empty());
  const CliRun run = Send({"--port", pty, "--trace"});
  EXPECT_EQ(run.code, 4) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("A resposta da impressora não foi entendida"));
  EXPECT_THAT(run.out, Not(HasSubstr("Modelo:")));  // nothing decoded as fields
  EXPECT_THAT(run.out, HasSubstr("RET: "));
  EXPECT_THAT(Log(), HasSubstr(Utf8ToCp1252Lossy("não foi entendida")));

  AddSequence();
  const CliRun sequence = Cli({"sequence", "run", "S", "--workdir", workDir(), "--port", pty});
  EXPECT_EQ(sequence.code, 4) << sequence.out << sequence.err;
  // It stopped at the first command: one "Comando" line.
  const std::string& out = sequence.out;
  EXPECT_EQ(out.find("Comando:"), out.rfind("Comando:")) << out;
  EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(FieldTest, APortThisUserMayNotOpenFailsAtOnceSayingWhy) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the program as another user";
  if (Shell("command -v setpriv").code != 0) GTEST_SKIP() << "no setpriv";
  SimProcess sim;
  const std::string pty = StartSim(sim, {"--pty"}, "pty");
  ASSERT_FALSE(pty.empty());
  ASSERT_EQ(::chmod(pty.c_str(), 0600), 0);
  // The work folder is open to the unprivileged user: the catalogue, the log.
  ASSERT_EQ(::chmod(dir().c_str(), 0777), 0);
  ASSERT_EQ(::chmod(workDir().c_str(), 0777), 0);
  AddSequence();
  ASSERT_EQ(::chmod((workDir() + "/sequencias.xml").c_str(), 0666), 0);

  const std::string asNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=" + Quoted(dir()) + " " +
                               Quoted(CliPath()) + " ";
  const CliRun send = Shell(asNobody + "send --workdir " + Quoted(workDir()) + " --port " + Quoted(pty) +
                            " --title " + Quoted(kModelQuery));
  EXPECT_EQ(send.code, 4) << send.out;
  EXPECT_LT(send.ms, 1000);
  EXPECT_THAT(send.out, HasSubstr("Não foi possível abrir a porta " + pty));
  EXPECT_THAT(send.out, HasSubstr("sem permissão"));
  EXPECT_THAT(send.out, HasSubstr("dialout"));

  const CliRun sequence = Shell(asNobody + "sequence run S --workdir " + Quoted(workDir()) + " --port " + Quoted(pty));
  EXPECT_EQ(sequence.code, 4) << sequence.out;
  EXPECT_LT(sequence.ms, 1000);
  EXPECT_THAT(sequence.out, HasSubstr("sudo usermod -aG dialout nobody"));

  const CliRun ports = Shell(asNobody + "ports " + Quoted(pty));
  EXPECT_EQ(ports.code, 0) << ports.out;
  EXPECT_THAT(ports.out, HasSubstr(pty + "\t" + pty + "\tgiven\tpresent, not accessible (join the group dialout)\n"));
  // Root may: the same listing says present.
  EXPECT_THAT(Cli({"ports", pty}).out, HasSubstr(pty + "\t" + pty + "\tgiven\tpresent\n"));
  EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(FieldTest, APortAnotherProgramHoldsIsSaidToBeInUse) {
  SimProcess sim;
  const std::string pty = StartSim(sim, {"--pty"}, "pty");
  ASSERT_FALSE(pty.empty());
  // flock(1) takes the device's lock and becomes the program that holds it.
  SimProcess holder;
  ASSERT_TRUE(holder.Start("/usr/bin/flock", {"--exclusive", "--no-fork", pty, "sleep", "30"}));
  CliRun run;
  // Until the holder has its lock and has become "sleep": between taking the lock and
  // starting the command, flock itself is the holder, and the message names it so.
  for (int i = 0; i < 100; ++i) {
    run = Send({"--port", pty});
    if (run.code == 4 && run.err.find("(sleep (PID ") != std::string::npos) break;
    ::usleep(20000);
  }
  EXPECT_EQ(run.code, 4);
  EXPECT_LT(run.ms, 1000);
  EXPECT_THAT(run.err, HasSubstr("em uso por outro programa"));
  EXPECT_THAT(run.err, HasSubstr("(sleep (PID "));
  holder.Stop(SIGKILL);
  EXPECT_EQ(Send({"--port", pty}).code, 0);
  EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(FieldTest, AnAdapterPluggedInIsListedAndFound) {
  SimProcess sim;
  const std::string pty = StartSim(sim, {"--pty"}, "pty");
  ASSERT_FALSE(pty.empty());
  // The adapter: a by-id link to the simulator's pty in a device folder of the test's.
  const std::string dev = dir() + "/dev";
  std::filesystem::create_directories(dev + "/serial/by-id");
  const std::string byId = dev + "/serial/by-id/usb-Prolific_PL2303_Serial_0007-if00-port0";
  std::filesystem::create_symlink(pty, byId);
  std::filesystem::create_symlink(dev + "/nowhere", dev + "/serial/by-id/usb-Unplugged-if00-port0");
  Env("TERVANE_DEV_DIR", dev);
  Env("TERVANE_SYS_DIR", dir() + "/sys");
  MapComPortsAway();

  const CliRun ports = Cli({"ports"});
  EXPECT_EQ(ports.code, 0);
  EXPECT_THAT(ports.out, HasSubstr(byId + "\t" + pty + "\tadapter\tpresent\tProlific PL2303 Serial 0007\n"));
  EXPECT_THAT(ports.out, Not(HasSubstr("Unplugged")));

  ScaledClock clock(10);
  cli::CliContext context;
  context.clock = &clock;
  const CliRun detect = Cli({"detect", "--workdir", workDir()}, context);
  EXPECT_EQ(detect.code, 0) << detect.out << detect.err;
  EXPECT_THAT(detect.out, HasSubstr("Port: " + byId + "\n"));
  EXPECT_THAT(detect.out, HasSubstr("Model: ZT-300 A\n"));

  // Mapped to a COM name, it is found under that name and not probed twice.
  ScopedEnv com4("TERVANE_COM4", byId);
  const CliRun mapped = Cli({"detect", "--workdir", workDir()}, context);
  EXPECT_THAT(mapped.out, HasSubstr("Port: COM4:\n"));
  EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(FieldTest, ACancelAtSlowSpeedLeavesNothingForTheNextCommand) {
  SimProcess sim;
  const std::string pty = StartSim(sim, {"--pty", "--baud", "300"}, "pty");
  ASSERT_FALSE(pty.empty());
  ProgramSettings settings;
  settings.g_workDir = workDir();
  settings.g_portName = pty;
  SystemPortFactory ports(PortContext{&settings, &SystemClock()});

  // The model query's 45 bytes take 1.6 s at 300 baud: cancelled after a few of them.
  CommandRecord first = ModelQueryCommand();
  CancellingProgress cancelling(6);
  EXPECT_EQ(ExecuteCommand(first, ExchangeContext{&settings, &ports, nullptr, &cancelling, nullptr}), kCancelled);

  CommandRecord second = ModelQueryCommand();
  EXPECT_EQ(ExecuteCommand(second, ExchangeContext{&settings, &ports, nullptr, nullptr, nullptr}), kOk)
      << second.ResultText << second.HexTrace;
  ASSERT_EQ(second.replyData.size(), 45u);
  EXPECT_EQ(second.replyData[0], 0x06);
  EXPECT_EQ(second.returnFields[1].value.substr(0, 8), "ZT-300 A");
  EXPECT_EQ(second.discardedBytes, 0);
  EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(FieldTest, ANormalUserSeesTheUsbIdentifiersAddsOneAndInstallsThroughPkexec) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the program as another user";
  if (Shell("command -v setpriv").code != 0) GTEST_SKIP() << "no setpriv";
  // The user's own folders, and a pkexec stand-in that notes how it was called and
  // answers as pkexec does when the administrator's password is not given.
  ASSERT_EQ(::chmod(dir().c_str(), 0777), 0);
  const std::string bin = dir() + "/bin";
  ASSERT_EQ(::mkdir(bin.c_str(), 0777), 0);
  {
    std::FILE* script = std::fopen((bin + "/pkexec").c_str(), "w");
    ASSERT_NE(script, nullptr);
    std::fprintf(script, "#!/bin/sh\necho \"$@\" > %s/pkexec.args\nexit 126\n", dir().c_str());
    std::fclose(script);
  }
  ASSERT_EQ(::chmod((bin + "/pkexec").c_str(), 0755), 0);
  const std::string asNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups env -u TERVANE_USB_IDS HOME=" +
                               Quoted(dir()) + " XDG_CONFIG_HOME=" + Quoted(dir() + "/config") + " PATH=" +
                               Quoted(bin + ":/usr/bin:/bin") + " " + Quoted(CliPath()) + " ";

  // With no printer: the identifiers looked for, and where they come from.
  const CliRun list = Shell(asNobody + "usb list");
  EXPECT_EQ(list.code, 0) << list.out;
  const std::string binDir = TERVANE_BIN_DIR;
  const std::string shipped = binDir.substr(0, binDir.rfind('/')) + "/share/tervane/usb/ids.txt";
  EXPECT_THAT(list.out, HasSubstr("Identifiers looked for, from " + shipped + ":\n  7e4a:0001\n"));
  EXPECT_THAT(list.out, HasSubstr("No USB printer present."));

  const CliRun add = Shell(asNobody + "usb ids add 04B8:0202");
  EXPECT_EQ(add.code, 0) << add.out;
  EXPECT_THAT(add.out, HasSubstr("Added 04b8:0202 in " + dir() + "/config/tervane/usb-ids.txt"));
  EXPECT_THAT(Shell(asNobody + "usb list").out,
              HasSubstr("Identifiers looked for, from " + dir() + "/config/tervane/usb-ids.txt:\n  04b8:0202\n"));

  // Not root: the rule goes through pkexec with every identifier, the added one too, and
  // the refusal is told after the installation's message.
  const CliRun install = Shell(asNobody + "usb install");
  EXPECT_EQ(install.code, 1) << install.out;
  EXPECT_THAT(install.out, HasSubstr("Erro na instalação do driver USB\na autorização de administrador foi recusada"));
  std::string args;
  {
    std::FILE* in = std::fopen((dir() + "/pkexec.args").c_str(), "r");
    ASSERT_NE(in, nullptr) << install.out;
    char buffer[1024];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) args.append(buffer, n);
    std::fclose(in);
  }
  EXPECT_THAT(args, HasSubstr(CliPath() + " usb install --group "));
  EXPECT_THAT(args, HasSubstr("--id 7e4a:0001 --id 7e4b:0010 --id 7e4b:0011 --id 7e4b:0012 --id 7e4b:0013 "
                              "--id 04b8:0202\n"));
}

}  // namespace
}  // namespace tervane::e2e
