// The public-key print and the MF integrity check: the commands built for them, the key
// file's reading, and the flows over a fake library and scripted ports.
#include <gtest/gtest.h>

#include "core/app/model_table.h"
#include "core/fiscalmemory/key_print.h"
#include "core/fiscalmemory/memory_test_support.h"
#include "core/fiscalmemory/mf_integrity.h"
#include "core/common/text.h"
#include "core/protocol/frame_builder.h"

namespace tervane::testing {
namespace {

std::string g_pubContent;
bool g_writePub = true;
int g_integrityResult = 0;

int DownloadKey(const char* port, const char* file) {
  Record("PublicKey", {port, file});
  if (Log().result == 1 && g_writePub) std::ofstream(file, std::ios::binary) << g_pubContent;
  return Log().result;
}
int VerifyIntegrity(const char* mf, const char* txt, int reserved) {
  Record("Verify", {mf, txt, std::to_string(reserved)});
  return g_integrityResult;
}

const std::string kKey = [] {
  std::string key;
  for (int i = 0; i < 256; ++i) key += "0123456789ABCDEF"[(i * 7) % 16];
  return key;
}();

std::string KeyLines(const std::string& key) {
  std::string lines;
  for (int i = 0; i < 8; ++i) {
    lines += "        " + (i * 32u < key.size() ? key.substr(i * 32, 32) : std::string()) + "\r\n";
  }
  return lines;
}

// The printed texts, written out here as the report must read.
std::string ExpectedKeyText(const std::string& key) {
  return Cp("\r\n     Em  conformidade  com a cláusula sexagésima\r\n"
            "sétima,  inciso VIII  do  convênio  ICMS  85/01,\r\n"
            "acrescida  pelo  convênio  ICMS 29/07 transcrita\r\n"
            "abaixo:\r\n\r\n"
            "\"VIII  -  O  ECF deve autenticar digitalmente os\r\n"
            "arquivos  por  ele gerados utilizando-se padrões\r\n"
            "de chaves de mercado.\"\r\n\r\n"
            "Este ECF possui a seguinte chave pública:\r\n\r\n") +
         KeyLines(key) + "\r\n\r\n";
}

std::string ExpectedSignature(const std::string& place) {
  const std::string rule =
      "________________________________________________";  // 48
  return Cp("\r\n\r\n\r\n\r\n"
            "Na  condição  de  pretenso usuário do ECF abaixo\r\n"
            "identificado,  neste documento,  declaro  estar\r\n"
            "ciente  das  informações  acima  prestadas  pelo seu fabricante.\r\n\r\n"
            "Local:_______________________,   ") +
         place + "\r\n\r\n\r\n" + rule + Cp("                Nome do Usuário\r\n\r\n") + rule +
         Cp("                CPF do Usuário\r\n\r\n") + rule + Cp("             Assinatura do Usuário\r\n\r\n");
}

// The bytes a command puts on the wire after ESC and its command byte.
std::vector<std::uint8_t> ParameterBytes(CommandRecord command) {
  ProgramSettings settings;
  EXPECT_EQ(AssembleFrame(command, settings), kOk) << command.ResultText;
  const std::uint8_t* frame = command.frame.bytes.data();
  return std::vector<std::uint8_t>(frame + 5, frame + command.frame.length - 2);
}


TEST(PublicKeyCommandsTest, TitlesTextsAndBarcodeBytes) {
  const PublicKeyLines lines = {kKey, "KELO ZT-400 A N/S 123", "Fecha: 01/02/2024"};
  const std::vector<CommandRecord> commands = PublicKeyPrintCommands(lines);
  ASSERT_EQ(commands.size(), 4u);
  const std::vector<std::pair<const char*, int>> shape = {{"Chave Pública da impressora", 20},
                                                          {"Chave Pública da impressora 2", 20},
                                                          {"Chave Pública da impressora 2", 20},
                                                          {"Fechamento de Relatório Gerencial", 21}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(commands[i].title, Cp(shape[i].first));
    ASSERT_EQ(commands[i].escapeCount, 1);
    EXPECT_EQ(commands[i].escapeBytes[0], shape[i].second);
    EXPECT_TRUE(commands[i].returnFields.empty());
    for (const ParameterRecord& p : commands[i].parameters) EXPECT_TRUE(p.mandatory);
  }
  EXPECT_TRUE(commands[3].parameters.empty());

  ASSERT_EQ(commands[0].parameters.size(), 1u);
  EXPECT_EQ(commands[0].parameters[0].title, "Dados");
  EXPECT_EQ(commands[0].parameters[0].kind, "BIG_STRING_VAR_SIZE");
  EXPECT_EQ(commands[0].parameters[0].size, 620);
  EXPECT_EQ(commands[0].parameters[0].value, ExpectedKeyText(kKey));

  // 256 + 21 + 17 = 294 = 0126h, low byte first.
  const CommandRecord& barcode = commands[1];
  ASSERT_EQ(barcode.parameters.size(), 2u);
  EXPECT_EQ(barcode.parameters[0].title, "PDF417");
  EXPECT_EQ(barcode.parameters[0].kind, "DIG_HEX");
  EXPECT_EQ(barcode.parameters[0].size, 9);
  EXPECT_EQ(barcode.parameters[0].value, "1D6B80050402FF2601");
  EXPECT_EQ(barcode.parameters[1].kind, "STRING");
  EXPECT_EQ(barcode.parameters[1].size, 294);
  std::vector<std::uint8_t> wire = {0x1D, 0x6B, 0x80, 0x05, 0x04, 0x02, 0xFF, 0x26, 0x01};
  const std::string data = kKey + lines[1] + lines[2];
  wire.insert(wire.end(), data.begin(), data.end());
  EXPECT_EQ(ParameterBytes(barcode), wire);

  EXPECT_EQ(commands[2].parameters.at(0).kind, "BIG_STRING_VAR_SIZE");
  EXPECT_EQ(commands[2].parameters[0].value, ExpectedSignature("Data: 01/02/2024"));
}

TEST(PublicKeyCommandsTest, ShortKeyAndPlaceWithoutFecha) {
  // A 40-character key: two key lines, the second of 8 characters, then six empty ones.
  const PublicKeyLines lines = {kKey.substr(0, 40), "", "Sao Paulo, Fecha Fecha"};
  const std::vector<CommandRecord> commands = PublicKeyPrintCommands(lines);
  EXPECT_EQ(commands[0].parameters[0].value, ExpectedKeyText(kKey.substr(0, 40)));
  EXPECT_NE(ExpectedKeyText(kKey.substr(0, 40)).find("        \r\n        \r\n"), std::string::npos);
  // The barcode still counts 256 for the key: 256 + 0 + 22 = 278 = 0116h; the data is
  // padded with blanks at its end.
  EXPECT_EQ(commands[1].parameters[0].value, "1D6B80050402FF1601");
  const std::vector<std::uint8_t> bytes = ParameterBytes(commands[1]);
  ASSERT_EQ(bytes.size(), 9u + 278u);
  EXPECT_EQ(std::string(bytes.begin() + 9, bytes.end()),
            kKey.substr(0, 40) + lines[2] + std::string(278 - 40 - 22, ' '));
  // Every "Fecha" becomes "Data"; a line without it is printed as it is.
  EXPECT_EQ(commands[2].parameters[0].value, ExpectedSignature("Sao Paulo, Data Data"));
  EXPECT_EQ(PublicKeyPrintCommands({kKey, "x", "Sao Paulo 03/04/2025"})[2].parameters[0].value,
            ExpectedSignature("Sao Paulo 03/04/2025"));
}

TEST(PublicKeyFileTest, ThreeTextLinesOrNothing) {
  PublicKeyLines lines;
  EXPECT_EQ(ParsePublicKeyText(kKey + "\r\nL2\r\nFecha 1\r\n", lines), KeyFileProblem::kNone);
  EXPECT_EQ(lines, (PublicKeyLines{kKey, "L2", "Fecha 1"}));
  // LF alone, a last line without its end, lines beyond the third ignored.
  EXPECT_EQ(ParsePublicKeyText("AB\nL2\nL3", lines), KeyFileProblem::kNone);
  EXPECT_EQ(lines, (PublicKeyLines{"AB", "L2", "L3"}));
  EXPECT_EQ(ParsePublicKeyText("AB\n\n\nmore\n", lines), KeyFileProblem::kNone);
  EXPECT_EQ(lines, (PublicKeyLines{"AB", "", ""}));

  const std::vector<std::pair<std::string, KeyFileProblem>> bad = {
      {"", KeyFileProblem::kTooFewLines},
      {kKey, KeyFileProblem::kTooFewLines},
      {kKey + "\r\n", KeyFileProblem::kTooFewLines},
      {kKey + "\r\nL2\r\n", KeyFileProblem::kTooFewLines},
      {"\r\nL2\r\nL3\r\n", KeyFileProblem::kNoKey},
      {kKey + "0\r\nL2\r\nL3\r\n", KeyFileProblem::kKeyTooLong},
      {kKey + std::string("\r\nL\0002\r\nL3\r\n", 11), KeyFileProblem::kNotText},
      {std::string("\x01\x02\n\x7F\n\xFF\n", 7), KeyFileProblem::kNotText},
      {kKey + "\r\n" + std::string(5000, 'x') + "\r\nL3\r\n", KeyFileProblem::kTooLarge},
  };
  for (const auto& [text, problem] : bad) {
    EXPECT_EQ(ParsePublicKeyText(text, lines), problem) << text.size();
    EXPECT_FALSE(KeyFileProblemText(problem).empty());
  }
  EXPECT_EQ(ReadPublicKeyLines("/nonexistent/CP.pub", lines), KeyFileProblem::kUnreadable);
}

class KeyPrintTest : public MemoryToolTest {
 protected:
  void SetUp() override {
    MemoryToolTest::SetUp();
    loader_.Provide(kVendorLibrary2, "KeloDownloadPublicKey", &DownloadKey);
    loader_.Provide(kVendorLibrary2, "KeloDLLVerifyMFFileIntegrity", &VerifyIntegrity);
    SetModel(PadModelName("ZT-400 A"), 16384);
    g_pubContent = kKey + "\r\nLinha 2\r\nFecha 03/04/2025\r\n";
    g_writePub = true;
    FakePortScript accepted;
    accepted.reply = {Bytes({0x06, 0x00, 0x00})};
    ports_.defaultScript = accepted;
  }
  static FakePortScript Dead() {
    FakePortScript dead;
    dead.openOk = false;
    return dead;
  }
  // The text parameter of the n-th command sent, as it went on the wire.
  std::string SentText(size_t n) const {
    const std::vector<std::uint8_t>& sent = ports_.records.at(n)->sent;
    return std::string(sent.begin() + 5, sent.end() - 2);
  }
};

TEST_F(KeyPrintTest, PrintsTheFourCommandsAndRemovesTheKeyFile) {
  std::ofstream(Path("CP.pub")) << "stale";
  const KeyPrintResult result = PrintPublicKeyReport(context_);
  EXPECT_TRUE(result.outcome.succeeded);
  EXPECT_EQ(result.outcome.code, 1);
  EXPECT_EQ(Log().calls, std::vector<std::string>{"PublicKey(/dev/ttyFAKE|" + Path("CP.pub") + ")"});
  EXPECT_FALSE(std::filesystem::exists(Path("CP.pub")));
  EXPECT_TRUE(Messages().empty());
  ASSERT_EQ(ports_.records.size(), 4u);
  EXPECT_TRUE(ports_.AllClosedAndDestroyed());
  // What the printer received: the key in lines of 32 (CR LF sent as LF), the barcode,
  // the signature block with "Data", the close.
  std::string keyText = ExpectedKeyText(kKey);
  ReplaceAll(keyText, "\r\n", "\n");
  ToPrinterCharset(keyText);
  EXPECT_EQ(SentText(0), keyText);
  EXPECT_EQ(SentText(1).substr(9), kKey + "Linha 2" + "Fecha 03/04/2025");
  EXPECT_NE(SentText(2).find("Local:_______________________,   Data 03/04/2025\n"), std::string::npos);
  EXPECT_EQ(ports_.records[3]->sent, (std::vector<std::uint8_t>{0x02, 0x04, 0x00, 0x1B, 21, 0x30, 0x00}));
}

TEST_F(KeyPrintTest, EveryFailingCommandIsReportedAndTheNextOneStillRuns) {
  ports_.Script("/dev/ttyFAKE", FakePortScript(ports_.defaultScript));
  ports_.Script("/dev/ttyFAKE", Dead());  // the barcode
  KeyPrintResult result = PrintPublicKeyReport(context_);
  EXPECT_FALSE(result.outcome.succeeded);
  EXPECT_EQ(result.commandsRun, 4);
  EXPECT_EQ(result.commandsFailed, 1);
  EXPECT_EQ(ports_.records.size(), 4u);
  EXPECT_EQ(Messages(), std::vector<std::string>{Cp("ERRO DE COMUNICAÇÃO")});
  EXPECT_EQ(ports_.records[3]->sent[4], 21);

  // A port that never opens: four failures, four messages, the close still tried; each
  // command stops at the failed open, so nothing is written to the line.
  ports_.defaultScript = Dead();
  prompter_ = FakePrompter{};
  result = PrintPublicKeyReport(context_);
  EXPECT_EQ(result.commandsFailed, 4);
  EXPECT_EQ(Messages(), std::vector<std::string>(4, Cp("ERRO DE COMUNICAÇÃO")));
  ASSERT_EQ(ports_.records.size(), 8u);
  for (size_t i = 4; i < 8; ++i) EXPECT_TRUE(ports_.records[i]->sent.empty()) << i;
}

TEST_F(KeyPrintTest, AKeyFileUnfitForPrintingPrintsNothing) {
  const std::vector<std::string> unfit = {
      kKey + "\r\nLinha 2\r\n",             // two lines
      "",                                   // empty
      std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\n", 17),  // binary
      "AB\r\n" + std::string(3900, 'L') + "\r\nFecha\r\n",  // the barcode would overflow a frame
  };
  for (const std::string& content : unfit) {
    g_pubContent = content;
    prompter_ = FakePrompter{};
    const KeyPrintResult result = PrintPublicKeyReport(context_);
    EXPECT_NE(result.problem, KeyFileProblem::kNone);
    EXPECT_FALSE(result.outcome.succeeded);
    EXPECT_EQ(result.commandsRun, 0);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0], KeyFileProblemText(result.problem));
    EXPECT_FALSE(std::filesystem::exists(Path("CP.pub")));
  }
  EXPECT_TRUE(ports_.records.empty());

