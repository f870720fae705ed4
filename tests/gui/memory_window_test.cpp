// The "MF/MFD" window: its menus, the entries that run the memory operations, the range
// dialogs' choices, and its place in the main window.
#include <QAction>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolBar>

#include "core/app/model_table.h"
#include "gui/app/main_window.h"
#include "gui/fiscalmemory/memory_dialogs.h"
#include "gui/fiscalmemory/mf_mfd_window.h"
#include "gui/gui_test.h"
#include "support/fake_prompter.h"
#include "support/fake_vendor_library.h"

namespace tervane::testing {
namespace {

QStringList Texts(QMenu* menu) {
  QStringList texts;
  for (QAction* a : menu->actions()) {
    if (!a->isSeparator()) texts << a->text();
  }
  return texts;
}

std::vector<std::string> g_calls;
int RangeDownload(const char*, const char* file, const char* kind, const char* start, const char* end,
                  const char* user) {
  g_calls.push_back(std::string(file) + "|" + kind + "|" + start + "|" + end + "|" + user);
  return 1;
}

}  // namespace

class MemoryWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void menusListTheOperationsInOrder() {
    ProgramSettings settings;
    FakePrompter prompter;
    NullWaitNotice wait;
    gui::CMfMfdWnd window(nullptr, ExchangeContext{&settings}, prompter, wait, {});
    const QList<QAction*> top = window.MenuBar()->actions();
    QCOMPARE(top.size(), 2);
    QCOMPARE(top[0]->text(), QStringLiteral("Arquivo"));
    QCOMPARE(top[1]->text(), QStringLiteral("Comunicação"));
    QCOMPARE(Texts(top[0]->menu()),
             (QStringList{"Emissão de documento(s)", "Geração de banco de dados", "Relatório da Memória Fiscal",
                          "Registros Tipo E", "Decodificar Bitmaps PDF-417 Distintos",
                          "Diagnostico do relatório da MFD", "Valida .MFD em formato PDF417", "Valida MPK,MFK,SBK",
                          "Verifica integridade da MF"}));
    QMenu* link = top[1]->menu();
    QCOMPARE(Texts(link), (QStringList{"Download", "Leitura via scanner (PDF - 417)", "Impressão de Chave Pública"}));
    QCOMPARE(Texts(link->actions()[0]->menu()),
             (QStringList{"Memória de fita-detalhe (MFD)", "Memória Fiscal (MF)", "Software Básico(SB)", "MPK", "MFK",
                          "SBK", "Chave Pública"}));
    // What other tools will bring is listed but greyed.
    for (const char* built : {"Registros Tipo E", "Diagnostico do relatório da MFD", "Leitura via scanner (PDF - 417)", "Verifica integridade da MF", "Impressão de Chave Pública"}) {
      QVERIFY(window.Entry(QString::fromUtf8(built))->isEnabled());
    }
  }

  void anEntryRunsItsOperationWithTheWindowsContext() {
    ProgramSettings settings;
    settings.g_portName = "COM2:";
    settings.g_modelMask = 1024;  // first library
    FakePrompter prompter;
    NullWaitNotice wait;
    FakeVendorLoader loader;
    loader.Provide(kVendorLibrary1, "KeloDownloadMFD", &RangeDownload);
    MemoryRangeForm form;
    form.kind = MemoryRangeForm::Kind::kTotal;
    prompter.QueueMemoryRange(form).QueueSaveFile("/tmp/x.mfd");
    gui::CMfMfdWnd window(nullptr, ExchangeContext{&settings}, prompter, wait, {}, &loader);
    g_calls.clear();
    window.Entry(QStringLiteral("Memória de fita-detalhe (MFD)"))->trigger();
    QCOMPARE(window.LastOutcome().stage, MemoryStage::kCompleted);
    QCOMPARE(g_calls, std::vector<std::string>{"/tmp/x.mfd|0|||"});
    QCOMPARE(loader.loaded, 0);
  }

  void rangeDialogYieldsTheChosenRange() {
    MemoryRangeForm start;
    gui::CRangeDlg dialog(nullptr, start);
    QList<QString> buttons;
    for (QAbstractButton* b : dialog.findChild<QDialogButtonBox*>()->buttons()) buttons << b->text();
    QCOMPARE(buttons, (QList<QString>{"&Iniciar", "&Cancelar"}));
    QVERIFY(dialog.CooChoice()->isChecked());
    dialog.FirstCoo()->setValue(1234567);  // beyond the edit's limit
    dialog.LastCoo()->setValue(42);
    dialog.User()->setValue(300);
    MemoryRangeForm coo = dialog.Form();
    QCOMPARE(coo.firstCoo, 999999L);
    QCOMPARE(coo.lastCoo, 42L);
    QCOMPARE(coo.user, 255);

    dialog.DatesChoice()->setChecked(true);
    QVERIFY(!dialog.User()->isEnabled());
    QVERIFY(dialog.FirstDate()->isEnabled());
    dialog.FirstDate()->setDate(QDate(2008, 2, 29));
    const MemoryRangeForm dates = dialog.Form();
    QCOMPARE(dates.kind, MemoryRangeForm::Kind::kDates);
    QCOMPARE(dates.firstDate.year, 2008);
    QCOMPARE(dates.firstDate.month, 2);
    QCOMPARE(dates.firstDate.day, 29);
    dialog.TotalChoice()->setChecked(true);
    QCOMPARE(dialog.Form().kind, MemoryRangeForm::Kind::kTotal);
    QVERIFY(!dialog.FirstDate()->isEnabled());
  }

  void reportAndTypeEDialogsKeepTheirChoices() {
    MfReportForm report;
    report.byReductions = false;
    report.simplified = true;
    report.firstDate = CivilTime{2020, 1, 31};
    gui::CMfReportDlg reportDialog(nullptr, report);
    QVERIFY(reportDialog.DatesChoice()->isChecked());
    QVERIFY(!reportDialog.FirstReduction()->isEnabled());
    const MfReportForm back = reportDialog.Form();
    QVERIFY(!back.byReductions);
    QVERIFY(back.simplified);
    QCOMPARE(back.firstDate.day, 31);

    TypeERecordsForm typeE;
    gui::CTypeERecordsDlg typeDialog(nullptr, typeE);
    typeDialog.RecordChoice(TypeERecordsForm::Record::kTdm)->setChecked(true);
    typeDialog.PeriodChoice(TypeERecordsForm::Period::kTotal)->setChecked(true);
    QVERIFY(!typeDialog.FirstReduction()->isEnabled());
    const TypeERecordsForm chosen = typeDialog.Form();
    QCOMPARE(chosen.record, TypeERecordsForm::Record::kTdm);
    QCOMPARE(chosen.period, TypeERecordsForm::Period::kTotal);
  }

  void mainWindowOpensTheToolsFromMenuAndToolbar() {
    gui::CMainWindow::Options options;
    options.detectPrinter = false;
    options.loadCatalogue = false;
    gui::CMainWindow window(options);
    QVERIFY(window.ActionFor(gui::ids::kMfMfd)->isEnabled());
    QVERIFY(window.ActionFor(gui::ids::kToolMfMfd)->isEnabled());
  }
};

TERVANE_GUI_TEST(MemoryWindowTest);

}  // namespace tervane::testing

#include "memory_window_test.moc"
