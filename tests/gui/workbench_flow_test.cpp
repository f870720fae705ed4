// The whole road through the windows against the emulated printer on a pseudo-terminal:
// detection at start-up, a command picked from its group menu, its editors answered,
// "Ok", the result window with its dump, and "Salvar".
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QFile>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "core/common/string_table.h"
#include "core/app/printer_detection.h"
#include "gui/app/main_window.h"
#include "gui/app/progress_window.h"
#include "gui/app/simulator_process.h"
#include "gui/catalogue/command_dialog.h"
#include "gui/common/qt_text.h"
#include "gui/gui_test.h"
#include "gui/protocol/result_window.h"
#include "core/protocol/command_log.h"
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
  // Each answer is queued rather than given inside the timer's own call, so that the
  // window it opens (a nested event loop) still sees the timer firing.
  void Step() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == handled_) return;
    if (auto* command = qobject_cast<gui::CCommandDlg*>(modal)) {
      if (command->Running()) return;  // a command that runs as it opens needs no "Ok"
      handled_ = modal;
      ++seen_.dialogsAnswered;
      QMetaObject::invokeMethod(command, [command] { QTest::mouseClick(command->OkButton(), Qt::LeftButton); },
                                Qt::QueuedConnection);
    } else if (auto* result = qobject_cast<gui::CResultDlg*>(modal)) {
      handled_ = modal;
      ++seen_.dialogsAnswered;
      QMetaObject::invokeMethod(result, [this, result] {
        result->SetFileOpener([this](const QString& path) { seen_.opened << path; });
        seen_.message = result->TextBox()->toPlainText();
        QTest::mouseClick(result->ToggleButton(), Qt::LeftButton);
        seen_.dump = result->TextBox()->toPlainText();
        QTest::mouseClick(result->SaveButton(), Qt::LeftButton);
        result->reject();
      }, Qt::QueuedConnection);
    }
  }
  QPointer<QWidget> handled_;
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
    QString why;
    simProgram_ = SimulatorWithCatalogue(work_, &why);
    if (simProgram_.isEmpty()) QFAIL(qPrintable(why));
    QVERIFY2(sim_.Start(simProgram_, {QStringLiteral("--workdir"), work_.path(), QStringLiteral("--intervention")}), qPrintable(sim_.Error()));
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

    // "Programa Alíquota": a percentage and an option, then "Ok"; the result is saved.
    const int program = IndexOf(window.Catalogue(), Cp("Programa Alíquota"));
    QVERIFY(program >= 0);
    const QString saved = work_.filePath(QStringLiteral("Msg_Ret.txt"));
    prompter.QueuePercentage("18", "5").QueueChoice(1).QueueSaveFile(saved.toStdString()).QueueChoice(3);
    Seen seen;
    {
      Operator person(seen);
      window.ActionFor(gui::ids::kFirstCommandId + program)->trigger();
    }
    QCOMPARE(seen.dialogsAnswered, 2);
    QVERIFY2(seen.message.contains(gui::Str(str::kComandoOk)), qPrintable(seen.message));
    QVERIFY(seen.message.startsWith(QStringLiteral("\nComando:\tPrograma Alíquota")));
    // The frame carries the rate as four digits ("1850") and the option's value ("0").
    QVERIFY2(seen.dump.contains(QRegularExpression(QStringLiteral("0000  02 .. .. 1[BC] 07 31 38 35 30 30 "))),
             qPrintable(seen.dump));
    QVERIFY(seen.dump.contains(QStringLiteral("RET:\n0000  06 ")));
    QCOMPARE(seen.opened, QStringList{saved});
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY(content.startsWith(QByteArray("\r\nComando:\tPrograma Al\xedquota\r\n")));
    QVERIFY(content.contains("CMD:\r\n0000  02 "));
    // Every exchange reached the day's log in the work folder.
    QVERIFY(!QDir(work_.filePath(QStringLiteral("log"))).entryList(QDir::Files).isEmpty());

    // A command without parameters runs as its dialog opens; the rate just programmed
    // comes back decoded.
    const int read = IndexOf(window.Catalogue(), Cp("Leitura das Alíquotas (detalhada)"));
    QVERIFY(read >= 0);
    prompter.QueueCancel(PromptKind::kSaveFile);
    Seen second;
    {
      Operator person(second);
      window.OpenCommand(read);
    }
    QCOMPARE(second.dialogsAnswered, 1);
    QVERIFY2(second.message.contains(QStringLiteral("18,50")), qPrintable(second.message));
    QVERIFY(second.opened.isEmpty());  // the save dialog was cancelled
    QCOMPARE(prompter.Unscripted(), 0);
  }

 private:
  QString simProgram_;
  QTemporaryDir work_;
  gui::SimulatorProcess sim_;
};

TERVANE_GUI_TEST(WorkbenchFlowTest);

