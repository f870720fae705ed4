// Running sequences against scripted ports: banners and accumulated texts, the stop at
// the first failure, the run's cancel, the wait between commands, step mode, and
// repeated runs.
#include <gtest/gtest.h>

#include "core/sequences/sequence_test_support.h"
#include "core/sequences/sequence_runner.h"
#include "support/fake_clock.h"
#include "support/fake_port.h"
#include "support/fake_progress.h"
#include "support/fake_prompter.h"

namespace tervane::testing {
namespace {

const std::string kStart = Cp("\r\n***Início de execução de sequência de comandos***\r\n");
const std::string kEnd = Cp("\r\n***Fim de execução de sequência de comandos***\r\n");
const std::string kStepQuestion = Cp("Clique em OK para continuar a execução da sequência.");

FakePortScript Answer(std::vector<std::uint8_t> bytes) {
  FakePortScript script;
  script.reply = {Bytes(std::move(bytes))};
  return script;
}
// A reply without data in normal mode: ACK, ST1, ST2.
FakePortScript Ok() { return Answer({0x06, 0x00, 0x00}); }
FakePortScript Nak() { return Answer({0x15}); }

std::vector<CommandRecord> ThreeCommands() {
  return {MakeCommand("Primeiro", "6"), MakeCommand("Segundo", "7"), MakeCommand("Terceiro", "8")};
}

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class SequenceRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.g_workDir = dir.path();
    settings.g_portName = "COM1:";
  }
  void TearDown() override {
    EXPECT_TRUE(ports.AllClosedAndDestroyed());
    EXPECT_EQ(runProgress.openNow, 0);
    EXPECT_EQ(exchangeProgress.openNow, 0);
  }

  SequenceRunContext Context() {
    SequenceRunContext context;
    context.exchange = ExchangeContext{&settings, &ports, &clock, &exchangeProgress, &wait};
    context.progress = &runProgress;
    context.prompter = &prompter;
    return context;
  }
  // The escape byte each port was sent (the byte after ESC).
  std::vector<int> SentCommands() const {
    std::vector<int> bytes;
    for (const auto& r : ports.records) bytes.push_back(r->sent.size() > 4 ? r->sent[4] : -1);
    return bytes;
  }

  TempDir dir;
  ProgramSettings settings;
  FakeClock clock;
  FakePortFactory ports{&clock};
  FakeProgress exchangeProgress;
  FakeProgress runProgress;
  FakeWaitNotice wait;
  FakePrompter prompter;
};

TEST_F(SequenceRunnerTest, ASequenceWithoutCommandsGivesOnlyTheBanners) {
  CSequenceRunner runner({}, false, 0);
  EXPECT_EQ(runner.Run(Context()), 0);
  EXPECT_EQ(runner.ResultText(), kStart + "\r\n" + kEnd);
  EXPECT_EQ(runner.HexTrace(), "");
  EXPECT_EQ(runProgress.opens, 1);
  EXPECT_EQ(runProgress.upper, 0);
  EXPECT_TRUE(ports.records.empty());
}

TEST_F(SequenceRunnerTest, EveryCommandRunsInOrderAndTheTextsAccumulate) {
  for (int i = 0; i < 3; ++i) ports.Script("COM1:", Ok());
  CSequenceRunner runner(ThreeCommands(), false, 0);
  ASSERT_EQ(runner.Run(Context()), 0);

  EXPECT_EQ(SentCommands(), (std::vector<int>{6, 7, 8}));
  const auto& done = runner.Commands();
  ASSERT_EQ(done.size(), 3u);
  EXPECT_EQ(runner.ResultText(),
            kStart + done[0].ResultText + done[1].ResultText + done[2].ResultText + "\r\n" + kEnd);
  EXPECT_NE(done[2].ResultText.find("Terceiro"), std::string::npos);
  EXPECT_EQ(runner.HexTrace(), done[0].HexTrace + done[1].HexTrace + done[2].HexTrace);
  EXPECT_EQ(Count(runner.HexTrace(), "CMD:"), 3);

  EXPECT_EQ(runProgress.captions, std::vector<std::string>{Cp("Executando sequência")});
  EXPECT_EQ(runProgress.lower, 0);
  EXPECT_EQ(runProgress.upper, 3);
  EXPECT_EQ(runProgress.steps, 3);
  EXPECT_EQ(runProgress.closes, 1);
  EXPECT_EQ(clock.SleptMs(), 0);

  // Running again starts the texts afresh.
  for (int i = 0; i < 3; ++i) ports.Script("COM1:", Ok());
  ASSERT_EQ(runner.Run(Context()), 0);
  EXPECT_EQ(Count(runner.ResultText(), kStart), 1);
}

