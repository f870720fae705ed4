// The rules of the sequence window, driven through scripted answers: names, saving with
// the replace question, "Nova", deleting, switching files and the lists.
#include <gtest/gtest.h>

#include "core/sequences/sequence_test_support.h"
#include "core/sequences/sequence_editor.h"
#include "support/fake_progress.h"
#include "support/fake_prompter.h"

namespace tervane::testing {
namespace {

const char kCatalogue[] =
    "<?xml version='1.0' encoding='UTF-8'?>\n<comandos>\n"
    "<cmd><tipo>Leituras</tipo><equipamentos_hab>1</equipamentos_hab><titulo>Leitura X</titulo><escape>6</escape></cmd>\n"
    "<cmd><tipo>Cupom</tipo><equipamentos_hab>2</equipamentos_hab><titulo>Venda</titulo><escape>9</escape>\n"
    "  <parametro><titulo>Código</titulo><tamanho>13</tamanho><formato>STRING_VAR_SIZE</formato><obrigatorio>S</obrigatorio><valor>123</valor></parametro>\n"
    "  <parametro><titulo>Descrição</titulo><formato>NOT_EDITABLE</formato><obrigatorio>N</obrigatorio><valor>fixo</valor></parametro>\n"
    "  <parametro><titulo>Obs</titulo><formato>STRING_VAR_SIZE</formato></parametro>\n"
    "</cmd>\n"
    "<cmd><tipo>Cupom</tipo><equipamentos_hab>3</equipamentos_hab><titulo>Abre Cupom</titulo><escape>0</escape></cmd>\n"
    "<cmd><tipo>Cupom</tipo><equipamentos_hab>2</equipamentos_hab><titulo>Venda</titulo><escape>10</escape></cmd>\n"
    "</comandos>\n";

const std::string kNamePrompt = Cp("Digite o nome da sequência. \r\n obs: Não utilize acentos");
const std::string kNotSaved = Cp("Registro não salvo");
const std::string kReplace = Cp("Deseja substituir o registro já existente?");

TEST(SequenceName, IsUpperCasedAndCleanedOrRefused) {
  std::string name = "unchanged";
  EXPECT_EQ(CleanSequenceName("minha seq.", name), SequenceNameCheck::kValid);
  EXPECT_EQ(name, "MINHA SEQ");
  EXPECT_EQ(CleanSequenceName("a<b>c\\d'e\"f/g!h?i;j.k-1", name), SequenceNameCheck::kValid);
  EXPECT_EQ(name, "ABCDEFGHIJK-1");
  name = "unchanged";
  EXPECT_EQ(CleanSequenceName(Cp("ação"), name), SequenceNameCheck::kInvalid);
  EXPECT_EQ(CleanSequenceName(Cp("x€"), name), SequenceNameCheck::kInvalid);
  EXPECT_EQ(CleanSequenceName("?!.;", name), SequenceNameCheck::kEmpty);
  EXPECT_EQ(CleanSequenceName("", name), SequenceNameCheck::kEmpty);
  EXPECT_EQ(name, "unchanged");
}

TEST(SequenceName, EntryShowsWhyANameIsRefused) {
  FakePrompter prompter;
  std::string name;
  prompter.QueueText("fim.");
  EXPECT_TRUE(AskSequenceName(prompter, "OFERTA", name));
  EXPECT_EQ(name, "FIM");
  const PromptRequest& asked = prompter.Requests()[0];
  EXPECT_EQ(asked.description, kNamePrompt);
  EXPECT_EQ(asked.limit, 20);
  EXPECT_EQ(asked.start, "OFERTA");

  prompter.QueueText(Cp("canção"));
  EXPECT_FALSE(AskSequenceName(prompter, "", name));
  prompter.QueueText("...");
  EXPECT_FALSE(AskSequenceName(prompter, "", name));
  const auto messages = prompter.RequestsOf(PromptKind::kMessage);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].description, Cp("Nome inválido"));
  EXPECT_EQ(messages[1].description, kNotSaved);

  // Cancel: no message.
  EXPECT_FALSE(AskSequenceName(prompter, "", name));
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kMessage).size(), 2u);
}

class SequenceEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.g_workDir = dir.path();
    WriteFile(dir / "comandos.xml", kCatalogue);
  }

  std::string File() const { return dir / "sequencias.xml"; }
  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& r : prompter.RequestsOf(PromptKind::kMessage)) texts.push_back(r.description);
    return texts;
  }

  TempDir dir;
  ProgramSettings settings;
  FakePrompter prompter;
  FakeWaitNotice wait;
};

TEST_F(SequenceEditorTest, OpensWithAnEmptyListWhenThereIsNoFileAndListsTheCatalogue) {
  settings.g_filterByModel = true;
  settings.g_modelMask = 2;
  SequenceEditor editor(settings, prompter, &wait);
  ASSERT_EQ(editor.Open(), 0);
  EXPECT_TRUE(editor.SequenceNames().empty());
  EXPECT_FALSE(editor.DeleteEnabled());
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(wait.shown, std::vector<std::string>{Cp("Por favor, aguarde.....")});
  EXPECT_FALSE(wait.visible);

  EXPECT_EQ(editor.Kinds(), (std::vector<std::string>{"TODOS", "Cupom", "Leituras"}));
  // Sorted titles of the enabled commands; "Leitura X" is not for model bit 2.
  EXPECT_EQ(editor.AvailableTitles(), (std::vector<std::string>{"Abre Cupom", "Venda", "Venda"}));
  editor.ChooseKind("Leituras");
  EXPECT_TRUE(editor.AvailableTitles().empty());
  settings.g_filterByModel = false;
  editor.ChooseKind("Leituras");
  EXPECT_EQ(editor.AvailableTitles(), std::vector<std::string>{"Leitura X"});
}

TEST_F(SequenceEditorTest, CommandsAreInsertedAfterTheChoiceAndRemovedBackToThePreviousOne) {
  SequenceEditor editor(settings, prompter);
  ASSERT_EQ(editor.Open(), 0);
  EXPECT_FALSE(editor.AddCommand("Nenhum"));
  // Nothing chosen: appended, and the entry after "no choice" (the first) is chosen.
  ASSERT_TRUE(editor.AddCommand("Leitura X"));
  EXPECT_EQ(editor.ChosenCommand(), 0);
  ASSERT_TRUE(editor.AddCommand("Abre Cupom"));
  EXPECT_EQ(editor.WorkingTitles(), (std::vector<std::string>{"Leitura X", "Abre Cupom"}));
  EXPECT_EQ(editor.ChosenCommand(), 1);
  editor.ChooseCommand(0);
  // The first catalogue command of that title (escape 9, not the later escape 10).
  ASSERT_TRUE(editor.AddCommand("Venda"));
  EXPECT_EQ(editor.WorkingTitles(), (std::vector<std::string>{"Leitura X", "Venda", "Abre Cupom"}));
  EXPECT_EQ(editor.ChosenCommand(), 1);
  EXPECT_EQ(editor.Working().commands[1].escapeText, "9");

  const std::vector<ParameterRow> rows = editor.ParameterRows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].title, Cp("Código"));
  EXPECT_EQ(rows[0].mandatory, "sim");
  EXPECT_EQ(rows[1].mandatory, Cp("não"));
  EXPECT_EQ(rows[1].value, "fixo");

  ASSERT_TRUE(editor.RemoveCommand());
  EXPECT_EQ(editor.ChosenCommand(), 0);
  ASSERT_TRUE(editor.RemoveCommand());
  EXPECT_EQ(editor.ChosenCommand(), -1);
  EXPECT_FALSE(editor.RemoveCommand());
  EXPECT_TRUE(editor.ParameterRows().empty());
  EXPECT_EQ(editor.WorkingTitles(), std::vector<std::string>{"Abre Cupom"});
}

