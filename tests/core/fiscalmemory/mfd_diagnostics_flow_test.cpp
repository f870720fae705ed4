#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <fstream>
#include <string>

#include "core/common/settings.h"
#include "cli/cli_app.h"
#include "core/fiscalmemory/mfd_report_support.h"
#include "support/fake_progress.h"
#include "support/fake_prompter.h"

namespace tervane::testing {
namespace {

namespace fs = std::filesystem;

class MfdDiagnosticsFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tervane_mfd_diag_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    settings_.g_workDir = dir_.string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string WriteReport(const std::string& name, const std::string& text) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  static std::string SmallReport() {
    ReportBuilder r;
    r.Coo(1);
    r.PowerFailure();
    r.Coo(2);
    return r.Text();
  }

  fs::path dir_;
  ProgramSettings settings_;
  FakePrompter prompter_;
  FakeProgress progress_;
  std::vector<std::string> opened_;
  std::function<void(const std::string&)> opener_ = [this](const std::string& path) { opened_.push_back(path); };
};

TEST_F(MfdDiagnosticsFlow, WritesTheFindingsInTheWorkFolderAndOffersToOpenThem) {
  const std::string report = WriteReport("relatorio.txt", SmallReport());
  prompter_.QueueOpenFile(report).QueueYesNo(true);
  EXPECT_EQ(RunMfdDiagnostics(prompter_, progress_, settings_, opener_), kMfdDiagOk);

  const std::string output = (dir_ / "diagnostico_mfd.txt").string();
  EXPECT_EQ(ReadAll(output), Diagnose(SmallReport()));
  const auto open = prompter_.RequestsOf(PromptKind::kOpenFile);
  ASSERT_EQ(open.size(), 1u);
  EXPECT_EQ(open[0].title, "Relatorios da MFD");
  EXPECT_EQ(open[0].caption, "Arquivos de texto (*.txt)|*.txt|Todos os Arquivos (*.*)|*.*||");
  EXPECT_EQ(open[0].start2, "*.txt");
  EXPECT_EQ(progress_.captions, std::vector<std::string>{"Progresso"});
  EXPECT_EQ(progress_.messages, std::vector<std::string>{"Recebendo Retorno..."});
  EXPECT_EQ(progress_.upper, 10000);
  EXPECT_EQ(progress_.openNow, 0);
  const auto asked = prompter_.RequestsOf(PromptKind::kYesNo);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].description, "Arquivo criado com sucesso: \r\n" + output + "\r\nGostaria de abrir o documento agora?");
  EXPECT_EQ(opened_, std::vector<std::string>{output});
  EXPECT_EQ(prompter_.Unscripted(), 0);
}

TEST_F(MfdDiagnosticsFlow, NoAtTheSuccessPromptOpensNothing) {
  prompter_.QueueOpenFile(WriteReport("relatorio.txt", SmallReport())).QueueYesNo(false);
  EXPECT_EQ(RunMfdDiagnostics(prompter_, progress_, settings_, opener_), kMfdDiagOk);
  EXPECT_TRUE(opened_.empty());
  EXPECT_TRUE(fs::exists(dir_ / "diagnostico_mfd.txt"));
}

TEST_F(MfdDiagnosticsFlow, CancelledChoiceWritesNothing) {
  prompter_.QueueCancel(PromptKind::kOpenFile);
  EXPECT_EQ(RunMfdDiagnostics(prompter_, progress_, settings_, opener_), kMfdDiagCancelled);
  EXPECT_FALSE(fs::exists(dir_ / "diagnostico_mfd.txt"));
  EXPECT_EQ(progress_.opens, 0);
  EXPECT_TRUE(prompter_.RequestsOf(PromptKind::kYesNo).empty());
}

TEST_F(MfdDiagnosticsFlow, FailuresAreShownAndNeverMetWithTheSuccessPrompt) {
  // A report that is not there.
  prompter_.QueueOpenFile((dir_ / "nao_existe.txt").string());
  EXPECT_EQ(RunMfdDiagnostics(prompter_, progress_, settings_, opener_), kMfdDiagInputError);
  auto messages = prompter_.RequestsOf(PromptKind::kMessage);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Erro");
  EXPECT_NE(messages[0].description.find("\nArquivo: " + (dir_ / "nao_existe.txt").string()), std::string::npos);

  // The findings file chosen as the report: creating the findings would empty it.
  const std::string same = WriteReport("diagnostico_mfd.txt", SmallReport());
  prompter_.QueueOpenFile(same);
  EXPECT_EQ(RunMfdDiagnostics(prompter_, progress_, settings_, opener_), kMfdDiagSameFile);
  EXPECT_EQ(ReadAll(same), SmallReport());

  // A work folder where the findings file cannot be created.
  ProgramSettings missing = settings_;
  missing.g_workDir = (dir_ / "sem_pasta").string();
  prompter_.QueueOpenFile(WriteReport("relatorio.txt", SmallReport()));
  EXPECT_EQ(RunMfdDiagnostics(prompter_, progress_, missing, opener_), kMfdDiagOutputError);

  EXPECT_EQ(prompter_.RequestsOf(PromptKind::kMessage).size(), 3u);
  EXPECT_TRUE(prompter_.RequestsOf(PromptKind::kYesNo).empty());
  EXPECT_TRUE(opened_.empty());
  EXPECT_EQ(progress_.openNow, 0);
}

TEST_F(MfdDiagnosticsFlow, CommandLineWritesTheSameFindings) {
  const std::string report = WriteReport("relatorio.txt", SmallReport());
  const std::string output = (dir_ / "achados.txt").string();
  std::ostringstream out, err;
  NullProgressSink quiet;
  cli::CliContext context;
  context.progress = &quiet;
  EXPECT_EQ(cli::RunCli({"diagnose", report, "-o", output}, out, err, context), 0) << err.str();
  EXPECT_EQ(ReadAll(output), Diagnose(SmallReport()));
  EXPECT_NE(out.str().find("3 lines, 1 power failure(s), no errors found"), std::string::npos) << out.str();

  // Without -o the findings go to the work folder.
  std::ostringstream out2, err2;
  EXPECT_EQ(cli::RunCli({"diagnose", report, "--workdir", dir_.string()}, out2, err2, context), 0);
  EXPECT_EQ(ReadAll((dir_ / "diagnostico_mfd.txt").string()), Diagnose(SmallReport()));

  // The model of mask 4096 takes no date from the FAB: lines.
  ReportBuilder dated;
  dated.Fab("08/12/2026 04:05:06");
  dated.Coo(20);
  dated.Coo(5);
  const std::string datedReport = WriteReport("datado.txt", dated.Text());
  for (const char* model : {"ZT-300 A", "ZT-310 A"}) {
    std::ostringstream o, e;
    EXPECT_EQ(cli::RunCli({"diagnose", datedReport, "-o", output, "--model", model}, o, e, context), 0) << e.str();
    const bool dateTaken = ReadAll(output).find("\r\nData:08122026\r\nHora:040506\r\n") != std::string::npos;
    EXPECT_EQ(dateTaken, std::string(model) != "ZT-310 A") << model;
  }

  std::ostringstream out3, err3;
  EXPECT_EQ(cli::RunCli({"diagnose", (dir_ / "nao_existe.txt").string(), "-o", output}, out3, err3, context), 1);
  EXPECT_NE(err3.str().find("nao_existe.txt"), std::string::npos);
}

}  // namespace
}  // namespace tervane::testing
