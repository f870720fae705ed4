// The "Sequências" window: composing, saving, reloading and running sequences against
// the emulated printer, a run whose second command fails, and the window's own rules
// (the number fields, the file switch, "Nova" and "Excluir", the wired buttons).
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "core/common/string_table.h"
#include "gui/app/main_window.h"
#include "gui/app/progress_window.h"
#include "gui/app/simulator_process.h"
#include "gui/catalogue/qt_prompter.h"
#include "gui/common/qt_text.h"
#include "gui/gui_test.h"
#include "gui/protocol/result_window.h"
#include "gui/sequences/sequence_dialog.h"
#include "support/fake_prompter.h"
#include "support/scoped_env.h"

namespace tervane::testing {
namespace {

QStringList Texts(const QListWidget* list) {
  QStringList texts;
  for (int k = 0; k < list->count(); ++k) texts << list->item(k)->text();
  return texts;
}

// Makes the entry titled `text` the list's current one, as a click would.
bool Choose(QListWidget* list, const QString& text) {
  const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
  if (found.isEmpty()) return false;
  list->setCurrentItem(found.first());
  return true;
}

// The list's window must be shown, so that its entries have their places.
void DoubleClick(QListWidget* list, int row) {
  list->scrollToItem(list->item(row));
  const QRect rect = list->visualItemRect(list->item(row));
  // The view takes a double-click only on the entry the press before it chose.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

// A main window that only provides the settings and the exchange (no detection, no
// catalogue of its own: the sequence window reads its own copy).
gui::CMainWindow::Options Offline(const QString& workDir) {
  gui::CMainWindow::Options options;
  options.workDir = workDir.toStdString();
  options.detectPrinter = false;
  options.loadCatalogue = false;
  return options;
}

// Such a window with its work folder set, as its start-up would.
struct OfflineWindow {
  explicit OfflineWindow(const QString& workDir) : window(Offline(workDir)) {
    window.Settings().g_workDir = workDir.toStdString();
  }
  gui::CMainWindow window;
};

// Calls `answer` with the first modal window of type T to come up, once, from the event
// loop of the dialog that shows it.
template <typename T, typename F>
void AnswerWhenShown(QObject* context, F answer) {
  auto* timer = new QTimer(context);
  QObject::connect(timer, &QTimer::timeout, context, [timer, answer] {
    auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!window || !window->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    QMetaObject::invokeMethod(window, [window, answer] { answer(window); }, Qt::QueuedConnection);
  });
  timer->start(20);
}

// What the person saw during a run: the results window's text and whether the
// sequence's own progress window came up.
struct RunSeen {
  QString results;
  int resultWindows = 0;
  bool sequenceProgress = false;
};

// Reads and closes the "Resultado" window and notes the sequence's progress window.
class ResultReader : public QObject {
 public:
  explicit ResultReader(RunSeen& seen) : seen_(seen) {
    connect(&timer_, &QTimer::timeout, this, [this] { Step(); });
    timer_.start(20);
  }

 private:
  void Step() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* progress = qobject_cast<gui::CProgressWindow*>(top);
      if (progress && progress->isVisible() && progress->windowTitle().startsWith(QStringLiteral("Executando sequência"))) {
        seen_.sequenceProgress = true;
      }
    }
    auto* result = qobject_cast<gui::CResultDlg*>(QApplication::activeModalWidget());
    if (!result || result == handled_) return;
    handled_ = result;
    ++seen_.resultWindows;
    seen_.results = result->TextBox()->toPlainText();
    QMetaObject::invokeMethod(result, [result] { result->reject(); }, Qt::QueuedConnection);
  }
  QPointer<QWidget> handled_;
  RunSeen& seen_;
  QTimer timer_;
};

}  // namespace