TEST_F(SequenceEditorTest, EditingValuesSkipsFixedParametersAndStopsAtACancel) {
  SequenceEditor editor(settings, prompter);
  ASSERT_EQ(editor.Open(), 0);
  ASSERT_TRUE(editor.AddCommand("Venda"));
  prompter.QueueText("999");  // Código; Descrição is not editable; Obs is cancelled
  ASSERT_TRUE(editor.EditCommandValues(0));
  const auto& parameters = editor.Working().commands[0].parameters;
  EXPECT_EQ(parameters[0].value, "999");
  EXPECT_EQ(parameters[1].value, "fixo");
  EXPECT_EQ(parameters[2].value, "");
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kText).size(), 2u);
  EXPECT_FALSE(editor.EditCommandValues(5));
}

TEST_F(SequenceEditorTest, SavingAsksBeforeReplacingAndTheFileMirrorsTheList) {
  SequenceEditor editor(settings, prompter, &wait);
  ASSERT_EQ(editor.Open(), 0);
  ASSERT_TRUE(editor.AddCommand("Leitura X"));
  prompter.QueueText("primeira.");
  ASSERT_TRUE(editor.Save());
  ASSERT_TRUE(editor.AddCommand("Abre Cupom"));
  prompter.QueueText("segunda");
  ASSERT_TRUE(editor.Save());
  EXPECT_EQ(editor.SequenceNames(), (std::vector<std::string>{"PRIMEIRA", "SEGUNDA"}));
  EXPECT_TRUE(editor.DeleteEnabled());

  // "Salvar" offers the chosen sequence's name; No to the replace question stores
  // nothing.
  editor.ChooseSequence(0);
  EXPECT_EQ(editor.WorkingTitles(), std::vector<std::string>{"Leitura X"});
  ASSERT_TRUE(editor.AddCommand("Venda"));
  const std::string before = ReadFile(File());
  prompter.QueueKeep(PromptKind::kText).QueueYesNo(false);
  EXPECT_FALSE(editor.Save());
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kText).back().start, "PRIMEIRA");
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kYesNo).back().description, kReplace);
  EXPECT_EQ(Messages().back(), kNotSaved);
  EXPECT_EQ(ReadFile(File()), before);

  // Yes replaces it, and it moves to the end of the file.
  editor.ChooseSequence(0);
  ASSERT_TRUE(editor.AddCommand("Venda"));
  prompter.QueueKeep(PromptKind::kText).QueueYesNo(true);
  ASSERT_TRUE(editor.Save());
  EXPECT_EQ(editor.SequenceNames(), (std::vector<std::string>{"SEGUNDA", "PRIMEIRA"}));
  CSequenceStore onDisk(File());
  ASSERT_EQ(onDisk.LoadSequences(File()), 0);
  ASSERT_EQ(onDisk.count(), 2);
  EXPECT_EQ(onDisk.Sequences()[1].commands.size(), 2u);

  // "Nova" stores an empty sequence under a new name and chooses it.
  prompter.QueueText("vazia");
  ASSERT_TRUE(editor.New());
  EXPECT_EQ(editor.SequenceNames().back(), "VAZIA");
  EXPECT_EQ(editor.ChosenSequence(), 2);
  EXPECT_TRUE(editor.Working().commands.empty());
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kText).back().start, "");
  EXPECT_EQ(prompter.Unscripted(), 0);
  EXPECT_FALSE(wait.visible);
}

TEST_F(SequenceEditorTest, DeletingAsksAndKeepsTheWorkingSequence) {
  CSequenceStore store(File());
  store.UpsertSequence(MakeSequence("A", {MakeCommand("Um", "1"), MakeCommand("Dois", "2")}), false);
  store.UpsertSequence(MakeSequence("B", {}), false);
  ASSERT_EQ(store.SaveSequences(), 0);

  SequenceEditor editor(settings, prompter);
  ASSERT_EQ(editor.Open(), 0);
  editor.ChooseSequence(0);
  prompter.QueueYesNo(false);
  EXPECT_FALSE(editor.Delete());
  EXPECT_EQ(editor.SequenceNames().size(), 2u);
  EXPECT_TRUE(Messages().empty());

  editor.ChooseSequence(0);
  prompter.QueueYesNo(true);
  ASSERT_TRUE(editor.Delete());
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kYesNo).back().description, Cp("Confirma exclusão?"));
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kYesNo).back().caption, "");
  EXPECT_EQ(editor.SequenceNames(), std::vector<std::string>{"B"});
  EXPECT_EQ(editor.WorkingTitles(), (std::vector<std::string>{"Um", "Dois"}));
  EXPECT_EQ(editor.ChosenCommand(), 1);
  CSequenceStore onDisk(File());
  ASSERT_EQ(onDisk.LoadSequences(File()), 0);
  EXPECT_EQ(onDisk.count(), 1);

  // Nothing chosen: nothing to delete.
  prompter.QueueYesNo(true);
  EXPECT_FALSE(editor.Delete());
  EXPECT_EQ(Messages().back(), Cp("Registro não excluído"));
}