TEST_F(SequenceRunnerTest, TheFirstFailureEndsTheRunAfterItsTextAndTheClosingBanner) {
  ports.Script("COM1:", Ok());
  ports.Script("COM1:", Nak());
  ports.Script("COM1:", Ok());
  CSequenceRunner runner(ThreeCommands(), false, 1000);
  EXPECT_EQ(runner.Run(Context()), kExchangeFailed);

  EXPECT_EQ(SentCommands(), (std::vector<int>{6, 7}));  // the third is never sent
  const auto& done = runner.Commands();
  EXPECT_NE(done[1].ResultText.find(Cp("COMANDO NÃO RECEBIDO")), std::string::npos);
  EXPECT_EQ(runner.ResultText(), kStart + done[0].ResultText + done[1].ResultText + "\r\n" + kEnd);
  EXPECT_EQ(runner.HexTrace(), done[0].HexTrace + done[1].HexTrace);
  EXPECT_TRUE(done[2].ResultText.empty());
  // The wait follows the command that succeeded, not the one that failed.
  EXPECT_EQ(clock.SleptMs(), 1000);
  EXPECT_EQ(runProgress.closes, 1);
}

TEST_F(SequenceRunnerTest, AParameterErrorStopsTheRunBeforeAnythingIsSent) {
  std::vector<CommandRecord> commands = ThreeCommands();
  commands[0].parameters = {MakeParameter("Texto", "STRING", 10, true, "")};
  CSequenceRunner runner(commands, false, 0);
  EXPECT_EQ(runner.Run(Context()), kMandatoryEmpty);
  EXPECT_TRUE(ports.records.empty());
  EXPECT_NE(runner.ResultText().find(Cp("Parâmetro obrigatório não preenchido")), std::string::npos);
  EXPECT_TRUE(runner.ResultText().ends_with(kEnd));
}

TEST_F(SequenceRunnerTest, CancellingTheRunStopsBeforeTheNextCommandWithoutTheClosingBanner) {
  // The cancel is pressed while the first command is under way: seen at the next step.
  ports.Script("COM1:", Ok());
  runProgress.cancelAfterPolls = 1;
  CSequenceRunner runner(ThreeCommands(), false, 0);
  EXPECT_EQ(runner.Run(Context()), kSequenceCancelled);
  EXPECT_EQ(SentCommands(), (std::vector<int>{6}));
  EXPECT_EQ(runner.ResultText(), kStart + runner.Commands()[0].ResultText);
  EXPECT_EQ(runProgress.closes, 1);

  // Pressed during the wait, it cuts the wait short.
  ports.Script("COM1:", Ok());
  FakeProgress progress;
  progress.cancelAfterPolls = 1;
  SequenceRunContext context = Context();
  context.progress = &progress;
  CSequenceRunner waiting(ThreeCommands(), false, 60000);
  const std::int64_t slept = clock.SleptMs();
  EXPECT_EQ(waiting.Run(context), kSequenceCancelled);
  EXPECT_EQ(clock.SleptMs() - slept, 0);
  EXPECT_EQ(ports.records.size(), 2u);
}

