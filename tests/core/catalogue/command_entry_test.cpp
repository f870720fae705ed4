// The opening walk of the Command Dialog: which editors run, where a cancel stops the
// walk, and the computer-clock offer of the clock-setting command.
#include <gtest/gtest.h>

#include "core/catalogue/command_entry.h"
#include "core/common/charset.h"
#include "support/fake_clock.h"
#include "support/fake_prompter.h"

namespace tervane {
namespace {

using testing::FakeClock;
using testing::FakePrompter;
using testing::PromptKind;

ParameterRecord Param(const std::string& kind, int size, const std::string& value) {
  ParameterRecord p;
  p.kind = kind;
  p.size = size;
  p.value = value;
  p.title = kind;
  return p;
}

CommandRecord Command(const std::string& escape, std::vector<ParameterRecord> parameters) {
  CommandRecord c;
  c.escapeText = escape;
  c.parameters = std::move(parameters);
  return c;
}

TEST(CommandEntryTest, CommandWithoutParametersRunsAtOnceWithoutQuestions) {
  FakePrompter prompter;
  FakeClock clock;
  CommandRecord command = Command("2", {});
  EXPECT_TRUE(RunOpeningWalk(command, prompter, clock));
  EXPECT_TRUE(prompter.Requests().empty());
}

TEST(CommandEntryTest, WalkSkipsHiddenKindsAndStopsAtErroKeepingEarlierValues) {
  FakePrompter prompter;
  FakeClock clock;
  CommandRecord command = Command("35 60", {Param("STRING", 3, "d0"), Param("NOT_EDITABLE", 2, "NE"),
                                            Param("INTEGER", 4, "d2"), Param("DATA", 6, "d3"),
                                            Param("STRING", 3, "d4")});
  prompter.QueueText("ab").QueueNumber("7").QueueCancel(PromptKind::kDate);
  EXPECT_FALSE(RunOpeningWalk(command, prompter, clock));
  EXPECT_EQ(command.parameters[0].value, "ab ");
  EXPECT_EQ(command.parameters[1].value, "NE");  // never edited
  EXPECT_EQ(command.parameters[2].value, "0007");
  EXPECT_EQ(command.parameters[3].value, "d3");  // the cancelled one keeps its default
  EXPECT_EQ(command.parameters[4].value, "d4");  // and the walk went no further
  EXPECT_EQ(prompter.Requests().size(), 3u);
  EXPECT_EQ(prompter.Unscripted(), 0);

  // A composite editor's empty answer is a value, not a stop.
  std::vector<ParameterRecord> params = {Param("LEIT_DADOS_MEM_FISCAL", 3, "MF"), Param("STRING", 2, "")};
  prompter.QueueCancel(PromptKind::kChoice).QueueText("x");
  EXPECT_EQ(WalkParameterEditors(params, prompter, clock), -1);
  EXPECT_EQ(params[0].value, "");
  EXPECT_EQ(params[1].value, "x ");
}

TEST(CommandEntryTest, CommandWithOnlyHiddenParametersAsksNothing) {
  FakePrompter prompter;
  FakeClock clock;
  CommandRecord command = Command("8", {Param("NOT_EDITABLE", 1, "A"), Param("DIG_HEX_NOT_EDITABLE", 1, "0A")});
  EXPECT_FALSE(RunOpeningWalk(command, prompter, clock));
  EXPECT_TRUE(prompter.Requests().empty());
  EXPECT_EQ(command.parameters[1].value, "0A");
}

TEST(CommandEntryTest, AcceptedComputerClockFillsDateTimeAndDaylightSaving) {
  FakePrompter prompter;
  FakeClock clock;
  clock.SetLocal({2024, 3, 5, 9, 7, 3, 0});
  CommandRecord command =
      Command("2", {Param("DATA", 6, ""), Param("HORA", 6, ""), Param("STRING", 1, ""), Param("STRING", 1, "z")});
  prompter.QueueAcceptClock(true).QueueYesNo(true);
  EXPECT_TRUE(RunOpeningWalk(command, prompter, clock));
  EXPECT_EQ(command.parameters[0].value, "050324");
  EXPECT_EQ(command.parameters[1].value, "090703");
  EXPECT_EQ(command.parameters[2].value, "1");
  EXPECT_EQ(command.parameters[3].value, "z");
  ASSERT_EQ(prompter.Requests().size(), 2u);
  EXPECT_EQ(prompter.Requests()[0].description,
            Utf8ToCp1252Lossy("Aceitar data e horário do computador?\r\n\r\nData: 05/03/2024"));
  EXPECT_EQ(prompter.Requests()[1].description, Utf8ToCp1252Lossy("A data está correta?\r\n05/03/24"));
  EXPECT_EQ(prompter.Requests()[1].caption, "");
}

TEST(CommandEntryTest, DeclinedClockOfferFallsBackToTheWalk) {
  FakeClock clock;
  for (bool declineAtQuestion : {false, true}) {
    FakePrompter prompter;
    CommandRecord command = Command("2", {Param("DATA", 6, ""), Param("HORA", 6, ""), Param("STRING", 1, "")});
    if (declineAtQuestion) {
      prompter.QueueAcceptClock(false).QueueYesNo(false);
    } else {
      prompter.QueueCancel(PromptKind::kComputerClock);
    }
    prompter.QueueDate(2023, 12, 31).QueueTime(23, 59, 58).QueueText("0");
    EXPECT_FALSE(RunOpeningWalk(command, prompter, clock));
    EXPECT_EQ(command.parameters[0].value, "311223");
    EXPECT_EQ(command.parameters[1].value, "235958");
    EXPECT_EQ(command.parameters[2].value, "0");
    EXPECT_EQ(prompter.Unscripted(), 0);
  }
  // Only the escape text "2" itself is offered the clock.
  FakePrompter prompter;
  CommandRecord command = Command("2 ", {Param("STRING", 1, "")});
  prompter.QueueText("a");
  EXPECT_FALSE(RunOpeningWalk(command, prompter, clock));
  EXPECT_TRUE(prompter.RequestsOf(PromptKind::kComputerClock).empty());
}

TEST(CommandEntryTest, RowLabelMarksMandatoryParameters) {
  ParameterRecord p = Param("STRING", 1, "");
  p.title = "Nome";
  EXPECT_EQ(RowLabel(p), "Nome *");
  p.mandatory = false;
  EXPECT_EQ(RowLabel(p), "Nome");
}

}  // namespace
}  // namespace tervane
