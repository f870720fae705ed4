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

namespace {

int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

// SIGINT and SIGTERM end the event loop like closing the window, so that a simulator
// started with --simulator is stopped as well.
void QuitOnTerminationSignals(QApplication& app) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
    char byte = 0;
    [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &byte, 1);
    app.quit();
  });
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char* argv[]) {
  QElapsedTimer sinceLaunch;
  sinceLaunch.start();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tervane"));
  QApplication::setApplicationDisplayName(QStringLiteral("Tervane"));
  QApplication::setApplicationVersion(QString::fromLatin1(tervane::kVersion));
  QApplication::setDesktopFileName(QStringLiteral("tervane"));
  QApplication::setWindowIcon(tervane::gui::AppIcon());

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Tervane: bancada de impressoras fiscais (ECF)."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption simulator(QStringLiteral("simulator"),
                                     QStringLiteral("Inicia o tervane-sim num pseudo-terminal e usa-o como COM1:."));
  const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                      QStringLiteral("Grava a janela principal em ARQUIVO (PNG) após o início e termina."),
                                      QStringLiteral("ARQUIVO"));
  const QCommandLineOption workdir(QStringLiteral("workdir"),
                                   QStringLiteral("Pasta de trabalho (comandos.xml, log, help); padrão: a pasta atual."),
                                   QStringLiteral("PASTA"));
  const QCommandLineOption reportReady(QStringLiteral("report-ready"),
                                       QStringLiteral("Escreve \"ready MS\" na saída padrão quando a janela está pronta."));
  parser.addOptions({simulator, screenshot, workdir, reportReady});
  parser.process(app);

  tervane::gui::CMainWindow::Options options;
  if (parser.isSet(workdir)) options.workDir = QDir(parser.value(workdir)).absolutePath().toStdString();

  tervane::gui::SimulatorProcess sim;
  if (parser.isSet(simulator)) {
    // The simulator learns the work folder's catalogue when there is one.
    const QString workDir = options.workDir.empty() ? QDir::currentPath() : QString::fromStdString(options.workDir);
    QStringList simArguments;
    if (QFile::exists(workDir + QStringLiteral("/comandos.xml"))) simArguments << QStringLiteral("--workdir") << workDir;
    if (!sim.Start(tervane::gui::SimulatorProcess::DefaultProgram(), simArguments)) {
      std::fprintf(stderr, "tervane: simulador: %s\n", qPrintable(sim.Error()));
      if (!parser.isSet(screenshot)) {
        QMessageBox::critical(nullptr, QStringLiteral("Tervane"), QStringLiteral("Simulador: %1").arg(sim.Error()));
      }
      return 1;
    }
    qputenv("TERVANE_COM1", sim.PtyPath().toLocal8Bit());
    options.extraDevices.push_back(sim.PtyPath().toStdString());
  }
  QuitOnTerminationSignals(app);

  const QString screenshotFile = parser.value(screenshot);
  options.unattended = !screenshotFile.isEmpty();
  tervane::gui::CMainWindow window(std::move(options));
  if (screenshotFile.isEmpty()) {
    window.showMaximized();
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