TEST_F(SequenceRunnerTest, TheWaitFollowsEverySuccessfulCommandIncludingTheLast) {
  for (int i = 0; i < 3; ++i) ports.Script("COM1:", Ok());
  CSequenceRunner runner(ThreeCommands(), false, 2000);
  ASSERT_EQ(runner.Run(Context()), 0);
  EXPECT_EQ(clock.SleptMs(), 6000);
}

TEST_F(SequenceRunnerTest, StepModeAsksAfterEachCommandButTheLast) {
  // A single command never asks.
  ports.Script("COM1:", Ok());
  CSequenceRunner single({MakeCommand("Um", "6")}, true, 0);
  EXPECT_EQ(single.Run(Context()), 0);
  EXPECT_TRUE(prompter.Requests().empty());

  // OK goes on, Cancel ends the run at once with 0 and no closing banner.
  for (int i = 0; i < 3; ++i) ports.Script("COM1:", Ok());
  prompter.QueueOkCancel(true).QueueOkCancel(false);
  CSequenceRunner runner(ThreeCommands(), true, 0);
  EXPECT_EQ(runner.Run(Context()), 0);
  const auto questions = prompter.RequestsOf(PromptKind::kOkCancel);
  ASSERT_EQ(questions.size(), 2u);
  EXPECT_EQ(questions[0].description, kStepQuestion);
  EXPECT_EQ(ports.records.size(), 3u);  // the single command and two of the three
  EXPECT_EQ(runner.ResultText(), kStart + runner.Commands()[0].ResultText + runner.Commands()[1].ResultText);
  EXPECT_EQ(prompter.Unscripted(), 0);
}

TEST_F(SequenceRunnerTest, RepeatedRunsStopAfterAFailingRunWithTheCodeText) {
  const std::vector<CommandRecord> commands = ThreeCommands();
  for (int i = 0; i < 3; ++i) ports.Script("COM1:", Ok());  // first run
  ports.Script("COM1:", Ok());                               // second run: the second command fails
  ports.Script("COM1:", Nak());
  for (int i = 0; i < 3; ++i) ports.Script("COM1:", Ok());  // a third run would find these

  const SequenceExecution execution = ExecuteSequence(commands, 3, false, 0, Context());
  EXPECT_EQ(execution.code, kExchangeFailed);
  EXPECT_EQ(execution.runs, 2);
  EXPECT_EQ(ports.records.size(), 5u);
  EXPECT_EQ(Count(execution.resultText, kStart), 2);
  EXPECT_EQ(Count(execution.resultText, kEnd), 2);
  EXPECT_TRUE(execution.resultText.ends_with(kEnd + Cp("Falha no envio do comando")));
  EXPECT_EQ(Count(execution.hexTrace, "CMD:"), 5);
  // Each run used its own copies: the sequence itself is untouched.
  for (const CommandRecord& c : commands) EXPECT_TRUE(c.ResultText.empty() && c.HexTrace.empty());
}

TEST_F(SequenceRunnerTest, EachRunsCommandsAreHandedOverOnlyWhenAsked) {
  for (int i = 0; i < 3; ++i) ports.Script("COM1:", Ok());
  ports.Script("COM1:", Nak());  // the second run's first command fails
  std::vector<std::vector<CommandRecord>> runs;
  SequenceRunContext context = Context();
  context.runCommands = &runs;
  const SequenceExecution execution = ExecuteSequence(ThreeCommands(), 2, false, 0, context);
  EXPECT_EQ(execution.code, kExchangeFailed);
  ASSERT_EQ(runs.size(), 2u);
  ASSERT_EQ(runs[0].size(), 3u);
  for (const CommandRecord& c : runs[0]) EXPECT_EQ(c.replyData, (std::vector<std::uint8_t>{0x06, 0x00, 0x00}));
  EXPECT_EQ(runs[1][0].replyData, std::vector<std::uint8_t>{0x15});
  // The commands the failing run did not reach were never framed.
  EXPECT_EQ(runs[1][1].frame.length, 0u);
  EXPECT_TRUE(runs[1][2].ResultText.empty());
}

