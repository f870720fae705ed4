// Programming a printer through the windows, against the emulated printer in technical
// intervention: "Programar Equipamento" from the toolbar, the configuration read into the
// pages, a rate and totalizer names changed, the profile saved, the printer programmed,
// the results window with every command's outcome, and the values read back.
#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>

#include "core/equipment/model_groups.h"
#include "core/equipment/profile_file.h"
#include "core/equipment/programming_commands.h"
#include "gui/app/main_window.h"
#include "gui/app/simulator_process.h"
#include "gui/common/qt_text.h"
#include "gui/equipment/aliquotas_page.h"
#include "gui/equipment/general_information_page.h"
#include "gui/equipment/program_equipment_dialog.h"
#include "gui/equipment/profile_browser_dialog.h"
#include "gui/equipment/profile_sheet.h"
#include "gui/equipment/totalizer_page.h"
#include "gui/gui_test.h"
#include "gui/protocol/result_window.h"
#include "support/fake_prompter.h"

namespace tervane::testing {
namespace {

// A person answering the modal windows in a set order: each step waits for a window of
// its kind to be the active modal one, then acts on it. Actions are queued rather than
// run inside the timer's call, so that a window they open (a nested event loop) still
// sees the timer. Steps still waiting after the time limit are abandoned and every modal
// window is closed, so a broken flow fails instead of hanging.
class ModalScript : public QObject {
 public:
  template <typename Window>
  ModalScript& On(std::function<void(Window*)> act) {
    steps_.push_back({[](QWidget* w) { return qobject_cast<Window*>(w) != nullptr; },
                      [act](QWidget* w) { act(qobject_cast<Window*>(w)); }});
    return *this;
  }

  // Runs `start` (which opens the first window) with the script answering.
  void Run(const std::function<void()>& start, int limitMs = 60000) {
    QTimer timer;
    QElapsedTimer clock;
    clock.start();
    connect(&timer, &QTimer::timeout, this, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (clock.elapsed() > limitMs) {
        timedOut_ = !steps_.empty() || timedOut_;
        steps_.clear();
        if (modal) QMetaObject::invokeMethod(modal, "reject", Qt::QueuedConnection);
        return;
      }
      if (!modal || steps_.empty() || modal == last_ || !steps_.front().matches(modal)) return;
      last_ = modal;
      auto act = steps_.front().act;
      steps_.pop_front();
      QPointer<QWidget> target(modal);
      QMetaObject::invokeMethod(
          modal, [act, target] { if (target) act(target); }, Qt::QueuedConnection);
    });
    timer.start(10);
    start();
  }

  bool Finished() const { return steps_.empty() && !timedOut_; }

 private:
  struct Step {
    std::function<bool(QWidget*)> matches;
    std::function<void(QWidget*)> act;
  };
  std::deque<Step> steps_;
  QPointer<QWidget> last_;
  bool timedOut_ = false;
};

}  // namespace

class EquipmentProgrammingTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    const QString program = QStringLiteral(TERVANE_BIN_DIR "/tervane-sim");
    if (!QFile::exists(program)) QFAIL("the simulator is not built");
    QVERIFY(work_.isValid());
    QVERIFY2(sim_.Start(program, {QStringLiteral("--intervention")}), qPrintable(sim_.Error()));
    qputenv("TERVANE_COM1", sim_.PtyPath().toLocal8Bit());
  }

  void cleanupTestCase() {
    sim_.Stop();
    qunsetenv("TERVANE_COM1");
  }

  void readEditSaveProgramAndReadBack() {
    gui::CMainWindow::Options options;
    options.workDir = work_.path().toStdString();
    options.loadCatalogue = false;  // programming builds its own commands
    gui::CMainWindow window(options);
    FakePrompter prompter;
    window.SetPrompter(&prompter);
    window.StartUp();
    QCOMPARE(window.Settings().g_portName, std::string("COM1:"));
    QCOMPARE(EnabledTotalizerCount(window.Settings().g_modelMask), 30);  // a newer model
    QAction* tool = window.ActionFor(gui::ids::kToolProgramar);
    QVERIFY(tool && tool->isEnabled());

    // First run: read, edit, save, program.
    QString serialRead;
    bool name31Disabled = false;
    bool busyWhileRunning = false;
    QString results;
    ProgrammingOutcome outcome;
    ProfileRecord programmed;
    prompter.QueueYesNo(true);  // "Deseja salvar as alterações?"
    ModalScript first;
    first.On<gui::CProgramEquipmentDlg>([](gui::CProgramEquipmentDlg* d) { d->PrinterButton()->click(); })
        .On<gui::CProfileSheet>([&](gui::CProfileSheet* sheet) {
          serialRead = sheet->General()->SerialNumber()->text();
          // The run pumps events: its dialog takes no second run and does not close.
          auto* owner = qobject_cast<gui::CProgramEquipmentDlg*>(sheet->parentWidget());
          busyWhileRunning = owner && owner->Running() && !owner->PrinterButton()->isEnabled();
          if (owner) owner->reject();
          busyWhileRunning = busyWhileRunning && owner->isVisible();
          name31Disabled = !sheet->Totalizers()->Name(30)->isEnabled();
          // A printer fresh from the factory holds no owner; it refuses blank ones.
          sheet->General()->Cnpj()->setText(QStringLiteral("12345678000190"));
          sheet->General()->Ie()->setText(QStringLiteral("110042490114"));
          sheet->General()->Uf()->setText(QStringLiteral("SP"));
          sheet->TaxRates()->Rate(0)->setText(QStringLiteral("1250"));
          sheet->TaxRates()->IssButton(0)->setChecked(true);
          sheet->Totalizers()->Name(0)->setText(QStringLiteral("Sangria"));
          sheet->Totalizers()->Name(27)->setText(QStringLiteral("Gorjeta"));
          sheet->Totalizers()->Name(28)->setText(QStringLiteral("Taxa 29"));  // the last two stay in the profile
          sheet->Totalizers()->Name(29)->setText(QStringLiteral("Taxa 30"));
          sheet->OkButton()->click();
        })
        .On<gui::CResultDlg>([&](gui::CResultDlg* r) {
          results = r->TextBox()->toPlainText();
          r->reject();
        })
        .On<gui::CProgramEquipmentDlg>([&](gui::CProgramEquipmentDlg* d) {
          outcome = d->LastOutcome();
          programmed = d->Profile();
          d->CancelButton()->click();
        });
    first.Run([&] { tool->trigger(); });
    QVERIFY(first.Finished());
    QVERIFY(!serialRead.isEmpty());
    QVERIFY(name31Disabled);
    QVERIFY(busyWhileRunning);

    // Every command ran and was accepted, and the results window shows each outcome.
    QVERIFY(outcome.accepted && outcome.saved);
    QCOMPARE(outcome.runResult, 0);
    QCOMPARE(int(outcome.ran.size()), outcome.commandsBuilt);
    for (const ProgrammedCommand& ran : outcome.ran) {
      QVERIFY2(ran.result == 0 && !ran.Refused(), qPrintable(gui::ToQt(ran.title) + QStringLiteral("\n") + results));
      QVERIFY2(results.contains(gui::ToQt(ran.title)), ran.title.c_str());
    }
    QCOMPARE(Count(results, QStringLiteral("Comando:\t")), outcome.commandsBuilt);
    QVERIFY(!results.contains(QStringLiteral("NÃO EXECUTADO")));
    // Names 29 and 30 are not sent: naming commands only for the non-empty names 1-28.
    int naming = 0;
    int nonEmpty = 0;
    for (const ProgrammedCommand& ran : outcome.ran) naming += ran.title.rfind("Nomeia", 0) == 0;
    for (int i = 0; i < 28; ++i) nonEmpty += !programmed.totalizerNames[static_cast<size_t>(i)].empty();
    QCOMPARE(naming, nonEmpty);
    QVERIFY(nonEmpty >= 2);

    // The profile reached the file, the last two names with it, the password not.
    ProfileList stored;
    QCOMPARE(LoadProfiles(ProfileFilePath(window.Settings()), stored), 0);
    QCOMPARE(stored.size(), size_t(1));
    QCOMPARE(gui::ToQt(stored[0].serialNumber), serialRead.remove(QLatin1Char(' ')));
    QCOMPARE(stored[0].rates[0], std::string("1250"));
    QCOMPARE(stored[0].issBinding[0], '1');
    QCOMPARE(stored[0].totalizerNames[28], std::string("Taxa 29"));
    QCOMPARE(stored[0].totalizerNames[29], std::string("Taxa 30"));
    QVERIFY(stored[0].password.empty());

    // Second run: read again; the pages show what the printer now holds. Cancel on the
    // sheet sends nothing and shows no results.
    QString cnpj;
    QString rate;
    bool iss = false;
    QString names[4];
    ProgrammingOutcome cancelled;
    ModalScript second;
    second.On<gui::CProgramEquipmentDlg>([](gui::CProgramEquipmentDlg* d) { d->PrinterButton()->click(); })
        .On<gui::CProfileSheet>([&](gui::CProfileSheet* sheet) {
          cnpj = sheet->General()->Cnpj()->text();
          rate = sheet->TaxRates()->Rate(0)->text();
          iss = sheet->TaxRates()->IssButton(0)->isChecked();
          for (int k = 0; k < 4; ++k) names[k] = sheet->Totalizers()->Name(k == 0 ? 0 : 26 + k)->text();
          sheet->CancelButton()->click();
        })
        .On<gui::CProgramEquipmentDlg>([&](gui::CProgramEquipmentDlg* d) {
          cancelled = d->LastOutcome();
          d->CancelButton()->click();
        });
    second.Run([&] { window.ActionFor(gui::ids::kProgramarEquipamento)->trigger(); });
    QVERIFY(second.Finished());
    QCOMPARE(cnpj.trimmed(), QStringLiteral("12345678000190"));
    QCOMPARE(rate, QStringLiteral("1250"));
    QVERIFY(iss);
    // Names come back in their 19-character fields.
    QCOMPARE(names[0].trimmed(), QStringLiteral("Sangria"));
    QCOMPARE(names[1].trimmed(), QStringLiteral("Gorjeta"));
    QVERIFY(names[2].trimmed().isEmpty());  // never sent
    QVERIFY(names[3].trimmed().isEmpty());
    QVERIFY(!cancelled.accepted);
    QCOMPARE(cancelled.commandsBuilt, 0);
    QCOMPARE(prompter.Unscripted(), 0);
  }

  // The stored-profile way in, through the browser; a password of the wrong length is
  // reported, the first command is refused when it is framed and nothing else is sent;
  // "Nova Configuração" then starts from the values of the run before.
  void storedProfileWithShortPassword() {
    QTemporaryDir work;
    QVERIFY(work.isValid());
    ProfileRecord stored;
    stored.serialNumber = "TESTE01";
    stored.client = "Bar do Ze";
    stored.rates[0] = "0900";
    stored.totalizerNames[0] = "Vale";
    const std::string file = work.filePath(QStringLiteral("equipamentos.xml")).toStdString();
    QCOMPARE(SaveProfiles(file, {stored}), 0);

    gui::CMainWindow::Options options;
    options.workDir = work.path().toStdString();
    options.detectPrinter = false;
    options.loadCatalogue = false;
    gui::CMainWindow window(options);
    window.StartUp();
    window.Settings().g_portName = "COM1:";
    window.Settings().g_modelName = "ZT-300 A            ";
    window.Settings().g_modelMask = 1024;
    FakePrompter prompter;
    window.SetPrompter(&prompter);
    prompter.QueueYesNo(false);  // not saved; programming goes on

    QString rateShown, nameShown, rateAgain, passwordAgain, results;
    ProgrammingOutcome refused, cancelled;
    ModalScript script;
    script.On<gui::CProgramEquipmentDlg>([](gui::CProgramEquipmentDlg* d) { d->StoredButton()->click(); })
        .On<gui::CProfileBrowserDlg>([](gui::CProfileBrowserDlg* b) {
          b->Serials()->setEditText(QStringLiteral("TESTE01"));
          b->SearchButton()->click();
          b->Found()->setCurrentRow(0);
          b->LoadButton()->click();
        })
        .On<gui::CProfileSheet>([&](gui::CProfileSheet* sheet) {
          rateShown = sheet->TaxRates()->Rate(0)->text();
          nameShown = sheet->Totalizers()->Name(0)->text();
          sheet->General()->Password()->setText(QStringLiteral("ABC"));
          sheet->OkButton()->click();
        })
        .On<gui::CResultDlg>([&](gui::CResultDlg* r) {
          results = r->TextBox()->toPlainText();
          r->reject();
        })
        .On<gui::CProgramEquipmentDlg>([&](gui::CProgramEquipmentDlg* d) {
          refused = d->LastOutcome();
          d->NewButton()->click();
        })
        .On<gui::CProfileSheet>([&](gui::CProfileSheet* sheet) {
          rateAgain = sheet->TaxRates()->Rate(0)->text();
          passwordAgain = sheet->General()->Password()->text();
          sheet->CancelButton()->click();
        })
        .On<gui::CProgramEquipmentDlg>([&](gui::CProgramEquipmentDlg* d) {
          cancelled = d->LastOutcome();
          d->CancelButton()->click();
        });
    script.Run([&] { window.ActionFor(gui::ids::kProgramarEquipamento)->trigger(); });
    QVERIFY(script.Finished());

    QCOMPARE(rateShown, QStringLiteral("0900"));
    QCOMPARE(nameShown, QStringLiteral("Vale"));
    const auto messages = prompter.RequestsOf(PromptKind::kMessage);
    QCOMPARE(messages.size(), size_t(1));
    QCOMPARE(messages[0].description, WrongPasswordLengthText());
    QVERIFY(refused.accepted && !refused.saved);
    QVERIFY(refused.runResult < 0);
    QCOMPARE(refused.ran.size(), size_t(1));
    QCOMPARE(Count(results, QStringLiteral("Comando:\t")), 1);
    QVERIFY(results.contains(QStringLiteral("Programa CNPJ/IE/IM")));
    // The profile of the dialog kept the run's values; the password box its default.
    QCOMPARE(rateAgain, QStringLiteral("0900"));
    QCOMPARE(passwordAgain, QStringLiteral("C3C3C3C3C3C3C3C3C3C3"));
    QVERIFY(!cancelled.accepted);
    QCOMPARE(prompter.Unscripted(), 0);
  }

 private:
  QTemporaryDir work_;
  gui::SimulatorProcess sim_;
};

TERVANE_GUI_TEST(EquipmentProgrammingTest);

}  // namespace tervane::testing

#include "equipment_programming_test.moc"
