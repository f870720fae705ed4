// The public-key print and the MF integrity check in the "MF/MFD" window, and the results
// window the Qt prompter opens for the check's command.
#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include "core/app/model_table.h"
#include "gui/catalogue/qt_prompter.h"
#include "gui/common/qt_text.h"
#include "gui/fiscalmemory/mf_mfd_window.h"
#include "gui/gui_test.h"
#include "gui/protocol/result_window.h"
#include "support/fake_clock.h"
#include "support/fake_port.h"
#include "support/fake_prompter.h"
#include "support/fake_vendor_library.h"

namespace tervane::testing {
namespace {

int FailedKeyDownload(const char*, const char*) { return 3; }

}  // namespace

class KeyPrintWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void bothEntriesRunTheirChecks() {
    ProgramSettings settings;
    settings.g_portName = "COM2:";
    settings.g_modelMask = 16;  // ZK-140 B: command 126, first library
    FakeClock clock;
    FakePortFactory ports(&clock);
    FakePortScript cells;
    cells.reply = {Bytes({0x06, 0x03, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00})};
    ports.Script("COM2:", cells);
    FakePrompter prompter;
    NullWaitNotice wait;
    FakeVendorLoader loader;
    loader.Provide(kVendorLibrary2, "KeloDownloadPublicKey", &FailedKeyDownload);
    gui::CMfMfdWnd window(nullptr, ExchangeContext{&settings, &ports, &clock}, prompter, wait, {}, &loader);

    QAction* integrity = window.Entry(QStringLiteral("Verifica integridade da MF"));
    QAction* keyPrint = window.Entry(QStringLiteral("Impressão de Chave Pública"));
    QVERIFY(integrity->isEnabled());
    QVERIFY(keyPrint->isEnabled());

    prompter.QueueChoice(1);
    integrity->trigger();
    QVERIFY(window.LastOutcome().succeeded);
    QCOMPARE(ports.records.size(), size_t{1});
    QCOMPARE(int(ports.records[0]->sent[4]), 126);
    const auto results = prompter.RequestsOf(PromptKind::kResults);
    QCOMPARE(results.size(), size_t{1});
    QVERIFY(results[0].description.find(Cp("Número de células gravadas:\t3 \r\n")) != std::string::npos);

    // A first-library model prints no key: nothing is loaded, nothing is asked.
    keyPrint->trigger();
    QCOMPARE(window.LastOutcome().stage, MemoryStage::kNotAvailable);
    QVERIFY(loader.loads.empty());
    settings.g_modelMask = 16384;
    keyPrint->trigger();
    QCOMPARE(loader.loads, std::vector<std::string>{kVendorLibrary2});
    QCOMPARE(loader.loaded, 0);  // unloaded after the call
    QCOMPARE(window.LastOutcome().code, 3);
    QCOMPARE(prompter.RequestsOf(PromptKind::kMessage).back().description, std::string("Falha no envio do comando"));
    QCOMPARE(ports.records.size(), size_t{1});
  }

  void qtPrompterShowsTheResultsWindow() {
    gui::QtPrompter prompter;
    const std::string text = Cp("\r\nComando:\t\r\n\r\nNúmero de células gravadas:\t3 \r\n");
    QString shown;
    bool dumpOffered = false;
    QTimer person;
    connect(&person, &QTimer::timeout, [&] {
      if (auto* result = qobject_cast<gui::CResultDlg*>(QApplication::activeModalWidget())) {
        shown = result->TextBox()->toPlainText();
        dumpOffered = result->ToggleButton() != nullptr;
        QMetaObject::invokeMethod(result, [result] { result->reject(); }, Qt::QueuedConnection);
      }
    });
    person.start(20);
    prompter.ShowCommandResults(text, "CMD: 02 04 00 1B 7E 99 00\r\nRET: 06 03 00 03 00 00 00 00 00\r\n");
    person.stop();
    QCOMPARE(shown, gui::ToQtDisplay(text));
    QVERIFY(dumpOffered);
  }
};

TERVANE_GUI_TEST(KeyPrintWindowTest);

}  // namespace tervane::testing

#include "key_print_window_test.moc"
