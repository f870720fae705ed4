// The main window's menus from a catalogue, the model filter, a catalogue that does not
// load, the help shortcut and mnemonics, a bar too narrow for every group, and the
// remembered size.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "core/app/model_table.h"
#include "gui/app/app_icon.h"
#include "gui/app/main_window.h"
#include "gui/common/app_profile.h"
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
                                                        kMonitor, kConfiguracoes, kSair}));
    QCOMPARE(Ids(MenuAt(window, 3)), (std::vector<int>{kSobre, kAjuda, kReferencia}));
    QCOMPARE(window.ActionFor(kSair)->text(), QStringLiteral("Sair"));
    QCOMPARE(window.ActionFor(kReferencia)->text(), QStringLiteral("Referência dos Comandos"));
  }

  // Every operation but the logo control's, which follows its registration (see the
  // graphic cliché tests).
  void everyOperationAndToolIsAvailable() {
    gui::CMainWindow window(Offline());
    for (int id : {kProgramarEquipamento, kSequencias, kMfMfd, kConfiguracoes}) {
      QVERIFY(window.ActionFor(id));
      QVERIFY(window.ActionFor(id)->isEnabled());
    }
    // The toolbar's five buttons, in order.
    QList<int> tools;
    for (QAction* a : window.ToolBar()->actions()) tools << a->data().toInt();
    QCOMPARE(tools, (QList<int>{kToolSequencias, kToolClicheGrafico, kToolMfMfd, kToolProgramar, kToolConfiguracoes}));
    for (int id : {kToolSequencias, kToolMfMfd, kToolProgramar, kToolConfiguracoes}) {
      QVERIFY(window.ActionFor(id)->isEnabled());
    }
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

  // The help entry's label says "(F1)" once (no second shortcut column), and F1 in the
  // window opens the help; the fixed menus have their mnemonics.
  void helpShortcutShowsOnceAndMenusHaveMnemonics() {
    gui::CMainWindow window(Offline());
    QAction* help = window.ActionFor(kAjuda);
    QCOMPARE(help->text(), QStringLiteral("Tópicos da Ajuda (F1)"));
    QVERIFY(help->shortcut().isEmpty());
    int opened = 0;
    window.SetFileOpener([&](const QString&) { return ++opened, true; });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::keyClick(&window, Qt::Key_F1);
    QCOMPARE(opened, 1);
    QCOMPARE(window.menuBar()->actions().front()->text(), QStringLiteral("&Operações"));
    QCOMPARE(window.menuBar()->actions().back()->text(), QStringLiteral("A&juda"));
    // The window's icon is the shipped SVG, compiled in and drawn by Qt's SVG engine.
    QVERIFY(QFile::exists(QStringLiteral(":/tervane/icons/tervane.svg")));
    QVERIFY(!QIcon(QStringLiteral(":/tervane/icons/tervane.svg")).pixmap(64, 64).isNull());
    QCOMPARE(window.windowIcon().pixmap(64, 64).toImage(),
             QIcon(QStringLiteral(":/tervane/icons/tervane.svg")).pixmap(64, 64).toImage());
  }

  // The toolbar's pictures and its overflow arrow are drawn in code at the size asked
  // for, greyed when disabled, and the arrow comes from the window's style.
  void drawnIconsAtEverySizeAndGreyedWhenDisabled() {
    auto inked = [](const QPixmap& pixmap) {
      const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
      int opaque = 0;
      for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) opaque += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
      }
      return opaque;
    };
    const QIcon memory = gui::ToolIcon(gui::ToolPicture::kMemory);
    for (int size : {16, 32, 48, 100}) {
      const QPixmap pixmap = memory.pixmap(size, size);
      QCOMPARE(pixmap.size(), QSize(size, size));
      QVERIFY2(inked(pixmap) > size * size / 10, qPrintable(QString::number(size)));
    }
    QVERIFY(memory.pixmap(32, 32, QIcon::Disabled).toImage() != memory.pixmap(32, 32).toImage());

    gui::WorkbenchStyle style(QApplication::style()->name());
    for (auto arrow : {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton}) {
      QVERIFY(inked(style.standardIcon(arrow).pixmap(16, 16)) > 10);
    }
    QVERIFY(style.standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton).pixmap(16, 16).toImage() !=
            style.standardIcon(QStyle::SP_ToolBarVerticalExtensionButton).pixmap(16, 16).toImage());
    QVERIFY(!style.standardIcon(QStyle::SP_DialogOkButton).isNull());  // the rest from the base style
  }

  // With more groups than fit, "Ajuda" stays on the bar at 1024 pixels: the last groups
  // move into "Mais", keeping their commands; a wide window has them all on the bar.
  void menuBarKeepsAjudaInSightAt1024Pixels() {
    gui::CMainWindow window(Offline());
    CommandCatalogue catalogue;
    for (int k = 0; k < 14; ++k) {
      catalogue.commands.push_back(Cmd(("Grupo de comandos " + std::to_string(k)).c_str(), "Comando"));
    }
    window.SetCatalogue(catalogue);
    window.resize(1024, 768);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QMenuBar* bar = window.menuBar();
    const QStringList titles = MenuTitles(window);
    QCOMPARE(titles.back(), QStringLiteral("Ajuda"));
    QVERIFY2(titles.contains(QStringLiteral("Mais")), qPrintable(titles.join(QLatin1Char('|'))));
    QVERIFY(bar->actionGeometry(bar->actions().back()).right() < bar->width());
    for (int k = 0; k < 14; ++k) QVERIFY(window.ActionFor(kFirstCommandId + k));  // none lost
    QVERIFY(window.ActionFor(kFirstCommandId + 13)->isEnabled());
    // The groups keep their order, on the bar and then in "Mais", however the window got
    // to its width.
    auto groupOrder = [&] {
      QStringList order;
      for (QAction* top : bar->actions()) {
        if (top->text() == QStringLiteral("&Mais")) {
          for (QAction* inMore : top->menu()->actions()) order << inMore->text();
        } else if (top->text().startsWith(QStringLiteral("Grupo"))) {
          order << top->text();
        }
      }
      return order;
    };
    QStringList expected;
    for (int k = 0; k < 14; ++k) expected << QStringLiteral("Grupo de comandos %1").arg(k);
    QCOMPARE(groupOrder(), expected);
    const int onBarAt1024 = static_cast<int>(titles.size());
    window.resize(600, 768);
    QTRY_VERIFY(MenuTitles(window).size() < onBarAt1024);
    QCOMPARE(groupOrder(), expected);
    window.resize(1024, 768);
    QTRY_COMPARE(MenuTitles(window), titles);
    QCOMPARE(groupOrder(), expected);

    window.resize(4000, 768);
    QTRY_COMPARE(MenuTitles(window).size(), 16);
    QVERIFY(!MenuTitles(window).contains(QStringLiteral("Mais")));
  }

  // The window's size is kept in the profile when it closes and given back next time;
  // nonsense in the profile is ignored.
  void sizeIsRememberedAcrossRuns() {
    {
      gui::CMainWindow window(Offline());
      window.resize(812, 533);
      window.show();
      QVERIFY(QTest::qWaitForWindowExposed(&window));
      window.close();
    }
    gui::CMainWindow again(Offline());
    QVERIFY(again.RestoreSavedGeometry());
    QCOMPARE(again.size(), QSize(812, 533));

    gui::OpenProfile()->setValue(QStringLiteral("MainWindow/Geometry"), QByteArray("nonsense"));
    gui::CMainWindow third(Offline());
    QVERIFY(!third.RestoreSavedGeometry());
    gui::OpenProfile()->remove(QStringLiteral("MainWindow/Geometry"));
  }
};

TERVANE_GUI_TEST(MainWindowTest);

}  // namespace tervane::testing

#include "main_window_test.moc"
