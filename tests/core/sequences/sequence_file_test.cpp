// The sequence file: its exact layout, what survives a save and a load, the loose
// reading of hand-edited files, and files that cannot be read or written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "core/common/xml_document.h"
#include "core/sequences/sequence_test_support.h"

namespace tervane::testing {
namespace {

// The tree below `node` as text: elements as name[...], texts as "..." with \n and \t
// spelled out, so a whitespace node out of place shows in a failure.
std::string Shape(XmlNode node) {
  std::string out;
  for (XmlNode c = node.FirstChild(); c; c = c.NextSibling()) {
    if (c.Type() == XmlNodeType::kElement) {
      out += c.Name() + "[" + Shape(c) + "]";
    } else if (c.Type() == XmlNodeType::kText) {
      out += '"';
      for (char ch : c.Text()) out += ch == '\n' ? "\\n" : ch == '\t' ? "\\t" : std::string(1, ch);
      out += '"';
    } else {
      out += "<" + c.Name() + ">";
    }
  }
  return out;
}

TEST(SequenceFile, OneSequenceOfOneCommandIsWrittenExactlyInTheFixedLayout) {
  TempDir dir;
  CSequenceStore store(dir / "sequencias.xml");
  ASSERT_EQ(store.UpsertSequence(MakeSequence("A", {MakeCommand("Leitura X", "6")}), false), 0);
  std::string error;
  ASSERT_EQ(store.SaveSequences(&error), 0) << error;

  const std::string written = ReadFile(store.FilePath());
  EXPECT_EQ(written, ReadFile(std::string(TERVANE_TEST_DATA) + "/golden/sequence_one_command.xml"));

  // The same, node by node: the blanks are text nodes of a line break and one tab per
  // level, and the root ends with a lone line break.
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadBytes(written).ok);
  EXPECT_EQ(doc.RootElement().Name(), "sequencias");
  EXPECT_EQ(doc.RootElement().Attribute("xml:space"), "preserve");
  EXPECT_EQ(Shape(doc.RootElement()),
            "\"\\n\\t\"sequencia["
            "\"\\n\\t\\t\"titulo[\"A\"]"
            "\"\\n\\t\\t\"cmd["
            "\"\\n\\t\\t\\t\"tipo[\"Leituras\"]"
            "\"\\n\\t\\t\\t\"titulo[\"Leitura X\"]"
            "\"\\n\\t\\t\\t\"escape[\"6\"]"
            "\"\\n\\t\\t\\t\"tamanho_retorno[\"0\"]"
            "\"\\n\\t\\t\\t\"tipo_retorno[]"
            "\"\\n\\t\\t\"]"
            "\"\\n\\t\"]"
            "\"\\n\"");
  // The stylesheet instruction follows the declaration.
  EXPECT_NE(written.find("\n<?xml-stylesheet type='text/xml' href='style.xsl'?>\n"), std::string::npos);
}

TEST(SequenceFile, ParametersAndReturnFieldsSitOneLevelDeeperAndAnEmptySequenceKeepsItsTitle) {
  CommandRecord c = MakeCommand("Venda", "9", 0, "Cupom");
  c.parameters = {MakeParameter("Quantidade", "NUMERO", 4, true, "0001"),
                  MakeParameter("Obs", "STRING", 10, false, "")};
  c.returnFields.push_back(ReturnFieldRecord{7, "Tipo", "ASCII", "", ""});
  std::string bytes;
  ASSERT_TRUE(WriteSequenceDocument({MakeSequence("V", {c}), MakeSequence("VAZIA", {})}, bytes));
  EXPECT_EQ(bytes, ReadFile(std::string(TERVANE_TEST_DATA) + "/golden/sequence_parameters.xml"));
}

TEST(SequenceFile, EverythingWrittenIsReadBackUnchanged) {
  CommandRecord a = MakeCommand(Cp("Programação de alíquota"), "35 60", 42, Cp("Programação"));
  a.returnKind = "ALIQUOTAS";
  a.parameters = {
      MakeParameter("Texto", "STRING", 40, true, Cp("Ação & <reação> \"x\" 'y'")),
      MakeParameter("Vazio", "STRING", 5, false, ""),
      // Blanks at both ends, a tab, and CR LF line ends as the cliché editor makes them.
      MakeParameter(Cp("Clichê"), "CLICHE", 94, false, "  linha 1\r\n\tlinha 2\r\n  "),
      MakeParameter("Controle", "DIG_HEX", 1, true, std::string("\x01\x1B", 2)),
  };
  a.returnFields = {ReturnFieldRecord{15, "Marca", "ASCII", "", ""},
                    ReturnFieldRecord{2, "Contador", "INTEGER", "", ""}};
  CommandRecord noEscape;
  noEscape.title = "Sem escape";
  const std::vector<CSequence> sequences = {
      MakeSequence("PRIMEIRA", {a, MakeCommand("Aberto", "8 1  2", -1, "Leituras")}), MakeSequence("VAZIA", {}),
      MakeSequence("OUTRA", {noEscape, a})};

  std::string first;
  ASSERT_TRUE(WriteSequenceDocument(sequences, first));
  std::vector<CSequence> read;
  SequenceLoadResult result;
  ASSERT_EQ(ReadSequenceDocument(first, read, &result), 0) << result.description;
  // Every field is written, so the same bytes on a second writing mean the same fields.
  std::string second;
  ASSERT_TRUE(WriteSequenceDocument(read, second));
  EXPECT_EQ(second, first);

  ASSERT_EQ(read.size(), 3u);
  const std::vector<ParameterRecord>& p = read[0].commands[0].parameters;
  ASSERT_EQ(p.size(), 4u);
  for (size_t i = 0; i < p.size(); ++i) EXPECT_EQ(p[i].value, a.parameters[i].value) << "parameter " << i;
  EXPECT_FALSE(p[1].mandatory);
  EXPECT_TRUE(read[1].commands.empty());
  // The escape text is turned into bytes again: "8 1  2" holds an empty token.
  const CommandRecord& open = read[0].commands[1];
  ASSERT_EQ(open.escapeCount, 4);
  EXPECT_EQ(open.escapeBytes[0], 8);
  EXPECT_EQ(open.escapeBytes[2], 0);
  EXPECT_EQ(open.escapeBytes[3], 2);
}

TEST(SequenceFile, HandEditedFilesAreReadWithTheCatalogueRules) {
  const std::string file =
      "<?xml version='1.0' encoding='UTF-8'?>\n"
      "<raiz><grupo>\n"
      "  <sequencia><titulo>Ação</titulo>\n"
      "    <cmd><titulo>Um</titulo><escape>35 60</escape><tamanho_retorno>12abc</tamanho_retorno>\n"
      "      <parametro><titulo>P1</titulo><tamanho>3</tamanho><formato>NUMERO</formato><valor>7</valor></parametro>\n"
      "      <parametro><titulo>P2</titulo><obrigatorio>s</obrigatorio></parametro>\n"
      "      <parametro><obrigatorio>S</obrigatorio><valor> x </valor></parametro>\n"
      "      <retorno><titulo>R1</titulo><tamanho>2</tamanho><formato>INTEGER</formato></retorno>\n"
      "      <retorno><titulo>R2</titulo></retorno>\n"
      "    </cmd>\n"
      "    <outro><cmd><titulo>not a child of the sequence</titulo></cmd></outro>\n"
      "    <cmd/>\n"
      "  </sequencia>\n"
      "</grupo>\n"
      "<sequencia><cmd><titulo>Sem nome</titulo><equipamentos_hab>768</equipamentos_hab></cmd></sequencia>\n"
      "</raiz>\n";
  std::vector<CSequence> read;
  SequenceLoadResult result;
  ASSERT_EQ(ReadSequenceDocument(file, read, &result), 0) << result.description;
  ASSERT_EQ(read.size(), 2u);

  const CSequence& first = read[0];
  EXPECT_EQ(first.name, Cp("Ação"));
  ASSERT_EQ(first.commands.size(), 2u);
  const CommandRecord& one = first.commands[0];
  EXPECT_EQ(one.title, "Um");
  EXPECT_EQ(one.group, "");
  EXPECT_EQ(one.declaredReturnSize, 12);
  EXPECT_EQ(one.escapeCount, 2);
  EXPECT_EQ(one.escapeBytes[1], 60);
  ASSERT_EQ(one.parameterCount(), 3);
  // The first parameter without "obrigatorio" is mandatory; absent sub-elements are
  // inherited from the previous parameter, except the value, which starts empty.
  EXPECT_TRUE(one.parameters[0].mandatory);
  EXPECT_EQ(one.parameters[1].kind, "NUMERO");
  EXPECT_EQ(one.parameters[1].size, 3);
  EXPECT_FALSE(one.parameters[1].mandatory);  // lower-case "s" is not "S"
  EXPECT_EQ(one.parameters[1].value, "");
  EXPECT_EQ(one.parameters[2].title, "P2");
  EXPECT_TRUE(one.parameters[2].mandatory);
  EXPECT_EQ(one.parameters[2].value, " x ");
  ASSERT_EQ(one.returnFieldCount(), 2);
  EXPECT_EQ(one.returnFields[1].size, 2);
  EXPECT_EQ(one.returnFields[1].kind, "INTEGER");
  // An empty cmd keeps every default: no escape at all.
  const CommandRecord& empty = first.commands[1];
  EXPECT_FALSE(empty.hasEscape);
  EXPECT_EQ(empty.escapeCount, 0);
  EXPECT_EQ(empty.title, "");

  EXPECT_EQ(read[1].name, "");
  ASSERT_EQ(read[1].commands.size(), 1u);
  EXPECT_EQ(read[1].commands[0].modelMask, 768u);
}

TEST(SequenceFile, FieldsHoldingMarkupAndNestedSequencesReadLikeTheDocumentModel) {
  // A field's value is all the text inside it, blanks beside a comment or an element
  // included; the first of two fields of one name counts; a sequence inside another
  // comes after it, in document order.
  const std::string file =
      "<sequencias>\n"
      "  <sequencia><titulo>FORA</titulo><titulo>segundo</titulo>\n"
      "    <cmd><titulo>Um</titulo><titulo>Dois</titulo>\n"
      "      <parametro><valor> a <!-- nota --> b <i>c</i> </valor><formato>STRING</formato></parametro>\n"
      "      <parametro><valor><![CDATA[<x>]]></valor></parametro>\n"
      "      <extra><sequencia><titulo>DENTRO</titulo><cmd><titulo>Tres</titulo></cmd></sequencia></extra>\n"
      "    </cmd>\n"
      "    <cmd><titulo>Quatro</titulo></cmd>\n"
      "  </sequencia>\n"
      "</sequencias>\n";
  std::vector<CSequence> read;
  ASSERT_EQ(ReadSequenceDocument(file, read), 0);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].name, "FORA");
  ASSERT_EQ(read[0].commands.size(), 2u);
  const CommandRecord& one = read[0].commands[0];
  EXPECT_EQ(one.title, "Um");
  ASSERT_EQ(one.parameterCount(), 2);
  EXPECT_EQ(one.parameters[0].value, " a  b c ");
  EXPECT_EQ(one.parameters[1].value, "<x>");
  EXPECT_EQ(one.parameters[1].kind, "STRING");
  EXPECT_EQ(read[0].commands[1].title, "Quatro");
  EXPECT_EQ(read[1].name, "DENTRO");
  ASSERT_EQ(read[1].commands.size(), 1u);
  EXPECT_EQ(read[1].commands[0].title, "Tres");
}

