// The MF integrity check: a sound signed file passes; damaged records, broken sequences
// and bad signatures are each reported, with the status that says the file failed.
#include <gtest/gtest.h>

#include <string>

#include "vendor/reports/mf_integrity.h"
#include "core/common/text.h"
#include "vendor/formats/signature.h"
#include "vendor/reports/sample_memories.h"
#include "vendor/reports/vendor_test_files.h"

namespace tervane {
namespace {

using namespace vendortest;

class MfIntegrity : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(vendor::GenerateRsaKey(1024, key_, modulus_)); }

  static std::string Signed(const std::string& body, const std::string& key = key_) {
    std::string signature;
    EXPECT_TRUE(vendor::SignRsaSha256(key, body, signature));
    return body + signature;
  }

  // Writes memory.mf (and memory.pub unless told not to), runs the check, returns the
  // status; the report is in report_.
  int Check(const std::string& bytes, bool withKey = true) {
    WriteBytes(folder_ / "memory.mf", bytes);
    if (withKey)
      WriteBytes(folder_ / "memory.pub",
                 HexText(modulus_) + "\r\nQUORVEXA ZT-310 A\r\nFecha: 07/12/2026\r\n");
    const int code = entry_((folder_ / "memory.mf").c_str(), (folder_ / "check.txt").c_str(), 0);
    report_ = ReadBytes(folder_ / "check.txt");
    return code;
  }

  bool Says(const char* utf8) const { return report_.find(Cp(utf8)) != std::string::npos; }

  static inline std::string key_, modulus_;
  ScratchFolder folder_;
  std::string report_;
  KeloLibrary library_;
  int (*entry_)(const char*, const char*, int) =
      library_.Entry<int(const char*, const char*, int)>("KeloDLLVerifyMFFileIntegrity");
};

TEST_F(MfIntegrity, SoundSignedFilePassesOnlyWithItsKey) {
  const std::string file = Signed(vendor::MfFileBytes(SampleMf()));
  EXPECT_EQ(Check(file), 0);
  EXPECT_TRUE(Says("Assinatura: VÁLIDA"));
  EXPECT_TRUE(Says("Reduções Z: 5"));
  EXPECT_TRUE(Says("Alterações de usuário: 1"));
  EXPECT_TRUE(Says("RESULTADO: MEMÓRIA FISCAL ÍNTEGRA"));
  EXPECT_FALSE(Says("FALHA:"));

  // Without the key the signature cannot be checked: the file does not pass, and the
  // report names the key it looked for. A signature with changed bytes fails the same way.
  ScratchFolder other;
  std::string corrupted = file;
  corrupted[corrupted.size() - 5] ^= 0x20;
  for (const std::string& bytes : {file, corrupted}) {
    WriteBytes(other / "alone.mf", bytes);
    EXPECT_EQ(entry_((other / "alone.mf").c_str(), (other / "r.txt").c_str(), 0), 6);
    const std::string report = ReadBytes(other / "r.txt");
    EXPECT_NE(report.find(Cp("NÃO VERIFICADA (chave pública não encontrada)")), std::string::npos);
    EXPECT_NE(report.find(Cp("Chave pública não encontrada: esperado o arquivo ") + (other / "alone.pub")),
              std::string::npos);
    EXPECT_EQ(report.find(Cp("ÍNTEGRA")), std::string::npos);
  }
  WriteBytes(other / "alone.pub", "not a key\r\nline\r\nline\r\n");
  EXPECT_EQ(entry_((other / "alone.mf").c_str(), (other / "r.txt").c_str(), 0), 6);
  EXPECT_NE(ReadBytes(other / "r.txt").find(Cp("não é uma chave válida")), std::string::npos);
}

