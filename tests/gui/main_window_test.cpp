// The main window's menus from a catalogue, the model filter, the operations that are
// not available yet, and a catalogue that does not load.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "core/app/model_table.h"
#include "gui/app/main_window.h"
#include "gui/gui_test.h"

namespace tervane::testing {
namespace {

using namespace gui::ids;

CommandRecord Cmd(const char* group, const char* title, std::uint32_t mask = kAllModelsMask) {
  CommandRecord c;
  c.group = Cp(group);
  c.title = Cp(title);
  c.modelMask = mask;
  return c;
}

// The top-level menus of the bar, by title.

QMenu* MenuAt(QMainWindow& window, int k) {
  return window.menuBar()->actions().at(k)->menu();
}

std::vector<int> Ids(QMenu* menu) {
  std::vector<int> ids;
  for (QAction* a : menu->actions()) {
    if (!a->isSeparator()) ids.push_back(a->data().toInt());
  }
  return ids;
}

gui::CMainWindow::Options Offline() {
  gui::CMainWindow::Options options;
  options.detectPrinter = false;
  options.loadCatalogue = false;
  return options;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void groupsBecomeMenusInFirstAppearanceOrder() {
    gui::CMainWindow window(Offline());
    CommandCatalogue catalogue;
    catalogue.commands = {Cmd("A", "Primeiro"), Cmd("B", "Segundo"), Cmd("A", "Terceiro")};
    window.SetCatalogue(catalogue);
    QCOMPARE(MenuTitles(window), (QStringList{"Operações", "A", "B", "Ajuda"}));
    QCOMPARE(Ids(MenuAt(window, 1)), (std::vector<int>{1083, 1085}));
    QCOMPARE(Ids(MenuAt(window, 2)), (std::vector<int>{1084}));
    QCOMPARE(MenuAt(window, 1)->actions().at(1)->text(), QStringLiteral("Terceiro"));
    QCOMPARE(Ids(MenuAt(window, 0)), (std::vector<int>{kProgramarEquipamento, kSequencias, kClicheGrafico, kMfMfd,
                                                        kConfiguracoes, kSair}));
    QCOMPARE(Ids(MenuAt(window, 3)), (std::vector<int>{kSobre, kAjuda, kReferencia}));
    QCOMPARE(window.ActionFor(kSair)->text(), QStringLiteral("Sair"));
    QCOMPARE(window.ActionFor(kReferencia)->text(), QStringLiteral("Referência dos Comandos"));
  }

  void everyOperationAndToolIsAvailable() {
    gui::CMainWindow window(Offline());
    for (int id : {kProgramarEquipamento, kSequencias, kClicheGrafico, kMfMfd, kConfiguracoes}) {
      QVERIFY(window.ActionFor(id));
      QVERIFY(window.ActionFor(id)->isEnabled());
    }
    // The toolbar's five buttons, in order.
    QList<int> tools;
    for (QAction* a : window.ToolBar()->actions()) tools << a->data().toInt();
    QCOMPARE(tools, (QList<int>{kToolSequencias, kToolClicheGrafico, kToolMfMfd, kToolProgramar, kToolConfiguracoes}));
    for (int id : tools) QVERIFY(window.ActionFor(id)->isEnabled());
  }

  void filterByModelGreysCommandsOfOtherModels() {
    gui::CMainWindow window(Offline());
    ChooseModel(window.Settings(), "ZK-140 B");  // mask 16
    CommandCatalogue catalogue;
    catalogue.commands = {Cmd("A", "Antigos", 15), Cmd("A", "Deste modelo", 16), Cmd("A", "Todos")};
    window.SetCatalogue(catalogue);
    for (int id : {1083, 1084, 1085}) QVERIFY(window.ActionFor(id)->isEnabled());  // filter off
    window.Settings().g_filterByModel = true;
    window.BuildMenus();
    QVERIFY(!window.ActionFor(1083)->isEnabled());
    QVERIFY(window.ActionFor(1084)->isEnabled());
    QVERIFY(window.ActionFor(1085)->isEnabled());
  }

  void emptyCatalogueLeavesOnlyTheFixedMenus() {
    gui::CMainWindow window(Offline());
    window.SetCatalogue(CommandCatalogue{});
    QCOMPARE(MenuTitles(window), (QStringList{"Operações", "Ajuda"}));
  }

  void catalogueThatDoesNotLoadShowsTheMessageAndNoCatalogueMenus() {
    QTemporaryDir empty;  // no comandos.xml in it
    gui::CMainWindow::Options options;
    options.detectPrinter = false;
    options.workDir = empty.path().toStdString();
    gui::CMainWindow window(options);
    QString message;
    // The message box is modal: answer it from a timer once it is up.
    QTimer answer;
    connect(&answer, &QTimer::timeout, [&message] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        message = box->text();
        box->accept();
      }
    });
    answer.start(20);
    window.StartUp();
    answer.stop();
    QVERIFY(message.startsWith(QStringLiteral("Não foi possível carregar o arquivo \".xml\"")));
    QVERIFY(!window.CatalogueLoaded());
    QCOMPARE(MenuTitles(window), (QStringList{"Operações", "Ajuda"}));
    QCOMPARE(window.Settings().g_workDir, empty.path().toStdString());
  }

  void commandReferenceAndHelpOpenFilesOfTheWorkFolder() {
    QTemporaryDir work;
    QVERIFY(QDir(work.path()).mkpath(QStringLiteral("help")));
    for (const char* name : {"help/Tervane_Help.chm", "help/Tervane_Help.html"}) {
      QFile file(work.filePath(QString::fromLatin1(name)));
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
    gui::CMainWindow window(Offline());
    window.Settings().g_workDir = work.path().toStdString();
    QStringList opened;
    bool openWorks = true;
    window.SetFileOpener([&](const QString& path) {
      opened << path;
      return openWorks;
    });
    window.ActionFor(kReferencia)->trigger();
    window.ActionFor(kAjuda)->trigger();
    QFile::remove(work.filePath(QStringLiteral("help/Tervane_Help.chm")));
    window.ActionFor(kAjuda)->trigger();
    QCOMPARE(opened, (QStringList{work.filePath(QStringLiteral("comandos.xml")),
                                  work.filePath(QStringLiteral("help/Tervane_Help.chm")),
                                  work.filePath(QStringLiteral("help/Tervane_Help.html"))}));

    // A help file that will not open: the message names it.
    openWorks = false;
    QString message;
    QTimer answer;
    connect(&answer, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        message = box->text();
        box->accept();
      }
    });
    answer.start(20);
    window.ActionFor(kAjuda)->trigger();
    answer.stop();
    QCOMPARE(message, QStringLiteral("Não foi possível abrir %1").arg(work.filePath(QStringLiteral("help/Tervane_Help.html"))));
  }
};

TERVANE_GUI_TEST(MainWindowTest);

}  // namespace tervane::testing

#include "main_window_test.moc"
