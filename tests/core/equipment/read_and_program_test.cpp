// Reading a printer's configuration and programming it, against the simulated printer:
// both model groups, a printer that stops answering, the save questions, refusals
// outside technical intervention, and a full read-change-program-read cycle.
#include <fstream>
#include <functional>

#include "core/common/atomic_file.h"

#include "core/equipment/configuration_reader.h"
#include "core/equipment/equipment_programming.h"
#include "core/equipment/profile_file.h"
#include "core/equipment/equipment_support.h"
#include "sim/field_codec.h"
#include "support/fake_progress.h"
#include "support/fake_prompter.h"

namespace tervane::testing {
namespace {

const std::string kFailure = "Falha no envio do comando";

// The sheet as a person would use it: `edit` changes the pages, or the sheet is
// cancelled; the results shown are kept.
class ScriptedSheet final : public ProgrammingFrontEnd {
 public:
  bool EditProfile(ProfileSheet& sheet) override {
    ++edits;
    shown = sheet;
    if (cancel) return false;
    if (edit) edit(sheet);
    return true;
  }
  void ShowResults(const std::string& text, const std::string& trace) override {
    results.push_back(text);
    traces.push_back(trace);
  }
  bool cancel = false;
  std::function<void(ProfileSheet&)> edit;
  ProfileSheet shown;
  int edits = 0;
  std::vector<std::string> results, traces;
};

class EquipmentRunTest : public ::testing::Test {
 protected:
  void UsePrinter(const std::string& model) {
    printer = std::make_unique<SimPrinter>(model);
    settings = SettingsFor(model, dir.Path());
    context.exchange = ExchangeContext{&settings, printer.get(), &printer->clock, nullptr, &wait};
    context.prompter = &prompter;
    context.frontEnd = &sheet;
    context.profileFile = dir.File("equipamentos.xml");
  }
  void SetUp() override { UsePrinter("ZT-300 A"); }

  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const auto& r : prompter.RequestsOf(PromptKind::kMessage)) out.push_back(r.description);
    return out;
  }

  TempDir dir;
  std::unique_ptr<SimPrinter> printer;
  ProgramSettings settings;
  FakePrompter prompter;
  FakeWaitNotice wait;
  ScriptedSheet sheet;
  ProgrammingContext context;
};

TEST_F(EquipmentRunTest, ReadsANewerModel) {
  sim::PrinterState& s = printer->state;
  s.cnpj = "11.222.333/0001-44";
  s.ie = "ISENTO";
  s.uf = "RJ";
  s.till = "007";
  s.store = "0042";
  s.daylightSaving = true;
  s.passengerTicket = true;
  s.cliche = "\x1B\x45LOJA " + sim::PrinterText("AÇÃO") + "\x1B\x46\n\x1B\x2D\x01RUA\x1B\x2D\x30 \x1B\x57\x01X\x1B\x57\x02\n";
  s.rates[0] = "1800";
  s.rates[1] = "0700";
  s.rateCount = 2;
  s.issBound[1] = true;
  s.totalizerNames[0] = "SANGRIA";
  s.totalizerNames[29] = "ULTIMO";

  ProfileRecord p;
  ASSERT_EQ(ReadEquipmentConfiguration(p, context.exchange, &prompter), 0);
  EXPECT_TRUE(prompter.Requests().empty());
  EXPECT_EQ(p.serialNumber, "TV0100000000123");  // the printer's padding is not data
  EXPECT_EQ(p.cnpj, "11.222.333/0001-44");
  EXPECT_EQ(p.uf, "RJ");
  EXPECT_EQ(p.storeNumber, "0042");
  EXPECT_EQ(p.tillNumber, "007");
  EXPECT_EQ(p.date, "050324");  // the printer's clock is the fake host clock
  EXPECT_EQ(p.time, "143015");
  EXPECT_TRUE(p.daylightSaving);
  EXPECT_TRUE(p.passengerTicket);
  EXPECT_EQ(p.cliche, Cp("CLICHE_ENF_INI_XMLLOJA AÇÃOCLICHE_ENF_END_XML\r\nCLICHE_SUB_INI_XMLRUACLICHE_SUB_END_XML "
                         "CLICHE_EXP_INI_XMLXCLICHE_EXP_END_XML\r\n"));
  EXPECT_EQ(p.rates[0], "1800");
  EXPECT_EQ(p.rates[1], "0700");
  EXPECT_EQ(p.rates[2], "0000");
  EXPECT_EQ(p.issBinding, "0100000000000000");
  EXPECT_EQ(p.totalizerNames[0], "SANGRIA");
  EXPECT_EQ(p.totalizerNames[1], "");  // never named: blanks, read as no name
  EXPECT_EQ(p.totalizerNames[29], "ULTIMO");
}