  // A library that reports success without writing the file: an old CP.pub is not taken.
  std::ofstream(Path("CP.pub")) << g_pubContent;
  g_writePub = false;
  EXPECT_EQ(PrintPublicKeyReport(context_).problem, KeyFileProblem::kUnreadable);
  EXPECT_TRUE(ports_.records.empty());
}

TEST_F(KeyPrintTest, OnlyADownloadOfOneGoesOnAndFirstLibraryModelsDoNothing) {
  Log().result = 3;
  PrintPublicKey(context_);
  EXPECT_EQ(Messages(), std::vector<std::string>{"Falha no envio do comando"});
  Log().result = 0;  // not the download's success
  PrintPublicKey(context_);
  EXPECT_TRUE(ports_.records.empty());
  EXPECT_FALSE(std::filesystem::exists(Path("CP.pub")));

  for (std::uint32_t mask : {8192u, 2048u, 1u}) {
    SetModel("", mask);
    prompter_ = FakePrompter{};
    Log().calls.clear();
    EXPECT_EQ(PrintPublicKey(context_).stage, MemoryStage::kNotAvailable);
    EXPECT_TRUE(Log().calls.empty());
    EXPECT_TRUE(prompter_.Requests().empty());
  }
}

// The reply of the model identification: ACK, the brand (15), model (20) and type (7),
// ST1 and ST2.
FakePortScript Identifies(const std::string& model) {
  const std::string fields = std::string(15, 'K') + PadModelName(model) + std::string(7, ' ');
  std::vector<std::uint8_t> reply = {0x06};
  reply.insert(reply.end(), fields.begin(), fields.end());
  reply.insert(reply.end(), {0x00, 0x00});
  FakePortScript script;
  script.reply = {Bytes(reply)};
  return script;
}

