// The parameter editors: the value each kind produces from the answers given, and what a
// cancel at each step leaves.
#include <gtest/gtest.h>

#include "core/catalogue/composite_editors.h"
#include "core/catalogue/parameter_forms.h"
#include "core/catalogue/parameter_kinds.h"
#include "core/common/charset.h"
#include "support/fake_clock.h"
#include "support/fake_prompter.h"

namespace tervane {
namespace {

using testing::FakeClock;
using testing::FakePrompter;
using testing::PromptKind;

ParameterRecord KindParam(const std::string& kind, int size, const std::string& value = "",
                          const std::string& title = "Campo") {
  ParameterRecord p;
  p.kind = kind;
  p.size = size;
  p.value = value;
  p.title = title;
  return p;
}

class EditorTest : public ::testing::Test {
 protected:
  std::string Edit(const ParameterRecord& p) { return EditParameter(p, prompter, clock); }
  void ExpectAllUsed() {
    EXPECT_EQ(prompter.Unscripted(), 0);
    EXPECT_EQ(prompter.Pending(), 0u);
  }
  FakePrompter prompter;
  FakeClock clock;
};

TEST_F(EditorTest, TextKindsPadOnlyWhereTheKindSays) {
  prompter.QueueText("abc").QueueText("").QueueText("abc").QueueText("0A").QueueText("b");
  EXPECT_EQ(Edit(KindParam("STRING", 6, "old")), "abc   ");
  EXPECT_EQ(Edit(KindParam("STRING", 6)), "");  // an empty answer stays empty
  EXPECT_EQ(Edit(KindParam("STRING_VAR_SIZE", 6)), "abc");
  EXPECT_EQ(Edit(KindParam("DIG_HEX", 2)), "0A  ");
  EXPECT_EQ(Edit(KindParam("CUPOM_OU_BILHETE_CONV_156", 3)), "b  ");
  const auto asked = prompter.RequestsOf(PromptKind::kText);
  EXPECT_EQ(asked[0].start, "old");  // starts with the current value
  EXPECT_EQ(asked[0].description, "Campo");
  EXPECT_EQ(asked[3].limit, 4);  // DIG_HEX takes two digits per byte
  ExpectAllUsed();
}

TEST_F(EditorTest, NumberKindsLeftPadNonEmptyAnswers) {
  prompter.QueueNumber("42").QueueNumber("").QueueNumber("7");
  EXPECT_EQ(Edit(KindParam("INTEGER", 5)), "00042");
  EXPECT_EQ(Edit(KindParam("BCD_INTEGER", 2)), "");
  EXPECT_EQ(Edit(KindParam("BINARIO", 1)), "007");
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kNumber)[2].limit, 3);
}

TEST_F(EditorTest, RandomKindsArePrefilledWithFreshValues) {
  for (int ms = 0; ms < 256; ++ms) {
    clock.SetUtc({2024, 3, 5, 17, 30, 15, ms});
    prompter.QueueKeep(PromptKind::kNumber);
    ASSERT_NE(Edit(KindParam("RANDOM_NUMBER", 1)), "0") << "seed " << ms;
  }
  prompter.QueueKeep(PromptKind::kText);
  const std::string text = Edit(KindParam("RANDOM_STRING", 8));
  ASSERT_EQ(text.size(), 8u);
  for (unsigned char c : text) EXPECT_TRUE(c >= 0x20 && c <= 0x7D);
  ExpectAllUsed();
}

TEST_F(EditorTest, ValueDialogKeepsTheDecimalCommaMeaning) {
  prompter.QueueValue("1,5").QueueValue("1,50").QueueValue("150").QueueValue("2,5").QueueValue(",257");
  EXPECT_EQ(Edit(KindParam("FINANCE", 14)), "00000000000150");
  EXPECT_EQ(Edit(KindParam("FINANCE", 14)), "00000000000150");
  EXPECT_EQ(Edit(KindParam("FINANCE", 14)), "00000000000150");
  EXPECT_EQ(Edit(KindParam("FINANCE_3", 10)), "0000002500");
  EXPECT_EQ(Edit(KindParam("FINANCE", 4)), "0025");
  const auto asked = prompter.RequestsOf(PromptKind::kValue);
  EXPECT_EQ(asked[0].limit, 12);
  EXPECT_EQ(asked[0].decimals, 2);
  EXPECT_EQ(asked[0].start, "000");
  EXPECT_EQ(asked[3].start, "0000");
}

