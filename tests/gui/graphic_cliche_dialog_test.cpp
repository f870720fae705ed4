// "Clichê Gráfico" hosting the logo control: the control registered into a temporary
// registry with tervane-regsvr and created by class ID, its port from the settings, the
// USB message, and no dialog at all while the class is not registered.
#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <sys/wait.h>

#include "component/create_instance.h"
#include "component/dispatch.h"
#include "gui/app/main_window.h"
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

}  // namespace

class GraphicClicheDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    registry_ = std::make_unique<QTemporaryDir>();
    QVERIFY(registry_->isValid());
    saved_ = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", registry_->path().toLocal8Bit());
  }
  void cleanup() {
    RunRegsvr(QStringLiteral("-u ") + Library());
    qputenv("XDG_DATA_HOME", saved_);
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

    // From the main window's menu the same: no window opens.
    gui::CMainWindow window(gui::CMainWindow::Options{{}, false, false, {}, true});
    window.SetPrompter(&prompter);
    QAction* action = window.ActionFor(gui::ids::kClicheGrafico);
    QVERIFY(action && action->isEnabled());
    QVERIFY(window.ActionFor(gui::ids::kToolClicheGrafico)->isEnabled());
    action->trigger();
    QVERIFY(!QApplication::activeModalWidget());
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

 private:
  std::unique_ptr<QTemporaryDir> registry_;
  QByteArray saved_;
};

TERVANE_GUI_TEST(GraphicClicheDialogTest);

}  // namespace tervane::testing

#include "graphic_cliche_dialog_test.moc"
