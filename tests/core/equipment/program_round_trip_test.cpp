// A profile read from a printer programs that printer back: read, save, program and read
// again on each model group; values that do not fit a model; the commands that are not
// sent after a refusal; the password kept out of the log and the trace; the clock.
#include <fstream>
#include <sstream>

#include "cli/cli_app.h"
#include "cli/cli_environment.h"
#include "core/common/atomic_file.h"
#include "core/equipment/configuration_reader.h"
#include "core/equipment/equipment_programming.h"
#include "core/equipment/profile_file.h"
#include "core/equipment/programming_commands.h"
#include "core/equipment/equipment_support.h"
#include "core/protocol/command_log.h"
#include "support/fake_prompter.h"

namespace tervane::testing {
namespace {

// A front end that accepts the sheet, after an optional change, and keeps the results.
class AcceptingSheet final : public ProgrammingFrontEnd {
 public:
  bool EditProfile(ProfileSheet& sheet) override {
    shown = sheet;
    if (!password.empty()) sheet.general.password = password;
    return true;
  }
  void ShowResults(const std::string& text, const std::string& trace) override {
    results = text;
    traces = trace;
  }
  std::string password;
  ProfileSheet shown;
  std::string results, traces;
};

class ProgrammingRun {
 public:
  explicit ProgrammingRun(const std::string& model) : printer(model), settings(SettingsFor(model, dir.Path())) {
    context.exchange = ExchangeContext{&settings, &printer, &printer.clock, nullptr, nullptr};
    context.prompter = &prompter;
    context.frontEnd = &sheet;
    context.profileFile = dir.File("equipamentos.xml");
  }
  // A printer in use: owner, numbers, cliché, two rates (one ISS), named totalizers.
  void Furnish(bool older) {
    sim::PrinterState& s = printer.state;
    s.cnpj = "11.222.333/0001-44";
    s.ie = "ISENTO";
    if (!older) {
      s.im = "IM-9";
      s.uf = "RJ";
    }
    s.till = "007";
    s.store = "0042";
    s.cliche = "\x1B\x45LOJA\x1B\x46\nRUA 1\n";
    s.rates[0] = "1800";
    s.rates[1] = "0500";
    s.rateCount = 2;
    s.issBound[1] = true;
    s.passengerTicket = true;
    s.totalizerNames[0] = "SANGRIA";
    s.totalizerNames[8] = "NONO";
    if (!older) s.totalizerNames[29] = "ULTIMO";  // read, never sent: the printer keeps it
  }

  TempDir dir;
  SimPrinter printer;
  ProgramSettings settings;
  FakePrompter prompter;
  AcceptingSheet sheet;
  ProgrammingContext context;
};

class RoundTripTest : public ::testing::TestWithParam<const char*> {};

TEST_P(RoundTripTest, ReadSaveProgramAndReadAgainGiveTheSameProfile) {
  const std::string model = GetParam();
  ProgrammingRun run(model);
  const bool older = model != "ZT-300 A";
  run.Furnish(older);
  run.prompter.QueueYesNo(true);  // save the read

  ProgramEquipmentSession session(run.context);
  int read = -1;
  const ProgrammingOutcome outcome = session.ProgramFromPrinter(&read);
  ASSERT_EQ(read, 0);
  EXPECT_TRUE(run.sheet.shown.readWarning.empty());
  EXPECT_TRUE(run.sheet.shown.unreadSwitches);
  EXPECT_TRUE(outcome.saved);
  EXPECT_EQ(outcome.runResult, 0) << outcome.resultText;
  EXPECT_TRUE(outcome.fitProblems.empty());
  EXPECT_TRUE(outcome.refused.empty()) << outcome.summary;
  EXPECT_TRUE(outcome.skipped.empty());
  EXPECT_EQ(static_cast<int>(outcome.ran.size()), outcome.commandsBuilt);
  for (const auto& c : outcome.ran) EXPECT_FALSE(c.Refused()) << c.title << c.resultText;
  EXPECT_EQ(outcome.resultText.rfind(Cp("Nenhum comando recusado pelo equipamento.\r\n"), 0), 0u);

  ProfileList stored;
  ASSERT_EQ(LoadProfiles(run.context.profileFile, stored), 0);
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].serialNumber, "TV0100000000123");
  EXPECT_EQ(stored[0].cnpj, "11.222.333/0001-44");
  EXPECT_EQ(stored[0].totalizerNames[1], "");

