// The "pdf 417" capture window over a scripted scanner, and its settings dialog.
#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "core/fiscalmemory/pdf417_settings.h"
#include "gui/common/app_profile.h"
#include "gui/common/qt_text.h"
#include "gui/fiscalmemory/pdf417_settings_dialog.h"
#include "gui/fiscalmemory/pdf417_window.h"
#include "gui/gui_test.h"
#include "core/fiscalmemory/pdf417_test_support.h"
#include "support/fake_clock.h"
#include "support/fake_prompter.h"

namespace tervane::testing {

class Pdf417WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void settingsDialogSavesTheSixKeysReadableWithoutQt() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("profile.ini"));
    {
      // A profile as an earlier version left it, written by Qt's settings class.
      QSettings earlier(path, QSettings::IniFormat);
      earlier.setValue(QStringLiteral("Settings/X"), 5);
      earlier.setValue(QStringLiteral("Scanner Port/Parity"), 2);
    }
    {
      gui::CPdf417ConfigDlg dialog(nullptr, path.toStdString());
      QCOMPARE(dialog.ParityBox()->currentText(), QStringLiteral("Ímpar"));
      dialog.ParityBox()->setCurrentIndex(0);
      // The other defaults, with a missing "Handshake" shown as "Hardware".
      QCOMPARE(dialog.PortBox()->currentText(), QStringLiteral("COM1:"));
      QCOMPARE(dialog.BaudBox()->currentText(), QStringLiteral("115200"));
      QCOMPARE(dialog.DataBitsBox()->currentText(), QStringLiteral("8"));
      QCOMPARE(dialog.ParityBox()->currentText(), QStringLiteral("Nenhuma"));
      QCOMPARE(dialog.StopBitsBox()->currentText(), QStringLiteral("1"));
      QCOMPARE(dialog.HandshakeBox()->currentText(), QStringLiteral("Hardware"));
      QCOMPARE(dialog.ParityBox()->itemText(2), QStringLiteral("Ímpar"));

      dialog.PortBox()->setEditText(QStringLiteral("/dev/ttyUSB3"));
      dialog.BaudBox()->setCurrentIndex(3);
      dialog.DataBitsBox()->setCurrentIndex(2);
      dialog.ParityBox()->setCurrentIndex(1);
      dialog.StopBitsBox()->setCurrentIndex(2);
      dialog.HandshakeBox()->setCurrentIndex(0);
      dialog.accept();
    }
    // The command line reads the same file without Qt.
    const ScannerProfileValues values = ReadScannerProfile(IniScannerProfile(path.toStdString()), false);
    QCOMPARE(values.portName, std::string("/dev/ttyUSB3"));
    QCOMPARE(values.baudRate, 3);
    QCOMPARE(values.byteLength, 2);
    QCOMPARE(values.parity, 1);
    QCOMPARE(values.stopBits, 2);
    QCOMPARE(values.handshake, 0);
    // Qt's settings class, which keeps the rest of the profile, reads the same values
    // and still finds its own.
    QSettings later(path, QSettings::IniFormat);
    QCOMPARE(later.value(QStringLiteral("Scanner Port/Port name")).toString(), QStringLiteral("/dev/ttyUSB3"));
    QCOMPARE(later.value(QStringLiteral("Scanner Port/Baud rate")).toInt(), 3);
    QCOMPARE(later.value(QStringLiteral("Settings/X")).toInt(), 5);
  }

  void completeSetStopsForTheUserAndSaves() {
    QTemporaryDir dir;
    FakePrompter prompter;
    FakeClock clock;
    ScriptedScannerPort::Shared port;
    gui::CPdf417Dlg window(nullptr, prompter, false, clock,
                           [&port] { return std::make_unique<ScriptedScannerPort>(port); });
    QCOMPARE(window.windowTitle(), QStringLiteral("pdf 417"));
    QVERIFY(window.StartButton()->isEnabled());
    QVERIFY(!window.StopButton()->isEnabled());

    QTest::mouseClick(window.StartButton(), Qt::LeftButton);
    QVERIFY(window.Capturing());
    QVERIFY(!window.StartButton()->isEnabled());
    QVERIFY(window.StopButton()->isEnabled());

    const std::string mfd = dir.filePath(QStringLiteral("w.mfd")).toStdString();
    prompter.QueueSaveFile(mfd);
    port.QueueSymbol(MakeSymbol(1336, 668, Data(668, 2)));
    QTRY_COMPARE(window.StatusText(), QStringLiteral("Símbolo lido: 2/2"));
    QCOMPARE(window.ExpectedText(), QStringLiteral("2"));
    QCOMPARE(window.ReceivedText(), QStringLiteral("1"));
    QVERIFY(window.DumpText().startsWith(QStringLiteral("000000  38 05 00 00 9C 02 00 00 ")));
    port.QueueSymbol(MakeSymbol(1336, 0, Data(668, 1)));

    // The last symbol ends the capture: the notice, then "&Parar" for the user.
    QTRY_VERIFY(!window.Capturing());
    QCOMPARE(window.ReceivedText(), QStringLiteral("2"));
    QVERIFY(window.StartButton()->isEnabled());
    QVERIFY(!window.StopButton()->isEnabled());
    QCOMPARE(window.LastStopResult(), Pdf417StopResult::kSaved);
    QCOMPARE(window.SavedPath(), mfd);
    const auto messages = prompter.RequestsOf(PromptKind::kMessage);
    QCOMPARE(messages.size(), size_t{2});
    QCOMPARE(messages[0].caption, std::string("Fim da Captura"));
    QCOMPARE(messages[0].description, Cp("Todos os símbolos foram lidos.\nPressione OK para continuar"));
    QCOMPARE(messages[1].caption, Cp("Concluído"));
    QCOMPARE(QFile(QString::fromStdString(mfd)).size(), qint64{524288 + 1536 + 1336 + 256});
  }

  void closingWhileSymbolsAreMissingCanGoBackToCapturing() {
    FakePrompter prompter;
    FakeClock clock;
    ScriptedScannerPort::Shared port;
    gui::CPdf417Dlg window(nullptr, prompter, false, clock,
                           [&port] { return std::make_unique<ScriptedScannerPort>(port); });
    window.show();
    QTest::mouseClick(window.StartButton(), Qt::LeftButton);
    port.QueueSymbol(MakeSymbol(2004, 0, Data(668, 1)));
    QTRY_COMPARE(window.ReceivedText(), QStringLiteral("1"));

    prompter.QueueYesNoCancel(0);
    QVERIFY(!window.close());
    QVERIFY(window.Capturing());
    QVERIFY(window.isVisible());

    prompter.QueueYesNoCancel(2);
    QTest::mouseClick(window.StopButton(), Qt::LeftButton);
    QVERIFY(!window.Capturing());
    QCOMPARE(window.LastStopResult(), Pdf417StopResult::kClosed);
    QVERIFY(prompter.RequestsOf(PromptKind::kSaveFile).empty());
    QVERIFY(window.close());
  }

  void menuFlowAsksForTheSignaturePass() {
    for (bool yes : {false, true}) {
      FakePrompter prompter;
      prompter.QueueYesNo(yes);
      std::vector<bool> passes;
      const size_t expected = yes ? 2 : 1;
      // Closes each capture window as it opens, noting which pass it was.
      std::function<void()> closeNext = [&] {
        if (auto* window = qobject_cast<gui::CPdf417Dlg*>(QApplication::activeModalWidget())) {
          passes.push_back(window->SignaturePass());
          window->close();
        }
        if (passes.size() < expected) QTimer::singleShot(10, closeNext);
      };
      QTimer::singleShot(10, closeNext);
      gui::RunPdf417Capture(nullptr, &prompter);
      const auto questions = prompter.RequestsOf(PromptKind::kYesNo);
      QCOMPARE(questions.size(), size_t{1});
      QCOMPARE(questions[0].description, Cp("Deseja ler autenticação digigal?"));
      const std::vector<bool> wanted = yes ? std::vector<bool>{false, true} : std::vector<bool>{false};
      QCOMPARE(passes, wanted);
    }
  }
};

TERVANE_GUI_TEST(Pdf417WindowTest);

}  // namespace tervane::testing

#include "pdf417_window_test.moc"