// A printer that stops answering: the progress window stays responsive and its Cancel
// ends the exchange at once, and the result window tells so.
class CancelFlowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    const QString program = QStringLiteral(TERVANE_BIN_DIR "/tervane-sim");
    if (!QFile::exists(program)) QFAIL("the simulator is not built");
    QVERIFY(work_.isValid());
    QVERIFY2(sim_.Start(program, {QStringLiteral("--fault"), QStringLiteral("silence")}), qPrintable(sim_.Error()));
    qputenv("TERVANE_COM1", sim_.PtyPath().toLocal8Bit());
  }

  void cleanupTestCase() {
    sim_.Stop();
    qunsetenv("TERVANE_COM1");
  }

  void cancelInTheProgressWindowEndsTheExchange() {
    gui::CMainWindow::Options options;
    options.workDir = work_.path().toStdString();
    options.detectPrinter = false;
    options.loadCatalogue = false;
    gui::CMainWindow window(options);
    window.Settings().g_workDir = options.workDir;
    window.Settings().g_portName = "COM1:";
    FakePrompter prompter;
    window.SetPrompter(&prompter);
    CommandCatalogue catalogue;
    CommandRecord query = ModelQueryCommand();
    query.group = "Consultas";
    catalogue.commands.push_back(query);
    window.SetCatalogue(catalogue);

    QString message;
    int progressShown = 0;
    QPointer<QWidget> cancelled;
    QTimer person;
    connect(&person, &QTimer::timeout, [&] {
      for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* progress = qobject_cast<gui::CProgressWindow*>(top);
        if (progress && progress->isVisible() && progress != cancelled) {
          ++progressShown;
          cancelled = progress;
          QMetaObject::invokeMethod(progress, [progress] {
            QTest::mouseClick(progress->CancelButton(), Qt::LeftButton);
          }, Qt::QueuedConnection);
        }
      }
      if (auto* result = qobject_cast<gui::CResultDlg*>(QApplication::activeModalWidget())) {
        message = result->TextBox()->toPlainText();
        QMetaObject::invokeMethod(result, [result] { result->reject(); }, Qt::QueuedConnection);
      }
    });
    person.start(50);
    QElapsedTimer clock;
    clock.start();
    window.OpenCommand(0);  // no parameters: runs as the dialog opens
    person.stop();
    QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(progressShown, 1);
    QVERIFY2(message.contains(gui::Str(str::kComandoCancelado)), qPrintable(message));
  }

 private:
  QTemporaryDir work_;
  gui::SimulatorProcess sim_;
};

TERVANE_GUI_TEST(CancelFlowTest);

// The program itself: `tervane --simulator --screenshot FILE` starts on the emulated
// printer, saves its main window and ends, taking the simulator with it.
class ProgramTest : public QObject {
  Q_OBJECT

 private slots:
  void screenshotOfTheStartedWindow() {
    const QString program = QStringLiteral(TERVANE_BIN_DIR "/tervane");
    const QString catalogue = QStringLiteral(TERVANE_REPO_DIR "/data/comandos.xml");
    if (!QFile::exists(program) || !QFile::exists(QStringLiteral(TERVANE_BIN_DIR "/tervane-sim")) ||
        !QFile::exists(catalogue)) {
      QFAIL("tervane, tervane-sim or the catalogue is not built");
    }
    QTemporaryDir work;
    QVERIFY(QFile::copy(catalogue, work.filePath(QStringLiteral("comandos.xml"))));
    const QString picture = work.filePath(QStringLiteral("main.png"));
    QProcess tervane;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (int n = 2; n <= 8; ++n) env.insert(QStringLiteral("TERVANE_COM%1").arg(n), work.filePath(QStringLiteral("none")));
    tervane.setProcessEnvironment(env);
    tervane.start(program, {QStringLiteral("--simulator"), QStringLiteral("--workdir"), work.path(),
                            QStringLiteral("--screenshot"), picture, QStringLiteral("--report-ready")});
    QVERIFY(tervane.waitForFinished(20000));
    QCOMPARE(tervane.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tervane.exitCode(), 0);
    QVERIFY(tervane.readAllStandardOutput().startsWith("ready "));
    const QImage image(picture);
    QVERIFY(!image.isNull());
    QVERIFY(image.width() >= 640 && image.height() >= 400);
    // The detection found the simulator: its daily log holds the model query.
    const QStringList logs = QDir(work.filePath(QStringLiteral("log"))).entryList(QDir::Files);
    QCOMPARE(logs.size(), 1);
    QFile log(work.filePath(QStringLiteral("log/")) + logs.first());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains("Marca, Modelo e Tipo"));
  }
};

TERVANE_GUI_TEST(ProgramTest);

}  // namespace tervane::testing

#include "workbench_flow_test.moc"
