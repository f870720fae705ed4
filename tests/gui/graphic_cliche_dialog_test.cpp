// "Clichê Gráfico" hosting the logo control: the control registered into a temporary
// registry with tervane-regsvr and created by class ID, its port from the settings, the
// USB message, and no dialog at all while the class is not registered (nor when a broken
// system-wide registry is all there is), when the main window's entries are disabled
// with a tip saying how to register it.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <sys/wait.h>

#include "component/create_instance.h"
#include "component/dispatch.h"
#include "gui/app/main_window.h"
#include "gui/app/simulator_process.h"
#include "gui/control/brandel.h"
#include "gui/control/graphic_cliche_dialog.h"
#include "gui/gui_test.h"
#include "support/fake_prompter.h"

namespace tervane::testing {
namespace {

int RunRegsvr(const QString& arguments) {
  const QString command = QStringLiteral("'%1/tervane-regsvr' %2 >/dev/null 2>&1")
                              .arg(QString::fromUtf8(TERVANE_BIN_DIR), arguments);
  const int status = std::system(command.toLocal8Bit().constData());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

QString Library() {
  return QStringLiteral("'%1/../lib/libbrandel.so'").arg(QString::fromUtf8(TERVANE_BIN_DIR));
}

std::string PortOf(gui::CBrandel& brandel) {
  component::Variant value;
  if (!brandel.Control() || component::GetProperty(*brandel.Control(), 1, value) != component::hr::kOk) return "?";
  return value.text();
}

// Answers the next modal window of type Window with `act` while `start` runs (which
// opens it); gives up, closing whatever is modal, after ten seconds. True when answered.
template <typename Window>
bool AnswerModal(const std::function<void()>& start, const std::function<void(Window*)>& act) {
  bool answered = false;
  QElapsedTimer clock;
  clock.start();
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (clock.elapsed() > 10000) {
      if (modal) QMetaObject::invokeMethod(modal, "reject", Qt::QueuedConnection);
      return;
    }
    auto* window = qobject_cast<Window*>(modal);
    if (answered || !window) return;
    answered = true;
    QPointer<Window> target(window);
    // Queued, so that a window the action opens still sees this timer.
    QMetaObject::invokeMethod(window, [act, target] { if (target) act(target); }, Qt::QueuedConnection);
  });
  timer.start(10);
  start();
  return answered;
}

}  // namespace

class GraphicClicheDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    registry_ = std::make_unique<QTemporaryDir>();
    QVERIFY(registry_->isValid());
    saved_ = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", registry_->path().toLocal8Bit());
    // A system-wide registry of this machine must not answer for the test's own.
    qputenv("TERVANE_SYSTEM_REGISTRY", (registry_->path() + QStringLiteral("/system.ini")).toLocal8Bit());
  }
  void cleanup() {
    RunRegsvr(QStringLiteral("-u ") + Library());
    qputenv("XDG_DATA_HOME", saved_);
    qunsetenv("TERVANE_SYSTEM_REGISTRY");
    registry_.reset();
  }

  void unregisteredClassOpensNothingAndSaysNothing() {
    FakePrompter prompter;
    ProgramSettings settings;
    settings.g_portName = "USB";  // not even the USB message
    gui::CGraphicClicheDlg dialog(nullptr, settings, prompter);
    QCOMPARE(dialog.Run(), -1);
    QVERIFY(!dialog.isVisible());
    QVERIFY(prompter.Requests().empty());
    QVERIFY(!dialog.Control()->Control());

    // In the main window, the menu entry and the toolbar button are disabled and say how
    // to register the control; registering it (the window checks again when its menu
    // opens or it is activated) enables both, and removing it disables them again.
    gui::CMainWindow::Options options;
    options.detectPrinter = false;
    options.loadCatalogue = false;
    options.unattended = true;
    gui::CMainWindow window(options);
    window.SetPrompter(&prompter);
    QAction* entry = window.ActionFor(gui::ids::kClicheGrafico);
    QAction* tool = window.ActionFor(gui::ids::kToolClicheGrafico);
    QVERIFY(entry && tool);
    for (QAction* action : {entry, tool}) {
      QVERIFY(!action->isEnabled());
      QVERIFY2(action->toolTip().contains(QStringLiteral("tervane-regsvr")), qPrintable(action->toolTip()));
      QVERIFY(action->toolTip().contains(QStringLiteral("libbrandel.so")));
    }
    QVERIFY(window.GraphicClicheUnavailable().contains(QStringLiteral("não está registrado")));
    entry->trigger();
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(prompter.Requests().empty());

    QCOMPARE(RunRegsvr(Library()), 0);
    window.RefreshGraphicCliche();
    QVERIFY(entry->isEnabled() && tool->isEnabled());
    QVERIFY(window.GraphicClicheUnavailable().isEmpty());
    QVERIFY(!tool->toolTip().contains(QStringLiteral("tervane-regsvr")));
    QCOMPARE(RunRegsvr(QStringLiteral("-u ") + Library()), 0);
    window.RefreshGraphicCliche();
    QVERIFY(!entry->isEnabled() && !tool->isEnabled());
  }

  // A system-wide registry that cannot be read: the dialog still opens nothing and says
  // nothing while the class is registered nowhere, the reason names the file, and a
  // control the user registered is found all the same.
  void brokenSystemRegistryHidesNothing() {
    const QString system = registry_->path() + QStringLiteral("/system.ini");
    QFile file(system);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Class broken]\nnot an entry\n");
    file.close();
    FakePrompter prompter;
    ProgramSettings settings;
    settings.g_portName = "COM2:";
    {
      gui::CGraphicClicheDlg dialog(nullptr, settings, prompter);
      QCOMPARE(dialog.Run(), -1);
      QVERIFY(prompter.Requests().empty());
      gui::CBrandel brandel(nullptr);
      std::string error;
      QCOMPARE(brandel.Create(&error), component::hr::kRegistryRead);
      QVERIFY2(error.find(system.toStdString() + ", line 2") != std::string::npos, error.c_str());
    }
    QCOMPARE(RunRegsvr(Library()), 0);
    gui::CGraphicClicheDlg dialog(nullptr, settings, prompter);
    QVERIFY(dialog.Open());
    QCOMPARE(PortOf(*dialog.Control()), std::string("COM2:"));
    QVERIFY(prompter.Requests().empty());
  }

  void registeredControlGetsTheSelectedPort() {
    QCOMPARE(RunRegsvr(Library()), 0);
    FakePrompter prompter;
    ProgramSettings settings;
    settings.g_portName = "COM3:";
    gui::CGraphicClicheDlg dialog(nullptr, settings, prompter);
    QVERIFY(dialog.Open());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Clichê Gráfico"));
    QCOMPARE(dialog.CancelButton()->text(), QStringLiteral("Sair"));
    QCOMPARE(PortOf(*dialog.Control()), std::string("COM3:"));
    QVERIFY(prompter.Requests().empty());
    // The control shows whole inside the dialog, clear of "Sair".
    QWidget* window = dialog.Control()->ControlWindow();
    QVERIFY(window);
    const QRect area(dialog.Control()->mapTo(&dialog, QPoint(0, 0)), window->size());
    QVERIFY(dialog.rect().contains(area));
    QVERIFY(!area.intersects(dialog.CancelButton()->geometry()));
  }

  void usbShowsItsMessageAndTheDialogStaysOpen() {
    QCOMPARE(RunRegsvr(Library()), 0);
    FakePrompter prompter;
    ProgramSettings settings;
    settings.g_portName = "USB";
    gui::CGraphicClicheDlg dialog(nullptr, settings, prompter);
    bool wasOpen = false;
    QTimer::singleShot(0, &dialog, [&] {
      wasOpen = dialog.isVisible();
      dialog.CancelButton()->click();
    });
    QCOMPARE(dialog.Run(), int(QDialog::Rejected));
    QVERIFY(wasOpen);
    const auto messages = prompter.RequestsOf(PromptKind::kMessage);
    QCOMPARE(messages.size(), size_t(1));
    QCOMPARE(messages[0].description, Cp("Este comando não suporta interface USB"));
    QCOMPARE(PortOf(*dialog.Control()), std::string("USB"));
  }

  // The whole road through the hosted control: the workbench's "COM1:" (mapped to the
  // emulated printer) reaches the composition dialog, which sends and saves a logo that
  // the printer then keeps.
  void composedLogoIsSentAndSavedThroughTheSelectedPort() {
    const QString program = QStringLiteral(TERVANE_BIN_DIR "/tervane-sim");
    if (!QFile::exists(program)) QFAIL("the simulator is not built");
    QCOMPARE(RunRegsvr(Library()), 0);
    QTemporaryDir out;
    const QString png = out.filePath(QStringLiteral("kept.png"));
    gui::SimulatorProcess sim;
    QVERIFY2(sim.Start(program, {QStringLiteral("--intervention"), QStringLiteral("--model"),
                                 QStringLiteral("ZK-110 A"), QStringLiteral("--dump-logo"), png}),
             qPrintable(sim.Error()));
    const QByteArray savedCom1 = qgetenv("TERVANE_COM1");
    qputenv("TERVANE_COM1", sim.PtyPath().toLocal8Bit());

    FakePrompter prompter;
    ProgramSettings settings;
    settings.g_portName = "COM1:";
    gui::CGraphicClicheDlg dialog(nullptr, settings, prompter);
    QVERIFY(dialog.Open());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QWidget* window = dialog.Control()->ControlWindow();
    window->repaint();  // the composition dialog is made on the first drawing
    QWidget* composition = window->findChild<QWidget*>(QStringLiteral("logoDialog"));
    QVERIFY(composition);
    auto button = [&](const char* name) { return composition->findChild<QPushButton*>(QLatin1String(name)); };
    const char* lines[] = {"line1", "line2", "line3"};
    const char* texts[] = {"RAZAO SOCIAL LTDA", "FANTASIA", "RUA DAS FLORES 10"};
    for (int i = 0; i < 3; ++i) {
      auto* edit = composition->findChild<QLineEdit*>(QLatin1String(lines[i]));
      QVERIFY(edit);
      edit->setText(QString::fromLatin1(texts[i]));
    }
    const QString bitmap = QStringLiteral(TERVANE_REPO_DIR "/data/logo/demo-logo.bmp");
    QVERIFY(AnswerModal<QFileDialog>([&] { button("logoButton")->click(); },
                                     [&](QFileDialog* files) {
                                       // Typed into the name box, as a person would.
                                       auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                                       if (name) name->setText(bitmap);
                                       QMetaObject::invokeMethod(files, "accept");
                                     }));
    QVERIFY(AnswerModal<QFontDialog>([&] { button("addButton")->click(); },
                                     [](QFontDialog* fonts) { fonts->accept(); }));
    QVERIFY(button("sendButton")->isEnabled());

    QMessageBox::Icon sent = QMessageBox::NoIcon, saved = QMessageBox::NoIcon;
    QString sentText, savedText;
    QVERIFY(AnswerModal<QMessageBox>([&] { button("sendButton")->click(); },
                                     [&](QMessageBox* box) {
                                       sent = box->icon();
                                       sentText = box->text();
                                       box->accept();
                                     }));
    QVERIFY(AnswerModal<QMessageBox>([&] { button("saveButton")->click(); },
                                     [&](QMessageBox* box) {
                                       saved = box->icon();
                                       savedText = box->text();
                                       box->accept();
                                     }));
    qputenv("TERVANE_COM1", savedCom1);
    sim.Stop();
    QVERIFY2(sent == QMessageBox::Information, qPrintable(sentText));
    QVERIFY2(saved == QMessageBox::Information, qPrintable(savedText));
    QVERIFY(QFileInfo(png).size() > 0);
    QVERIFY(prompter.Requests().empty());
  }

 private:
  std::unique_ptr<QTemporaryDir> registry_;
  QByteArray saved_;
};

TERVANE_GUI_TEST(GraphicClicheDialogTest);

}  // namespace tervane::testing

#include "graphic_cliche_dialog_test.moc"