TEST_F(EquipmentRunTest, ReadsAnOlderModel) {
  UsePrinter("ZK-110 B");
  printer->state.cnpj = "11.222.333/0001-44";
  printer->state.ie = "987654321";
  printer->state.totalizerNames[8] = "NONO";
  printer->state.totalizerNames[9] = "DECIMO";  // beyond what the older query reports
  ProfileRecord p;
  p.im = "kept?";
  p.uf = "SP";
  ASSERT_EQ(ReadEquipmentConfiguration(p, context.exchange, &prompter), 0);
  EXPECT_EQ(p.serialNumber, "TV0100000000123");
  EXPECT_EQ(p.cnpj, "11.222.333/0001-44");
  EXPECT_EQ(p.ie, "987654321");
  EXPECT_EQ(p.im, "");
  EXPECT_EQ(p.uf, "");
  EXPECT_EQ(p.totalizerNames[8], "NONO");
  EXPECT_EQ(p.totalizerNames[9], "");
}

TEST_F(EquipmentRunTest, ReadStopsOnceWhenThePrinterStopsAnswering) {
  printer->answerLimit = 5;  // serial and the four owner queries, then silence
  printer->state.cnpj = "CNPJ";
  ProfileRecord p;
  p.storeNumber = "untouched";
  EXPECT_EQ(ReadEquipmentConfiguration(p, context.exchange, &prompter), -4);
  EXPECT_EQ(Messages(), std::vector<std::string>{kFailure});
  EXPECT_EQ(printer->created, 6);  // nothing is tried after the silent one
  EXPECT_EQ(p.cnpj, "CNPJ");
  EXPECT_EQ(p.storeNumber, "untouched");

  // A cancel stops the read at the step it came in, keeping nothing of that step.
  FakeProgress progress;
  progress.cancelAfterPolls = 0;
  printer->created = 0;
  printer->answerLimit = -1;
  ExchangeContext cancelling = context.exchange;
  cancelling.progress = &progress;
  ProfileRecord untouched;
  ConfigurationReadReport report;
  EXPECT_EQ(ReadEquipmentConfiguration(untouched, cancelling, &prompter, &report), -5);
  EXPECT_EQ(printer->created, 1);
  EXPECT_EQ(untouched, ProfileRecord());
  EXPECT_FALSE(report.Whole());
  EXPECT_TRUE(report.read.empty());
  EXPECT_EQ(report.stoppedAt, Cp("Número de série"));
  printer->answerLimit = 5;

  // Through the dialog's "read from printer" way in, the sheet still opens with what was
  // read, and a cancelled sheet sends nothing more.
  ProgramEquipmentSession session(context);
  sheet.cancel = true;
  printer->created = 0;
  int read = 0;
  const ProgrammingOutcome outcome = session.ProgramFromPrinter(&read);
  EXPECT_EQ(read, -4);
  EXPECT_EQ(sheet.shown.general.serialNumber, "TV0100000000123");
  EXPECT_NE(sheet.shown.readWarning.find("CNPJ"), std::string::npos) << sheet.shown.readWarning;
  EXPECT_FALSE(outcome.accepted);
  EXPECT_EQ(printer->created, 6);
  EXPECT_TRUE(sheet.results.empty());
  EXPECT_FALSE(wait.visible);
}

