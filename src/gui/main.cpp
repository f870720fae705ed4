// tervane: the fiscal-printer workbench.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

#include "core/common/version.h"
#include "gui/app/app_icon.h"
#include "gui/app/main_window.h"
#include "gui/app/simulator_process.h"
#include "gui/common/quit_request.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

// SIGINT and SIGTERM end the event loop like closing the window (after an exchange in
// progress), so that a simulator started with --simulator is stopped as well.
void QuitOnTerminationSignals(QApplication& app) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
    char byte = 0;
    [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &byte, 1);
    // An exchange in progress is finished first.
    tervane::gui::RequestQuit();
  });
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// The workbench's options. Built twice: once before the application object exists, so
// that --help, --version and a usage error are answered without a display, and again for
// the values once QApplication has taken its own options out of the arguments.
struct CommandLine {
  QCommandLineParser parser;
  QCommandLineOption help = QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                               QStringLiteral("Mostra esta ajuda e termina."));
  QCommandLineOption version = QCommandLineOption(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                                                  QStringLiteral("Mostra a versão e termina."));
  QCommandLineOption simulator{QStringLiteral("simulator"),
                               QStringLiteral("Inicia o tervane-sim num pseudo-terminal e usa-o como COM1:.")};
  QCommandLineOption screenshot{QStringLiteral("screenshot"),
                                QStringLiteral("Grava a janela principal em ARQUIVO (PNG) após o início e termina."),
                                QStringLiteral("ARQUIVO")};
  QCommandLineOption workdir{QStringLiteral("workdir"),
                             QStringLiteral("Pasta de trabalho (comandos.xml, log, help); padrão: a pasta atual."),
                             QStringLiteral("PASTA")};
  QCommandLineOption reportReady{QStringLiteral("report-ready"),
                                 QStringLiteral("Escreve \"ready MS\" na saída padrão quando a janela está pronta.")};

  CommandLine() {
    parser.setApplicationDescription(QStringLiteral("Tervane: bancada de impressoras fiscais (ECF)."));
    parser.addOptions({help, version, simulator, screenshot, workdir, reportReady});
  }
};

// Qt's own options, which QApplication consumes; those that take a value take the next
// argument.
bool IsQtOption(const QString& argument, bool& takesValue) {
  static const QStringList withValue = {
      QStringLiteral("-platform"), QStringLiteral("-platformpluginpath"), QStringLiteral("-platformtheme"),
      QStringLiteral("-plugin"), QStringLiteral("-qwindowgeometry"), QStringLiteral("-qwindowtitle"),
      QStringLiteral("-qwindowicon"), QStringLiteral("-display"), QStringLiteral("-geometry"),
      QStringLiteral("-title"), QStringLiteral("-style"), QStringLiteral("-stylesheet"),
      QStringLiteral("-session"), QStringLiteral("-name")};
  static const QStringList alone = {QStringLiteral("-reverse"), QStringLiteral("-nograb"), QStringLiteral("-dograb"),
                                    QStringLiteral("-sync"), QStringLiteral("-widgetcount")};
  QString name = argument;
  if (name.startsWith(QStringLiteral("--"))) name.remove(0, 1);
  takesValue = withValue.contains(name);
  return takesValue || alone.contains(name) || name.startsWith(QStringLiteral("-qmljsdebugger="));
}