  ProfileRecord again;
  ASSERT_EQ(ReadEquipmentConfiguration(again, run.context.exchange, &run.prompter), 0);
  // The switches and restaurant settings no read reports come from the stored profile.
  EXPECT_TRUE(KeepUnreadFields(stored, again));
  EXPECT_EQ(again, stored[0]);
  EXPECT_EQ(again.cliche, Cp("CLICHE_ENF_INI_XMLLOJACLICHE_ENF_END_XML\r\nRUA 1\r\n"));
}

INSTANTIATE_TEST_SUITE_P(ModelGroups, RoundTripTest, ::testing::Values("ZT-300 A", "ZK-110 A", "ZK-110 BR"));

TEST(ProgrammingFitTest, ValuesTooLongForTheModelAreRefusedBeforeAnythingIsSent) {
  ProgrammingRun run("ZK-110 A");
  ProfileRecord p;
  p.serialNumber = "S1";
  p.cnpj = "12345678901234567890";   // 20: the newer models' width, not the older's 18
  p.ie = "IE";
  p.date = "050324";
  p.time = "143015";
  p.tillNumber = "001";
  p.storeNumber = "0001";
  p.totalizerNames[3] = std::string(20, 'T');
  p.totalizerNames[49] = std::string(25, 'X');  // never sent: not a problem
  const ProgrammingOutcome outcome = RunProgramming(p, run.context);
  EXPECT_EQ(outcome.runResult, -3);
  EXPECT_EQ(run.printer.created, 0);
  ASSERT_EQ(outcome.fitProblems.size(), 2u);
  EXPECT_EQ(outcome.fitProblems[0].field, "CNPJ");
  EXPECT_EQ(outcome.fitProblems[1].field, "Totalizador 04");
  EXPECT_NE(outcome.resultText.find(Cp("Parâmetro com tamanho errado: CNPJ tem 20 caracteres, o modelo aceita 18")),
            std::string::npos)
      << outcome.resultText;
  EXPECT_EQ(run.sheet.results, outcome.resultText);

  // The same profile fits a newer model; padding stored by earlier versions does not count.
  EXPECT_TRUE(ProfileFitProblems(p, SettingsFor("ZT-300 A", "/tmp")).size() == 1u);
  p.cnpj = "11.222.333/0001-44  ";
  p.totalizerNames[3] = "TROCO";
  EXPECT_TRUE(ProfileFitProblems(p, run.settings).empty());

  // The dry run names the field too, and sends nothing.
  ProfileRecord wide = p;
  wide.ie = std::string(16, '9');
  ASSERT_EQ(SaveProfiles(run.context.profileFile, {wide}), 0);
  std::ostringstream out, err;
  const int code = cli::RunCli({"equipment", "program", "--serial", "S1", "--dry-run", "--model", "ZK-110 A",
                                "--port", run.dir.File("none"), "--file", run.context.profileFile},
                               out, err);
  EXPECT_EQ(code, 3);
  EXPECT_NE(out.str().find("IE tem 16 caracteres, o modelo aceita 15"), std::string::npos) << out.str();
}

TEST(ProgrammingFitTest, PaddedAndBlankValuesGoAsTheModelTakesThem) {
  ProfileRecord p;
  p.cnpj = "11.222.333/0001-44  ";
  p.ie = "ISENTO" + std::string(14, ' ');
  p.totalizerNames[0] = std::string(19, ' ');  // blanks: no name
  p.totalizerNames[1] = "TROCO   ";
  const auto older = BuildProgrammingCommands(p, SettingsFor("ZK-110 B", "/tmp"), nullptr);
  EXPECT_EQ(older[0].parameters[0].value, "11.222.333/0001-44");
  EXPECT_EQ(older[0].parameters[3].value, std::string(15, ' '));  // an empty IM goes as blanks
  int names = 0;
  for (const auto& c : older) {
    if (c.escapeText != "40") continue;
    ++names;
    EXPECT_EQ(c.parameters[0].value, "02");
    EXPECT_EQ(c.parameters[1].value, "TROCO");
  }
  EXPECT_EQ(names, 1);
}

