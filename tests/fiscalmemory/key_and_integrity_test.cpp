// The public-key print and the MF integrity check: the commands built for them, and the
// flows over a fake library and scripted ports.
#include <gtest/gtest.h>

#include "app/model_table.h"
#include "fiscalmemory/memory_integrity.h"
#include "fiscalmemory/memory_public_key.h"
#include "fiscalmemory/memory_test_support.h"

namespace tervane::testing {
namespace {

std::string g_pubContent;
int g_integrityResult = 0;

int DownloadKey(const char* port, const char* file) {
  Record("PublicKey", {port, file});
  if (Log().result == 1) std::ofstream(file, std::ios::binary) << g_pubContent;
  return Log().result;
}
int VerifyIntegrity(const char* mf, const char* txt, int reserved) {
  Record("Verify", {mf, txt, std::to_string(reserved)});
  return g_integrityResult;
}

const std::string kKey = [] {
  std::string key;
  for (int i = 0; i < 256; ++i) key += "0123456789ABCDEF"[i % 16];
  return key;
}();

TEST(PublicKeyCommandsTest, KeyTextBarcodeAndSignatureBlock) {
  const PublicKeyLines lines = {kKey, "ABC", "Fecha: 01/02/2024"};
  const std::vector<CommandRecord> commands = PublicKeyPrintCommands(lines);
  ASSERT_EQ(commands.size(), 4u);
  for (const CommandRecord& c : commands) EXPECT_EQ(c.escapeCount, 1);
  EXPECT_EQ(commands[0].escapeBytes[0], 20);
  EXPECT_EQ(commands[3].escapeBytes[0], 21);
  EXPECT_EQ(commands[3].title, Cp("Fechamento de Relatório Gerencial"));
  EXPECT_TRUE(commands[3].parameters.empty());

  const std::string& text = commands[0].parameters.at(0).value;
  EXPECT_EQ(commands[0].parameters[0].kind, "BIG_STRING_VAR_SIZE");
  EXPECT_EQ(commands[0].parameters[0].size, 620);
  const std::string keyBlock = Cp("Este ECF possui a seguinte chave pública:\r\n\r\n");
  ASSERT_NE(text.find(keyBlock), std::string::npos);
  std::string expected;
  for (int i = 0; i < 8; ++i) expected += "        " + kKey.substr(i * 32, 32) + "\r\n";
  EXPECT_EQ(text.substr(text.find(keyBlock) + keyBlock.size()), expected + "\r\n\r\n");

  // 256 + 3 + 17 = 276 = 0114h, low byte first.
  const CommandRecord& barcode = commands[1];
  EXPECT_EQ(barcode.title, Cp("Chave Pública da impressora 2"));
  EXPECT_EQ(barcode.parameters.at(0).kind, "DIG_HEX");
  EXPECT_EQ(barcode.parameters[0].value, "1D6B80050402FF1401");
  EXPECT_EQ(barcode.parameters.at(1).kind, "STRING");
  EXPECT_EQ(barcode.parameters[1].size, 276);
  EXPECT_EQ(barcode.parameters[1].value, kKey + "ABC" + "Fecha: 01/02/2024");

  const std::string& block = commands[2].parameters.at(0).value;
  EXPECT_NE(block.find("Local:_______________________,   Data: 01/02/2024\r\n\r\n\r\n"), std::string::npos);
  EXPECT_NE(block.find(std::string(48, '_') + Cp("             Assinatura do Usuário\r\n\r\n")), std::string::npos);
}

TEST(PublicKeyCommandsTest, ShortKeyAndPlaceWithoutFecha) {
  const PublicKeyLines lines = {kKey.substr(0, 40), "", "Sao Paulo"};
  const std::vector<CommandRecord> commands = PublicKeyPrintCommands(lines);
  const std::string& text = commands[0].parameters[0].value;
  EXPECT_NE(text.find("        " + kKey.substr(32, 8) + "\r\n        \r\n"), std::string::npos);
  // The barcode still counts 256 for the key.
  EXPECT_EQ(commands[1].parameters[0].value, "1D6B80050402FF0901");
  EXPECT_NE(commands[2].parameters[0].value.find("Local:_______________________,   Sao Paulo\r\n"), std::string::npos);
}

class KeyPrintTest : public MemoryToolTest {
 protected:
  void SetUp() override {
    MemoryToolTest::SetUp();
    loader_.Provide(kVendorLibrary2, "KeloDownloadPublicKey", &DownloadKey);
    loader_.Provide(kVendorLibrary2, "KeloDLLVerifyMFFileIntegrity", &VerifyIntegrity);
    SetModel(PadModelName("ZT-400 A"), 16384);
    g_pubContent = kKey + "\r\nLinha 2\r\nFecha 03/04/2025\r\n";
    FakePortScript accepted;
    accepted.reply = {Bytes({0x06, 0x00, 0x00})};
    ports_.defaultScript = accepted;
  }
};

TEST_F(KeyPrintTest, PrintsFourCommandsAndRemovesTheKeyFile) {
  FakePortScript dead;
  dead.openOk = false;
  ports_.Script("/dev/ttyFAKE", FakePortScript(ports_.defaultScript));
  ports_.Script("/dev/ttyFAKE", dead);  // the barcode command fails
  const MemoryOutcome outcome = PrintPublicKey(context_);
  EXPECT_EQ(outcome.code, 1);
  EXPECT_FALSE(outcome.succeeded);
  EXPECT_EQ(Log().calls, std::vector<std::string>{"PublicKey(/dev/ttyFAKE|" + Path("CP.pub") + ")"});
  EXPECT_FALSE(std::filesystem::exists(Path("CP.pub")));
  EXPECT_EQ(ports_.records.size(), 4u);  // the run goes on after the failure
  EXPECT_EQ(Messages(), std::vector<std::string>{Cp("ERRO DE COMUNICAÇÃO")});
  EXPECT_EQ(ports_.records[3]->sent[3], 0x1B);
  EXPECT_EQ(ports_.records[3]->sent[4], 21);
}

TEST_F(KeyPrintTest, OnlyADownloadOfOneGoesOnAndFirstLibraryModelsDoNothing) {
  Log().result = 3;
  PrintPublicKey(context_);
  EXPECT_EQ(Messages(), std::vector<std::string>{"Falha no envio do comando"});
  Log().result = 0;  // not the download's success
  PrintPublicKey(context_);
  EXPECT_TRUE(ports_.records.empty());

  SetModel(PadModelName("ZP-980 R"), 8192);
  prompter_ = FakePrompter{};
  Log().calls.clear();
  EXPECT_EQ(PrintPublicKey(context_).stage, MemoryStage::kNotAvailable);
  EXPECT_TRUE(Log().calls.empty());
  EXPECT_TRUE(prompter_.Requests().empty());
}

TEST_F(KeyPrintTest, IntegrityThroughThePort) {
  // Cancelled choice: nothing.
  EXPECT_EQ(CheckMfIntegrity(context_).stage, MemoryStage::kDialogCancelled);
  EXPECT_EQ(prompter_.RequestsOf(PromptKind::kChoice)[0].labels,
            (std::vector<std::string>{Cp("Porta de Comunicação"), "Arquivo de MF"}));

  // A ZT-800 A answers the model query: the check stops before the cell command.
  std::string model = std::string(15, 'K') + PadModelName("ZT-800 A") + std::string(7, ' ');
  std::vector<std::uint8_t> reply(model.size() + 3, 0x00);  // ACK, the fields, ST1 and ST2
  reply[0] = 0x06;
  std::copy(model.begin(), model.end(), reply.begin() + 1);
  FakePortScript identify;
  identify.reply = {Bytes(reply)};
  ports_.Script("/dev/ttyFAKE", identify);
  prompter_.QueueChoice(1);
  EXPECT_EQ(CheckMfIntegrity(context_).stage, MemoryStage::kNotAvailable);
  EXPECT_EQ(ports_.records.size(), 1u);
  EXPECT_EQ(Messages(), std::vector<std::string>{Cp("Comando inexistente neste equipamento, faça verificação por arquivo!")});

  // An older model: no query, command "126", its outcome in the results window.
  SetModel(PadModelName("ZK-140 B"), 16);
  FakePortScript cells;
  cells.reply = {Bytes({0x06, 0x00, 0x12, 0x34, 0x00, 0x56, 0x78, 0x00, 0x00})};
  ports_.Script("/dev/ttyFAKE", cells);
  const MemoryOutcome outcome = CheckMfIntegrity(context_, IntegritySource::kPort);
  EXPECT_TRUE(outcome.succeeded);
  ASSERT_EQ(ports_.records.size(), 2u);
  EXPECT_EQ(ports_.records[1]->sent[4], 126);
  const auto results = prompter_.RequestsOf(PromptKind::kResults);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_NE(results[0].caption.find("CMD: "), std::string::npos);

  // A failed cell command: its text with a line end after it.
  FakePortScript dead;
  dead.openOk = false;
  ports_.Script("/dev/ttyFAKE", dead);
  EXPECT_FALSE(CheckMfIntegrity(context_, IntegritySource::kPort).succeeded);
  const std::string failed = prompter_.RequestsOf(PromptKind::kResults)[1].description;
  ASSERT_GT(failed.size(), 2u);
  EXPECT_EQ(failed.substr(failed.size() - 2), "\r\n");
  EXPECT_NE(failed.substr(0, failed.size() - 2).back(), '\n');
}

TEST_F(KeyPrintTest, IntegrityOfAFile) {
  g_integrityResult = 0;
  prompter_.QueueChoice(2).QueueOpenFile(Path("m.mf")).QueueSaveFile(Path("m.txt"));
  EXPECT_TRUE(CheckMfIntegrity(context_).succeeded);
  EXPECT_EQ(Log().calls, std::vector<std::string>{"Verify(" + Path("m.mf") + "|" + Path("m.txt") + "|0)"});
  EXPECT_EQ(opened_, std::vector<std::string>{Path("m.txt")});
  EXPECT_EQ(prompter_.RequestsOf(PromptKind::kOpenFile)[0].caption,
            "Arquivos .MF (*.*)|*.*|Todos os Arquivos (*.*)|*.*||");

  // A failure: its message, nothing opened; the report may not replace the .mf.
  g_integrityResult = 6;
  prompter_.QueueOpenFile(Path("m.mf")).QueueSaveFile(Path("m.txt"));
  EXPECT_FALSE(CheckMfIntegrity(context_, IntegritySource::kFile).succeeded);
  EXPECT_EQ(Messages(), std::vector<std::string>{Cp("Arquivos sem dados válidos.")});
  EXPECT_EQ(opened_.size(), 1u);
  prompter_.QueueOpenFile(Path("m.mf")).QueueSaveFile(Path("m.mf"));
  EXPECT_EQ(CheckMfIntegrity(context_, IntegritySource::kFile).stage, MemoryStage::kDialogCancelled);
  EXPECT_EQ(Log().calls.size(), 2u);

  SetModel(PadModelName("ZT-300 A"), 1024);
  prompter_ = FakePrompter{};
  EXPECT_EQ(CheckMfIntegrity(context_, IntegritySource::kFile).stage, MemoryStage::kNotAvailable);
  EXPECT_EQ(Messages(), std::vector<std::string>{Cp("Função não disponível.")});
}

}  // namespace
}  // namespace tervane::testing
