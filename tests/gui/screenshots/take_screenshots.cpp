// tervane-screenshots: the README's pictures of the workbench, taken against the
// simulator on a pseudo-terminal with scripted answers to the editors:
//   main-window.png     the main window after start-up, with a group menu open
//   command-dialog.png  the Command Dialog of "Venda de Item" after its editors
//   result-window.png   the "Resultado" window of a command with decoded fields
//   result-dump.png     the same window after "Dump"
//   equipamento-*.png   "Programar Equipamento", the profile browser, the four profile
//                       pages and the results of a programming run
//   sequencias.png      the "Sequências" window with two stored sequences, one of them
//                       open, and the parameters of its "Sangria"
//   mf-mfd.png          the "MF/MFD" window of the memory tools
//   pdf417.png          the "pdf 417" capture window
// With --desktop WxH it takes instead the desktop set at that size (main-, settings-,
// progress- and result-WxH<suffix>.png): see SaveDesktopSet.
// Usage: tervane-screenshots [--workdir DIR] [--desktop WxH [--suffix S]] OUTDIR
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "core/common/charset.h"
#include "core/app/printer_detection.h"
#include "gui/app/main_window.h"
#include "gui/app/progress_window.h"
#include "gui/app/settings_dialog.h"
#include "gui/app/simulator_process.h"
#include "gui/catalogue/command_dialog.h"
#include "gui/fiscalmemory/mf_mfd_window.h"
#include "gui/fiscalmemory/pdf417_window.h"
#include "gui/protocol/result_window.h"
#include "gui/sequences/sequence_dialog.h"
#include "core/common/clock.h"
#include "core/equipment/configuration_reader.h"
#include "core/equipment/equipment_programming.h"
#include "core/equipment/profile_file.h"
#include "gui/equipment/program_equipment_dialog.h"
#include "gui/equipment/profile_browser_dialog.h"
#include "gui/equipment/profile_sheet.h"
#include <QComboBox>
#include <QListWidget>
#include <QTabWidget>
#include "core/transport/port_factory.h"
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

// Equipment programming: the dialog, the browser over a few stored profiles, a run that
// programs the printer (its results window), then the pages filled from what the printer
// reads back, and the restaurant page of a restaurant model.
class PictureFrontEnd final : public tervane::ProgrammingFrontEnd {
 public:
  PictureFrontEnd(QWidget* owner, FakePrompter& prompter, const QDir& out, bool& ok)
      : owner_(owner), prompter_(prompter), out_(out), ok_(ok) {}
  bool EditProfile(tervane::ProfileSheet&) override { return true; }
  void ShowResults(const std::string& resultText, const std::string& hexTrace) override {
    tervane::gui::CResultDlg result(owner_, resultText, hexTrace, prompter_);
    result.resize(680, 460);
    result.show();
    ok_ = Save(result, out_.filePath(QStringLiteral("equipamento-resultados.png"))) && ok_;
    result.hide();
  }

 private:
  QWidget* owner_;
  FakePrompter& prompter_;
  const QDir& out_;
  bool& ok_;
};

bool SaveSheetPages(tervane::gui::CProfileSheet& sheet, const QStringList& names, const QDir& out) {
  bool ok = true;
  sheet.SetHelp([] {});  // the workbench's sheets open the help file
  sheet.show();
  for (int tab = 0; tab < names.size() && tab < sheet.Tabs()->count(); ++tab) {
    if (names[tab].isEmpty()) continue;
    sheet.Tabs()->setCurrentIndex(tab);
    ok = Save(sheet, out.filePath(names[tab])) && ok;
  }
  sheet.hide();
  return ok;
}

