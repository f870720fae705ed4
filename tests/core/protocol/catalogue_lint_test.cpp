// The catalogue check: each kind of hand-edit mistake is found with its command's title
// and line; a clean catalogue (the shipped one included) gives no findings.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/protocol/catalogue_lint.h"
#include "core/common/charset.h"

namespace tervane {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<std::string> Lint(const std::string& xml) {
  CommandCatalogue catalogue;
  CatalogueLoadResult result;
  EXPECT_EQ(LoadCatalogueBytes(xml, catalogue, &result), 0) << result.description;
  std::vector<std::string> texts;
  for (const CatalogueFinding& finding : LintCatalogue(xml, catalogue)) {
    texts.push_back(Cp1252ToUtf8(FindingText(finding)));
  }
  return texts;
}

std::string Cmd(const std::string& title, const std::string& escape, const std::string& parameters = "") {
  return "<cmd>\n<tipo>T</tipo>\n<titulo>" + title + "</titulo>\n<escape>" + escape + "</escape>\n" +
         "<tamanho_retorno>0</tamanho_retorno>\n" + parameters + "</cmd>\n";
}

std::string Param(const std::string& kind, int size, const std::string& value) {
  return "<parametro><titulo>P</titulo><tamanho>" + std::to_string(size) + "</tamanho><formato>" + kind +
         "</formato><obrigatorio>S</obrigatorio><valor>" + value + "</valor></parametro>\n";
}

TEST(CatalogueLint, EachMistakeIsNamedWithTitleAndLine) {
  const std::string xml = "<comandos>\n<!-- <cmd> in a comment is no command -->\n" +
                          Cmd("Blank", "35 20 ") +                          // line 3
                          Cmd("Double", "35  20") +                         // line 9
                          Cmd("Hex", "1B 20") +                             // line 15
                          Cmd("Lower", "35 20", Param("DIG_HEX", 2, "0a1B")) +  // line 21
                          Cmd("Other", "35 20", Param("DIG_HEX", 1, "G0")) +    // line 28
                          Cmd("Long", "35 20", Param("INTEGER", 2, "12345")) +  // line 35
                          Cmd("Blank", "35 21") +                            // line 42
                          Cmd("TooMany", "1 2 3 4 5 6 7 8 9 10 11 12 13") +  // line 48
                          "</comandos>\n";
  const std::vector<std::string> findings = Lint(xml);
  EXPECT_THAT(findings,
              ElementsAre(HasSubstr("linha 3: Blank: o escape \"35 20 \" tem espaço no início ou no fim"),
                          HasSubstr("linha 9: Double: o escape \"35  20\" tem dois espaços seguidos"),
                          HasSubstr("linha 15: Hex: o escape tem \"1B\", que não é um número de byte"),
                          HasSubstr("linha 21: Lower: o valor do parâmetro 1 (P) tem letras minúsculas"),
                          HasSubstr("linha 28: Other: o valor do parâmetro 1 (P) tem \"G\""),
                          HasSubstr("linha 35: Long: o valor \"12345\" do parâmetro 1 (P) não cabe no formato INTEGER"),
                          HasSubstr("linha 42: Blank: título repetido no grupo T (também na linha 3)"),
                          HasSubstr("linha 48: TooMany: o escape seria recusado no envio")));
}

TEST(CatalogueLint, ACleanCatalogueAndTheShippedOneHaveNoFindings) {
  // The same title in another group is another menu's entry.
  std::string other = Cmd("A", "35 21");
  other.replace(other.find("<tipo>T"), 7, "<tipo>U");
  EXPECT_TRUE(Lint("<comandos>" + Cmd("A", "35 20", Param("DIG_HEX", 2, "0A1B")) + other +
                   Cmd("B", "8", Param("INTEGER", 4, "12")) + Cmd("C", "35 60") + "</comandos>")
                  .empty());
  std::vector<CatalogueFinding> findings;
  ASSERT_EQ(LintCatalogueFile(std::string(TERVANE_REPO_DIR) + "/data", findings), 0);
  for (const CatalogueFinding& finding : findings) ADD_FAILURE() << Cp1252ToUtf8(FindingText(finding));
  EXPECT_EQ(LintCatalogueFile("/nonexistent-tervane", findings), -1);
}

}  // namespace
}  // namespace tervane