// Answers --help, --version and a usage error before any window system is needed.
// Returns the exit code when the program is to end now, or -1 to go on.
int AnswerWithoutDisplay(int argc, char* argv[]) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) {
    const QString argument = QString::fromLocal8Bit(argv[i]);
    bool takesValue = false;
    if (i > 0 && IsQtOption(argument, takesValue)) {
      if (takesValue) ++i;
      continue;
    }
    arguments << argument;
  }
  CommandLine line;
  // Without an application object the parser does not know the program's name.
  const QString helpText = line.parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("tervane"));
  if (!line.parser.parse(arguments)) {
    std::fprintf(stderr, "tervane: %s\n%s", qPrintable(line.parser.errorText()), qPrintable(helpText));
    return 1;
  }
  if (!line.parser.positionalArguments().isEmpty()) {
    std::fprintf(stderr, "tervane: argumento inesperado: %s\n", qPrintable(line.parser.positionalArguments().first()));
    return 1;
  }
  if (line.parser.isSet(line.help)) {
    std::fputs(qPrintable(helpText), stdout);
    return 0;
  }
  if (line.parser.isSet(line.version)) {
    std::printf("tervane %s\n", tervane::kVersion);
    return 0;
  }
  return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
  QElapsedTimer sinceLaunch;
  sinceLaunch.start();
  if (const int code = AnswerWithoutDisplay(argc, argv); code >= 0) return code;

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tervane"));
  QApplication::setApplicationDisplayName(QStringLiteral("Tervane"));
  QApplication::setApplicationVersion(QString::fromLatin1(tervane::kVersion));
  QApplication::setDesktopFileName(QStringLiteral("tervane"));
  QApplication::setWindowIcon(tervane::gui::AppIcon());
  // The style Qt chose (or the one asked for with -style), with the toolbar's arrows
  // drawn in code.
  QApplication::setStyle(new tervane::gui::WorkbenchStyle(QApplication::style()->name()));

  CommandLine line;
  line.parser.process(app);
  const QCommandLineParser& parser = line.parser;
  const QCommandLineOption& simulator = line.simulator;
  const QCommandLineOption& screenshot = line.screenshot;
  const QCommandLineOption& workdir = line.workdir;
  const QCommandLineOption& reportReady = line.reportReady;

  tervane::gui::CMainWindow::Options options;
  if (parser.isSet(workdir)) options.workDir = QDir(parser.value(workdir)).absolutePath().toStdString();
  // Without --workdir and without a catalogue here (started from the desktop menu), the
  // user's data folder, given the shipped catalogue on first start.
  tervane::gui::CMainWindow::ChooseWorkFolder(options);

  tervane::gui::SimulatorProcess sim;
  const QString screenshotFile = parser.value(screenshot);
  auto simulatorFailed = [&] {
    std::fprintf(stderr, "tervane: simulador: %s\n", qPrintable(sim.Error()));
    if (screenshotFile.isEmpty()) {
      QMessageBox::critical(nullptr, QStringLiteral("Tervane"), QStringLiteral("Simulador: %1").arg(sim.Error()));
    }
    return 1;
  };
  if (parser.isSet(simulator)) {
    // The simulator learns the work folder's catalogue when there is one. It starts while
    // the window is built; detection waits for its terminal.
    const QString workDir = options.workDir.empty() ? QDir::currentPath() : QString::fromStdString(options.workDir);
    QStringList simArguments;
    if (QFile::exists(workDir + QStringLiteral("/comandos.xml"))) simArguments << QStringLiteral("--workdir") << workDir;
    if (!sim.Launch(tervane::gui::SimulatorProcess::DefaultProgram(), simArguments)) return simulatorFailed();
  }
  QuitOnTerminationSignals(app);

  options.unattended = !screenshotFile.isEmpty();
  tervane::gui::CMainWindow window(std::move(options));
  if (parser.isSet(simulator)) {
    if (!sim.WaitForPty()) return simulatorFailed();
    qputenv("TERVANE_COM1", sim.PtyPath().toLocal8Bit());
    window.AddExtraDevice(sim.PtyPath().toStdString());
  }
  if (screenshotFile.isEmpty()) {
    // The size and place of the last run, or maximised the first time.
    if (window.RestoreSavedGeometry()) {
      window.show();
    } else {
      window.showMaximized();
    }
  } else {
    window.resize(1024, 640);
    window.show();
  }

  int exitCode = 0;
  QTimer::singleShot(0, &window, [&] {
    window.StartUp();
    if (parser.isSet(reportReady)) {
      std::printf("ready %lld\n", static_cast<long long>(sinceLaunch.elapsed()));
      std::fflush(stdout);
    }
    if (!screenshotFile.isEmpty()) {
      QApplication::processEvents();
      if (!window.grab().save(screenshotFile, "PNG")) {
        std::fprintf(stderr, "tervane: não foi possível gravar %s\n", qPrintable(screenshotFile));
        exitCode = 1;
      }
      app.quit();
    }
  });
  const int loopCode = app.exec();
  sim.Stop();
  return exitCode != 0 ? exitCode : loopCode;
}