TEST_F(EquipmentRunTest, ReadChangeSaveProgramAndReadBack) {
  printer->state.cnpj = "11.222.333/0001-44";
  printer->state.ie = "ISENTO";
  printer->state.uf = "SP";
  printer->state.rates[0] = "1800";
  printer->state.rateCount = 1;
  printer->state.totalizerNames[0] = "SANGRIA";
  sheet.edit = [](ProfileSheet& s) {
    s.taxRates.rates[1] = "1200";
    s.taxRates.iss[1] = true;
    s.general.im = "IM-55";
    s.totalizers.names[2] = "TROCO";
    s.totalizers.names[29] = "LAST";  // the last two positions are never sent
    s.general.automaticZ = true;
  };
  prompter.QueueYesNo(true);  // save the changes

  ProgramEquipmentSession session(context);
  const ProgrammingOutcome outcome = session.ProgramFromPrinter();
  ASSERT_TRUE(outcome.accepted);
  EXPECT_TRUE(outcome.saved);
  EXPECT_EQ(outcome.runResult, 0);
  EXPECT_EQ(outcome.commandsBuilt, 6 + 2 + 5);
  ASSERT_EQ(outcome.ran.size(), 13u);
  for (const auto& c : outcome.ran) EXPECT_FALSE(c.Refused()) << c.title;
  ASSERT_EQ(sheet.results.size(), 1u);
  EXPECT_NE(sheet.results[0].find(Cp("***Fim de execução de sequência de comandos***")), std::string::npos);
  EXPECT_FALSE(wait.visible);

  // The printer holds the new values, and a second read gives them back.
  EXPECT_EQ(printer->state.totalizerNames[29], "");
  EXPECT_TRUE(printer->state.automaticZ);
  ProfileRecord back;
  ASSERT_EQ(ReadEquipmentConfiguration(back, context.exchange, &prompter), 0);
  EXPECT_EQ(back.rates[0], "1800");
  EXPECT_EQ(back.rates[1], "1200");
  EXPECT_EQ(back.issBinding, "0100000000000000");
  EXPECT_EQ(back.im, "IM-55");
  EXPECT_EQ(back.totalizerNames[2], "TROCO");
  EXPECT_EQ(back.cliche, session.Profile().cliche);

  // The stored profile is the edited one, serial without spaces, without the password.
  ProfileList stored;
  ASSERT_EQ(LoadProfiles(context.profileFile, stored), 0);
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].serialNumber, "TV0100000000123");
  EXPECT_EQ(stored[0].totalizerNames[29], "LAST");
  EXPECT_EQ(session.Profile().password, kDefaultInterventionPassword);
}

TEST_F(EquipmentRunTest, SaveQuestionsNeverStopProgramming) {
  ProfileRecord p;
  p.serialNumber = "S 1";
  p.cnpj = "1";
  p.ie = "2";
  p.im = "3";
  p.uf = "SP";
  p.date = "050324";
  p.time = "101010";
  p.cliche = "C";
  p.tillNumber = "001";
  p.storeNumber = "0001";
  ProfileRecord other = p;
  other.serialNumber = "S1";
  other.client = "old";
  ASSERT_EQ(SaveProfiles(context.profileFile, {other, ProfileRecord()}), 0);

  // Yes to saving, No to replacing: "Registro não salvo", and the printer is programmed.
  prompter.QueueYesNo(true).QueueYesNo(false);
  ProgrammingOutcome outcome = RunProgramming(p, context);
  EXPECT_FALSE(outcome.saved);
  EXPECT_EQ(Messages(), std::vector<std::string>{Cp("Registro não salvo")});
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kYesNo)[1].description, Cp("Deseja substituir o registro já existente?"));
  EXPECT_EQ(outcome.runResult, 0);
  EXPECT_EQ(printer->state.cnpj, "1");

  // Yes and Yes: replaced, and moved to the end.
  prompter.QueueYesNo(true).QueueYesNo(true);
  EXPECT_TRUE(RunProgramming(p, context).saved);
  ProfileList stored;
  ASSERT_EQ(LoadProfiles(context.profileFile, stored), 0);
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[1].serialNumber, "S1");
  EXPECT_EQ(stored[1].client, "");

  // A file that is not well-formed is never overwritten.
  std::ofstream(context.profileFile, std::ios::trunc) << "<equipamentos><equipamento>";
  prompter.QueueYesNo(true);
  EXPECT_FALSE(RunProgramming(p, context).saved);
  std::string bytes;
  ReadWholeFile(context.profileFile, bytes);
  EXPECT_EQ(bytes, "<equipamentos><equipamento>");

  // A serial number made of blanks cannot be stored.
  p.serialNumber = "  ";
  prompter.QueueYesNo(true);
  EXPECT_EQ(RunProgramming(p, context).runResult, 0);
  EXPECT_EQ(Messages().back(), Cp("Para salvar o registro, é necessário informar um número de série."));
}