TEST(SequenceFile, AFileThatCannotBeReadLeavesTheListAsItWas) {
  TempDir dir;
  CSequenceStore store(dir / "sequencias.xml");
  store.UpsertSequence(MakeSequence("A", {MakeCommand("Leitura X", "6")}), false);
  ASSERT_EQ(store.SaveSequences(), 0);
  const std::string good = ReadFile(store.FilePath());

  // Cut in the middle, as a crash of another program might leave it.
  WriteFile(dir / "cut.xml", good.substr(0, good.size() / 2));
  SequenceLoadResult result;
  EXPECT_EQ(store.LoadSequences(dir / "cut.xml", &result), -1);
  EXPECT_FALSE(result.missing);
  EXPECT_NE(result.description.find("cut.xml"), std::string::npos) << result.description;
  EXPECT_NE(result.description.find("line"), std::string::npos) << result.description;
  ASSERT_EQ(store.count(), 1);
  EXPECT_EQ(store.Sequences()[0].commands.size(), 1u);

  // Not XML at all, a folder, and nothing there.
  WriteFile(dir / "text.xml", "sequencia A: Leitura X\n");
  EXPECT_EQ(store.LoadSequences(dir / "text.xml", &result), -1);
  ::mkdir((dir / "folder.xml").c_str(), 0755);
  EXPECT_EQ(store.LoadSequences(dir / "folder.xml", &result), -1);
  EXPECT_FALSE(result.missing);
  EXPECT_EQ(store.LoadSequences(dir / "none.xml", &result), -1);
  EXPECT_TRUE(result.missing);
  EXPECT_EQ(store.count(), 1);

  // Loading appends.
  EXPECT_EQ(store.LoadSequences(store.FilePath()), 0);
  EXPECT_EQ(store.count(), 2);
}