TEST_F(SequenceEditorTest, OpeningAnotherFileFallsBackToTheCurrentOne) {
  CSequenceStore store(File());
  store.UpsertSequence(MakeSequence("ATUAL", {}), false);
  ASSERT_EQ(store.SaveSequences(), 0);
  CSequenceStore other(dir / "outra.xml");
  other.UpsertSequence(MakeSequence("OUTRA", {}), false);
  ASSERT_EQ(other.SaveSequences(), 0);
  WriteFile(dir / "quebrado.xml", "<sequencias><sequencia>");

  SequenceEditor editor(settings, prompter, &wait);
  ASSERT_EQ(editor.Open(), 0);
  EXPECT_FALSE(editor.OpenFile());  // cancelled
  const PromptRequest chooser = prompter.RequestsOf(PromptKind::kOpenFile)[0];
  EXPECT_EQ(chooser.caption, Cp("Arquivos de Sequências de comandos(*.XML)|*.XML||"));
  EXPECT_EQ(chooser.start2, "*.XML");

  prompter.QueueOpenFile(dir / "quebrado.xml");
  EXPECT_FALSE(editor.OpenFile());
  EXPECT_EQ(Messages().back(), Cp("Não foi possível carregar o arquivo indicado: " + (dir / "quebrado.xml") +
                                  ".\nO arquivo " + File() + " foi carregado novamente."));
  EXPECT_EQ(editor.Store().FilePath(), File());
  EXPECT_EQ(editor.SequenceNames(), std::vector<std::string>{"ATUAL"});

  prompter.QueueOpenFile(dir / "outra.xml");
  ASSERT_TRUE(editor.OpenFile());
  EXPECT_EQ(editor.Store().FilePath(), dir / "outra.xml");
  EXPECT_EQ(editor.SequenceNames(), std::vector<std::string>{"OUTRA"});

  // The current file gone as well: the short message, and an empty list.
  std::filesystem::remove(dir / "outra.xml");
  prompter.QueueOpenFile(dir / "quebrado.xml");
  EXPECT_FALSE(editor.OpenFile());
  EXPECT_EQ(Messages().back(), Cp("Não foi possível carregar o arquivo indicado: " + (dir / "quebrado.xml") + "."));
  EXPECT_TRUE(editor.SequenceNames().empty());
  EXPECT_FALSE(editor.FileUnreadable());  // a missing file may be created by a save
}

TEST_F(SequenceEditorTest, AFileThatCannotBeReadIsNeverReplacedByASave) {
  const std::string broken = "<sequencias><sequencia><titulo>A</titulo>";
  WriteFile(File(), broken);
  SequenceEditor editor(settings, prompter);
  ASSERT_EQ(editor.Open(), 0);
  EXPECT_TRUE(editor.FileUnreadable());
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0], Cp("Não foi possível carregar o arquivo indicado: " + File() + "."));

  ASSERT_TRUE(editor.AddCommand("Leitura X"));
  prompter.QueueText("nova");
  EXPECT_FALSE(editor.Save());
  EXPECT_TRUE(Messages().back().ends_with(kNotSaved));
  prompter.QueueYesNo(true);
  EXPECT_FALSE(editor.Delete());
  EXPECT_EQ(ReadFile(File()), broken);

  // Once the file is mended, saving works again.
  std::filesystem::remove(File());
  prompter.QueueText("nova");
  EXPECT_TRUE(editor.Save());
  EXPECT_EQ(editor.SequenceNames(), std::vector<std::string>{"NOVA"});
}

}  // namespace
}  // namespace tervane::testing