TEST_F(EditorTest, ValueDialogStartsWithTheCurrentValueOnlyWhenItFits) {
  prompter.QueueKeep(PromptKind::kValue).QueueKeep(PromptKind::kValue);
  EXPECT_EQ(Edit(KindParam("FINANCE", 6, "12345")), "012345");
  EXPECT_EQ(Edit(KindParam("FINANCE", 4, "12345")), "0000");  // too long: starts with zeros
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kValue)[1].start, "000");
}

TEST_F(EditorTest, PercentageDateAndTimeFormats) {
  prompter.QueuePercentage("7", "5").QueueDate(2024, 3, 5).QueueDate(2024, 3, 5).QueueTime(9, 5, 7);
  EXPECT_EQ(Edit(KindParam("PERCENTAGE", 4)), "0750");
  EXPECT_EQ(Edit(KindParam("DATA", 6)), "050324");
  EXPECT_EQ(Edit(KindParam("DATA_2_2_4", 8)), "05032024");
  EXPECT_EQ(Edit(KindParam("HORA", 6)), "090507");
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kPercentage)[0].start, "00");
  // Pickers start at the computer's local date and time.
  const CivilTime local = clock.LocalNow();
  const auto date = prompter.RequestsOf(PromptKind::kDate)[0].startTime;
  EXPECT_EQ(date.day, local.day);
  EXPECT_EQ(date.year, local.year);
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kTime)[0].startTime.hour, local.hour);
}

TEST_F(EditorTest, EveryBasicDialogGivesErroOnCancel) {
  const std::pair<const char*, PromptKind> cases[] = {
      {"STRING", PromptKind::kText},           {"INTEGER", PromptKind::kNumber},
      {"RANDOM_NUMBER", PromptKind::kNumber},  {"FINANCE", PromptKind::kValue},
      {"PERCENTAGE", PromptKind::kPercentage}, {"DATA", PromptKind::kDate},
      {"HORA", PromptKind::kTime},             {"BIG_STRING", PromptKind::kMultiLineText},
      {"CLICHE", PromptKind::kCliche},         {"CHEQUE_POS", PromptKind::kChequePositions},
  };
  for (const auto& [kind, prompt] : cases) {
    prompter.QueueCancel(prompt);
    EXPECT_EQ(Edit(KindParam(kind, 6, "keep")), "ERRO") << kind;
  }
  ExpectAllUsed();
}

// An answerer with the generic questions only (a batch run, a script): it answers text
// questions, and the pages it cannot show count as cancelled.
class QuestionsOnly final : public DecliningPrompter {
 public:
  bool AskText(const std::string&, int, std::string& text) override {
    text = "abc";
    return true;
  }
};

TEST(ParameterFormsTest, AnAnswererWithoutThePagesCancelsThemAndStillAnswersQuestions) {
  QuestionsOnly prompter;
  FakeClock clock;
  ASSERT_EQ(ParameterFormsOf(prompter), nullptr);
  EXPECT_EQ(EditParameter(KindParam("CLICHE", 6, "keep"), prompter, clock), "ERRO");
  EXPECT_EQ(EditParameter(KindParam("CHEQUE_POS", 6, "keep"), prompter, clock), "ERRO");
  EXPECT_EQ(EditParameter(KindParam("STRING", 4), prompter, clock), "abc ");
  FakePrompter withPages;
  EXPECT_NE(ParameterFormsOf(withPages), nullptr);
}

TEST_F(EditorTest, KindsWithoutEditorKeepTheValueAndAskNothing) {
  for (const char* kind : {"NOT_EDITABLE", "DIG_HEX_NOT_EDITABLE", "string", "UNKNOWN", ""}) {
    EXPECT_EQ(Edit(KindParam(kind, 3, "abc")), "abc") << kind;
  }
  EXPECT_TRUE(prompter.Requests().empty());
  EXPECT_TRUE(IsHiddenKind("NOT_EDITABLE"));
  EXPECT_TRUE(IsHiddenKind("DIG_HEX_NOT_EDITABLE"));
  EXPECT_FALSE(IsHiddenKind("not_editable"));
  EXPECT_EQ(RowLimit(KindParam("BINARIO", 1)), 3);
  EXPECT_EQ(RowLimit(KindParam("DIG_HEX", 5)), 10);
  EXPECT_EQ(RowLimit(KindParam("STRING", 5)), 5);
}

