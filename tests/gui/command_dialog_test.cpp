// The Command Dialog driven by a scripted prompter: rows, the opening walk and its cancel
// rules, "Editar", the computer-clock offer, "Ok" and when the result is shown.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "core/common/string_table.h"
#include "gui/catalogue/command_dialog.h"
#include "gui/common/qt_text.h"
#include "gui/gui_test.h"
#include "support/fake_clock.h"
#include "support/fake_prompter.h"

namespace tervane::testing {
namespace {

ParameterRecord Param(const char* title, const char* kind, int size, const char* value = "", bool mandatory = true) {
  ParameterRecord p;
  p.title = Cp(title);
  p.kind = kind;
  p.size = size;
  p.value = value;
  p.mandatory = mandatory;
  return p;
}

CommandRecord Command(std::vector<ParameterRecord> parameters, const char* escape = "35 1") {
  CommandRecord c;
  c.group = "Cupom";
  c.title = Cp("Venda de Item");
  c.escapeText = escape;
  c.hasEscape = true;
  c.parameters = std::move(parameters);
  return c;
}

std::string RowText(const gui::CCommandDlg& dialog, int row) {
  return gui::FromQt(dialog.RowEditAt(row)->text());
}

// Records every run and every result shown.
struct Harness {
  ProgramSettings settings;
  FakePrompter prompter;
  FakeClock clock;
  NullWaitNotice wait;
  int runs = 0;
  int runResult = 0;
  std::vector<ParameterRecord> sent;
  int resultsShown = 0;

  std::unique_ptr<gui::CCommandDlg> Make(CommandRecord command) {
    auto dialog = std::make_unique<gui::CCommandDlg>(
        nullptr, std::move(command), settings, prompter, wait,
        [this](CommandRecord& c) {
          ++runs;
          sent = c.parameters;
          c.ResultText = "\r\nComando:\tVenda de Item\r\n";
          return runResult;
        },
        clock);
    dialog->SetResultPresenter([this](const CommandRecord&) { ++resultsShown; });
    return dialog;
  }
};

}  // namespace

class CommandDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void rowsShowLabelsLimitsAndHideTheRest() {
    Harness h;
    h.prompter.QueueText("ABC").QueueNumber("7").QueueText("x");
    auto dialog = h.Make(Command({Param("Código", "STRING", 13, "", true), Param("Quantidade", "INTEGER", 4),
                                  Param("Fixo", "NOT_EDITABLE", 2, "01"), Param("Hex", "DIG_HEX", 3, "", false),
                                  Param("Modo", "BINARIO", 1, "1", false)}));
    QVERIFY(!dialog->Open());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Venda de Item"));
    QCOMPARE(dialog->RowLabelAt(0)->text(), QStringLiteral("Código *"));
    QCOMPARE(dialog->RowLabelAt(3)->text(), QStringLiteral("Hex"));
    QCOMPARE(dialog->RowEditAt(0)->maxLength(), 13);
    QCOMPARE(dialog->RowEditAt(3)->maxLength(), 6);   // twice the size for DIG_HEX
    QCOMPARE(dialog->RowEditAt(4)->maxLength(), 3);   // BINARIO
    // The hidden kind and the rows past the parameters are not shown at all.
    QVERIFY(dialog->RowEditAt(2)->isHidden());
    QVERIFY(dialog->RowButtonAt(2)->isHidden());
    QVERIFY(dialog->RowLabelAt(2)->isHidden());
    for (int k = 5; k < kCommandDialogRows; ++k) QVERIFY(dialog->RowEditAt(k)->isHidden());
    QVERIFY(!dialog->RowEditAt(4)->isHidden());
    QCOMPARE(dialog->RowButtonAt(0)->text(), QStringLiteral("Editar"));
  }

