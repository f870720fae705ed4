// A read that is cancelled, refused or cut short never replaces a stored profile: the
// printer falls silent at every step in turn, a model whose queries are refused, and
// Ctrl-C sent to tervane-cli in the middle of `equipment read --save`.
#include <signal.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "cli/cli_app.h"
#include "cli/cli_environment.h"
#include "core/common/atomic_file.h"
#include "core/equipment/configuration_reader.h"
#include "core/equipment/profile_file.h"
#include "core/equipment/equipment_support.h"
#include "support/sim_process.h"

namespace tervane::testing {
namespace {

ProfileRecord StoredProfile() {
  ProfileRecord p;
  p.serialNumber = "TV0100000000123";
  p.client = Cp("Padaria São João");
  p.cnpj = "99.888.777/0001-66";
  p.ie = "123";
  p.automaticZ = true;
  p.totalizerNames[0] = "ANTIGO";
  return p;
}

struct ReadRun {
  int code = -1;
  std::string out, err;
};

ReadRun ReadAndSave(SimPrinter& printer, const std::string& model, const std::string& file) {
  std::ostringstream out, err;
  cli::CliEnvironment environment;
  environment.ports = &printer;
  environment.clock = &printer.clock;
  environment.catchInterrupt = false;
  ReadRun run;
  run.code = cli::RunCli({"equipment", "read", "--save", "--model", model, "--port", "SIM", "--file", file}, out,
                         err, environment);
  run.out = out.str();
  run.err = err.str();
  return run;
}

class ReadSafetyTest : public ::testing::TestWithParam<std::pair<const char*, int>> {};

TEST_P(ReadSafetyTest, APrinterFallingSilentAtAnyStepLeavesTheStoredProfileAsItWas) {
  const auto [model, steps] = GetParam();
  TempDir dir;
  const std::string file = dir.File("equipamentos.xml");
  ASSERT_EQ(SaveProfiles(file, {StoredProfile()}), 0);
  std::string before;
  ASSERT_TRUE(ReadWholeFile(file, before));

  for (int silentFrom = 0; silentFrom < steps; ++silentFrom) {
    SimPrinter printer(model);
    printer.state.cnpj = "11.222.333/0001-44";
    printer.answerLimit = silentFrom;
    const auto start = printer.clock.MonotonicMs();
    const ReadRun run = ReadAndSave(printer, model, file);
    EXPECT_EQ(run.code, 4) << silentFrom << run.err;
    EXPECT_EQ(printer.created, silentFrom + 1) << silentFrom;  // nothing tried after the silent step
    std::string after;
    ASSERT_TRUE(ReadWholeFile(file, after));
    EXPECT_EQ(after, before) << "silent from step " << silentFrom;
    EXPECT_NE(run.err.find("Falha no envio do comando"), std::string::npos);
    EXPECT_NE(run.err.find(std::string("O equipamento parou de responder em: ")), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(silentFrom == 0 ? "Lidos: nenhum" : "Lidos: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(std::string("Registro não salvo")), std::string::npos);
    EXPECT_EQ(run.err.find("replaced"), std::string::npos);
    // One silent step costs its time-outs, not more.
    EXPECT_LT(printer.clock.MonotonicMs() - start, 300'000) << silentFrom;
  }

  // Every step answered: the profile is replaced, keeping what the printer does not report.
  SimPrinter printer(model);
  printer.state.cnpj = "11.222.333/0001-44";
  const ReadRun run = ReadAndSave(printer, model, file);
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(printer.created, steps);
  ProfileList list;
  ASSERT_EQ(LoadProfiles(file, list), 0);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].cnpj, "11.222.333/0001-44");
  EXPECT_EQ(list[0].client, Cp("Padaria São João"));
  EXPECT_TRUE(list[0].automaticZ);
  EXPECT_EQ(list[0].totalizerNames[0], "");
}

INSTANTIATE_TEST_SUITE_P(ModelGroups, ReadSafetyTest,
                         ::testing::Values(std::make_pair("ZT-300 A", 14), std::make_pair("ZK-110 A", 11)));

TEST(ReadSafety, RefusedQueriesAreNamedAndNothingIsStored) {
  TempDir dir;
  const std::string file = dir.File("equipamentos.xml");
  ASSERT_EQ(SaveProfiles(file, {StoredProfile()}), 0);
  std::string before;
  ASSERT_TRUE(ReadWholeFile(file, before));

  // An older printer asked with the newer model's queries: it does not know some of them.
  SimPrinter printer("ZK-110 A");
  const ReadRun run = ReadAndSave(printer, "ZT-300 A", file);
  EXPECT_EQ(run.code, 4) << run.err;
  EXPECT_NE(run.err.find(std::string("Leitura incompleta")), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(std::string("Número de série")), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(std::string("Registro não salvo")), std::string::npos);
  std::string after;
  ASSERT_TRUE(ReadWholeFile(file, after));
  EXPECT_EQ(after, before);
}

TEST(ReadSafety, CtrlCDuringReadSaveLeavesTheFileByteIdentical) {
  // Every reply held back a while, so that the read is surely in the middle when Ctrl-C comes.
  SimProcess sim;
  ASSERT_TRUE(sim.Start(std::string(TERVANE_BIN_DIR) + "/tervane-sim",
                        {"--tcp", "0", "--intervention", "--fault", "delay", "--fault-delay", "300"}));
  const std::string address = sim.Ready("tcp");
  ASSERT_FALSE(address.empty());

  TempDir dir;
  const std::string file = dir.File("equipamentos.xml");
  ASSERT_EQ(SaveProfiles(file, {StoredProfile()}), 0);
  std::string before;
  ASSERT_TRUE(ReadWholeFile(file, before));

  SimProcess cli;
  ASSERT_TRUE(cli.Start(std::string(TERVANE_BIN_DIR) + "/tervane-cli",
                        {"equipment", "read", "--save", "--model", "ZT-300 A", "--port", "SOCKET", "--address",
                         address, "--file", file, "--workdir", dir.Path()}));
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));  // about three steps in
  EXPECT_EQ(cli.Stop(SIGINT), 5);

  std::string after;
  ASSERT_TRUE(ReadWholeFile(file, after));
  EXPECT_EQ(after, before);
  sim.Stop();
}

}  // namespace
}  // namespace tervane::testing
