// tervane-screenshots: the README's pictures of the workbench, taken against the
// simulator on a pseudo-terminal with scripted answers to the editors:
//   main-window.png     the main window after start-up, with a group menu open
//   command-dialog.png  the Command Dialog of "Venda de Item" after its editors
//   result-window.png   the "Resultado" window of a command with decoded fields
//   result-dump.png     the same window after "Dump"
//   sequencias.png      the "Sequências" window with two stored sequences, one of them
//                       open, and the parameters of its "Sangria"
// Usage: tervane-screenshots [--workdir DIR] OUTDIR
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>

#include "common/charset.h"
#include "gui/app/main_window.h"
#include "gui/app/simulator_process.h"
#include "gui/catalogue/command_dialog.h"
#include "gui/protocol/result_window.h"
#include "gui/sequences/sequence_dialog.h"
#include "support/fake_prompter.h"

namespace {

using tervane::testing::FakePrompter;
using tervane::testing::PromptKind;

int IndexOf(const tervane::CommandCatalogue& catalogue, const char* utf8Title) {
  const std::string title = tervane::Utf8ToCp1252Lossy(utf8Title);
  for (int i = 0; i < catalogue.count(); ++i) {
    if (catalogue.commands[i].title == title) return i;
  }
  return -1;
}

bool Save(QWidget& widget, const QString& file) {
  QApplication::processEvents();
  const bool ok = widget.grab().save(file, "PNG");
  std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
  return ok;
}

// The window with one of its menus open, painted over it where it pops up.
bool SaveWithMenu(tervane::gui::CMainWindow& window, int menuIndex, const QString& file) {
  QAction* top = window.menuBar()->actions().value(menuIndex);
  if (!top || !top->menu()) return Save(window, file);
  QMenu* menu = top->menu();
  const QPoint at = window.menuBar()->actionGeometry(top).bottomLeft();
  menu->popup(window.menuBar()->mapToGlobal(at));
  QApplication::processEvents();
  QPixmap picture = window.grab();
  QPainter painter(&picture);
  painter.drawPixmap(window.mapFromGlobal(menu->mapToGlobal(QPoint(0, 0))), menu->grab());
  painter.end();
  menu->hide();
  const bool ok = picture.save(file, "PNG");
  std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
  return ok;
}

// The sequence window over a sequence file of its own (in a scratch folder, so that the
// work folder is left as it was): two sequences composed and saved through the window.
bool SaveSequenceWindow(tervane::gui::CMainWindow& window, FakePrompter& prompter, const QString& workDir,
                        const QString& file) {
  QTemporaryDir scratch;
  if (!scratch.isValid() ||
      !QFile::copy(QDir(workDir).filePath(QStringLiteral("comandos.xml")), scratch.filePath(QStringLiteral("comandos.xml")))) {
    std::printf("could not write %s\n", qPrintable(file));
    return false;
  }
  tervane::ProgramSettings settings = window.Settings();
  settings.g_workDir = scratch.path().toStdString();
  tervane::gui::CSequenceDialog dialog(&window, settings, prompter, window.Notice(), window.CommandExchange());
  dialog.Open();
  dialog.SetSettingsHandler([] {});  // as the main window wires it
  auto add = [&dialog](const char* utf8Title) {
    const QList<QListWidgetItem*> found = dialog.AvailableList()->findItems(QString::fromUtf8(utf8Title), Qt::MatchExactly);
    if (found.isEmpty()) return;
    dialog.AvailableList()->setCurrentItem(found.first());
    dialog.OnAdd();
  };
  add("Marca, Modelo e Tipo");
  add("Leitura X");
  prompter.QueueText("consultas");
  dialog.OnSave();
  add("Sangria");
  prompter.QueueValue("150,00");
  dialog.OnEditCommand(2);
  add("Leitura X");
  prompter.QueueText("fechamento do dia");
  dialog.OnSave();
  dialog.CommandList()->setCurrentRow(2);
  dialog.ExecutionsEdit()->setText(QStringLiteral("3"));
  dialog.WaitEdit()->setText(QStringLiteral("2"));
  dialog.show();
  return Save(dialog, file);
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QStringList args = QApplication::arguments().mid(1);
  QString workDir = QDir::currentPath();
  if (args.size() >= 2 && args[0] == QStringLiteral("--workdir")) {
    workDir = QDir(args[1]).absolutePath();
    args = args.mid(2);
  }
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: tervane-screenshots [--workdir DIR] OUTDIR\n");
    return 2;
  }
  const QDir out(args[0]);
  if (!QDir().mkpath(out.path())) return 1;