  void walkFillsRowsAndStopsAtTheFirstCancel() {
    Harness h;
    h.prompter.QueueText("ABC").QueueNumber("7").QueueCancel(PromptKind::kText);
    auto dialog = h.Make(Command({Param("Código", "STRING", 5, "init1"), Param("Quantidade", "INTEGER", 4, "0001"),
                                  Param("Descrição", "STRING", 6, "desc"), Param("Unidade", "STRING", 2, "UN")}));
    QVERIFY(!dialog->Open());
    QCOMPARE(RowText(*dialog, 0), std::string("ABC  "));  // padded by the text editor
    QCOMPARE(RowText(*dialog, 1), std::string("0007"));
    // The third editor was cancelled: it and the ones after it keep their defaults and
    // no further editor was opened.
    QCOMPARE(RowText(*dialog, 2), std::string("desc"));
    QCOMPARE(RowText(*dialog, 3), std::string("UN"));
    QCOMPARE(h.prompter.Requests().size(), size_t{3});
    QCOMPARE(h.runs, 0);
  }

  void cancellingTheFirstEditorKeepsEveryDefault() {
    Harness h;
    h.prompter.QueueCancel(PromptKind::kNumber);
    auto dialog = h.Make(Command({Param("Quantidade", "INTEGER", 4, "0001"), Param("Texto", "STRING", 3, "abc")}));
    QVERIFY(!dialog->Open());
    QCOMPARE(RowText(*dialog, 0), std::string("0001"));
    QCOMPARE(RowText(*dialog, 1), std::string("abc"));
    QCOMPARE(h.prompter.Requests().size(), size_t{1});
  }

  void editarWritesWhatTheEditorReturnsErroIncluded() {
    Harness h;
    h.prompter.QueueCancel(PromptKind::kText);
    auto dialog = h.Make(Command({Param("Texto", "STRING_VAR_SIZE", 10, "abc")}));
    dialog->Open();  // the walk's editor is cancelled
    QCOMPARE(RowText(*dialog, 0), std::string("abc"));
    h.prompter.QueueText("depois");
    dialog->OnEdit(0);
    QCOMPARE(RowText(*dialog, 0), std::string("depois"));
    h.prompter.QueueCancel(PromptKind::kText);
    dialog->OnEdit(0);
    QCOMPARE(RowText(*dialog, 0), std::string("ERRO"));
    QCOMPARE(dialog->RowEditAt(0)->maxLength(), 10);
  }

  void editorStartsFromWhatTheBoxShows() {
    Harness h;
    auto dialog = h.Make(Command({Param("Texto", "STRING_VAR_SIZE", 10, "abc")}));
    dialog->Open();
    dialog->RowEditAt(0)->setText(QStringLiteral("digitado"));
    h.prompter.QueueKeep(PromptKind::kText);
    dialog->OnEdit(0);
    QCOMPARE(h.prompter.Requests().back().start, std::string("digitado"));
    QCOMPARE(RowText(*dialog, 0), std::string("digitado"));
  }

  void okSendsTheRowsAndHiddenDefaults() {
    Harness h;
    h.settings.g_showResults = false;
    h.prompter.QueueText("X");
    auto dialog = h.Make(Command({Param("Texto", "STRING_VAR_SIZE", 10, "abc"), Param("Fixo", "NOT_EDITABLE", 2, "07")}));
    dialog->Open();
    dialog->RowEditAt(0)->setText(QStringLiteral("ação"));
    dialog->OnOk();
    QCOMPARE(h.runs, 1);
    QCOMPARE(h.sent[0].value, Cp("ação"));
    QCOMPARE(h.sent[1].value, std::string("07"));
    QCOMPARE(h.resultsShown, 0);  // success with results off: no window
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    dialog->OnOk();  // the dialog handles one execution
    QCOMPARE(h.runs, 1);
  }

  void aFailedRunAlwaysShowsTheResult() {
    Harness h;
    h.settings.g_showResults = false;
    h.runResult = kExchangeFailed;
    auto dialog = h.Make(Command({Param("Texto", "STRING_VAR_SIZE", 10, "abc")}));
    dialog->Open();
    dialog->OnOk();
    QCOMPARE(h.resultsShown, 1);
    QCOMPARE(dialog->RunResult(), kExchangeFailed);

    Harness shown;  // results on: shown after a success too
    auto second = shown.Make(Command({Param("Texto", "STRING_VAR_SIZE", 10, "abc")}));
    second->Open();
    second->OnOk();
    QCOMPARE(shown.resultsShown, 1);
  }