FakePortScript Cells(std::vector<std::uint16_t> counts) {
  std::vector<std::uint8_t> reply = {0x06};
  for (std::uint16_t c : counts) reply.insert(reply.end(), {std::uint8_t(c & 0xFF), std::uint8_t(c >> 8)});
  reply.insert(reply.end(), {0x00, 0x00});
  FakePortScript script;
  script.reply = {Bytes(reply)};
  return script;
}

TEST(MfIntegrityCommandsTest, BuiltAsDeclared) {
  const CommandRecord model = IntegrityModelCommand();
  EXPECT_EQ(model.escapeText, "35 60");
  EXPECT_EQ(model.declaredReturnSize, 42);
  ASSERT_EQ(model.returnFields.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(model.returnFields[i].kind, "ASCII");
  EXPECT_EQ(model.returnFields[0].size, 15);
  EXPECT_EQ(model.returnFields[1].size, 20);
  EXPECT_EQ(model.returnFields[2].size, 20);
  const CommandRecord older = MemoryCellsCommand(false);
  EXPECT_EQ(older.escapeBytes[0], 126);
  EXPECT_EQ(older.declaredReturnSize, 6);
  ASSERT_EQ(older.returnFields.size(), 1u);
  EXPECT_EQ(older.returnFields[0].kind, "VER_INT_MEM_FISCAL");
  EXPECT_EQ(older.returnFields[0].size, 6);
  const CommandRecord newer = MemoryCellsCommand(true);
  EXPECT_EQ(newer.escapeBytes[0], 95);
  EXPECT_EQ(newer.declaredReturnSize, 30);
  EXPECT_EQ(newer.returnFields.at(0).kind, "VER_INT_MEM_FISCAL_COMP");
  EXPECT_EQ(newer.returnFields[0].size, 30);
}

TEST_F(KeyPrintTest, IntegrityThroughThePort) {
  // Cancelled choice: nothing.
  EXPECT_EQ(CheckMfIntegrity(context_).stage, MemoryStage::kDialogCancelled);
  const auto choice = prompter_.RequestsOf(PromptKind::kChoice).at(0);
  EXPECT_EQ(choice.description, "Selecione a origem dos dados da MF");
  EXPECT_EQ(choice.labels, (std::vector<std::string>{Cp("Porta de Comunicação"), "Arquivo de MF"}));
  EXPECT_TRUE(ports_.records.empty());

  // A ZT-800 A answers the model query: the check stops before the cell command.
  ports_.Script("/dev/ttyFAKE", Identifies("ZT-800 A"));
  prompter_.QueueChoice(1);
  EXPECT_EQ(CheckMfIntegrity(context_).stage, MemoryStage::kNotAvailable);
  ASSERT_EQ(ports_.records.size(), 1u);
  EXPECT_EQ(ports_.records[0]->sent, (std::vector<std::uint8_t>{0x02, 0x05, 0x00, 0x1B, 35, 60, 0x7A, 0x00}));
  EXPECT_EQ(Messages(),
            std::vector<std::string>{Cp("Comando inexistente neste equipamento, faça verificação por arquivo!")});
  EXPECT_TRUE(prompter_.RequestsOf(PromptKind::kResults).empty());

  // Another model of the same code: the query, then "95".
  ports_.Script("/dev/ttyFAKE", Identifies("ZP-980 N"));
  ports_.Script("/dev/ttyFAKE", Cells({5, 5, 0, 1, 1, 0, 9, 9, 0, 2, 2, 0, 1, 1, 0}));
  SetModel(PadModelName("ZP-980 N"), 65536);
  MemoryOutcome outcome = CheckMfIntegrity(context_, IntegritySource::kPort);
  EXPECT_TRUE(outcome.succeeded);
  ASSERT_EQ(ports_.records.size(), 3u);
  EXPECT_EQ(ports_.records[2]->sent[4], 95);
  auto results = prompter_.RequestsOf(PromptKind::kResults);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_NE(results[0].description.find(Cp("Células de Reducao:\r\n Células gravadas:\t 9\r\n")), std::string::npos);
  EXPECT_EQ(results[0].caption.rfind("CMD: ", 0), 0u);

  // A query that fails does not stop the check.
  ports_.Script("/dev/ttyFAKE", Dead());
  ports_.Script("/dev/ttyFAKE", Cells({5, 5, 0, 1, 1, 0, 9, 8, 1, 2, 2, 0, 1, 1, 0}));
  outcome = CheckMfIntegrity(context_, IntegritySource::kPort);
  EXPECT_EQ(outcome.code, kOk);
  EXPECT_FALSE(outcome.succeeded);  // a reduction cell not OK
  EXPECT_NE(prompter_.RequestsOf(PromptKind::kResults)[1].description.find(
                Cp("ATENÇÃO: DETECTADAS CÉLULAS NÃO OK")),
            std::string::npos);

  // An older model: no query, command "126", its outcome in the results window.
  SetModel(PadModelName("ZK-140 B"), 16);
  const size_t before = ports_.records.size();
  ports_.Script("/dev/ttyFAKE", Cells({0x1234, 0x1234, 0}));
  outcome = CheckMfIntegrity(context_, IntegritySource::kPort);
  EXPECT_TRUE(outcome.succeeded);
  ASSERT_EQ(ports_.records.size(), before + 1);
  EXPECT_EQ(ports_.records.back()->sent[4], 126);
  results = prompter_.RequestsOf(PromptKind::kResults);
  EXPECT_NE(results.back().description.find(Cp("Número de células gravadas:\t4660 \r\n")), std::string::npos);

  ports_.Script("/dev/ttyFAKE", Cells({3, 2, 1}));
  EXPECT_FALSE(CheckMfIntegrity(context_, IntegritySource::kPort).succeeded);

  // A failed cell command: its text with a line end after it.
  ports_.Script("/dev/ttyFAKE", Dead());
  outcome = CheckMfIntegrity(context_, IntegritySource::kPort);
  EXPECT_EQ(outcome.code, kExchangeFailed);
  const std::string failed = prompter_.RequestsOf(PromptKind::kResults).back().description;
  ASSERT_GT(failed.size(), 2u);
  EXPECT_EQ(failed.substr(failed.size() - 2), "\r\n");
  EXPECT_TRUE(ports_.AllClosedAndDestroyed());
}

TEST_F(KeyPrintTest, IntegrityOfAFile) {
  g_integrityResult = 0;
  prompter_.QueueChoice(2).QueueOpenFile(Path("m.mf")).QueueSaveFile(Path("m.txt"));
  MemoryOutcome outcome = CheckMfIntegrity(context_);
  EXPECT_TRUE(outcome.succeeded);
  EXPECT_EQ(outcome.output, Path("m.txt"));
  EXPECT_EQ(Log().calls, std::vector<std::string>{"Verify(" + Path("m.mf") + "|" + Path("m.txt") + "|0)"});
  EXPECT_EQ(opened_, std::vector<std::string>{Path("m.txt")});
  EXPECT_EQ(prompter_.RequestsOf(PromptKind::kOpenFile)[0].caption,
            "Arquivos .MF (*.*)|*.*|Todos os Arquivos (*.*)|*.*||");
  EXPECT_EQ(prompter_.RequestsOf(PromptKind::kSaveFile)[0].caption,
            "Arquivo de texto(*.TXT)|*.TXT|Todos os Arquivos (*.*)|*.*||");
  EXPECT_TRUE(Messages().empty());
  EXPECT_TRUE(ports_.records.empty());

  // A failure: its message, nothing opened.
  g_integrityResult = 6;
  prompter_.QueueOpenFile(Path("m.mf")).QueueSaveFile(Path("m.txt"));
  EXPECT_FALSE(CheckMfIntegrity(context_, IntegritySource::kFile).succeeded);
  EXPECT_EQ(Messages(), std::vector<std::string>{Cp("Arquivos sem dados válidos.")});
  EXPECT_EQ(opened_.size(), 1u);

  // Either dialog cancelled, or a report that would replace the .mf: no call.
  prompter_.QueueOpenFile(Path("m.mf"));
  EXPECT_EQ(CheckMfIntegrity(context_, IntegritySource::kFile).stage, MemoryStage::kDialogCancelled);
  EXPECT_EQ(CheckMfIntegrity(context_, IntegritySource::kFile).stage, MemoryStage::kDialogCancelled);
  prompter_.QueueOpenFile(Path("m.mf")).QueueSaveFile(Path("m.mf"));
  EXPECT_EQ(CheckMfIntegrity(context_, IntegritySource::kFile).stage, MemoryStage::kDialogCancelled);
  EXPECT_EQ(Log().calls.size(), 2u);

  // First-library models: the function does not exist; no library is loaded.
  for (std::uint32_t mask : {1024u, 8192u}) {
    SetModel("", mask);
    prompter_ = FakePrompter{};
    EXPECT_EQ(CheckMfIntegrity(context_, IntegritySource::kFile).stage, MemoryStage::kNotAvailable);
    EXPECT_EQ(Messages(), std::vector<std::string>{Cp("Função não disponível.")});
  }
  EXPECT_EQ(Log().calls.size(), 2u);

  // Library or entry point missing.
  SetModel("", 16384);
  loader_ = FakeVendorLoader{};
  prompter_ = FakePrompter{};
  EXPECT_EQ(CheckMfIntegrity(context_, IntegritySource::kFile).stage, MemoryStage::kLibraryMissing);
  EXPECT_EQ(Messages(), std::vector<std::string>{Cp("Não foi possível carregar a DLL")});
}

}  // namespace
}  // namespace tervane::testing