TEST(ParseOptionsTest, LabelsValuesAndLimits) {
  auto options = ParseOptions("Normal (0) ou Reduzido (1)");
  ASSERT_EQ(options.size(), 2u);
  EXPECT_EQ(options[0].label, "Normal ");
  EXPECT_EQ(options[1].label, " Reduzido ");
  EXPECT_EQ(options[1].value, "1");
  EXPECT_TRUE(ParseOptions("Sem opções").empty());
  EXPECT_TRUE(ParseOptions("(0) ou B (1)").empty());  // "(" may not open the text
  EXPECT_EQ(ParseOptions("A (0) ou B (1").size(), 1u);  // an unclosed "(" ends the list
  EXPECT_EQ(ParseOptions("A (0) B (1)").size(), 1u);    // no "ou": one option
  std::string many;
  for (int i = 0; i < 14; ++i) many += "x (" + std::to_string(i) + ") ou ";
  EXPECT_EQ(ParseOptions(many).size(), 12u);
}

TEST_F(EditorTest, OptionsOfferTheLabelsAndGiveTheChosenValue) {
  prompter.QueueChoice(2).QueueCancel(PromptKind::kChoice).QueueChoice(1);
  EXPECT_EQ(Edit(KindParam("OPTIONS", 1, "", "Normal (0) ou Reduzido (1)")), "1");
  EXPECT_EQ(Edit(KindParam("OPTIONS", 1, "", "Normal (0) ou Reduzido (1)")), "");
  // Without parentheses no button carries a value: nothing can be chosen.
  EXPECT_EQ(Edit(KindParam("OPTIONS", 1, "", "Sem valores")), "");
  EXPECT_TRUE(prompter.Requests()[2].labels.empty());
}

TEST(ComposeClicheTest, StylesCutTheTextAndWrapIt) {
  ClicheForm form;
  form.lines[0] = {std::string(50, 'a'), true, false, false, true};  // cost 6: 35 characters
  form.lines[1] = {"b", true, true, true, true};
  form.lines[2] = {"", false, false, false, false};
  EXPECT_EQ(ComposeCliche(form),
            "CLICHE_SUB_INI_XMLCLICHE_EXP_INI_XML" + std::string(35, 'a') +
                "CLICHE_SUB_END_XMLCLICHE_EXP_END_XML\r\n"
                "CLICHE_SUB_INI_XMLCLICHE_IT_INI_XMLCLICHE_ENF_INI_XMLCLICHE_EXP_INI_XMLb"
                "CLICHE_SUB_END_XMLCLICHE_IT_END_XMLCLICHE_ENF_END_XMLCLICHE_EXP_END_XML\r\n\r\n");
  EXPECT_EQ(ClicheTextWidth(form.lines[1]), 27);
}

TEST(ComposeClicheTest, CentringOfEachLine) {
  auto indentOf = [](const ClicheForm& form, int line) {
    const std::string value = ComposeCliche(form);
    size_t start = 0;
    for (int i = 0; i < line; ++i) start = value.find("\r\n", start) + 2;
    // Line 3 may itself hold a line break; count only its leading spaces.
    return static_cast<int>(value.find_first_not_of(' ', start) - start);
  };
  ClicheForm form;
  form.centred = true;
  form.lines[0] = {"ABC", false, false, false, false};
  form.lines[1] = {"ABCD", false, false, false, true};
  form.lines[2] = {"ABC", false, false, false, false};
  EXPECT_EQ(indentOf(form, 0), 22);  // (47 - 3) / 2
  EXPECT_EQ(indentOf(form, 1), 19);  // (47 - 8 - 1) / 2
  EXPECT_EQ(indentOf(form, 2), 22);
  form.lines[1] = {std::string(30, 'x'), false, false, false, true};
  EXPECT_EQ(indentOf(form, 1), 0);  // too wide to centre
  // Third line: centred on its first printed line, but capped by its whole length.
  form.lines[2] = {"AB\r\n" + std::string(60, 'y'), false, false, false, false};
  EXPECT_EQ(indentOf(form, 2), 16);  // cut to 47: min((47 - 2) / 2, (79 - 47) / 2)
  form.lines[2] = {"ABCDE\r\nz", false, false, false, true};
  EXPECT_EQ(indentOf(form, 2), 18);  // (47 - 10 - 1) / 2, cap (79 - 16) / 2
}

