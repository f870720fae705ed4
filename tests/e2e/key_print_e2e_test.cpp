// The public-key print and the integrity check against tervane-sim, with the memory
// libraries loaded for real: the key printed on the management report, read back from
// the printer's detail tape, is the key the printer hands out.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli_app.h"
#include "cli/cli_environment.h"
#include "core/common/atomic_file.h"
#include "core/common/charset.h"
#include "core/common/text.h"
#include "core/fiscalmemory/vendor_library.h"
#include "support/sim_process.h"
#include "vendor/formats/mfd_file.h"
#include "vendor/formats/pub_file.h"

namespace tervane::testing {
namespace {

namespace fs = std::filesystem;

struct CliResult {
  int code = -1;
  std::string out;
  std::string err;
};

class KeyPrintE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tervane_keyprint_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ::setenv(kVendorDirVariable, (fs::path(TERVANE_BIN_DIR) / ".." / "lib").c_str(), 1);
  }
  void TearDown() override {
    sim_.Kill();
    ::unsetenv(kVendorDirVariable);
    fs::remove_all(dir_);
  }

  bool StartSim(const std::string& model, std::vector<std::string> more = {}) {
    std::vector<std::string> args{"--pty", "--model", model};
    args.insert(args.end(), more.begin(), more.end());
    if (!sim_.Start(std::string(TERVANE_BIN_DIR) + "/tervane-sim", args)) return false;
    pty_ = sim_.Ready("pty", 15000);
    return !pty_.empty();
  }

  // Runs tervane-cli on the simulator's port, or with `onPort` false without a port.
  CliResult Cli(std::vector<std::string> args, bool onPort = true) {
    if (onPort) args.insert(args.end(), {"--port", pty_});
    args.insert(args.end(), {"--workdir", dir_.string()});
    cli::CliEnvironment environment;
    environment.catchInterrupt = false;
    std::ostringstream out, err;
    CliResult run;
    run.code = cli::RunCli(args, out, err, environment);
    run.out = out.str();
    run.err = err.str();
    return run;
  }

  // Everything the daily log holds (every exchange is logged; line ends CR LF).
  std::string DailyLog() {
    std::string all;
    if (!fs::exists(dir_ / "log")) return all;
    for (const auto& entry : fs::directory_iterator(dir_ / "log")) {
      std::string bytes;
      ReadWholeFile(entry.path().string(), bytes);
      all += bytes;
    }
    return all;
  }
  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }

  // The detail tape's management reports, downloaded from the printer.
  std::vector<vendor::MfdDocument> Reports() {
    const std::string file = (dir_ / "tape.mfd").string();
    const CliResult run = Cli({"mfd", "download", "-o", file});
    EXPECT_EQ(run.code, 0) << run.err;
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(file, bytes));
    vendor::MfdContents contents;
    EXPECT_TRUE(vendor::ReadMfd(bytes, contents).ok());
    std::vector<vendor::MfdDocument> reports;
    for (const vendor::MfdEntry& entry : contents.entries) {
      const auto* doc = std::get_if<vendor::MfdDocument>(&entry);
      if (doc && doc->kind == vendor::DocumentKind::kManagementReport) reports.push_back(*doc);
    }
    return reports;
  }

  fs::path dir_;
  SimProcess sim_;
  std::string pty_;
};

TEST_F(KeyPrintE2eTest, ThePrintedKeyIsThePrintersKey) {
  ASSERT_TRUE(StartSim("ZT-400 A"));
  const CliResult print = Cli({"keys", "print"});
  ASSERT_EQ(print.code, 0) << print.err;
  EXPECT_EQ(print.err, "");
  EXPECT_FALSE(fs::exists(dir_ / "CP.pub"));

  // The key as the printer hands it out.
  const std::string pub = (dir_ / "key.pub").string();
  ASSERT_EQ(Cli({"keys", "download", "pub", "-o", pub}).code, 0);
  std::string modulus, identity, date;
  ASSERT_TRUE(vendor::ReadPublicKeyFile(pub, modulus, &identity, &date).ok());
  const std::string key = HexText(modulus);
  ASSERT_EQ(key.size(), 256u);

  const std::vector<vendor::MfdDocument> reports = Reports();
  ASSERT_EQ(reports.size(), 1u);
  const std::vector<std::string>& lines = reports[0].lines;
  // Eight lines of 32 digits, each after eight blanks, below the announcement.
  const auto at = std::find(lines.begin(), lines.end(), Utf8ToCp1252Lossy("Este ECF possui a seguinte chave pública:"));
  ASSERT_NE(at, lines.end());
  ASSERT_GT(lines.end() - at, 10);
  EXPECT_EQ(*(at + 1), "");
  std::string printed;
  for (int i = 2; i < 10; ++i) {
    const std::string& line = *(at + i);
    ASSERT_EQ(line.size(), 40u) << line;
    EXPECT_EQ(line.substr(0, 8), "        ");
    printed += line.substr(8);
  }
  EXPECT_EQ(printed, key);

  // The barcode carries the key with lines 2 and 3; the signature block the date as "Data".
  const std::string barcodeData = key + identity + date;
  std::string barcode = std::string("\x1D\x6B\x80\x05\x04\x02\xFF", 7) +
                        static_cast<char>(barcodeData.size() & 0xFF) + static_cast<char>(barcodeData.size() >> 8) +
                        barcodeData;
  FromPrinterCharset(barcode);  // the tape holds the printed bytes as text
  EXPECT_NE(std::find(lines.begin(), lines.end(), barcode), lines.end());
  std::string place = date;
  ASSERT_EQ(place.rfind("Fecha", 0), 0u);
  place.replace(0, 5, "Data");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Local:_______________________,   " + place), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      std::string(48, '_') + Utf8ToCp1252Lossy("             Assinatura do Usuário")),
            lines.end());

  // The four commands went the normal way, into the daily log.
  const std::string log = DailyLog();
  EXPECT_EQ(Count(log, Utf8ToCp1252Lossy("\r\nChave Pública da impressora\t20\r\n")), 1);
  EXPECT_EQ(Count(log, Utf8ToCp1252Lossy("\r\nChave Pública da impressora 2\t20\r\n")), 2);
  EXPECT_EQ(Count(log, Utf8ToCp1252Lossy("\r\nFechamento de Relatório Gerencial\t21\r\n")), 1);
}

