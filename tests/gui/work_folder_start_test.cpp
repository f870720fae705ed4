// The workbench started as from the desktop menu: no --workdir, a current folder without
// comandos.xml and a fresh home folder. It works in the user's data folder, seeded with the
// shipped catalogue, and builds every group menu; what goes wrong is said in the status
// bar and the window still opens.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "core/catalogue/catalogue.h"
#include "gui/app/main_window.h"
#include "gui/common/qt_text.h"
#include "gui/gui_test.h"

namespace tervane::testing {
namespace {

// Sets environment variables and the current folder for one test, and puts them back.
class Environment {
 public:
  Environment() : currentDir_(QDir::currentPath()) {
    for (const char* name : kNames) saved_.push_back({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
  }
  ~Environment() {
    for (const Saved& s : saved_) {
      if (s.set) qputenv(s.name, s.value);
      else qunsetenv(s.name);
    }
    QDir::setCurrent(currentDir_);
  }
  static void Set(const char* name, const QString& value) { qputenv(name, value.toLocal8Bit()); }
  static void Unset(const char* name) { qunsetenv(name); }

 private:
  static constexpr const char* kNames[] = {"HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "TERVANE_SHARE_DIR"};
  struct Saved {
    const char* name;
    bool set;
    QByteArray value;
  };
  std::vector<Saved> saved_;
  QString currentDir_;
};

// "Operações", the shipped catalogue's groups in first-appearance order, "Ajuda".
QStringList ShippedMenus() {
  CommandCatalogue catalogue;
  if (LoadCatalogue(TERVANE_REPO_DIR "/data", catalogue) != 0) return {};
  QStringList titles{QStringLiteral("Operações")};
  for (const CommandRecord& command : catalogue.commands) {
    QString group = gui::ToQt(command.group);
    group.replace(QLatin1Char('&'), QStringLiteral("&&"));
    if (!titles.contains(group)) titles << group;
  }
  titles << QStringLiteral("Ajuda");
  return titles;
}

std::string ReadFolder(const QString& folder) {
  std::string all;
  for (const QString& name : QDir(folder).entryList(QDir::Files)) {
    std::ifstream in(QDir(folder).filePath(name).toStdString(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    all += s.str();
  }
  return all;
}

gui::CMainWindow::Options MenuStart() {
  gui::CMainWindow::Options options;
  options.detectPrinter = false;
  options.unattended = true;  // a catalogue that does not load is said on standard error
  gui::CMainWindow::ChooseWorkFolder(options);
  return options;
}

}  // namespace

class WorkFolderStartTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    rootDir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(root().isValid());
    for (const char* sub : {"home", "cwd", "share"}) QVERIFY(QDir(root().path()).mkpath(QString::fromLatin1(sub)));
    QVERIFY(QFile::copy(TERVANE_REPO_DIR "/data/comandos.xml", root().filePath(QStringLiteral("share/comandos.xml"))));
    env_ = std::make_unique<Environment>();
    Environment::Set("HOME", root().filePath(QStringLiteral("home")));
    Environment::Unset("XDG_DATA_HOME");
    Environment::Unset("XDG_STATE_HOME");
    Environment::Set("TERVANE_SHARE_DIR", root().filePath(QStringLiteral("share")));
    QVERIFY(QDir::setCurrent(root().filePath(QStringLiteral("cwd"))));
  }
  void cleanup() {
    env_.reset();
    rootDir_.reset();
  }

  void startedFromTheMenuBuildsEveryGroupMenu() {
    const QStringList expected = ShippedMenus();
    QVERIFY(expected.size() > 3);
    gui::CMainWindow window(MenuStart());
    window.resize(1920, 1000);  // wide enough for every group menu
    window.StartUp();
    const QString data = root().filePath(QStringLiteral("home/.local/share/tervane"));
    QCOMPARE(QString::fromStdString(window.Settings().g_workDir), data);
    QCOMPARE(QString::fromStdString(window.Settings().g_logDir), root().filePath(QStringLiteral("home/.local/state/tervane/log")));
    QVERIFY(QFile::exists(data + QStringLiteral("/comandos.xml")));
    QVERIFY(window.CatalogueLoaded());
    QCOMPARE(MenuTitles(window), expected);
    QCOMPARE(window.WorkFolderLabel()->text(), QStringLiteral("Pasta de trabalho: ~/.local/share/tervane"));
    QCOMPARE(window.WorkFolderLabel()->toolTip(), data);
    QVERIFY(!window.StartupWarning());
    // Tests in CI run as root: the warning is there exactly then.
    QCOMPARE(window.RootWarning() != nullptr, ::geteuid() == 0);
    if (window.RootWarning()) QVERIFY(window.RootWarning()->text().contains(QStringLiteral("root")));
  }

  void missingShippedCatalogueIsSaidAndTheWindowOpens() {
    QFile::remove(root().filePath(QStringLiteral("share/comandos.xml")));
    gui::CMainWindow window(MenuStart());
    window.resize(1920, 1000);  // wide enough for every group menu
    window.StartUp();
    QVERIFY(window.StartupWarning());
    const QString shipped = root().filePath(QStringLiteral("share/comandos.xml"));
    QVERIFY2(window.StartupWarning()->text().contains(shipped), qPrintable(window.StartupWarning()->text()));
    QCOMPARE(MenuTitles(window), (QStringList{"Operações", "Ajuda"}));
    // The daily log keeps the warning.
    const std::string log = ReadFolder(root().filePath(QStringLiteral("home/.local/state/tervane/log")));
    QVERIFY(log.find(gui::FromQt(shipped)) != std::string::npos);
  }

  void unusableDataFolderFallsBackToTheShippedCatalogue() {
    // A file where the data folder should be: nobody, root included, can create it.
    QFile blocker(root().filePath(QStringLiteral("home/.local")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    gui::CMainWindow window(MenuStart());
    window.resize(1920, 1000);  // wide enough for every group menu
    window.StartUp();
    QVERIFY(window.StartupWarning());
    QVERIFY(window.StartupWarning()->toolTip().contains(root().filePath(QStringLiteral("home/.local/share/tervane"))));
    QCOMPARE(QString::fromStdString(window.Settings().g_workDir), root().filePath(QStringLiteral("share")));
    QCOMPARE(MenuTitles(window), ShippedMenus());
  }

 private:
  QTemporaryDir& root() { return *rootDir_; }
  std::unique_ptr<QTemporaryDir> rootDir_;
  std::unique_ptr<Environment> env_;
};

TERVANE_GUI_TEST(WorkFolderStartTest);

}  // namespace tervane::testing

#include "work_folder_start_test.moc"