TEST_F(EditorTest, ChequePositionsSplitAndJoinTwoDigitBoxes) {
  ChequePositionForm answer;
  answer.fields.fill("10");
  answer.fields[12] = "5";
  prompter.QueueChequePositions(answer).QueueKeep(PromptKind::kChequePositions).QueueKeep(
      PromptKind::kChequePositions);
  EXPECT_EQ(Edit(KindParam("CHEQUE_POS", 13, "")),
            "101010101010101010101010"
            "05");
  const std::string current = "01020304050607080910111213";
  EXPECT_EQ(Edit(KindParam("CHEQUE_POS", 13, current)), current);
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kChequePositions)[1].cheque.fields[12], "13");
  // Any other length is not split: the boxes start empty and give zeros.
  EXPECT_EQ(Edit(KindParam("CHEQUE_POS", 13, current + "14")), std::string(26, '0'));
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kChequePositions)[2].cheque.fields[0], "");
}

TEST_F(EditorTest, SubtotalSurchargeAndDiscountCompositions) {
  prompter.QueueChoice(1).QueueChoice(1).QueuePercentage("7", "5");
  EXPECT_EQ(Edit(KindParam("AC_OU_DESC_SUB", 15)), "A0750");
  prompter.QueueChoice(2).QueueChoice(2).QueueValue("1,5");
  EXPECT_EQ(Edit(KindParam("AC_OU_DESC_SUB", 15)), "d00000000000150");
  prompter.QueueChoice(3).QueueChoice(1).QueuePercentage("1", "").QueuePercentage("2", "25");
  EXPECT_EQ(Edit(KindParam("FECHA_CUPOM", 9)), "X01000225");  // surcharge first
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kPercentage)[2].description, "Desconto");
  prompter.QueueChoice(3).QueueChoice(2).QueueValue("3").QueueValue("4,");
  EXPECT_EQ(Edit(KindParam("FECHA_CUPOM", 29)), "X" + std::string(13, '0') + "3" + std::string(11, '0') + "400");
  const auto choices = prompter.RequestsOf(PromptKind::kChoice);
  EXPECT_EQ(choices[0].labels, (std::vector<std::string>{Cp("&Acréscimo"), "&Desconto"}));
  EXPECT_EQ(choices[4].labels.size(), 3u);
  EXPECT_EQ(choices[4].labels[2], Cp("A&créscimo e desconto"));
  EXPECT_EQ(choices[5].labels, (std::vector<std::string>{"&Percentual", "&Valor"}));
  ExpectAllUsed();
}

TEST_F(EditorTest, SurchargeEditorsNeverGiveAHalfBuiltValue) {
  prompter.QueueChoice(1).QueueCancel(PromptKind::kChoice);
  EXPECT_EQ(Edit(KindParam("AC_OU_DESC_SUB", 15)), "ERRO");
  prompter.QueueCancel(PromptKind::kChoice);
  EXPECT_EQ(Edit(KindParam("FECHA_CUPOM", 15)), "ERRO");
  prompter.QueueChoice(3).QueueChoice(1).QueuePercentage("1", "0").QueueCancel(PromptKind::kPercentage);
  EXPECT_EQ(Edit(KindParam("FECHA_CUPOM", 15)), "ERRO");
  prompter.QueueChoice(1).QueueNumber("7").QueueCancel(PromptKind::kChoice);
  EXPECT_EQ(Edit(KindParam("AC_OU_DESC_ITEM", 12)), "ERRO");
  prompter.QueueChoice(5);  // no such button
  EXPECT_EQ(Edit(KindParam("DISCOUNT", 10)), "ERRO");
  ExpectAllUsed();
}

TEST_F(EditorTest, ItemAdjustmentAndDiscount) {
  prompter.QueueChoice(1).QueueNumber("7").QueueChoice(1).QueueValue("1,5");
  EXPECT_EQ(Edit(KindParam("AC_OU_DESC_ITEM", 12)), "A00700000150");
  prompter.QueueChoice(2).QueueNumber("12").QueueChoice(2).QueuePercentage("7", "5");
  EXPECT_EQ(Edit(KindParam("AC_OU_DESC_ITEM", 12)), "D0120750");
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kNumber)[0].description, Cp("Número do item"));
  prompter.QueueChoice(1).QueuePercentage("10", "").QueueChoice(2).QueueValue("2,5");
  EXPECT_EQ(Edit(KindParam("DISCOUNT", 4)), "1000");
  EXPECT_EQ(Edit(KindParam("DISCOUNT", 6)), "000250");
  ExpectAllUsed();
}