TEST_F(KeyPrintE2eTest, IntegrityThroughThePortByModel) {
  // A ZT-800 A is sent to the file check: nothing reaches the printer after its model.
  ASSERT_TRUE(StartSim("ZT-800 A"));
  CliResult run = Cli({"mf", "integrity", "--hex"});
  EXPECT_EQ(run.code, 8);
  EXPECT_EQ(run.err, "Comando inexistente neste equipamento, faça verificação por arquivo!\n");
  EXPECT_EQ(run.out, "");
  std::string log = DailyLog();
  EXPECT_EQ(Count(log, "\t35 60\r\n"), 2);  // the CLI's model query, then the check's
  EXPECT_EQ(Count(log, "\t95\r\n") + Count(log, "\t126\r\n"), 0);
  sim_.Kill();

  ASSERT_TRUE(StartSim("ZT-500 A"));
  run = Cli({"mf", "integrity"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("Células iniciais:"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("ATENÇÃO"), std::string::npos);
  log = DailyLog();
  EXPECT_EQ(Count(log, "\t95\r\n"), 1);
  sim_.Kill();

  // An older model, as chosen in the settings (detection does not recognise it).
  ASSERT_TRUE(StartSim("ZK-140 B"));
  run = Cli({"mf", "integrity", "--model", "ZK-140 B"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("Número de células gravadas:"), std::string::npos) << run.out;
  EXPECT_EQ(Count(DailyLog(), "\t126\r\n"), 1);
}

TEST_F(KeyPrintE2eTest, IntegrityOfADownloadedMemoryFile) {
  ASSERT_TRUE(StartSim("ZT-400 A", {"--history", "3"}));
  const std::string mf = (dir_ / "m.mf").string();
  ASSERT_EQ(Cli({"mf", "download", "-o", mf}).code, 0);

  // Without the printer's key beside it the file cannot pass: the report says which key
  // it looked for.
  const std::string report = (dir_ / "r.txt").string();
  CliResult run = Cli({"mf", "integrity", "--file", mf, "-o", report, "--model", "ZT-400 A"}, false);
  EXPECT_EQ(run.code, 8);
  std::string text;
  ASSERT_TRUE(ReadWholeFile(report, text));
  EXPECT_EQ(text.find(Utf8ToCp1252Lossy("ÍNTEGRA")), std::string::npos) << text;
  EXPECT_NE(text.find((dir_ / "m.pub").string()), std::string::npos) << text;
  EXPECT_NE(run.err.find("FALHA: Chave pública não encontrada: esperado o arquivo " + (dir_ / "m.pub").string()),
            std::string::npos)
      << run.err;

  // With the key downloaded beside it, the file passes.
  ASSERT_EQ(Cli({"keys", "download", "pub", "-o", (dir_ / "m.pub").string()}).code, 0);
  sim_.Kill();
  run = Cli({"mf", "integrity", "--file", mf, "-o", report, "--model", "ZT-400 A"}, false);
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, report + "\n");
  ASSERT_TRUE(ReadWholeFile(report, text));
  EXPECT_NE(text.find(Utf8ToCp1252Lossy("RESULTADO: MEMÓRIA FISCAL ÍNTEGRA")), std::string::npos) << text;

  // One byte changed in the middle: the library's failure, and the report of its findings.
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(mf, bytes));
  bytes[bytes.size() / 2] ^= 0x20;
  const std::string spoiled = (dir_ / "spoiled.mf").string();
  std::ofstream(spoiled, std::ios::binary) << bytes;
  run = Cli({"mf", "integrity", "--file", spoiled, "--model", "ZT-400 A"}, false);
  EXPECT_EQ(run.code, 8);
  // The library's status message, then the findings.
  EXPECT_EQ(run.err.rfind("Arquivos sem dados válidos.\nFALHA: ", 0), 0u) << run.err;
  const std::string findings = (dir_ / "spoiled_integridade.txt").string();
  EXPECT_EQ(run.out, findings + "\n");
  ASSERT_TRUE(ReadWholeFile(findings, text));
  EXPECT_EQ(text.find(Utf8ToCp1252Lossy("RESULTADO: MEMÓRIA FISCAL ÍNTEGRA")), std::string::npos) << text;
}

}  // namespace
}  // namespace tervane::testing