  // A printer in technical intervention, so that programming commands are accepted.
  tervane::gui::SimulatorProcess sim;
  if (!sim.Start(tervane::gui::SimulatorProcess::DefaultProgram(),
                 {QStringLiteral("--workdir"), workDir, QStringLiteral("--intervention")})) {
    std::fprintf(stderr, "tervane-screenshots: %s\n", qPrintable(sim.Error()));
    return 1;
  }
  qputenv("TERVANE_COM1", sim.PtyPath().toLocal8Bit());

  tervane::gui::CMainWindow::Options options;
  options.workDir = workDir.toStdString();
  tervane::gui::CMainWindow window(options);
  FakePrompter prompter;
  window.SetPrompter(&prompter);
  window.resize(1100, 640);
  window.show();
  window.StartUp();
  if (!window.CatalogueLoaded()) {
    std::fprintf(stderr, "tervane-screenshots: no catalogue in %s\n", qPrintable(workDir));
    return 1;
  }
  bool ok = SaveWithMenu(window, 2, out.filePath(QStringLiteral("main-window.png")));

  // The Command Dialog of a sale after its six editors.
  const int sale = IndexOf(window.Catalogue(), "Venda de Item");
  if (sale >= 0) {
    prompter.QueueText("7891234567895").QueueText(tervane::Utf8ToCp1252Lossy("Caneta esferográfica azul"))
        .QueueText("01").QueueNumber("2").QueueValue("1,50").QueuePercentage("10", "0");
    tervane::gui::CCommandDlg dialog(&window, window.Catalogue().commands[sale], window.Settings(), prompter,
                                     window.Notice(), window.Runner());
    dialog.Open();
    dialog.show();
    ok = Save(dialog, out.filePath(QStringLiteral("command-dialog.png"))) && ok;
    dialog.reject();
  }

  // Program a rate, then read the rates back: the result window with decoded fields.
  const int program = IndexOf(window.Catalogue(), "Programa Alíquota");
  const int read = IndexOf(window.Catalogue(), "Leitura das Alíquotas (detalhada)");
  if (program >= 0 && read >= 0) {
    prompter.QueuePercentage("18", "0").QueueChoice(1);
    tervane::gui::CCommandDlg programming(&window, window.Catalogue().commands[program], window.Settings(),
                                          prompter, window.Notice(), window.Runner());
    programming.SetResultPresenter([](const tervane::CommandRecord&) {});
    programming.Open();
    programming.OnOk();

    tervane::gui::CCommandDlg reading(&window, window.Catalogue().commands[read], window.Settings(), prompter,
                                      window.Notice(), window.Runner());
    reading.SetResultPresenter([&](const tervane::CommandRecord& done) {
      tervane::gui::CResultDlg result(&window, done.ResultText, done.HexTrace, prompter);
      result.resize(680, 460);
      result.show();
      ok = Save(result, out.filePath(QStringLiteral("result-window.png"))) && ok;
      result.Toggle();
      ok = Save(result, out.filePath(QStringLiteral("result-dump.png"))) && ok;
      result.hide();
    });
    reading.Open();
    reading.OnOk();
  }
  ok = SaveSequenceWindow(window, prompter, workDir, out.filePath(QStringLiteral("sequencias.png"))) && ok;
  sim.Stop();
  return ok ? 0 : 1;
}