TEST_F(EditorTest, PaymentDescriptionsLoop) {
  prompter.QueueText("Dinheiro").QueueYesNo(true).QueueYesNo(true).QueueText("Cheque").QueueYesNo(false)
      .QueueYesNo(false);
  EXPECT_EQ(Edit(KindParam("DESCR_FORMA_PAGAMENTO", 40)), "Dinheiro        1Cheque          2");
  const auto texts = prompter.RequestsOf(PromptKind::kText);
  EXPECT_EQ(texts[0].description, Cp("Descrição de forma de pagamento 2"));
  EXPECT_EQ(texts[1].description, Cp("Descrição de forma de pagamento 3"));
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kYesNo)[0].description, Cp("Permitir operação de TEF?"));
  ExpectAllUsed();

  FakePrompter nineteen;
  for (int i = 0; i < 19; ++i) nineteen.QueueText("x").QueueYesNo(true);
  const std::string all = EditParameter(KindParam("DESCR_FORMA_PAGAMENTO_SEM_TEF", 400), nineteen, clock);
  EXPECT_EQ(all.size(), 19u * 16u);
  EXPECT_EQ(nineteen.RequestsOf(PromptKind::kText).size(), 19u);
  EXPECT_EQ(nineteen.RequestsOf(PromptKind::kYesNo).size(), 18u);  // never asked after the 19th
  EXPECT_EQ(nineteen.Unscripted(), 0);

  prompter.QueueText("a").QueueYesNo(true).QueueCancel(PromptKind::kText);
  EXPECT_EQ(Edit(KindParam("DESCR_FORMA_PAGAMENTO_SEM_TEF", 40)), "a" + std::string(15, ' '));
  prompter.QueueCancel(PromptKind::kText);
  EXPECT_EQ(Edit(KindParam("DESCR_FORMA_PAGAMENTO", 40)), "ERRO");
  ExpectAllUsed();
}

TEST_F(EditorTest, TaxRateTableIsPrefilledFromAFullValue) {
  std::string current = "03";
  for (int k = 1; k <= 16; ++k) current += k < 10 ? "000" + std::to_string(k) : "00" + std::to_string(k);
  TaxRateForm answer;
  answer.rates.fill("1");
  answer.rates[15] = "1800";
  prompter.QueueKeep(PromptKind::kNumber).QueueTaxRates(answer);
  const std::string value = Edit(KindParam("TROCA_SIT_TRIB", 66, current));
  EXPECT_EQ(value, "03" + [] { std::string r; for (int k = 0; k < 15; ++k) r += "0001"; return r; }() + "1800");
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kNumber)[0].start, "03");
  const auto page = prompter.RequestsOf(PromptKind::kTaxRates)[0].taxRates;
  EXPECT_EQ(page.rates[0], "0001");
  EXPECT_EQ(page.rates[15], "0016");

  prompter.QueueNumber("2").QueueKeep(PromptKind::kTaxRates);
  EXPECT_EQ(Edit(KindParam("TROCA_SIT_TRIB", 66, "short")), "02" + std::string(64, '0'));
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kNumber)[1].start, "");
  prompter.QueueCancel(PromptKind::kNumber);
  EXPECT_EQ(Edit(KindParam("TROCA_SIT_TRIB", 66, current)), current);
  prompter.QueueNumber("5").QueueCancel(PromptKind::kTaxRates);
  EXPECT_EQ(Edit(KindParam("TROCA_SIT_TRIB", 66, current)), current);
  ExpectAllUsed();
}

TEST_F(EditorTest, IssBindingsFromThePage) {
  TaxRateForm answer;
  answer.iss[0] = answer.iss[15] = true;
  prompter.QueueTaxRates(answer).QueueKeep(PromptKind::kTaxRates);
  EXPECT_EQ(Edit(KindParam("VINC_ISS", 16)), "1000000000000001");
  // Any character other than "0" reads as ISS.
  EXPECT_EQ(Edit(KindParam("VINC_ISS", 16, "0x0000000000000A")), "0100000000000001");
  ExpectAllUsed();
}

