// The whole road through the windows against the emulated printer on a pseudo-terminal:
// detection at start-up, a command picked from its group menu, its editors answered,
// "Ok", the result window with its dump, and "Salvar".
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/string_table.h"
#include "gui/app/main_window.h"
#include "gui/app/simulator_process.h"
#include "gui/catalogue/command_dialog.h"
#include "gui/common/qt_text.h"
#include "gui/gui_test.h"
#include "gui/protocol/result_window.h"
#include "protocol/command_log.h"
#include "support/fake_prompter.h"

namespace tervane::testing {
namespace {

// What the person saw in the result window, and the file "Salvar" wrote.
struct Seen {
  QString message;
  QString dump;
  QStringList opened;
  int dialogsAnswered = 0;
};

// Answers the modal windows of one command as a person would: "Ok" in the Command
// Dialog; in the result window "Dump", then "Salvar", then "Sair".
class Operator : public QObject {
 public:
  explicit Operator(Seen& seen) : seen_(seen) {
    connect(&timer_, &QTimer::timeout, this, [this] { Step(); });
    timer_.start(10);
  }

 private:
  void Step() {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* command = qobject_cast<gui::CCommandDlg*>(modal); command && !command->Running()) {
      ++seen_.dialogsAnswered;
      QTest::mouseClick(command->OkButton(), Qt::LeftButton);
    } else if (auto* result = qobject_cast<gui::CResultDlg*>(modal)) {
      ++seen_.dialogsAnswered;
      result->SetFileOpener([this](const QString& path) { seen_.opened << path; });
      seen_.message = result->TextBox()->toPlainText();
      QTest::mouseClick(result->ToggleButton(), Qt::LeftButton);
      seen_.dump = result->TextBox()->toPlainText();
      QTest::mouseClick(result->SaveButton(), Qt::LeftButton);
      result->reject();
    }
  }
  Seen& seen_;
  QTimer timer_;
};

int IndexOf(const CommandCatalogue& catalogue, const std::string& title) {
  for (int i = 0; i < catalogue.count(); ++i) {
    if (catalogue.commands[i].title == title) return i;
  }
  return -1;
}

}  // namespace

class WorkbenchFlowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    simProgram_ = QStringLiteral(TERVANE_BIN_DIR "/tervane-sim");
    const QString catalogue = QStringLiteral(TERVANE_REPO_DIR "/data/comandos.xml");
    if (!QFile::exists(simProgram_) || !QFile::exists(catalogue)) {
      QSKIP("the simulator or the catalogue is not built");
    }
    QVERIFY(work_.isValid());
    QVERIFY(QFile::copy(catalogue, work_.filePath(QStringLiteral("comandos.xml"))));
    QVERIFY2(sim_.Start(simProgram_, {QStringLiteral("--workdir"), work_.path()}), qPrintable(sim_.Error()));
    qputenv("TERVANE_COM1", sim_.PtyPath().toLocal8Bit());
  }

  void cleanupTestCase() {
    sim_.Stop();
    qunsetenv("TERVANE_COM1");
  }

  void commandFromTheMenuToTheSavedResult() {
    gui::CMainWindow::Options options;
    options.workDir = work_.path().toStdString();
    gui::CMainWindow window(options);
    FakePrompter prompter;
    window.SetPrompter(&prompter);
    window.StartUp();
    QVERIFY(window.CatalogueLoaded());
    QCOMPARE(window.Settings().g_portName, std::string("COM1:"));  // found by detection
    QVERIFY(!window.Settings().g_modelName.empty());

    // "Abertura de Cupom Fiscal": one text editor, then "Ok".
    const int open = IndexOf(window.Catalogue(), Cp("Abertura de Cupom Fiscal"));
    QVERIFY(open >= 0);
    const QString saved = work_.filePath(QStringLiteral("Msg_Ret.txt"));
    prompter.QueueText("").QueueSaveFile(saved.toStdString()).QueueChoice(3);
    Seen seen;
    {
      Operator person(seen);
      window.ActionFor(gui::ids::kFirstCommandId + open)->trigger();
    }
    QCOMPARE(seen.dialogsAnswered, 2);
    QVERIFY2(seen.message.contains(gui::Str(str::kComandoOk)), qPrintable(seen.message));
    QVERIFY(seen.message.startsWith(QStringLiteral("\nComando:\tAbertura de Cupom Fiscal")));
    QVERIFY(seen.dump.startsWith(QStringLiteral("CMD:\n0000  02 ")));
    QVERIFY(seen.dump.contains(QStringLiteral("RET:\n0000  06 ")));
    QCOMPARE(seen.opened, QStringList{saved});
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY(content.startsWith("\r\nComando:\tAbertura de Cupom Fiscal\r\n"));
    QVERIFY(content.contains("CMD:\r\n0000  02 "));
    // Every exchange reached the day's log in the work folder.
    QVERIFY(!QDir(work_.filePath(QStringLiteral("log"))).entryList(QDir::Files).isEmpty());

    // "Venda de Item": six editors of four kinds fill the rows that are sent.
    const int sale = IndexOf(window.Catalogue(), "Venda de Item");
    QVERIFY(sale >= 0);
    prompter.QueueText("7891234567895").QueueText(Cp("Caneta azul")).QueueText("01").QueueNumber("2")
        .QueueValue("1,50").QueuePercentage("0", "0").QueueCancel(PromptKind::kSaveFile);
    Seen second;
    {
      Operator person(second);
      window.OpenCommand(sale);
    }
    QVERIFY2(second.message.contains(gui::Str(str::kComandoOk)), qPrintable(second.message));
    // The code typed in the first editor travels right after the command byte.
    QVERIFY2(second.dump.contains(QRegularExpression(
                 QStringLiteral("0000  02 .. .. 1B 09 37 38 39 31 32 33 34 35 36 37 38"))),
             qPrintable(second.dump));
    QVERIFY(second.opened.isEmpty());  // the save dialog was cancelled
    QCOMPARE(prompter.Unscripted(), 0);
  }

 private:
  QString simProgram_;
  QTemporaryDir work_;
  gui::SimulatorProcess sim_;
};

TERVANE_GUI_TEST(WorkbenchFlowTest);

}  // namespace tervane::testing

#include "workbench_flow_test.moc"
