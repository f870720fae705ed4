// The whole road against tervane-sim: the memories downloaded by the library, then every
// report, database, record and check made from them, each as the workbench calls it.
#include <gtest/gtest.h>

#include <string>

#include "support/sim_process.h"
#include "vendor/formats/mfd_file.h"
#include "vendor/reports/ead_signature.h"
#include "vendor/reports/sample_memories.h"
#include "vendor/reports/vendor_test_files.h"

namespace tervane {
namespace {

using namespace vendortest;
using TwoTexts = int(const char*, const char*);
using SixTexts = int(const char*, const char*, const char*, const char*, const char*, const char*);

TEST(SimulatorFlow, DownloadedMemoriesGiveEveryReportAndPassEveryCheck) {
  ScratchFolder folder;
  ::tervane::testing::SimProcess sim;
  ASSERT_TRUE(sim.Start(std::string(TERVANE_BIN_DIR) + "/tervane-sim",
                        {"--pty", "--history", "3", "--power-failure", "--model", "ZT-310 A",
                         "--brand", "QUORVEXA"}));
  const std::string pty = sim.Ready("pty", 15000);
  ASSERT_FALSE(pty.empty());

  KeloLibrary one("libKeloMFD.so"), two;
  const std::string mf = folder / "memoria.mf", mfd = folder / "fita.mfd";
  const std::string pub = folder / "memoria.pub";
  ASSERT_EQ(two.Entry<TwoTexts>("KeloDownloadPublicKey")(pty.c_str(), pub.c_str()), 1);
  ASSERT_EQ(one.Entry<TwoTexts>("KeloDownloadMF")(pty.c_str(), mf.c_str()), 1);
  ASSERT_EQ(one.Entry<SixTexts>("KeloDownloadMFD")(pty.c_str(), mfd.c_str(), "0", "", "", ""), 1);
  sim.Kill();

  // Signatures, and the integrity check that finds the key beside the .mf.
  EXPECT_EQ(two.Entry<TwoTexts>("KeloValidate")(mf.c_str(), pub.c_str()), 0);
  EXPECT_EQ(two.Entry<TwoTexts>("KeloValidate")(mfd.c_str(), pub.c_str()), 0);
  const std::string check = folder / "integridade.txt";
  EXPECT_EQ(two.Entry<int(const char*, const char*, int)>("KeloDLLVerifyMFFileIntegrity")(
                mf.c_str(), check.c_str(), 0),
            0)
      << Cp1252ToUtf8(ReadBytes(check));
  EXPECT_NE(ReadBytes(check).find(Cp("Assinatura: VÁLIDA")), std::string::npos);
  EXPECT_NE(ReadBytes(check).find(Cp("Reduções Z: 3")), std::string::npos);

  // Text documents: one COO line per document of the tape, the power failure printed.
  vendor::MfdContents tape;
  ASSERT_TRUE(vendor::ReadMfdFile(mfd, tape).ok());
  size_t documents = 0;
  for (const auto& entry : tape.entries) documents += std::holds_alternative<vendor::MfdDocument>(entry);
  ASSERT_GT(documents, 10u);
  const std::string txt = folder / "documentos.txt";
  one.Entry<void(const char*, const char*)>("KeloGeraTxtTotal")(mfd.c_str(), txt.c_str());
  const std::string text = ReadBytes(txt);
  size_t cooLines = 0;
  for (size_t at = text.find("COO:"); at != std::string::npos; at = text.find("COO:", at + 1))
    if (at - (text.rfind('\n', at) + 1) == 38) ++cooLines;
  EXPECT_EQ(cooLines, documents);
  EXPECT_NE(text.find("QUORVEXA        ZT-310 A             ECF-IF"), std::string::npos);
  EXPECT_NE(text.find("FALTA DE ENERGIA - RETORNO"), std::string::npos);

  // Database, MF report, Type E records with their EAD line.
  const std::string db = folder / "documentos.mdb";
  one.Entry<void(const char*, const char*)>("KeloGeraMdbTotal")(mfd.c_str(), db.c_str());
  EXPECT_TRUE(Exists(db));
  const std::string report = folder / "lmf.txt";
  EXPECT_EQ(one.Entry<int(const char*, const char*, const char*, const char*, const char*)>(
                "KeloRelatorioMFTxt")(mf.c_str(), report.c_str(), "C", "000001", "999999"),
            0);
  EXPECT_NE(ReadBytes(report).find(Cp("REDUÇÕES NO PERÍODO")), std::string::npos);

  using TypeE = int(const char*, const char*, const char*, const char*, const char*, const char*,
                    const char*, const char*, const char*, const char*, const char*, const char*,
                    const char*, const char*, const char*, const char*, const char*, const char*,
                    const char*, const char*, const char*, const char*);
  const std::string records = folder / "tipoe.txt";
  const char* e = "";
  for (const char* type : {"0", "1", "2", "3"}) {
    const std::string& in = std::string(type) == "0" ? mf : mfd;
    EXPECT_EQ(one.Entry<TypeE>("KeloGeraRegistrosParciaisTipoE")(
                  in.c_str(), records.c_str(), "0", "000000", "999999", e, e, "ZT-310 A", type, e,
                  e, e, e, e, e, e, e, e, e, e, e, e),
              0)
        << type;
  }
  one.Entry<void(const char*)>("KeloDLLGeraRegistroEAD")(records.c_str());
  EXPECT_TRUE(HasValidEadLine(ReadBytes(records)));
}

}  // namespace
}  // namespace tervane