TEST(ProgrammingDependencyTest, AWrongPasswordStopsTheRunAtTheOwnerCommand) {
  ProgrammingRun run("ZT-300 A");
  run.Furnish(false);
  run.printer.state.interventionPassword = std::string(10, '\x11');
  ProfileRecord p;
  ASSERT_EQ(ReadEquipmentConfiguration(p, run.context.exchange, &run.prompter), 0);
  run.printer.created = 0;
  const ProgrammingOutcome outcome = RunProgramming(p, run.context);
  EXPECT_EQ(run.printer.created, 1);  // nothing after the owner command is sent
  ASSERT_EQ(outcome.ran.size(), 1u);
  EXPECT_TRUE(outcome.ran[0].Refused());
  EXPECT_EQ(outcome.refused, std::vector<std::string>{"Programa CNPJ/IE/IM"});
  EXPECT_EQ(static_cast<int>(outcome.skipped.size()), outcome.commandsBuilt - 1);
  EXPECT_EQ(outcome.resultText.rfind(Cp("1 comando recusado pelo equipamento: Programa CNPJ/IE/IM\r\n"), 0), 0u);
  EXPECT_NE(outcome.summary.find(Cp("não enviados")), std::string::npos);
}

TEST(ProgrammingDependencyTest, ARefusedRateListSkipsOnlyTheIssBinding) {
  ProgrammingRun run("ZT-300 A");
  sim::PrinterState& s = run.printer.state;
  s.hasMovement = true;  // sales today: rates cannot change; no owner yet, so it is taken
  s.movementDate = {2024, 3, 5};
  ProfileRecord p;
  p.cnpj = "1";
  p.ie = "2";
  p.uf = "SP";
  p.date = "050324";
  p.time = "143015";
  p.cliche = "C";
  p.tillNumber = "001";
  p.storeNumber = "0001";
  p.rates[0] = "1800";
  p.totalizerNames[0] = "SANGRIA";
  const ProgrammingOutcome outcome = RunProgramming(p, run.context);
  EXPECT_EQ(outcome.refused, std::vector<std::string>{"Troca de Situacoes Tributarias"});
  EXPECT_EQ(outcome.skipped, std::vector<std::string>{"Vinculacao ao ISS"});
  EXPECT_EQ(static_cast<int>(outcome.ran.size()), outcome.commandsBuilt - 1);
  EXPECT_EQ(s.totalizerNames[0], "SANGRIA");  // what follows still ran
}

TEST(ProgrammingDependencyTest, AClockBeforeTheLastReductionStopsTheRun) {
  ProgrammingRun run("ZT-300 A");
  run.printer.state.lastReductionAt = sim::PrinterSeconds(CivilTime{2024, 3, 5, 14, 0, 0, 0});
  const std::string cliche = run.printer.state.cliche;
  ProfileRecord p;
  p.cnpj = "1";
  p.ie = "2";
  p.uf = "SP";
  p.date = "050324";
  p.time = "135959";  // a second before the Z
  p.cliche = "C";
  p.tillNumber = "001";
  p.storeNumber = "0001";
  const ProgrammingOutcome outcome = RunProgramming(p, run.context);
  ASSERT_EQ(outcome.ran.size(), 2u);
  EXPECT_EQ(outcome.refused, std::vector<std::string>{"Programacao Data e Hora"});
  EXPECT_TRUE(outcome.ran[1].Refused());
  EXPECT_EQ(run.printer.state.cliche, cliche);  // nothing after the clock was sent

  // "Carregar do computador" at the moment the command is built: accepted.
  run.context.clockSource = ClockSource::kComputer;
  const ProgrammingOutcome now = RunProgramming(p, run.context);
  EXPECT_TRUE(now.refused.empty()) << now.summary;
  EXPECT_EQ(run.printer.state.clockOffset, 0);
  EXPECT_EQ(p.time, "135959");  // the profile keeps what the pages show
}

TEST(ProgrammingClockTest, DistanceFromTheComputerClock) {
  const CivilTime now{2024, 3, 5, 14, 30, 15, 0};
  ProfileRecord p;
  p.date = "040324";
  p.time = "150000";
  EXPECT_EQ(ClockDistanceWarning(p, now), "");  // within a day
  p.date = "030324";
  EXPECT_NE(ClockDistanceWarning(p, now).find("mais de um dia"), std::string::npos);
  p.date = "";
  EXPECT_NE(ClockDistanceWarning(p, now).find(Cp("não são válidas")), std::string::npos);
  LoadComputerClock(p, now);
  EXPECT_EQ(p.date + p.time, "050324143015");
}