TEST_F(MfIntegrity, EveryDamagedRecordIsListedByItsOffset) {
  const std::string body = vendor::MfFileBytes(SampleMf());
  std::string damaged = body;
  damaged[60] ^= 0x01;                 // inside the header record
  damaged[body.size() - 40] ^= 0x01;   // inside the last reduction
  EXPECT_EQ(Check(Signed(damaged)), 6);
  size_t sums = 0;
  for (size_t at = report_.find("Soma do registro"); at != std::string::npos;
       at = report_.find("Soma do registro", at + 1))
    ++sums;
  EXPECT_EQ(sums, 2u);
  EXPECT_TRUE(Says("Soma do registro no byte 4 (tipo 01h)"));
  EXPECT_TRUE(Says("RESULTADO: 2 FALHA(S) ENCONTRADA(S)"));

  EXPECT_EQ(Check(body.substr(0, body.size() - 30)), 6);
  EXPECT_TRUE(Says("além do fim do arquivo"));
  EXPECT_EQ(Check("KMF\x01"), 6);
  EXPECT_TRUE(Says("Registro incompleto no byte 4"));
  EXPECT_EQ(Check("not a fiscal memory"), 6);
  EXPECT_TRUE(Says("não é um arquivo de Memória Fiscal"));
}

TEST_F(MfIntegrity, BrokenSequencesOfReductionsAreFaults) {
  vendor::MfContents gap = SampleMf();
  std::get<vendor::MfReduction>(gap.entries[2]).crz = 4;  // 1, 2, 4, (user change), 4, 5
  EXPECT_EQ(Check(Signed(vendor::MfFileBytes(gap))), 6);
  EXPECT_TRUE(Says("CRZ 4 fora de sequência: esperada a CRZ 3"));
  EXPECT_TRUE(Says("Alteração de usuário 002 registra CRZ 3; a última redução é a CRZ 4"));

  vendor::MfContents total = SampleMf();
  std::get<vendor::MfReduction>(total.entries[1]).grandTotal += 1;
  EXPECT_EQ(Check(Signed(vendor::MfFileBytes(total))), 6);
  EXPECT_TRUE(Says("CRZ 2: o GT não é o GT anterior somado à venda bruta do dia"));
  EXPECT_TRUE(Says("CRZ 3: o GT não é"));  // the next day no longer adds up either

  vendor::MfContents back = SampleMf();
  std::get<vendor::MfReduction>(back.entries[2]).coo = 5;
  std::get<vendor::MfReduction>(back.entries[2]).movement = At(1, 11, 0);
  EXPECT_EQ(Check(Signed(vendor::MfFileBytes(back))), 6);
  EXPECT_TRUE(Says("CRZ 3: COO 5 não é maior"));
  EXPECT_TRUE(Says("CRZ 3: data de movimento 01/11/2026 anterior"));
}

TEST_F(MfIntegrity, MissingForeignOrCutSignaturesAreFaults) {
  const std::string body = vendor::MfFileBytes(SampleMf());
  EXPECT_EQ(Check(body), 6);
  EXPECT_TRUE(Says("Assinatura: AUSENTE"));

  std::string otherKey, otherModulus;
  ASSERT_TRUE(vendor::GenerateRsaKey(1024, otherKey, otherModulus));
  EXPECT_EQ(Check(Signed(body, otherKey)), 6);
  EXPECT_TRUE(Says("A assinatura não confere com a chave pública."));

  EXPECT_EQ(Check(Signed(body).substr(0, body.size() + 100)), 6);
  EXPECT_TRUE(Says("não são uma assinatura"));
}

TEST_F(MfIntegrity, UnreadableInputAndUnwritableReport) {
  EXPECT_EQ(entry_((folder_ / "none.mf").c_str(), (folder_ / "r.txt").c_str(), 0), 6);
  EXPECT_NE(ReadBytes(folder_ / "r.txt").find(Cp("Não foi possível ler o arquivo.")),
            std::string::npos);
  WriteBytes(folder_ / "memory.mf", Signed(vendor::MfFileBytes(SampleMf())));
  EXPECT_EQ(entry_((folder_ / "memory.mf").c_str(), (folder_ / "no/r.txt").c_str(), 0), 4);
  EXPECT_EQ(entry_(nullptr, nullptr, 0), 4);
}

}  // namespace
}  // namespace tervane