TEST_F(SequenceRunnerTest, AStepModeStopEndsOnlyThatRunAndACancelEndsThemAll) {
  for (int i = 0; i < 2; ++i) ports.Script("COM1:", Ok());
  prompter.QueueOkCancel(false).QueueOkCancel(false);
  SequenceExecution execution = ExecuteSequence(ThreeCommands(), 2, true, 0, Context());
  EXPECT_EQ(execution.code, 0);
  EXPECT_EQ(execution.runs, 2);
  EXPECT_EQ(SentCommands(), (std::vector<int>{6, 6}));

  ports.Script("COM1:", Ok());
  runProgress.cancelAfterPolls = runProgress.polls + 1;
  execution = ExecuteSequence(ThreeCommands(), 5, false, 0, Context());
  EXPECT_EQ(execution.code, kSequenceCancelled);
  EXPECT_EQ(execution.runs, 1);
  EXPECT_TRUE(execution.resultText.ends_with(Cp("Sequência cancelada.")));
}

TEST(SequenceCodeText, EachCodeHasItsText) {
  EXPECT_EQ(SequenceCodeText(0), "");
  EXPECT_EQ(SequenceCodeText(-6), Cp("Sequência cancelada."));
  EXPECT_EQ(SequenceCodeText(-5), Cp("Comando cancelado."));
  EXPECT_EQ(SequenceCodeText(-4), Cp("Falha no envio do comando"));
  EXPECT_EQ(SequenceCodeText(-3), Cp("Parâmetro com tamanho errado"));
  EXPECT_EQ(SequenceCodeText(-2), Cp("Parâmetro obrigatório não preenchido"));
  EXPECT_EQ(SequenceCodeText(-1), "ERRO");
  EXPECT_EQ(SequenceCodeText(-99), "ERRO");
}

TEST_F(SequenceRunnerTest, KindsTheCatalogueDoesNotKnowAreKeptAndRun) {
  // A sequence written by hand (or for another catalogue): an unknown command kind,
  // parameter kind and reply kind.
  const std::string file =
      "<?xml version='1.0' encoding='Windows-1252'?><sequencias><sequencia><titulo>X</titulo><cmd>"
      "<tipo>Inexistente</tipo><titulo>Novo</titulo><escape>51</escape><tamanho_retorno>0</tamanho_retorno>"
      "<tipo_retorno>RETORNO_NOVO</tipo_retorno>"
      "<parametro><titulo>P</titulo><valor>abc</valor><tamanho>3</tamanho><formato>FORMATO_NOVO</formato>"
      "<obrigatorio>S</obrigatorio></parametro></cmd></sequencia></sequencias>";
  std::vector<CSequence> read;
  ASSERT_EQ(ReadSequenceDocument(file, read), 0);
  ASSERT_EQ(read.size(), 1u);
  const CommandRecord& c = read[0].commands[0];
  EXPECT_EQ(c.group, "Inexistente");
  EXPECT_EQ(c.parameters[0].kind, "FORMATO_NOVO");
  EXPECT_EQ(c.returnKind, "RETORNO_NOVO");

  // Written back as read.
  std::string bytes;
  ASSERT_TRUE(WriteSequenceDocument(read, bytes));
  std::vector<CSequence> again;
  ASSERT_EQ(ReadSequenceDocument(bytes, again), 0);
  EXPECT_EQ(again[0].commands[0].parameters[0].kind, "FORMATO_NOVO");
  EXPECT_EQ(again[0].commands[0].parameters[0].value, "abc");

  // Run: the command goes out with its own escape byte.
  ports.Script("COM1:", Ok());
  CSequenceRunner runner(read[0].commands, false, 0);
  EXPECT_EQ(runner.Run(Context()), 0);
  EXPECT_EQ(SentCommands(), (std::vector<int>{51}));
}

}  // namespace
}  // namespace tervane::testing
