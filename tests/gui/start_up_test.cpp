// The main window as a technician meets it against a slow printer (110 baud, so that
// every exchange takes seconds): nothing the user clicks during start-up runs, a close
// waits for start-up, the settings keep a detected model the list does not hold, the
// centre follows the port, a quit waits for the exchange in progress, and Escape in any
// window cancels that exchange.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "core/app/model_table.h"
#include "core/app/printer_detection.h"
#include "gui/app/main_window.h"
#include "gui/app/progress_window.h"
#include "gui/app/settings_dialog.h"
#include "gui/app/simulator_process.h"
#include "gui/common/app_profile.h"
#include "gui/common/quit_request.h"
#include "gui/gui_test.h"
#include "support/fake_prompter.h"

namespace tervane::testing {
namespace {

using namespace gui::ids;

// Calls `tick` every 20 ms while alive.
class Ticker {
 public:
  explicit Ticker(std::function<void()> tick) {
    QObject::connect(&timer_, &QTimer::timeout, std::move(tick));
    timer_.start(20);
  }

 private:
  QTimer timer_;
};

}  // namespace

class StartUpTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QString why;
    const QString program = SimulatorWithCatalogue(work_, &why);
    if (program.isEmpty()) QFAIL(qPrintable(why));
    // ZT-710 A: recognised by detection but not in the settings list.
    QVERIFY2(sim_.Start(program, {QStringLiteral("--workdir"), work_.path(), QStringLiteral("--baud"),
                                  QStringLiteral("110"), QStringLiteral("--model"), QStringLiteral("ZT-710 A")}),
             qPrintable(sim_.Error()));
    qputenv("TERVANE_COM1", sim_.PtyPath().toLocal8Bit());
  }

  void cleanupTestCase() {
    sim_.Stop();
    qunsetenv("TERVANE_COM1");
    gui::SetQuitAction({});
  }

  // Every toolbar button, every "Operações" entry, F1 and a close, again and again while
  // detection queries the model: no dialog opens, nothing is opened, the model query
  // completes, and the window closes once start-up has ended.
  void clickStormDuringStartUpRunsNothing() {
    gui::CMainWindow window(Options());
    FakePrompter prompter;
    window.SetPrompter(&prompter);
    int opened = 0;
    window.SetFileOpener([&](const QString&) { return ++opened, true; });
    window.resize(1024, 768);
    window.show();

    int ticksDuringStartUp = 0;
    int nested = 0;
    bool closeAsked = false;
    Ticker storm([&] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        ++nested;
        QMetaObject::invokeMethod(modal, "reject", Qt::QueuedConnection);
      }
      if (!window.StartingUp()) return;
      ++ticksDuringStartUp;
      QVERIFY(!window.menuBar()->isEnabled() && !window.ToolBar()->isEnabled());
      for (QAction* tool : window.ToolBar()->actions()) {
        if (QWidget* button = window.ToolBar()->widgetForAction(tool)) QTest::mouseClick(button, Qt::LeftButton);
      }
      for (int id : {kProgramarEquipamento, kSequencias, kClicheGrafico, kMfMfd, kConfiguracoes, kSobre, kAjuda,
                     kReferencia}) {
        if (QAction* action = window.ActionFor(id)) action->trigger();
      }
      QTest::keyClick(&window, Qt::Key_F1);
      if (ticksDuringStartUp == 3) {
        closeAsked = true;
        window.close();
        QVERIFY(window.isVisible());  // not while detection holds the port
      }
    });
    window.StartUp();
    QVERIFY2(ticksDuringStartUp >= 3, "the storm never met start-up");
    QCOMPARE(nested, 0);
    QCOMPARE(opened, 0);
    QVERIFY(prompter.Requests().empty());
    QCOMPARE(window.Settings().g_portName, std::string("COM1:"));
    QCOMPARE(window.Settings().g_modelName, PadModelName("ZT-710 A"));  // the query was not disturbed
    QCOMPARE(window.Settings().g_modelMask, 2048u);
    QVERIFY(window.menuBar()->isEnabled() && window.ToolBar()->isEnabled());
    QVERIFY(closeAsked);
    QTRY_VERIFY(!window.isVisible());  // the close asked for during start-up
  }

  // OK in "Configurações" with nothing touched keeps the detected ZT-710 A, its mask and
  // so the memory tools' library; the centre and the status bar follow a port change.
  void settingsKeepTheDetectedModelAndTheWindowShowsThePortInUse() {
    gui::CMainWindow window(Options());
    window.StartUp();
    QCOMPARE(window.Settings().g_modelMask, 2048u);
    QVERIFY2(window.ConnectionText().contains(QStringLiteral("conectada à porta COM1:")),
             qPrintable(window.ConnectionText()));
    QCOMPARE(window.PortStatusText(), QStringLiteral("Porta: COM1:"));

    AnswerSettings([](gui::CSettingsDlg* dialog) {
      QVERIFY(dialog->ModelList()->currentText().startsWith(QStringLiteral("ZT-710 A")));
      dialog->accept();
    });
    window.OpenSettings();
    QCOMPARE(window.Settings().g_modelName, PadModelName("ZT-710 A"));
    QCOMPARE(window.Settings().g_modelMask, 2048u);
    QCOMPARE(VendorLibraryFor(window.Settings().g_modelMask), VendorLibraryFor(2048u));

    AnswerSettings([](gui::CSettingsDlg* dialog) {
      dialog->PortList()->setCurrentText(QStringLiteral("COM3:"));
      dialog->accept();
    });
    window.OpenSettings();
    QCOMPARE(window.PortStatusText(), QStringLiteral("Porta: COM3:"));
    QCOMPARE(window.ConnectionText(), QStringLiteral("Porta COM3: escolhida em Configurações"));
    QCOMPARE(window.Settings().g_modelMask, 2048u);  // a port change leaves the model alone

    AnswerSettings([](gui::CSettingsDlg* dialog) {
      dialog->PortList()->setCurrentText(QStringLiteral("COM1:"));
      dialog->accept();
    });
    window.OpenSettings();
    QVERIFY(window.ConnectionText().contains(QStringLiteral("conectada à porta COM1:")));
  }

  // A printer that answers random bytes, and a profile full of nonsense: start-up ends
  // with the operations enabled and a text in the centre, and the windows open.
  void garbageRepliesAndANonsenseProfileStartCleanly() {
    {
      auto profile = gui::OpenProfile();
      profile->setValue(QStringLiteral("Settings/X"), QStringLiteral("abc"));
      profile->setValue(QStringLiteral("Settings/Y"), QStringLiteral("-99999999999999"));
      profile->setValue(QStringLiteral("MainWindow/Geometry"), QByteArray("\x01\x02garbage"));
      profile->setValue(QStringLiteral("ports/COM2"), QStringLiteral("\t../../nowhere\x7f"));
    }
    gui::SimulatorProcess garbage;
    QVERIFY2(garbage.Start(QStringLiteral(TERVANE_BIN_DIR "/tervane-sim"),
                           {QStringLiteral("--fault"), QStringLiteral("garbage"), QStringLiteral("--seed"),
                            QStringLiteral("7")}),
             qPrintable(garbage.Error()));
    const QByteArray saved = qgetenv("TERVANE_COM1");
    qputenv("TERVANE_COM1", garbage.PtyPath().toLocal8Bit());
    {
      gui::CMainWindow window(Options());
      QVERIFY(!window.RestoreSavedGeometry());
      window.StartUp();
      QVERIFY(!window.StartingUp());
      QVERIFY(window.menuBar()->isEnabled() && window.ToolBar()->isEnabled());
      QVERIFY(!window.ConnectionText().isEmpty());
      QVERIFY(window.Settings().g_modelName.empty() || window.Settings().g_modelMask != 0);
      AnswerSettings([](gui::CSettingsDlg* dialog) { dialog->reject(); });
      window.OpenSettings();
    }
    qputenv("TERVANE_COM1", saved);
    garbage.Stop();
    gui::OpenProfile()->clear();
  }

  // A quit asked for while a command's reply is coming in waits for the reply: the command
  // succeeds and the program quits after it, once.
  void quitDuringAnExchangeWaitsForIt() {
    gui::CMainWindow window(Options(false));
    window.Settings().g_portName = "COM1:";
    int quits = 0;
    bool finished = false;
    gui::SetQuitAction([&] {
      ++quits;
      QVERIFY(finished || gui::RunningOperations() == 0);
    });
    bool asked = false;
    Ticker ask([&] {
      if (asked || gui::RunningOperations() == 0) return;
      asked = true;
      gui::RequestQuit();
      QVERIFY(gui::QuitPending());
      QCOMPARE(quits, 0);
    });
    CommandRecord query = ModelQueryCommand();
    const int result = window.Runner()(query);
    finished = true;
    QVERIFY(asked);
    QCOMPARE(result, kOk);
    QCOMPARE(quits, 1);
    QVERIFY(!gui::QuitPending());
    gui::SetQuitAction({});
  }

  // Escape pressed in the main window (not the progress window) while the reply comes in
  // cancels the exchange and does not reach the window underneath.
  void escapeInAnyWindowCancelsTheExchange() {
    gui::CMainWindow window(Options(false));
    window.Settings().g_portName = "COM1:";
    window.show();
    bool pressed = false;
    Ticker press([&] {
      if (pressed || gui::RunningOperations() == 0) return;
      pressed = true;
      QCoreApplication::postEvent(&window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    });
    CommandRecord query = ModelQueryCommand();
    const int result = window.Runner()(query);
    QVERIFY(pressed);
    QCOMPARE(result, kCancelled);
    QVERIFY(window.isVisible());
  }

 private:
  gui::CMainWindow::Options Options(bool detect = true) const {
    gui::CMainWindow::Options options;
    options.workDir = work_.path().toStdString();
    options.detectPrinter = detect;
    options.loadCatalogue = true;
    options.unattended = true;
    return options;
  }

  // Answers the next settings dialog with `act`.
  static void AnswerSettings(std::function<void(gui::CSettingsDlg*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
      auto* dialog = qobject_cast<gui::CSettingsDlg*>(QApplication::activeModalWidget());
      if (!dialog) return;
      timer->stop();
      timer->deleteLater();
      QPointer<gui::CSettingsDlg> target(dialog);
      QMetaObject::invokeMethod(dialog, [act, target] { if (target) act(target); }, Qt::QueuedConnection);
    });
    timer->start(10);
  }

  QTemporaryDir work_;
  gui::SimulatorProcess sim_;
};

TERVANE_GUI_TEST(StartUpTest);

}  // namespace tervane::testing

#include "start_up_test.moc"
