// tervane-cli against the tervane-sim program over TCP: program a printer in technical
// intervention from a stored profile, read it back into the profile file, change a rate
// and a totalizer name, program again and read back; the dry run, the profile commands,
// and a printer that is not in intervention.
#include "cli/cli_run.h"
#include "core/equipment/profile_file.h"
#include "core/equipment/equipment_support.h"
#include "support/sim_process.h"

namespace tervane::testing {
namespace {

using cli::testing::Cli;

// tervane-sim on a free TCP port, stopped when the object goes.
class SimProgram {
 public:
  explicit SimProgram(std::vector<std::string> args) {
    args.insert(args.begin(), {"--tcp", "0"});
    if (process_.Start(std::string(TERVANE_BIN_DIR) + "/tervane-sim", args)) address_ = process_.Ready("tcp");
  }
  const std::string& Address() const { return address_; }

 private:
  SimProcess process_;
  std::string address_;
};

ProfileRecord FirstProfile() {
  ProfileRecord p;
  p.serialNumber = "TV0100000000123";
  p.client = Cp("Mercado Estação");
  p.cnpj = "11.222.333/0001-44";
  p.ie = "ISENTO";
  p.im = "IM-1";
  p.uf = "SP";
  p.tillNumber = "002";
  p.storeNumber = "0007";
  p.date = "010124";
  p.time = "080000";
  p.cliche = Cp("CLICHE_ENF_INI_XMLMERCADO ESTAÇÃOCLICHE_ENF_END_XML\r\nRUA 1\r\n");
  p.rates[0] = "1800";
  p.totalizerNames[0] = "SANGRIA";
  p.automaticZ = true;
  return p;
}

TEST(CliEndToEndTest, ProgramReadChangeProgramReadBack) {
  SimProgram sim({"--intervention"});
  ASSERT_FALSE(sim.Address().empty());
  TempDir dir;
  const std::string file = dir.File("equipamentos.xml");
  ASSERT_EQ(SaveProfiles(file, {FirstProfile()}), 0);
  const std::vector<std::string> link = {"--port", "SOCKET", "--address", sim.Address(), "--workdir", dir.Path()};
  auto with = [&](std::vector<std::string> args) {
    args.insert(args.end(), link.begin(), link.end());
    return Cli(args);
  };

  auto run = with({"equipment", "program", "--serial", "TV0100000000123"});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_NE(run.err.find("12 of 12 commands run; 0 refused"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("Comando:\tTroca de Situacoes Tributarias\n"), std::string::npos);

  run = with({"equipment", "read", "--save"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("Número de série: TV0100000000123\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  CLICHE_ENF_INI_XMLMERCADO ESTAÇÃOCLICHE_ENF_END_XML\n  RUA 1\n"), std::string::npos);
  EXPECT_NE(run.err.find("replaced"), std::string::npos);

  // Change a rate and a totalizer name in the stored profile.
  ProfileList list;
  ASSERT_EQ(LoadProfiles(file, list), 0);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].cnpj, "11.222.333/0001-44");
  EXPECT_EQ(list[0].client, Cp("Mercado Estação"));  // not reported by the printer: kept
  EXPECT_TRUE(list[0].automaticZ);
  list[0].rates[1] = "1200";
  list[0].totalizerNames[1] = "TROCO";
  ASSERT_EQ(SaveProfiles(file, list), 0);

  run = with({"equipment", "program", "--serial", "TV0100000000123", "--trace"});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_NE(run.err.find("13 of 13 commands run; 0 refused"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("CMD:  02 45 00 1C 24 02 31 38 30 30 31 32 30 30"), std::string::npos);  // two rates
  run = with({"equipment", "read"});
  ASSERT_EQ(run.code, 0);
  EXPECT_NE(run.out.find("Alíquota 01: 1800 ICMS\nAlíquota 02: 1200 ICMS\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Totalizador 01: SANGRIA"), std::string::npos);
  EXPECT_NE(run.out.find("Totalizador 02: TROCO"), std::string::npos);
  EXPECT_NE(run.out.find("IM: IM-1"), std::string::npos);

  // The stored profiles.
  run = Cli({"profile", "list", "--workdir", dir.Path()});
  EXPECT_EQ(run.out, "TV0100000000123\tMercado Estação\t11.222.333/0001-44\n");
  run = Cli({"profile", "show", "TV0100000000123", "--file", file});
  EXPECT_NE(run.out.find("Totalizador 02: TROCO"), std::string::npos);
  run = Cli({"profile", "delete", "TV0100000000123", "--workdir", dir.Path()});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(Cli({"profile", "show", "TV0100000000123", "--workdir", dir.Path()}).code, 1);
}

TEST(CliEndToEndTest, DryRunSendsNothingAndRefusalsFailTheRun) {
  TempDir dir;
  ProfileRecord p = FirstProfile();
  p.serialNumber = "DRY";
  ASSERT_EQ(SaveProfiles(dir.File("equipamentos.xml"), {p}), 0);

  // No printer behind the port: the dry run neither opens nor needs it.
  auto run = Cli({"equipment", "program", "--serial", "DRY", "--dry-run", "--model", "ZT-300 A", "--port",
                  dir.File("no-such-device"), "--workdir", dir.Path(), "--password", "c3c3c3c3c3c3c3c3c3c3"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find(" 1 Programa CNPJ/IE/IM [4]\n"), std::string::npos);
  // The password (accepted in either case) is shown as asterisks, in the frame too.
  EXPECT_NE(run.out.find("** ** ** ** ** ** ** ** ** **"), std::string::npos);
  EXPECT_EQ(run.out.find("C3 C3 C3"), std::string::npos);
  EXPECT_NE(run.out.find("SENHA (DIG_HEX 10) = \"********************\""), std::string::npos);
  EXPECT_NE(run.out.find("\n 7 Nomeia tot. para Compr. não Fiscais não Vinculados [40]\n"), std::string::npos);
  run = Cli({"equipment", "program", "--serial", "DRY", "--dry-run", "--model", "ZT-300 A", "--port", "COM1:",
             "--workdir", dir.Path(), "--password", "C3C3"});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("Senha com tamanho errado"), std::string::npos);

  SimProgram sim({});  // normal mode: programming is refused
  ASSERT_FALSE(sim.Address().empty());
  run = Cli({"equipment", "program", "--serial", "DRY", "--port", "SOCKET", "--address", sim.Address(), "--workdir",
             dir.Path()});
  EXPECT_EQ(run.code, 4);
  EXPECT_NE(run.out.find("COMANDO NÃO EXECUTADO"), std::string::npos);
  // The refused owner command stops the run: the count comes first, then what was not sent.
  EXPECT_NE(run.err.find("1 of 12 commands run; 1 refused by the printer; 11 not sent"), std::string::npos)
      << run.err;
  const size_t summary = run.err.find("1 comando recusado pelo equipamento: Programa CNPJ/IE/IM");
  ASSERT_NE(summary, std::string::npos) << run.err;
  EXPECT_LT(summary, run.err.find("1 of 12 commands run"));
  EXPECT_NE(run.err.find("Aviso: A data e hora do perfil (010124 080000)"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace tervane::testing