// Against tervane-sim on a pseudo-terminal.
class SequenceDialogFlowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QString why;
    const QString program = SimulatorWithCatalogue(work_, &why);
    if (program.isEmpty()) QFAIL(qPrintable(why));
    QVERIFY2(sim_.Start(program, {QStringLiteral("--workdir"), work_.path()}), qPrintable(sim_.Error()));
    qputenv("TERVANE_COM1", sim_.PtyPath().toLocal8Bit());
  }

  void cleanupTestCase() {
    sim_.Stop();
    qunsetenv("TERVANE_COM1");
  }

  void composedSavedReloadedAndRunThreeTimesWithAWait() {
    OfflineWindow offline(work_.path());
    gui::CMainWindow& window = offline.window;
    ProgramSettings& settings = window.Settings();
    settings.g_portName = "COM1:";
    settings.g_extendedReply = true;
    FakePrompter prompter;
    const QString query = QStringLiteral("Marca, Modelo e Tipo");
    const QString reportX = QStringLiteral("Leitura X");
    {
      gui::CSequenceDialog dialog(&window, settings, prompter, window.Notice(), window.CommandExchange());
      QCOMPARE(dialog.Open(), 0);
      dialog.show();
      QVERIFY(QTest::qWaitForWindowExposed(&dialog));
      QCOMPARE(dialog.windowTitle(), QStringLiteral("Sequências"));
      QCOMPARE(dialog.KindList()->item(0)->text(), QStringLiteral("TODOS"));
      QCOMPARE(dialog.KindList()->currentRow(), 0);
      QVERIFY(!dialog.DeleteButton()->isEnabled());  // no file yet
      const QStringList all = Texts(dialog.AvailableList());
      QVERIFY(all.contains(query) && all.contains(reportX));

      // Choosing a kind narrows the list to its commands.
      const QString group = gui::ToQt(dialog.Editor().Catalogue().commands.front().group);
      QVERIFY(Choose(dialog.KindList(), group));
      QVERIFY(dialog.AvailableList()->count() < all.size());
      QVERIFY(Choose(dialog.KindList(), QStringLiteral("TODOS")));
      QCOMPARE(dialog.AvailableList()->count(), all.size());

      // Two commands added at the end; a third goes right after the chosen first one and
      // is taken out again with "<<Excluir", which chooses the entry before it.
      QVERIFY(Choose(dialog.AvailableList(), query));
      QTest::mouseClick(dialog.AddButton(), Qt::LeftButton);
      QVERIFY(Choose(dialog.AvailableList(), reportX));
      DoubleClick(dialog.AvailableList(), dialog.AvailableList()->currentRow());
      QCOMPARE(Texts(dialog.CommandList()), (QStringList{query, reportX}));
      dialog.CommandList()->setCurrentRow(0);
      QTest::mouseClick(dialog.AddButton(), Qt::LeftButton);
      QCOMPARE(Texts(dialog.CommandList()), (QStringList{query, reportX, reportX}));
      QCOMPARE(dialog.CommandList()->currentRow(), 1);
      QTest::mouseClick(dialog.RemoveButton(), Qt::LeftButton);
      QCOMPARE(Texts(dialog.CommandList()), (QStringList{query, reportX}));
      QCOMPARE(dialog.CommandList()->currentRow(), 0);
      QCOMPARE(dialog.ParameterView()->topLevelItemCount(), 0);

      // "Salvar": the name is cleaned and stored in upper case.
      prompter.QueueText("demo.");
      QTest::mouseClick(dialog.SaveButton(), Qt::LeftButton);
      QCOMPARE(Texts(dialog.SequenceList()), QStringList{QStringLiteral("DEMO")});
      QVERIFY(dialog.DeleteButton()->isEnabled());
    }
    QVERIFY(ReadAll(work_.filePath(QStringLiteral("sequencias.xml"))).contains("<titulo>DEMO</titulo>"));

    // A new window reads the file again.
    gui::CSequenceDialog dialog(&window, settings, prompter, window.Notice(), window.CommandExchange());
    QCOMPARE(dialog.Open(), 0);
    QCOMPARE(Texts(dialog.SequenceList()), QStringList{QStringLiteral("DEMO")});
    dialog.SequenceList()->setCurrentRow(0);
    QCOMPARE(Texts(dialog.CommandList()), (QStringList{query, reportX}));

    // Three runs with a second's wait after each command.
    dialog.ExecutionsEdit()->setText(QStringLiteral("3"));
    dialog.WaitEdit()->setText(QStringLiteral("1"));
    RunSeen seen;
    QElapsedTimer clock;
    clock.start();
    {
      ResultReader reader(seen);
      QVERIFY(dialog.OnExecute());
    }
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(dialog.LastExecution().code, 0);
    QCOMPARE(dialog.LastExecution().runs, 3);
    QVERIFY(elapsed >= 6000);
    QVERIFY(seen.sequenceProgress);
    QCOMPARE(seen.resultWindows, 1);
    QCOMPARE(Count(seen.results, QStringLiteral("***Início de execução de sequência de comandos***")), 3);
    QCOMPARE(Count(seen.results, QStringLiteral("***Fim de execução de sequência de comandos***")), 3);
    QCOMPARE(Count(seen.results, QStringLiteral("Comando:\tLeitura X")), 3);
    QCOMPARE(Count(seen.results, QStringLiteral("ZT-300 A")), 3);
    QVERIFY(dialog.isEnabled() && dialog.SaveButton()->isEnabled());  // usable again
    QCOMPARE(prompter.Unscripted(), 0);
  }

  void aFailingSecondCommandEndsTheRunAndNoFurtherRunStarts() {
    OfflineWindow offline(work_.path());
    gui::CMainWindow& window = offline.window;
    ProgramSettings& settings = window.Settings();
    settings.g_portName = "COM1:";
    settings.g_extendedReply = true;
    settings.g_showResults = false;  // a failure is shown all the same
    FakePrompter prompter;
    gui::CSequenceDialog dialog(&window, settings, prompter, window.Notice(), window.CommandExchange());
    int presented = 0;
    QString shown;
    dialog.SetResultPresenter([&](const std::string& text, const std::string&) {
      ++presented;
      shown = gui::ToQtDisplay(text);
    });
    QCOMPARE(dialog.Open(), 0);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    // "Leitura X", then "Sangria" whose mandatory value is left empty (its editor is
    // cancelled on the double-click), then "Leitura X" again.
    for (const char* title : {"Leitura X", "Sangria", "Leitura X"}) {
      QVERIFY(Choose(dialog.AvailableList(), QString::fromUtf8(title)));
      QTest::mouseClick(dialog.AddButton(), Qt::LeftButton);
    }
    prompter.QueueCancel(PromptKind::kValue);
    DoubleClick(dialog.CommandList(), 1);
    QCOMPARE(dialog.CommandList()->currentRow(), 1);
    QCOMPARE(dialog.ParameterView()->topLevelItemCount(), 1);
    QCOMPARE(dialog.ParameterView()->topLevelItem(0)->text(1), QStringLiteral("sim"));
    QCOMPARE(dialog.ParameterView()->topLevelItem(0)->text(2), QString());
    QCOMPARE(prompter.Pending(), size_t{0});  // the editor was asked

    dialog.ExecutionsEdit()->setText(QStringLiteral("3"));
    QVERIFY(dialog.OnExecute());
    QCOMPARE(dialog.LastExecution().code, -2);
    QCOMPARE(dialog.LastExecution().runs, 1);
    QCOMPARE(presented, 1);
    QCOMPARE(Count(shown, QStringLiteral("***Início")), 1);
    QCOMPARE(Count(shown, QStringLiteral("Comando:\tLeitura X")), 1);
    QVERIFY2(shown.endsWith(QStringLiteral("***Fim de execução de sequência de comandos***\n"
                                           "Parâmetro obrigatório não preenchido")),
             qPrintable(shown));

    // With results turned off a run that succeeds shows nothing.
    prompter.QueueValue("1,00");
    DoubleClick(dialog.CommandList(), 1);
    QCOMPARE(prompter.Pending(), size_t{0});
    QVERIFY(!dialog.ParameterView()->topLevelItem(0)->text(2).isEmpty());
    dialog.ExecutionsEdit()->setText(QStringLiteral("1"));
    QVERIFY(dialog.OnExecute());
    QCOMPARE(dialog.LastExecution().code, 0);
    QCOMPARE(presented, 1);
    QCOMPARE(prompter.Unscripted(), 0);
  }

  void cancelInTheSequenceProgressWindowEndsTheRunDuringTheWait() {
    OfflineWindow offline(work_.path());
    ProgramSettings& settings = offline.window.Settings();
    settings.g_portName = "COM1:";
    settings.g_extendedReply = true;
    FakePrompter prompter;
    gui::CSequenceDialog dialog(&offline.window, settings, prompter, offline.window.Notice(),
                                offline.window.CommandExchange());
    QString shown;
    dialog.SetResultPresenter([&](const std::string& text, const std::string&) { shown = gui::ToQtDisplay(text); });
    dialog.Open();
    for (int k = 0; k < 2; ++k) {
      QVERIFY(Choose(dialog.AvailableList(), QStringLiteral("Leitura X")));
      dialog.OnAdd();
    }
    dialog.ExecutionsEdit()->setText(QStringLiteral("2"));
    dialog.WaitEdit()->setText(QStringLiteral("30"));

    // Cancel on the sequence's own window as soon as the first command is back.
    QTimer person;
    connect(&person, &QTimer::timeout, [&] {
      for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* progress = qobject_cast<gui::CProgressWindow*>(top);
        if (progress && progress->isVisible() && progress->Position() == 1 &&
            progress->windowTitle().startsWith(QStringLiteral("Executando sequência"))) {
          person.stop();
          QMetaObject::invokeMethod(progress, [progress] {
            QTest::mouseClick(progress->CancelButton(), Qt::LeftButton);
          }, Qt::QueuedConnection);
        }
      }
    });
    person.start(50);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(dialog.OnExecute());
    person.stop();
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(dialog.LastExecution().code, -6);
    QCOMPARE(dialog.LastExecution().runs, 1);
    QCOMPARE(Count(shown, QStringLiteral("Comando:\tLeitura X")), 1);
    QCOMPARE(Count(shown, QStringLiteral("***Fim")), 0);
    QVERIFY2(shown.endsWith(QStringLiteral("Sequência cancelada.")), qPrintable(shown));
  }

 private:
  QTemporaryDir work_;
  gui::SimulatorProcess sim_;
};