TEST(ProgrammingPasswordTest, ThePasswordNeverReachesTheLogOrTheTrace) {
  ProgrammingRun run("ZT-300 A");
  run.Furnish(false);
  const std::string password = "0123456789ABCDEF0123";
  run.printer.state.interventionPassword = std::string("\x01\x23\x45\x67\x89\xAB\xCD\xEF\x01\x23", 10);
  run.sheet.password = password;
  ProfileRecord p;
  ASSERT_EQ(ReadEquipmentConfiguration(p, run.context.exchange, &run.prompter), 0);
  const ProgrammingOutcome outcome = RunProgramming(p, run.context);
  EXPECT_TRUE(outcome.refused.empty()) << outcome.summary;  // the printer got the real bytes

  EXPECT_NE(outcome.hexTrace.find(" ** ** ** ** ** ** ** ** ** **"), std::string::npos);
  EXPECT_EQ(outcome.hexTrace.find("01 23 45 67 89 AB CD EF 01 23"), std::string::npos);
  EXPECT_EQ(HexDump(outcome.hexTrace).find("\xAB\xCD"), std::string::npos);
  std::string log;
  ASSERT_TRUE(ReadWholeFile(LogFilePath(run.settings, run.printer.clock.LocalNow()), log));
  EXPECT_EQ(log.find(password), std::string::npos);
  EXPECT_EQ(log.find("0123456789"), std::string::npos);
  EXPECT_NE(log.find("SENHA\t" + std::string(20, '*')), std::string::npos);

  // Only 20 hexadecimal digits are a password; anything else is never sent.
  EXPECT_TRUE(IsValidInterventionPassword("c3c3C3C3C3C3C3C3C3C3"));
  EXPECT_FALSE(IsValidInterventionPassword("C3C3C3C3C3C3C3C3C3CG"));
  EXPECT_FALSE(IsValidInterventionPassword("C3C3"));
  run.sheet.password = "C3C3C3C3C3C3C3C3C3CG";
  run.printer.created = 0;
  const ProgrammingOutcome wrong = RunProgramming(p, run.context);
  EXPECT_EQ(wrong.runResult, -2);
  EXPECT_EQ(run.printer.created, 0);
}

TEST(ProgrammingPasswordTest, TheCommandLineTakesOnlyHexPasswordsFromAnySource) {
  TempDir dir;
  ProfileRecord p;
  p.serialNumber = "S1";
  p.cnpj = "1";
  p.ie = "2";
  p.uf = "SP";
  p.date = "050324";
  p.time = "143015";
  p.cliche = "C";
  p.tillNumber = "001";
  p.storeNumber = "0001";
  ASSERT_EQ(SaveProfiles(dir.File("equipamentos.xml"), {p}), 0);
  auto dry = [&](std::vector<std::string> extra, std::istream* in = nullptr) {
    std::vector<std::string> args = {"equipment", "program", "--serial", "S1", "--dry-run", "--model", "ZT-300 A",
                                     "--port", dir.File("none"), "--workdir", dir.Path()};
    args.insert(args.end(), extra.begin(), extra.end());
    std::ostringstream out, err;
    cli::CliEnvironment environment;
    environment.in = in;
    environment.catchInterrupt = false;
    const int code = cli::RunCli(args, out, err, environment);
    return std::make_pair(code, out.str() + err.str());
  };
  auto run = dry({"--password", "ZZ3C3C3C3C3C3C3C3C3C"});
  EXPECT_EQ(run.first, 2);
  EXPECT_NE(run.second.find("Senha com tamanho errado"), std::string::npos);
  EXPECT_EQ(run.second.find(" 1 Programa"), std::string::npos);  // nothing built

  // From the environment, and typed at the prompt: checked the same way, shown masked.
  ::setenv("TERVANE_PASSWORD", "0123456789abcdef012", 1);
  run = dry({});
  EXPECT_EQ(run.first, 2);
  ::setenv("TERVANE_PASSWORD", "0123456789abcdef0123", 1);
  run = dry({});
  ::unsetenv("TERVANE_PASSWORD");
  EXPECT_EQ(run.first, 0) << run.second;
  EXPECT_NE(run.second.find("** ** ** ** ** ** ** ** ** **"), std::string::npos);
  EXPECT_EQ(run.second.find("01 23 45 67 89 AB CD EF 01 23"), std::string::npos);

  std::istringstream typedBad("FEDCBA9876543210FEDX\n");
  EXPECT_EQ(dry({"--ask-password"}, &typedBad).first, 2);
  std::istringstream typed("FEDCBA9876543210FEDC\n");
  run = dry({"--ask-password"}, &typed);
  EXPECT_EQ(run.first, 0) << run.second;
  EXPECT_EQ(run.second.find("FE DC BA 98"), std::string::npos);
}

}  // namespace
}  // namespace tervane::testing