bool SaveEquipmentPictures(tervane::gui::CMainWindow& window, FakePrompter& prompter, const QDir& out) {
  using namespace tervane;
  bool ok = true;
  ProgramSettings& settings = window.Settings();
  SystemPortFactory ports(PortContext{&settings, &SystemClock()});
  const ExchangeContext exchange{&settings, &ports, &SystemClock(), nullptr, nullptr};
  const std::string file = ProfileFilePath(settings);

  ProfileRecord profile;
  profile.client = Utf8ToCp1252Lossy("Padaria São João");
  profile.cnpj = "12345678000190";
  profile.ie = "110042490114";
  profile.im = "4455667";
  profile.uf = "SP";
  profile.storeNumber = "0001";
  profile.tillNumber = "003";
  profile.date = "070526";
  profile.time = "093000";
  profile.cliche = "CLICHE_ENF_INI_XMLPADARIA SAO JOAOCLICHE_ENF_END_XML\r\nRUA DAS FLORES, 10 - CENTRO\r\n";
  profile.rates = {"1800", "1200", "0700", "0500", "0000", "0000", "0000", "0000",
                   "0000", "0000", "0000", "0000", "0000", "0000", "0000", "0000"};
  profile.issBinding = "0001000000000000";
  profile.totalizerNames[0] = "Sangria";
  profile.totalizerNames[1] = "Suprimento";
  profile.totalizerNames[2] = "Gorjeta";

  // The browser over three stored profiles, one client's chosen.
  ProfileRecord other = profile;
  other.serialNumber = "ZT0300000101";
  other.client = "Mercado Boa Vista";
  other.cnpj = "98765432000110";
  ProfileRecord second = profile;
  second.serialNumber = "ZT0300000102";
  ProfileRecord first = profile;
  first.serialNumber = "ZT0300000100";
  SaveProfiles(file, {first, other, second});
  {
    gui::CProfileBrowserDlg browser(&window, file, prompter);
    browser.Clients()->setEditText(browser.Clients()->itemText(0));
    browser.Search();
    browser.Found()->setCurrentRow(1);
    browser.show();
    ok = Save(browser, out.filePath(QStringLiteral("equipamento-navegador.png"))) && ok;
    browser.hide();
  }
  {
    gui::CProgramEquipmentDlg dialog(&window, exchange, prompter, file);
    dialog.show();
    ok = Save(dialog, out.filePath(QStringLiteral("equipamento-programar.png"))) && ok;
    dialog.hide();
  }

  // Program the printer (the save question is left unanswered: No), then read it back.
  PictureFrontEnd frontEnd(&window, prompter, out, ok);
  ProgrammingContext context;
  context.exchange = exchange;
  context.prompter = &prompter;
  context.frontEnd = &frontEnd;
  context.profileFile = file;
  ProfileRecord programmed = profile;
  RunProgramming(programmed, context);
  ProfileRecord read;
  ReadEquipmentConfiguration(read, exchange, &prompter);
  read.client = profile.client;
  {
    gui::CProfileSheet sheet(&window, MakeProfileSheet(read, settings), prompter, SystemClock());
    sheet.resize(760, 600);
    ok = SaveSheetPages(sheet,
                        {QStringLiteral("equipamento-informacoes-gerais.png"), QStringLiteral("equipamento-aliquotas.png"),
                         QStringLiteral("equipamento-totalizadores.png")},
                        out) && ok;
  }
  {
    ProgramSettings restaurantModel = settings;
    restaurantModel.g_modelName = "ZK-110 BR           ";
    restaurantModel.g_modelMask = 8;
    read.restaurantOrStore = "0";
    read.conferenceCouponParameter = "1";
    gui::CProfileSheet sheet(&window, MakeProfileSheet(read, restaurantModel), prompter, SystemClock());
    sheet.resize(760, 600);
    ok = SaveSheetPages(sheet, {QString(), QString(), QString(), QStringLiteral("equipamento-restaurante.png")}, out) &&
         ok;
  }
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

// The desktop set, at one screen size and the scale factor the environment gives: the
// main window filling the screen with its "Operações" menu open, "Configurações", the
// progress window while a reply comes in (from a printer paced at 600 baud), and the
// result window. Files are named <what>-<size><suffix>.png.
int SaveDesktopSet(const QString& workDir, const QDir& out, const QSize& screen, const QString& suffix) {
  tervane::gui::SimulatorProcess sim;
  if (!sim.Start(tervane::gui::SimulatorProcess::DefaultProgram(),
                 {QStringLiteral("--workdir"), workDir, QStringLiteral("--baud"), QStringLiteral("600")})) {
    std::fprintf(stderr, "tervane-screenshots: %s\n", qPrintable(sim.Error()));
    return 1;
  }
  qputenv("TERVANE_COM1", sim.PtyPath().toLocal8Bit());
  const QString tag = QStringLiteral("%1x%2%3").arg(screen.width()).arg(screen.height()).arg(suffix);
  auto name = [&](const char* what) { return out.filePath(QStringLiteral("%1-%2.png").arg(QLatin1String(what), tag)); };

  tervane::gui::CMainWindow::Options options;
  options.workDir = workDir.toStdString();
  tervane::gui::CMainWindow window(options);
  FakePrompter prompter;
  window.SetPrompter(&prompter);
  window.setGeometry(QRect(QPoint(0, 0), screen));
  window.show();
  window.StartUp();
  bool ok = SaveWithMenu(window, 0, name("main"));

  {
    tervane::gui::CSettingsDlg settings(&window, window.Settings(), {});
    settings.show();
    ok = Save(settings, name("settings")) && ok;
  }

  // The model query, grabbed once half of its reply is in.
  bool grabbed = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* progress = qobject_cast<tervane::gui::CProgressWindow*>(top);
      if (grabbed || !progress || !progress->isVisible() || progress->Position() < 20) continue;
      grabbed = true;
      ok = Save(*progress, name("progress")) && ok;
    }
  });
  watch.start(20);
  tervane::CommandRecord query = tervane::ModelQueryCommand();
  window.Runner()(query);
  watch.stop();
  if (!grabbed) {
    std::fprintf(stderr, "tervane-screenshots: the progress window was never seen mid-reply\n");
    ok = false;
  }
  tervane::gui::CResultDlg result(&window, query.ResultText, query.HexTrace, prompter);
  result.show();
  ok = Save(result, name("result")) && ok;
  sim.Stop();
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QStringList args = QApplication::arguments().mid(1);
  QString workDir = QDir::currentPath();
  QSize desktop;
  QString suffix;
  while (args.size() >= 2 && args[0].startsWith(QStringLiteral("--"))) {
    if (args[0] == QStringLiteral("--workdir")) {
      workDir = QDir(args[1]).absolutePath();
    } else if (args[0] == QStringLiteral("--desktop")) {
      const QStringList size = args[1].split(QLatin1Char('x'));
      if (size.size() == 2) desktop = QSize(size[0].toInt(), size[1].toInt());
    } else if (args[0] == QStringLiteral("--suffix")) {
      suffix = args[1];
    } else {
      break;
    }
    args = args.mid(2);
  }
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: tervane-screenshots [--workdir DIR] [--desktop WxH [--suffix S]] OUTDIR\n");
    return 2;
  }
  const QDir out(args[0]);
  if (!QDir().mkpath(out.path())) return 1;
  if (desktop.isValid()) return SaveDesktopSet(workDir, out, desktop, suffix);

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
  ok = SaveEquipmentPictures(window, prompter, out) && ok;
  ok = SaveSequenceWindow(window, prompter, workDir, out.filePath(QStringLiteral("sequencias.png"))) && ok;
  {
    tervane::gui::CMfMfdWnd memory(&window, window.CommandExchange(), prompter, window.Notice(), {});
    memory.show();
    ok = Save(memory, out.filePath(QStringLiteral("mf-mfd.png"))) && ok;
  }
  {
    tervane::gui::CPdf417Dlg capture(&window, prompter, false);
    capture.show();
    ok = Save(capture, out.filePath(QStringLiteral("pdf417.png"))) && ok;
  }
  sim.Stop();
  return ok ? 0 : 1;
}