TEST(SequenceFile, AFailedSaveLeavesThePreviousFile) {
  TempDir dir;
  CSequenceStore store(dir / "sequencias.xml");
  store.UpsertSequence(MakeSequence("A", {MakeCommand("Leitura X", "6")}), false);
  ASSERT_EQ(store.SaveSequences(), 0);
  const std::string before = ReadFile(store.FilePath());

  // A NUL byte cannot be carried by the file: refused, not cut short.
  CommandRecord c = MakeCommand("Leitura X", "6");
  c.parameters = {MakeParameter("P", "STRING", 3, true, std::string("a\0b", 3))};
  store.UpsertSequence(MakeSequence("B", {c}), false);
  std::string error;
  EXPECT_EQ(store.SaveSequences(&error), -1);
  EXPECT_NE(error.find("NUL"), std::string::npos) << error;
  EXPECT_EQ(ReadFile(store.FilePath()), before);

  // A folder that does not exist.
  CSequenceStore elsewhere(dir / "no/such/folder/s.xml");
  elsewhere.UpsertSequence(MakeSequence("A", {}), false);
  EXPECT_EQ(elsewhere.SaveSequences(&error), -1);
  EXPECT_FALSE(error.empty());
  // No temporary file is left beside the target.
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

TEST(SequenceStore, UpsertAndRemoveByExactName) {
  CSequenceStore store;
  EXPECT_EQ(store.UpsertSequence(MakeSequence("A", {MakeCommand("1", "1")}), false), 0);
  EXPECT_EQ(store.UpsertSequence(MakeSequence("B", {}), false), 0);
  EXPECT_EQ(store.UpsertSequence(MakeSequence("a", {}), false), 0);  // names are case-sensitive
  // An existing name without replace changes nothing.
  EXPECT_EQ(store.UpsertSequence(MakeSequence("A", {}), false), 1);
  ASSERT_EQ(store.count(), 3);
  EXPECT_EQ(store.Sequences()[0].commands.size(), 1u);
  // With replace it moves to the end.
  EXPECT_EQ(store.UpsertSequence(MakeSequence("A", {}), true), 0);
  ASSERT_EQ(store.count(), 3);
  EXPECT_EQ(store.Sequences()[0].name, "B");
  EXPECT_EQ(store.Sequences()[2].name, "A");
  EXPECT_TRUE(store.Sequences()[2].commands.empty());

  EXPECT_EQ(store.RemoveSequence("b"), -1);
  EXPECT_EQ(store.RemoveSequence("B"), 0);
  EXPECT_EQ(store.RemoveSequence("B"), -1);
  EXPECT_EQ(store.count(), 2);
  EXPECT_NE(store.FindSequence("a"), nullptr);
  EXPECT_EQ(store.FindSequence("C"), nullptr);
}

}  // namespace
}  // namespace tervane::testing