TEST_F(EditorTest, DetailTapeRanges) {
  prompter.QueueCancel(PromptKind::kChoice);
  EXPECT_EQ(Edit(KindParam("IMPR_FITA_DETALHE", 16, "old")), "");
  prompter.QueueChoice(1).QueueDate(2024, 3, 5).QueueDate(2025, 12, 31);
  EXPECT_EQ(Edit(KindParam("IMPR_FITA_DETALHE", 16)), "D050324311225");
  prompter.QueueChoice(2).QueueNumber("123").QueueNumber("456").QueueNumber("7");
  EXPECT_EQ(Edit(KindParam("IMPR_FITA_DETALHE", 16)), "X000123000456007");
  const auto numbers = prompter.RequestsOf(PromptKind::kNumber);
  EXPECT_EQ(numbers[0].limit, 6);
  EXPECT_EQ(numbers[2].description, Cp("Número do Usuário"));
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kDate)[1].description, "Digite a data final");
  prompter.QueueChoice(1).QueueDate(2024, 3, 5).QueueCancel(PromptKind::kDate);
  EXPECT_EQ(Edit(KindParam("IMPR_FITA_DETALHE", 16)), "ERRO");
  ExpectAllUsed();
}

TEST_F(EditorTest, FiscalMemoryReadingEndsWithItsOutputLetter) {
  const std::pair<int, int> answers[] = {{1, 1}, {1, 2}, {2, 1}, {2, 2}};
  const char* letters[] = {"I", "i", "R", "r"};
  for (int k = 0; k < 4; ++k) {
    prompter.QueueChoice(2).QueueNumber("12").QueueNumber("34").QueueChoice(answers[k].first)
        .QueueChoice(answers[k].second);
    EXPECT_EQ(Edit(KindParam("LEIT_MEM_FISCAL", 13)), std::string("00001200") + "0034" + letters[k]);
  }
  const auto choices = prompter.RequestsOf(PromptKind::kChoice);
  EXPECT_EQ(choices[1].description, Cp("Impressão ou recebimento pela porta de comunicação"));
  EXPECT_EQ(choices[2].labels, (std::vector<std::string>{"normal", "simplificada"}));
  // A cancelled choice keeps what was composed before it.
  prompter.QueueChoice(1).QueueDate(2024, 3, 5).QueueDate(2024, 3, 6).QueueChoice(1)
      .QueueCancel(PromptKind::kChoice);
  EXPECT_EQ(Edit(KindParam("LEIT_MEM_FISCAL", 13)), "050324060324");
  ExpectAllUsed();
}

TEST_F(EditorTest, SmallChoiceEditors) {
  prompter.QueueChoice(1).QueueChoice(2).QueueCancel(PromptKind::kChoice);
  EXPECT_EQ(Edit(KindParam("LEIT_DADOS_MEM_FISCAL", 3)), "MF");
  EXPECT_EQ(Edit(KindParam("LEIT_DADOS_MEM_FISCAL", 3)), "MF2");
  EXPECT_EQ(Edit(KindParam("LEIT_DADOS_MEM_FISCAL", 3)), "");
  for (int k = 1; k <= 5; ++k) {
    prompter.QueueChoice(k);
    EXPECT_EQ(Edit(KindParam("CAR_GRAF_AUTENTICACAO", 18)), kAuthenticationCharacters[k - 1]);
  }
  EXPECT_EQ(kAuthenticationCharacters[1], std::string("208020100820020101020408102040808080"));
  const auto labels = prompter.RequestsOf(PromptKind::kChoice)[3].labels;
  ASSERT_EQ(labels.size(), 5u);
  EXPECT_EQ(labels[4], Cp("Caracter de autenticação 5"));
  prompter.QueueCancel(PromptKind::kChoice);
  EXPECT_EQ(Edit(KindParam("CAR_GRAF_AUTENTICACAO", 18, "old")), "");
  ExpectAllUsed();
}

TEST_F(EditorTest, TicketIsAFixedWidthRecord) {
  prompter.QueueCancel(PromptKind::kChoice);
  EXPECT_EQ(Edit(KindParam("BILHETE_PASSAGEM", 200)), "");
  prompter.QueueChoice(9).QueueText("SP").QueueText("").QueueText(Cp("José")).QueueMultiLineText("Rua A\r\n1");
  const std::string value = Edit(KindParam("BILHETE_PASSAGEM", 200));
  EXPECT_EQ(value, "8SP" + std::string(29, ' ') + Cp("José") + std::string(26, ' ') + "Rua A\r\n1" +
                       std::string(72, ' '));
  const auto texts = prompter.RequestsOf(PromptKind::kText);
  EXPECT_EQ(texts[1].limit, 29);
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kChoice)[1].labels[8], Cp("Aquaviário Internacional"));
  prompter.QueueChoice(1).QueueText("SP").QueueCancel(PromptKind::kText);
  EXPECT_EQ(Edit(KindParam("BILHETE_PASSAGEM", 200)), "ERRO");
  ExpectAllUsed();
}

}  // namespace
}  // namespace tervane
