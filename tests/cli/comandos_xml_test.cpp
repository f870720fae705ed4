// The repository's comandos.xml: it loads, is written in Windows-1252, covers every
// parameter kind and return kind, and keeps the layouts that the workbench and the
// simulator rely on.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "core/catalogue/catalogue.h"
#include "cli/cli_run.h"

namespace tervane::cli::testing {
namespace {

constexpr std::uint32_t kAll = 131071, kOlder = 31, kNewer = 130816;

class ComandosXml : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    catalogue_ = new CommandCatalogue;
    loadCode_ = LoadCatalogue(DataDir(), *catalogue_);
  }
  static void TearDownTestSuite() { delete catalogue_; }

  static const CommandRecord* byTitle(const std::string& utf8Title) {
    for (const auto& c : catalogue_->commands) {
      if (c.title == Cp(utf8Title)) return &c;
    }
    return nullptr;
  }

  static CommandCatalogue* catalogue_;
  static int loadCode_;
};
CommandCatalogue* ComandosXml::catalogue_ = nullptr;
int ComandosXml::loadCode_ = -1;

TEST_F(ComandosXml, LoadsAndIsWindows1252) {
  ASSERT_EQ(loadCode_, 0);
  EXPECT_EQ(catalogue_->count(), 93);

  std::ifstream in(DataDir() + "/comandos.xml", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(bytes.starts_with("<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n"));
  // Accented letters are single Windows-1252 bytes, not UTF-8 sequences.
  EXPECT_NE(bytes.find(Cp("<titulo>Número de Série</titulo>")), std::string::npos);
  EXPECT_FALSE(IsValidUtf8(bytes));
  EXPECT_EQ(bytes.find("\xC3"), std::string::npos);

  for (const auto& c : catalogue_->commands) {
    EXPECT_FALSE(c.title.empty());
    EXPECT_TRUE(c.hasEscape) << c.title;
    EXPECT_EQ(c.escapeError, "") << c.title;
    EXPECT_GE(c.escapeCount, 1) << c.title;
    for (const auto& p : c.parameters) {
      EXPECT_FALSE(p.title.empty()) << c.title;
      EXPECT_GT(p.size, 0) << c.title;
    }
  }
}

TEST_F(ComandosXml, GroupsBecomeMenusInOrder) {
  std::vector<std::string> groups;
  for (const auto& c : catalogue_->commands) {
    if (std::find(groups.begin(), groups.end(), c.group) == groups.end()) groups.push_back(c.group);
  }
  std::vector<std::string> expected;
  for (const char* g : {"Consultas", "Cupom Fiscal", "Leituras e Reduções", "Não Fiscal",
                        "Cheque e Autenticação", "Bilhete de Passagem", "Intervenção Técnica", "Diversos",
                        "GPRS"}) {
    expected.push_back(Cp(g));
  }
  EXPECT_EQ(groups, expected);
  // Each group is one block: a menu lists its commands in file order.
  std::string previous;
  std::set<std::string> closed;
  for (const auto& c : catalogue_->commands) {
    if (c.group != previous) {
      EXPECT_EQ(closed.count(c.group), 0u) << c.title;
      closed.insert(previous);
      previous = c.group;
    }
  }
}

TEST_F(ComandosXml, EveryKindIsUsed) {
  std::set<std::string> parameterKinds, returnKinds;
  for (const auto& c : catalogue_->commands) {
    for (const auto& p : c.parameters) parameterKinds.insert(p.kind);
    for (const auto& f : c.returnFields) returnKinds.insert(f.kind);
  }
  const std::set<std::string> allParameterKinds = {
      "NOT_EDITABLE", "DIG_HEX_NOT_EDITABLE", "STRING", "RANDOM_STRING", "STRING_VAR_SIZE",
      "STRING_VAR_SIZE_WITHOUT_CR", "DIG_HEX", "CUPOM_OU_BILHETE_CONV_156", "INTEGER", "BCD_INTEGER",
      "RANDOM_NUMBER", "BINARIO", "FINANCE", "FINANCE_3", "PERCENTAGE", "DATA", "DATA_2_2_4", "HORA",
      "BIG_STRING", "BIG_STRING_VAR_SIZE", "CLICHE", "OPTIONS", "CHEQUE_POS", "DISCOUNT",
      "AC_OU_DESC_SUB", "FECHA_CUPOM", "AC_OU_DESC_ITEM", "DESCR_FORMA_PAGAMENTO",
      "DESCR_FORMA_PAGAMENTO_SEM_TEF", "TROCA_SIT_TRIB", "VINC_ISS", "IMPR_FITA_DETALHE",
      "LEIT_MEM_FISCAL", "LEIT_DADOS_MEM_FISCAL", "BILHETE_PASSAGEM", "CAR_GRAF_AUTENTICACAO"};
  const std::set<std::string> allReturnKinds = {
      "ASCII", "BCD_FLAG_PAYMENT_MODE", "INTEGER", "BCD_INTEGER", "BCD_PERCENTAGE", "BCD_FINANCE",
      "BCD_DATA", "BCD_HORA", "STATUS_PAPEL", "ASCII_FLAGS_FISCAIS", "ASCII_FLAGS_FISCAIS_II",
      "ASCII_FLAGS_FISCAIS_III", "FLAG_SENSORES", "FLAG_CHEQUE", "ASCII_FLAG_VINC_ISS",
      "BCD_FLAG_INT_TEC", "BCD_FLAG_EPROM_CONECT", "FLAG_TRUNCAMENTO", "FLAG_CORTE", "FLAG_ALINHAMENTO",
      "FLAG_BP_CF", "FLAG_PRESENTER_GAVETA", "FLAG_GAVETA", "FLAG_CUTTER_AUTENTIC", "FLAG_RED_AUT_COM",
      "FORMAS_DE_PAGAMENTO", "DEPARTAMENTOS", "TOT_NAO_SUJ_ICMS", "RELAT_GER", "ALIQUOTAS",
      "TOT_PARCIAIS", "VER_INT_MEM_FISCAL", "VER_INT_MEM_FISCAL_COMP"};
  // Same sets both ways: nothing missing, and no misspelt kind that would silently be skipped.
  EXPECT_EQ(parameterKinds, allParameterKinds);
  EXPECT_EQ(returnKinds, allReturnKinds);
}

TEST_F(ComandosXml, SizesAgreeWithTheLayouts) {
  // Return kinds whose decoding reads a fixed number of bytes.
  const std::map<std::string, int> fixedReturn = {
      {"FORMAS_DE_PAGAMENTO", 620}, {"DEPARTAMENTOS", 600}, {"TOT_NAO_SUJ_ICMS", 780},
      {"RELAT_GER", 570}, {"TOT_PARCIAIS", 219}, {"VER_INT_MEM_FISCAL", 6},
      {"VER_INT_MEM_FISCAL_COMP", 30}, {"ALIQUOTAS", 33}, {"BCD_DATA", 3}, {"BCD_HORA", 3},
      {"BCD_PERCENTAGE", 2}, {"STATUS_PAPEL", 2}, {"ASCII_FLAG_VINC_ISS", 2}, {"INTEGER", 1},
      {"BCD_FLAG_INT_TEC", 1}, {"BCD_FLAG_EPROM_CONECT", 1}, {"FLAG_TRUNCAMENTO", 1}, {"FLAG_CORTE", 1},
      {"FLAG_ALINHAMENTO", 1}, {"FLAG_BP_CF", 1}, {"FLAG_PRESENTER_GAVETA", 1}, {"FLAG_GAVETA", 1},
      {"FLAG_CUTTER_AUTENTIC", 1}, {"FLAG_RED_AUT_COM", 1}, {"ASCII_FLAGS_FISCAIS", 1},
      {"ASCII_FLAGS_FISCAIS_II", 1}, {"ASCII_FLAGS_FISCAIS_III", 1}, {"FLAG_SENSORES", 1},
      {"FLAG_CHEQUE", 1}, {"BCD_FLAG_PAYMENT_MODE", 3}};
  // Parameter kinds whose editors compose a value of a known length.
  const std::map<std::string, int> fixedParameter = {
      {"PERCENTAGE", 4}, {"CHEQUE_POS", 13}, {"CAR_GRAF_AUTENTICACAO", 18}, {"VINC_ISS", 16},
      {"TROCA_SIT_TRIB", 65}, {"LEIT_MEM_FISCAL", 13}, {"IMPR_FITA_DETALHE", 16},
      {"BILHETE_PASSAGEM", 142}, {"AC_OU_DESC_SUB", 15}, {"FECHA_CUPOM", 29}, {"AC_OU_DESC_ITEM", 12},
      {"DESCR_FORMA_PAGAMENTO", 19 * 17}, {"DESCR_FORMA_PAGAMENTO_SEM_TEF", 19 * 16},
      {"LEIT_DADOS_MEM_FISCAL", 3}, {"DATA", 6}, {"HORA", 6}, {"DATA_2_2_4", 8}, {"BINARIO", 1},
      {"CUPOM_OU_BILHETE_CONV_156", 1}};

  for (const auto& c : catalogue_->commands) {
    int sum = 0;
    for (const auto& f : c.returnFields) {
      sum += f.size;
      const auto it = fixedReturn.find(f.kind);
      if (it != fixedReturn.end()) {
        EXPECT_EQ(f.size, it->second) << c.title << " / " << f.kind;
      }
    }
    if (!c.returnFields.empty()) {
      EXPECT_EQ(sum, c.declaredReturnSize) << c.title;
    } else {
      EXPECT_LE(c.declaredReturnSize, 0) << c.title;
    }
    for (const auto& p : c.parameters) {
      const auto it = fixedParameter.find(p.kind);
      if (it != fixedParameter.end()) {
        EXPECT_EQ(p.size, it->second) << c.title << " / " << p.kind;
      }
      // A non-editable value is sent as it stands, so it must fill the parameter.
      if (p.kind == "NOT_EDITABLE") {
        EXPECT_EQ(static_cast<int>(p.value.size()), p.size) << c.title;
      }
      if (p.kind == "DIG_HEX_NOT_EDITABLE") {
        EXPECT_EQ(static_cast<int>(p.value.size()), 2 * p.size) << c.title;
      }
    }
  }
}

TEST_F(ComandosXml, ModelBitsFollowTheModelGenerations) {
  const std::set<std::string> older = {"Número de Série", "CGC/IE", "Totalizadores Não Fiscais (9)",
                                       "Verificação da MF"};
  const std::set<std::string> newer = {"Número de Série da MFD", "CNPJ", "IE", "IM", "UF",
                                       "Totalizadores Não Fiscais (30)", "Verificação Completa da MF"};
  for (const auto& c : catalogue_->commands) {
    const std::string title = Cp1252ToUtf8(c.title);
    if (older.count(title)) {
      EXPECT_EQ(c.modelMask, kOlder) << title;
    } else if (newer.count(title) || c.group == "GPRS") {
      EXPECT_EQ(c.modelMask, kNewer) << title;
    } else {
      EXPECT_EQ(c.modelMask, kAll) << title;
    }
  }
}

// The commands the workbench also builds in code: their bytes and layouts are fixed.
TEST_F(ComandosXml, BuiltInCommandsKeepTheirBytesAndLayouts) {
  struct Field {
    const char* title;
    const char* kind;
    int size;
  };
  struct BuiltIn {
    const char* title;
    std::vector<int> escape;
    int replySize;
    std::vector<Field> fields;
  };
  const std::vector<BuiltIn> builtIns = {
      {"Status do Equipamento", {35, 20}, 1, {{"Modo", "BCD_FLAG_INT_TEC", 1}}},
      {"Marca, Modelo e Tipo", {35, 60}, 42, {{"Marca", "ASCII", 15}, {"Modelo", "ASCII", 20}, {"Tipo", "ASCII", 7}}},
      {"Número de Série", {35, 0}, 15, {{"Número de série", "ASCII", 15}}},
      {"Número de Série da MFD", {35, 40}, 20, {{"Número de série", "ASCII", 20}}},
      {"Número do Usuário", {35, 1}, 2, {{"Usuário", "BCD_INTEGER", 2}}},
      {"CGC/IE", {35, 2}, 33, {{"CGC/IE", "ASCII", 33}}},
      {"CNPJ", {35, 42}, 20, {{"CNPJ", "ASCII", 20}}},
      {"IE", {35, 43}, 20, {{"IE", "ASCII", 20}}},
      {"IM", {35, 44}, 20, {{"IM", "ASCII", 20}}},
      {"UF", {35, 70}, 2, {{"UF", "ASCII", 2}}},
      {"Número do ECF", {35, 14}, 2, {{"ECF", "BCD_INTEGER", 2}}},
      {"Número da Loja", {35, 15}, 2, {{"Loja", "BCD_INTEGER", 2}}},
      {"Data e Hora", {35, 23}, 6, {{"Data", "BCD_DATA", 3}, {"Hora", "BCD_HORA", 3}}},
      {"Flags Fiscais", {35, 17}, 1, {{"Flags", "ASCII_FLAGS_FISCAIS", 1}}},
      {"Clichê do Proprietário", {35, 13}, 186, {{"Clichê", "ASCII", 186}}},
      {"Leitura das Alíquotas", {26}, 33, {{"Alíquotas", "ALIQUOTAS", 33}}},
      {"Vinculação ao ISS", {35, 29}, 2, {{"ISS", "ASCII_FLAG_VINC_ISS", 2}}},
      {"Configurações de Impressão", {35, 253}, 3, {}},
      {"Verificação da MF", {126}, 6, {}},
      {"Verificação Completa da MF", {95}, 30, {}},
      {"Relatório Gerencial", {20}, 0, {}},
      {"Fechamento de Relatório Gerencial", {21}, 0, {}},
      {"Programa CNPJ/IE/IM", {4}, 0, {}},
      {"Acerta Data e Hora", {2}, 0, {}},
      {"Programa ECF e Loja", {17}, 0, {}},
      {"Troca de Situações Tributárias", {36}, 0, {}},
      {"Nomeia Totalizador Não Fiscal", {40}, 0, {}},
  };
  for (const auto& b : builtIns) {
    const CommandRecord* c = byTitle(b.title);
    ASSERT_NE(c, nullptr) << b.title;
    ASSERT_EQ(c->escapeCount, static_cast<int>(b.escape.size())) << b.title;
    for (size_t k = 0; k < b.escape.size(); ++k) EXPECT_EQ(c->escapeBytes[k], b.escape[k]) << b.title;
    EXPECT_EQ(c->declaredReturnSize, b.replySize) << b.title;
    if (b.fields.empty()) continue;
    ASSERT_EQ(c->returnFieldCount(), static_cast<int>(b.fields.size())) << b.title;
    for (size_t k = 0; k < b.fields.size(); ++k) {
      EXPECT_EQ(c->returnFields[k].title, Cp(b.fields[k].title)) << b.title;
      EXPECT_EQ(c->returnFields[k].kind, b.fields[k].kind) << b.title;
      EXPECT_EQ(c->returnFields[k].size, b.fields[k].size) << b.title;
    }
  }

  // Parameter layouts of the built-in programming commands.
  auto kinds = [](const CommandRecord* c) {
    std::vector<std::pair<std::string, int>> out;
    for (const auto& p : c->parameters) out.emplace_back(p.kind, p.size);
    return out;
  };
  using Layout = std::vector<std::pair<std::string, int>>;
  EXPECT_EQ(kinds(byTitle("Programa CNPJ/IE/IM")),
            (Layout{{"STRING", 20}, {"STRING", 20}, {"STRING", 20}, {"STRING", 10}, {"STRING", 1},
                    {"STRING", 2}, {"DIG_HEX", 10}}));
  EXPECT_EQ(kinds(byTitle("Acerta Data e Hora")), (Layout{{"DATA", 6}, {"HORA", 6}, {"BINARIO", 1}}));
  EXPECT_EQ(kinds(byTitle("Programa ECF e Loja")), (Layout{{"STRING", 3}, {"STRING", 4}}));
  EXPECT_EQ(kinds(byTitle("Nomeia Totalizador Não Fiscal")), (Layout{{"INTEGER", 2}, {"STRING", 19}}));
  EXPECT_EQ(kinds(byTitle("Relatório Gerencial")), (Layout{{"BIG_STRING_VAR_SIZE", 620}}));
  // The first "Clichê do Proprietário" reads the header; the second programs it.
  int cliches = 0;
  for (const auto& c : catalogue_->commands) {
    if (c.title != Cp("Clichê do Proprietário")) continue;
    ++cliches;
    if (cliches == 2) {
      EXPECT_EQ(c.escapeCount, 1);
      EXPECT_EQ(c.escapeBytes[0], 3);
      EXPECT_EQ(kinds(&c), (Layout{{"CLICHE", 186}}));
    }
  }
  EXPECT_EQ(cliches, 2);
}

// Open replies and the GPRS group, whose replies the exchange reads in their own forms.
TEST_F(ComandosXml, OpenAndGprsReplies) {
  EXPECT_EQ(byTitle("Informações da MFD (texto)")->declaredReturnSize, -1);
  EXPECT_EQ(byTitle("Mensagem do Equipamento")->declaredReturnSize, -2);
  EXPECT_EQ(byTitle("Leitura de Dados da Memória Fiscal")->declaredReturnSize, -1);
  int gprs = 0;
  for (const auto& c : catalogue_->commands) {
    if (c.group != "GPRS") continue;
    ++gprs;
    EXPECT_EQ(c.escapeCount, 2);
    EXPECT_EQ(c.escapeBytes[0], 80);
    EXPECT_EQ(c.returnFieldCount(), 0);
  }
  EXPECT_EQ(gprs, 3);
}

}  // namespace
}  // namespace tervane::cli::testing