TEST_F(EquipmentRunTest, RefusalsSilenceAndAWrongPassword) {
  ProfileRecord p;
  p.cnpj = "1";
  p.ie = "2";
  p.im = "3";
  p.uf = "SP";
  p.date = "050324";
  p.time = "101010";
  p.cliche = "C";
  p.tillNumber = "001";
  p.storeNumber = "0001";

  // Outside technical intervention the owner command is refused, and nothing after it
  // is sent; the results say so at the top.
  printer->state.intervention = false;
  ProgrammingOutcome outcome = RunProgramming(p, context);
  EXPECT_EQ(outcome.runResult, 0);
  ASSERT_EQ(outcome.ran.size(), 1u);
  EXPECT_TRUE(outcome.ran[0].Refused());
  EXPECT_EQ(outcome.refused, std::vector<std::string>{"Programa CNPJ/IE/IM"});
  EXPECT_EQ(outcome.skipped.size(), static_cast<size_t>(outcome.commandsBuilt - 1));
  EXPECT_EQ(outcome.resultText.rfind(Cp("1 comando recusado pelo equipamento: Programa CNPJ/IE/IM\r\n"), 0), 0u)
      << outcome.resultText;
  EXPECT_NE(outcome.ran[0].resultText.find(Cp("COMANDO NÃO EXECUTADO")), std::string::npos)
      << outcome.ran[0].resultText;

  // A printer that stops answering: the run stops there and shows what ran.
  printer->state.intervention = true;
  printer->created = 0;
  printer->answerLimit = 3;
  outcome = RunProgramming(p, context);
  EXPECT_EQ(outcome.runResult, -4);
  ASSERT_EQ(outcome.ran.size(), 4u);
  EXPECT_NE(outcome.resultText.find(kFailure), std::string::npos);
  EXPECT_EQ(sheet.results.back(), outcome.resultText);

  // Cancelled in the sequence's own display after the first command: -6, no more sent.
  printer->answerLimit = -1;
  printer->created = 0;
  FakeProgress sequenceProgress;
  sequenceProgress.cancelAfterPolls = 1;
  context.sequenceProgress = &sequenceProgress;
  outcome = RunProgramming(p, context);
  context.sequenceProgress = nullptr;
  EXPECT_EQ(outcome.runResult, -6);
  EXPECT_EQ(printer->created, 1);
  EXPECT_EQ(outcome.ran.size(), 1u);

  // A password of the wrong length: the message, the first command refused by the
  // framing, and nothing sent.
  printer->answerLimit = -1;
  printer->created = 0;
  sheet.edit = [](ProfileSheet& s) { s.general.password = "C3C3"; };
  outcome = RunProgramming(p, context);
  EXPECT_EQ(Messages().back(), "Senha com tamanho errado");
  EXPECT_EQ(outcome.runResult, -2);
  EXPECT_EQ(outcome.ran.size(), 1u);
  EXPECT_EQ(printer->created, 0);
}

}  // namespace
}  // namespace tervane::testing
