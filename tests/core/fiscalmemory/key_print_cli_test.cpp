// `keys print` and `mf integrity`, in-process: scripted ports for the printer, the stub
// library loaded for real from the folder named by TERVANE_VENDOR_DIR.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "core/app/model_table.h"
#include "cli/cli_app.h"
#include "cli/cli_environment.h"
#include "cli/key_print_command.h"
#include "core/fiscalmemory/memory_cli_fixture.h"

namespace tervane::testing {
namespace {

class KeyPrintCliTest : public MemoryCliFixture {
 protected:
  void Reply(std::vector<std::uint8_t> fields) {
    std::vector<std::uint8_t> reply = {0x06};
    reply.insert(reply.end(), fields.begin(), fields.end());
    reply.insert(reply.end(), {0x00, 0x00});
    FakePortScript script;
    script.reply = {Bytes(reply)};
    ports_.Script("/dev/ttyS9", script);
  }
};

TEST_F(KeyPrintCliTest, IntegrityOfAFile) {
  std::ofstream(Path("m.mf")) << "memory";
  CliResult run = Cli({"mf", "integrity", "--file", Path("m.mf"), "-o", Path("r.txt")});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, Path("r.txt") + "\n");
  EXPECT_EQ(ReadAll(Path("r.txt")), Path("m.mf") + "|0");

  // The default report sits beside the .mf.
  run = Cli({"mf", "integrity", "--file", Path("m.mf")});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, Path("m_integridade.txt") + "\n");
  EXPECT_EQ(cli::DefaultIntegrityReport("/a/b.c/x"), "/a/b.c/x_integridade.txt");

  run = Cli({"mf", "integrity", "--file", Path("none.mf"), "-o", Path("n.txt")});
  EXPECT_EQ(run.code, 8);
  EXPECT_EQ(run.err, "Arquivos sem dados válidos.\n");
  EXPECT_EQ(run.out, "");  // no report was written, none is named

  // The report may not replace the .mf; first-library models have no file check.
  run = Cli({"mf", "integrity", "--file", Path("m.mf"), "-o", Path("m.mf")});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(ReadAll(Path("m.mf")), "memory");
  run = Cli({"mf", "integrity", "--model", "ZT-700 A", "--file", Path("m.mf")});
  EXPECT_EQ(run.code, 8);
  EXPECT_EQ(run.err, "Função não disponível.\n");
  EXPECT_TRUE(ports_.records.empty());

  // Exactly one of --port and --file.
  EXPECT_EQ(Cli({"mf", "integrity"}).code, 1);
  EXPECT_EQ(Cli({"mf", "integrity", "--port", "/dev/ttyS9", "--file", Path("m.mf")}).code, 1);
  EXPECT_EQ(Cli({"mf", "integrity", "--file", Path("m.mf"), "--hex"}).code, 1);
  EXPECT_TRUE(ports_.records.empty());
}

TEST_F(KeyPrintCliTest, IntegrityThroughThePort) {
  // A ZT-800 A: the model query, the message, no cell command.
  const std::string model = std::string(15, 'K') + PadModelName("ZT-800 A") + std::string(7, ' ');
  Reply(std::vector<std::uint8_t>(model.begin(), model.end()));
  CliResult run = Cli({"mf", "integrity", "--port", "/dev/ttyS9", "--model", "ZT-800 A"});
  EXPECT_EQ(run.code, 8);
  EXPECT_EQ(run.err, "Comando inexistente neste equipamento, faça verificação por arquivo!\n");
  EXPECT_EQ(ports_.records.size(), 1u);

  // An older model: command 126 only, its text on standard output.
  Reply({0x07, 0x00, 0x07, 0x00, 0x00, 0x00});
  run = Cli({"mf", "integrity", "--port", "/dev/ttyS9", "--model", "ZK-140 B", "--hex"});
  EXPECT_EQ(run.code, 0) << run.err;
  ASSERT_EQ(ports_.records.size(), 2u);
  EXPECT_EQ(ports_.records[1]->sent[4], 126);
  EXPECT_NE(run.out.find("Número de células gravadas:\t7 \n Número de células ok:\t7 \n"), std::string::npos);
  EXPECT_NE(run.out.find("CMD: "), std::string::npos);

  // Cells not OK fail the check; a printer that does not answer is an exchange failure.
  Reply({0x07, 0x00, 0x06, 0x00, 0x01, 0x00});
  run = Cli({"mf", "integrity", "--port", "/dev/ttyS9", "--model", "ZK-140 B"});
  EXPECT_EQ(run.code, 8);
  EXPECT_NE(run.out.find("ATENÇÃO: DETECTADAS CÉLULAS NÃO OK"), std::string::npos);
  EXPECT_EQ(run.out.find("CMD: "), std::string::npos);
  FakePortScript dead;
  dead.openOk = false;
  ports_.Script("/dev/ttyS9", dead);
  EXPECT_EQ(Cli({"mf", "integrity", "--port", "/dev/ttyS9", "--model", "ZK-140 B"}).code, 4);
}

TEST_F(KeyPrintCliTest, KeyPrintWithoutTheEntryPointOrForAFirstLibraryModel) {
  CliResult run = Cli({"keys", "print", "--port", "/dev/ttyS9", "--model", "ZT-400 A"});
  EXPECT_EQ(run.code, 7);
  EXPECT_NE(run.err.find("entry point"), std::string::npos);
  run = Cli({"keys", "print", "--port", "/dev/ttyS9", "--model", "ZP-980 R"});
  EXPECT_EQ(run.code, 8);
  EXPECT_NE(run.err.find("no public key"), std::string::npos);
  EXPECT_TRUE(ports_.records.empty());
  // `keys download` still takes its kind.
  EXPECT_EQ(Cli({"keys", "download", "pub", "--port", "/dev/ttyS9", "--model", "ZT-400 A", "-o", Path("k.pub")}).code,
            7);
}

}  // namespace
}  // namespace tervane::testing