TERVANE_GUI_TEST(SequenceDialogFlowTest);

// The window's rules that need no printer.
class SequenceDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    const QString catalogue = QStringLiteral(TERVANE_REPO_DIR "/data/comandos.xml");
    if (!QFile::exists(catalogue)) QFAIL("the catalogue is missing");
    QVERIFY(work_.isValid());
    QVERIFY(QFile::copy(catalogue, work_.filePath(QStringLiteral("comandos.xml"))));
  }

  void init() {
    QFile::remove(work_.filePath(QStringLiteral("sequencias.xml")));
  }

  void numberFieldsOutOfRangeStopExecutar() {
    OfflineWindow offline(work_.path());
    gui::CMainWindow& window = offline.window;
    FakePrompter prompter;
    gui::CSequenceDialog dialog(&window, window.Settings(), prompter, window.Notice(), window.CommandExchange());
    int presented = 0;
    dialog.SetResultPresenter([&](const std::string&, const std::string&) { ++presented; });
    dialog.Open();
    QCOMPARE(dialog.ExecutionsEdit()->text(), QStringLiteral("1"));
    QCOMPARE(dialog.WaitEdit()->text(), QStringLiteral("0"));

    struct Case {
      const char* executions;
      const char* wait;
      const char* message;
    };
    const Case cases[] = {
        {"0", "0", "Digite um número inteiro entre 1 e 999."},
        {"", "0", "Digite um número inteiro entre 1 e 999."},
        {"1", "", "Digite um número inteiro entre 0 e 99."},
    };
    for (const Case& c : cases) {
      dialog.ExecutionsEdit()->setText(QString::fromUtf8(c.executions));
      dialog.WaitEdit()->setText(QString::fromUtf8(c.wait));
      QVERIFY(!dialog.OnExecute());
      QCOMPARE(prompter.Requests().back().kind, PromptKind::kMessage);
      QCOMPARE(prompter.Requests().back().description, Cp(c.message));
    }
    QCOMPARE(dialog.LastExecution().runs, 0);
    QCOMPARE(presented, 0);

    // The longest wait is accepted; an empty working sequence still runs (its two
    // banners only), so nothing waits.
    dialog.WaitEdit()->setText(QStringLiteral("99"));
    dialog.ExecutionsEdit()->setText(QStringLiteral("2"));
    QVERIFY(dialog.OnExecute());
    QCOMPARE(dialog.LastExecution().runs, 2);
    QCOMPARE(presented, 1);
  }

  void novaExcluirAndAbrirKeepTheListInStepWithTheFile() {
    OfflineWindow offline(work_.path());
    gui::CMainWindow& window = offline.window;
    FakePrompter prompter;
    gui::CSequenceDialog dialog(&window, window.Settings(), prompter, window.Notice(), window.CommandExchange());
    dialog.Open();
    QVERIFY(Choose(dialog.AvailableList(), QStringLiteral("Leitura X")));
    QTest::mouseClick(dialog.AddButton(), Qt::LeftButton);
    prompter.QueueText("a");
    QTest::mouseClick(dialog.SaveButton(), Qt::LeftButton);

    // "Nova": an empty sequence under the new name, chosen at the end of the list.
    prompter.QueueText("nova");
    QTest::mouseClick(dialog.NewButton(), Qt::LeftButton);
    QCOMPARE(Texts(dialog.SequenceList()), (QStringList{QStringLiteral("A"), QStringLiteral("NOVA")}));
    QCOMPARE(dialog.SequenceList()->currentRow(), 1);
    QCOMPARE(dialog.CommandList()->count(), 0);

    // "Abrir" on a file that cannot be read keeps the current one, and says so.
    const QString broken = work_.filePath(QStringLiteral("quebrado.xml"));
    {
      QFile file(broken);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("<sequencias><sequencia><titulo>X</titulo>");
    }
    prompter.QueueOpenFile(broken.toStdString());
    QTest::mouseClick(dialog.OpenButton(), Qt::LeftButton);
    const std::string current = work_.filePath(QStringLiteral("sequencias.xml")).toStdString();
    QCOMPARE(prompter.Requests().back().description,
             Cp("Não foi possível carregar o arquivo indicado: ") + broken.toStdString() + ".\nO arquivo " +
                 current + " foi carregado novamente.");
    QCOMPARE(Texts(dialog.SequenceList()), (QStringList{QStringLiteral("A"), QStringLiteral("NOVA")}));

    // "Excluir" both; the button is disabled once none is left. A No deletes nothing.
    dialog.SequenceList()->setCurrentRow(0);
    prompter.QueueYesNo(false);
    QTest::mouseClick(dialog.DeleteButton(), Qt::LeftButton);
    QCOMPARE(dialog.SequenceList()->count(), 2);
    for (int k = 0; k < 2; ++k) {
      dialog.SequenceList()->setCurrentRow(0);
      prompter.QueueYesNo(true);
      QTest::mouseClick(dialog.DeleteButton(), Qt::LeftButton);
    }
    QCOMPARE(prompter.RequestsOf(PromptKind::kYesNo).back().description, Cp("Confirma exclusão?"));
    QCOMPARE(dialog.SequenceList()->count(), 0);
    QVERIFY(!dialog.DeleteButton()->isEnabled());
    QCOMPARE(prompter.Unscripted(), 0);
  }

  void wiredButtons() {
    OfflineWindow offline(work_.path());
    gui::CMainWindow& window = offline.window;
    ProgramSettings& settings = window.Settings();
    FakePrompter prompter;
    gui::CSequenceDialog dialog(&window, settings, prompter, window.Notice(), window.CommandExchange());
    dialog.Open();

    // Help and the command reference open files of the work folder; the work folder's
    // own help file comes before the shipped guide.
    QVERIFY(QDir(work_.path()).mkpath(QStringLiteral("help")));
    QFile chm(work_.filePath(QStringLiteral("help/Tervane_Help.chm")));
    QVERIFY(chm.open(QIODevice::WriteOnly));
    chm.close();
    QStringList opened;
    bool openWorks = true;
    dialog.SetFileOpener([&](const QString& path) {
      opened << path;
      return openWorks;
    });
    QTest::mouseClick(dialog.HelpButton(), Qt::LeftButton);
    QTest::mouseClick(dialog.ReferenceButton(), Qt::LeftButton);
    QCOMPARE(opened, (QStringList{work_.filePath(QStringLiteral("help/Tervane_Help.chm")),
                                  work_.filePath(QStringLiteral("comandos.xml"))}));
    openWorks = false;
    QTest::mouseClick(dialog.HelpButton(), Qt::LeftButton);
    QVERIFY(prompter.Requests().back().description.find("Tervane_Help.chm") != std::string::npos);

    // The graphic-header button waits for its window; "Config." for the settings.
    QVERIFY(!dialog.GraphicHeaderButton()->isEnabled());
    dialog.SetGraphicHeaderHandler({}, QStringLiteral("não registrado"));  // the control is missing
    QVERIFY(!dialog.GraphicHeaderButton()->isEnabled());
    QCOMPARE(dialog.GraphicHeaderButton()->toolTip(), QStringLiteral("não registrado"));
    int headers = 0;
    dialog.SetGraphicHeaderHandler([&] { ++headers; });
    QVERIFY(dialog.GraphicHeaderButton()->isEnabled());
    QTest::mouseClick(dialog.GraphicHeaderButton(), Qt::LeftButton);
    QCOMPARE(headers, 1);

    // A model filter chosen under "Config." applies to the available commands at once.
    QVERIFY(!dialog.SettingsButton()->isEnabled());
    const int before = dialog.AvailableList()->count();
    dialog.SetSettingsHandler([&] {
      settings.g_filterByModel = true;
      settings.g_modelMask = 1;
    });
    QTest::mouseClick(dialog.SettingsButton(), Qt::LeftButton);
    QVERIFY(dialog.AvailableList()->count() < before);
    QCOMPARE(prompter.Unscripted(), 0);
  }

  void mainWindowOpensTheWindowFromOperacoesAndTheToolbar() {
    // Component registries of this test only: the logo control is registered nowhere.
    QTemporaryDir registries;
    ScopedEnv userRegistry("XDG_DATA_HOME", registries.path().toStdString());
    ScopedEnv systemRegistry("TERVANE_SYSTEM_REGISTRY", registries.filePath(QStringLiteral("system.ini")).toStdString());
    OfflineWindow offline(work_.path());
    gui::CMainWindow& window = offline.window;
    window.Settings().g_workDir = work_.path().toStdString();
    FakePrompter prompter;
    window.SetPrompter(&prompter);
    for (int id : {gui::ids::kSequencias, gui::ids::kToolSequencias}) {
      QString title;
      QStringList kinds;
      bool graphicHeader = true;
      QString graphicHeaderTip;
      QTimer person;
      connect(&person, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<gui::CSequenceDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        title = dialog->windowTitle();
        kinds = Texts(dialog->KindList());
        graphicHeader = dialog->GraphicHeaderButton()->isEnabled();
        graphicHeaderTip = dialog->GraphicHeaderButton()->toolTip();
        QMetaObject::invokeMethod(dialog, [dialog] { dialog->reject(); }, Qt::QueuedConnection);
      });
      person.start(20);
      QVERIFY(window.ActionFor(id)->isEnabled());
      window.ActionFor(id)->trigger();
      person.stop();
      QCOMPARE(title, QStringLiteral("Sequências"));
      QVERIFY(kinds.size() > 1 && kinds.first() == QStringLiteral("TODOS"));
      // The logo control is not registered here: the button says how to register it.
      QVERIFY(!graphicHeader);
      QVERIFY(graphicHeaderTip.contains(QStringLiteral("tervane-regsvr")));
    }
  }

  void aCatalogueThatCannotBeReadIsReported() {
    QTemporaryDir empty;
    OfflineWindow offline(empty.path());
    FakePrompter prompter;
    gui::CSequenceDialog dialog(&offline.window, offline.window.Settings(), prompter, offline.window.Notice(),
                                offline.window.CommandExchange());
    QCOMPARE(dialog.Open(), -1);
    QCOMPARE(prompter.RequestsOf(PromptKind::kMessage).size(), size_t{1});
    QCOMPARE(prompter.Requests().back().description, LoadString(str::kCatalogoNaoCarregado));
    QCOMPARE(dialog.AvailableList()->count(), 0);
    QCOMPARE(Texts(dialog.KindList()), QStringList{QStringLiteral("TODOS")});
  }

  // The workbench's own OK/Cancel message and file-open chooser.
  void qtPrompterAnswersOkCancelAndOpenFile() {
    gui::QtPrompter prompter;
    for (QMessageBox::StandardButton press : {QMessageBox::Ok, QMessageBox::Cancel}) {
      QString text;
      AnswerWhenShown<QMessageBox>(this, [&text, press](QMessageBox* box) {
        text = box->text();
        box->button(press)->click();
      });
      const bool ok = prompter.AskOkCancel("", Cp("Clique em OK para continuar a execução da sequência."));
      QCOMPARE(ok, press == QMessageBox::Ok);
      QCOMPARE(text, QStringLiteral("Clique em OK para continuar a execução da sequência."));
    }

    const QString wanted = work_.filePath(QStringLiteral("comandos.xml"));
    AnswerWhenShown<QFileDialog>(this, [wanted](QFileDialog* chooser) {
      // Typed, as the folder's listing is still loading.
      if (auto* name = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) name->setText(wanted);
      static_cast<QDialog*>(chooser)->accept();  // public in QDialog, dispatched to the chooser
    });
    std::string path;
    QVERIFY(prompter.ChooseOpenFile("*.XML", Cp("Arquivos de Sequências de comandos(*.XML)|*.XML||"), path));
    QCOMPARE(QString::fromStdString(path), wanted);
  }

 private:
  QTemporaryDir work_;
};

TERVANE_GUI_TEST(SequenceDialogTest);

}  // namespace tervane::testing

#include "sequence_dialog_test.moc"