  void commandWithoutParametersRunsAtOnce() {
    Harness h;
    auto dialog = h.Make(Command({}));
    QCOMPARE(dialog->Run(), int(QDialog::Accepted));
    QCOMPARE(h.runs, 1);
    QVERIFY(h.prompter.Requests().empty());
    QVERIFY(dialog->isHidden());
  }

  void allHiddenParametersShowNoRowAndSendTheCatalogueValues() {
    Harness h;
    auto dialog = h.Make(Command({Param("A", "NOT_EDITABLE", 2, "01"), Param("B", "DIG_HEX_NOT_EDITABLE", 1, "1B")}));
    QVERIFY(!dialog->Open());  // parameters exist: the dialog waits for "Ok"
    QVERIFY(h.prompter.Requests().empty());
    for (int k = 0; k < kCommandDialogRows; ++k) QVERIFY(dialog->RowEditAt(k)->isHidden());
    dialog->OnOk();
    QCOMPARE(h.sent[0].value, std::string("01"));
    QCOMPARE(h.sent[1].value, std::string("1B"));
  }

  void moreThanTwelveParametersShowTwelveRowsAndSendEveryValue() {
    Harness h;
    std::vector<ParameterRecord> parameters;
    for (int k = 0; k < 14; ++k) {
      parameters.push_back(Param("P", "STRING_VAR_SIZE", 4, "d"));
      h.prompter.QueueText("v" + std::to_string(k));
    }
    auto dialog = h.Make(Command(parameters));
    dialog->Open();
    QCOMPARE(h.prompter.Requests().size(), size_t{14});
    QCOMPARE(RowText(*dialog, 11), std::string("v11"));
    dialog->RowEditAt(11)->setText(QStringLiteral("t11"));
    dialog->OnOk();
    QCOMPARE(h.sent.size(), size_t{14});
    QCOMPARE(h.sent[11].value, std::string("t11"));
    QCOMPARE(h.sent[12].value, std::string("v12"));
    QCOMPARE(h.sent[13].value, std::string("v13"));
  }

  void acceptedClockFillsTheFirstRowsAndRunsAtOnce() {
    Harness h;
    h.prompter.QueueAcceptClock(true).QueueYesNo(true);
    auto dialog = h.Make(Command({Param("Data", "DATA", 6), Param("Hora", "HORA", 6), Param("Verão", "STRING", 1)}, "2"));
    QCOMPARE(dialog->Run(), int(QDialog::Accepted));
    QCOMPARE(h.runs, 1);
    QCOMPARE(h.sent[0].value, std::string("050324"));  // the fake clock: 5 March 2024, 14:30:15
    QCOMPARE(h.sent[1].value, std::string("143015"));
    QCOMPARE(h.sent[2].value, std::string("1"));
    const PromptRequest question = h.prompter.RequestsOf(PromptKind::kYesNo).at(0);
    QCOMPARE(question.description, LoadString(32986) + "\r\n05/03/24");
  }

  void declinedClockFallsBackToTheWalk() {
    Harness h;
    h.prompter.QueueAcceptClock(false).QueueYesNo(false).QueueDate(2024, 12, 25).QueueCancel(PromptKind::kTime);
    auto dialog = h.Make(Command({Param("Data", "DATA", 6), Param("Hora", "HORA", 6, "000000")}, "2"));
    QVERIFY(!dialog->Open());
    QCOMPARE(RowText(*dialog, 0), std::string("251224"));
    QCOMPARE(RowText(*dialog, 1), std::string("000000"));
    QCOMPARE(h.runs, 0);
  }
};

TERVANE_GUI_TEST(CommandDialogTest);

}  // namespace tervane::testing

#include "command_dialog_test.moc"
