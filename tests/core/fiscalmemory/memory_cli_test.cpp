// The memory commands of tervane-cli, in-process, against the stub library loaded for
// real from the folder named by TERVANE_VENDOR_DIR.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "cli/cli_app.h"
#include "cli/cli_environment.h"
#include "core/fiscalmemory/memory_cli_fixture.h"

namespace tervane::testing {
namespace {

class MemoryCliTest : public MemoryCliFixture {
 protected:
};

TEST_F(MemoryCliTest, MfdDownloadHandsTheRangeToTheLibrary) {
  const std::string file = Path("m.mfd");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--coo", "5", "77", "--user", "12"}, "2|000005|000077|012"},
      {{"--coo", "0", "999999"}, "2|000000|999999|000"},
      {{"--dates", "010224", "290224"}, "1|010224|290224|"},
      {{}, "0|||"},
  };
  for (const auto& [range, written] : cases) {
    std::vector<std::string> args = {"mfd", "download", "--port", "/dev/ttyS9", "--model", "ZT-400 A", "-o", file};
    args.insert(args.end(), range.begin(), range.end());
    const CliResult run = Cli(args);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(ReadAll(file), written);
    EXPECT_EQ(run.out, file + "\n");
  }
  EXPECT_TRUE(ports_.records.empty());  // with --model the printer is not asked
}

TEST_F(MemoryCliTest, DownloadOutcomesAndTheirExitStatus) {
  CliResult sb = Cli({"sb", "download", "--port", "/dev/ttyS9", "--model", "ZT-800 A", "-o", Path("s.bin")});
  EXPECT_EQ(sb.code, 0) << sb.err;
  EXPECT_EQ(ReadAll(Path("s.bin")), "/dev/ttyS9");

  CliResult mfk = Cli({"keys", "download", "mfk", "--port", "/dev/ttyS9", "--model", "ZT-800 A", "-o", Path("k.mfk")});
  EXPECT_EQ(mfk.code, 4);
  EXPECT_EQ(mfk.err, "Falha no envio do comando\n");

  CliResult pub = Cli({"keys", "download", "pub", "--port", "/dev/ttyS9", "--model", "ZT-800 A", "-o", Path("k.pub")});
  EXPECT_EQ(pub.code, 7);
  EXPECT_NE(pub.err.find("entry point"), std::string::npos);

  // Without --model the printer is asked for its model; a silent printer stops there.
  CliResult silent = Cli({"sb", "download", "--port", "/dev/ttyS9", "-o", Path("s2.bin")});
  EXPECT_EQ(silent.code, 4);
  EXPECT_FALSE(ports_.records.empty());
  EXPECT_FALSE(std::filesystem::exists(Path("s2.bin")));
}

TEST_F(MemoryCliTest, MfReportWritesItsDigest) {
  std::ofstream(Path("m.mf")) << "memory";
  CliResult all = Cli({"mf", "report", Path("m.mf"), "-o", Path("r.txt")});
  EXPECT_EQ(all.code, 0) << all.err;
  EXPECT_EQ(all.out, Path("r.txt") + "\n" + Path("r_MD5.txt") + "\n");
  EXPECT_EQ(ReadAll(Path("r_MD5.txt")), "r.txt MD5: 43ecd14771a7fd55d1a13133b59b1986");

  CliResult dates = Cli({"mf", "report", Path("m.mf"), "-o", Path("d.txt"), "--dates", "010124", "311224",
                   "--simplified"});
  EXPECT_EQ(dates.code, 0) << dates.err;
  EXPECT_EQ(ReadAll(Path("d_MD5.txt")), "d.txt MD5: c24fa2a791d2bfcbcb7edb9e4a22dc22");

  CliResult missing = Cli({"mf", "report", Path("none.mf"), "-o", Path("n.txt"), "--crz", "1", "2"});
  EXPECT_EQ(missing.code, 8);
  EXPECT_EQ(missing.err, "Arquivos sem dados válidos.\n");
  EXPECT_FALSE(std::filesystem::exists(Path("n_MD5.txt")));
}

TEST_F(MemoryCliTest, ValidateVerdictsAndMissingLibrary) {
  std::ofstream(Path("f.bin")) << "signed";
  CliResult valid = Cli({"validate", Path("f.bin"), Path("k.pub")});
  EXPECT_EQ(valid.code, 0);
  EXPECT_EQ(valid.out, "Arquivo validado\n");
  CliResult invalid = Cli({"validate", Path("gone.bin"), Path("k.pub")});
  EXPECT_EQ(invalid.code, 8);
  EXPECT_EQ(invalid.out, "Arquivo NÃO validado\n");
  CliResult firstLibrary = Cli({"validate", "--model", "ZK-110 A", Path("f.bin"), Path("k.pub")});
  EXPECT_EQ(firstLibrary.code, 8);
  EXPECT_EQ(firstLibrary.out, "Função não disponível.\n");
  CliResult withSignature = Cli({"validate", Path("f.bin"), Path("f.rsa"), Path("k.pub")});
  EXPECT_EQ(withSignature.code, 7);  // the stub has no KeloValidatePDF417

  std::filesystem::remove(libs_ / kVendorLibrary2);
  CliResult noLibrary = Cli({"validate", Path("f.bin"), Path("k.pub")});
  EXPECT_EQ(noLibrary.code, 7);
  EXPECT_NE(noLibrary.out.find("Não foi possível carregar a DLL"), std::string::npos);
}

TEST_F(MemoryCliTest, BadRangesAreUsageErrors) {
  const std::vector<std::vector<std::string>> bad = {
      {"mfd", "documents", "x.mfd", "-o", "x.txt", "--user", "3"},
      {"mfd", "documents", "x.mfd", "-o", "x.txt", "--coo", "1", "1000000"},
      {"mfd", "documents", "x.mfd", "-o", "x.txt", "--coo", "1", "2", "--user", "256"},
      {"mfd", "database", "x.mfd", "-o", "x.db", "--dates", "320124", "010224"},
      {"mfd", "database", "x.mfd", "-o", "x.db", "--dates", "290223", "010324"},
      {"mfd", "database", "x.mfd", "-o", "x.db", "--coo", "1", "2", "--dates", "010124", "010224"},
      {"mf", "report", "x.mf", "-o", "x.txt", "--crz", "a", "2"},
      {"keys", "download", "sbk", "--port", "/dev/ttyS9", "-o", "k", "--coo", "1", "2"},
      {"keys", "download", "xyz", "--port", "/dev/ttyS9", "-o", "k"},
  };
  for (const auto& args : bad) {
    EXPECT_EQ(Cli(args).code, 1) << args[0] << " " << args[1] << " " << args.back();
  }
  EXPECT_TRUE(ports_.records.empty());
}

TEST_F(MemoryCliTest, IntegrityAndKeyPrintChooseTheirWay) {
  // Through the port: the cell command's result on standard output.
  FakePortScript cells;
  cells.reply = {Bytes({0x06, 0x12, 0x00, 0x12, 0x00, 0x00, 0x00, 0x00, 0x00})};  // no cell not OK
  ports_.Script("/dev/ttyS9", cells);
  CliResult port = Cli({"mf", "integrity", "--port", "/dev/ttyS9", "--model", "ZK-140 B"});
  EXPECT_EQ(port.code, 0) << port.err;
  EXPECT_FALSE(port.out.empty());
  ASSERT_EQ(ports_.records.size(), 1u);
  EXPECT_EQ(ports_.records[0]->sent[4], 126);

  // A file with a first-library model, or with the second library.
  std::ofstream(Path("m.mf")) << "memory";
  EXPECT_EQ(Cli({"mf", "integrity", "--file", Path("m.mf"), "-o", Path("r.txt"), "--model", "ZT-300 A"}).code, 8);
  EXPECT_EQ(Cli({"mf", "integrity", "--file", Path("m.mf"), "-o", Path("r.txt")}).code, 0);
  EXPECT_EQ(Cli({"mf", "integrity"}).code, 1);

  // The key print is for second-library models only; the stub cannot download the key.
  EXPECT_EQ(Cli({"keys", "print", "--port", "/dev/ttyS9", "--model", "ZK-110 A"}).code, 8);
  EXPECT_EQ(Cli({"keys", "print", "--port", "/dev/ttyS9", "--model", "ZT-400 A"}).code, 7);
  EXPECT_EQ(ports_.records.size(), 1u);
}

}  // namespace
}  // namespace tervane::testing
