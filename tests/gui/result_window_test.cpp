// The "Resultado" window: the message/dump toggle and "Salvar" with its three contents.
#include <QFontDatabase>
#include <QFontInfo>
#include <QFile>
#include <QFont>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "core/common/string_table.h"
#include "gui/common/qt_text.h"
#include "gui/gui_test.h"
#include "gui/protocol/result_window.h"
#include "core/protocol/command_log.h"
#include "support/fake_prompter.h"

namespace tervane::testing {
namespace {

const std::string kResult = Cp("\r\nComando:\tLeitura X\r\nCOMANDO OK\r\nNº\t12\r\n");
const std::string kTrace = "CMD:  02 04 00 1B 06 21 00\r\nRET:  06 00 00\r\n";

QByteArray Bytes(const std::string& text) {
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

class ResultWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void toggleSwitchesBetweenMessageAndDump() {
    FakePrompter prompter;
    gui::CResultDlg dialog(nullptr, kResult, kTrace, prompter);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Resultado"));
    // The desktop's fixed-width font, at its size.
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    QCOMPARE(dialog.TextBox()->font().family(), fixed.family());
    QCOMPARE(dialog.TextBox()->font().pointSize(), fixed.pointSize());
    QVERIFY(QFontInfo(dialog.TextBox()->font()).fixedPitch());
    QCOMPARE(dialog.TextBox()->toPlainText(), gui::ToQtDisplay(kResult));
    QCOMPARE(dialog.ToggleButton()->text(), QStringLiteral("Dump"));

    QTest::mouseClick(dialog.ToggleButton(), Qt::LeftButton);
    QVERIFY(dialog.ShowingDump());
    QCOMPARE(dialog.ToggleButton()->text(), QStringLiteral("Mensagem"));
    QCOMPARE(dialog.TextBox()->toPlainText(), gui::ToQtDisplay(HexDump(kTrace)));
    QVERIFY(dialog.TextBox()->toPlainText().startsWith(QStringLiteral("CMD:\n0000  02 04 00 1B")));

    QTest::mouseClick(dialog.ToggleButton(), Qt::LeftButton);
    QVERIFY(!dialog.ShowingDump());
    QCOMPARE(dialog.ToggleButton()->text(), QStringLiteral("Dump"));
    QCOMPARE(dialog.TextBox()->toPlainText(), gui::ToQtDisplay(kResult));
  }

  void savedFileHoldsTheChosenContentAndIsOpened() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string files[] = {"m.txt", "d.txt", "md.txt"};
    const std::string expected[] = {kResult, HexDump(kTrace), kResult + HexDump(kTrace)};
    for (int choice = 1; choice <= 3; ++choice) {
      FakePrompter prompter;
      const std::string path = dir.filePath(QString::fromStdString(files[choice - 1])).toStdString();
      prompter.QueueSaveFile(path).QueueChoice(choice);
      gui::CResultDlg dialog(nullptr, kResult, kTrace, prompter);
      QStringList opened;
      dialog.SetFileOpener([&opened](const QString& p) { opened << p; });
      QVERIFY(dialog.Save());
      QCOMPARE(ReadAll(QString::fromStdString(path)), Bytes(expected[choice - 1]));
      QCOMPARE(opened, QStringList{QString::fromStdString(path)});
      // What the dialogs were asked: the default name and filter, then the three options.
      const PromptRequest save = prompter.RequestsOf(PromptKind::kSaveFile).at(0);
      QCOMPARE(save.start, std::string("Msg_Ret"));
      QCOMPARE(save.start2, std::string("*.txt"));
      const PromptRequest choose = prompter.RequestsOf(PromptKind::kChoice).at(0);
      QCOMPARE(choose.labels, (std::vector<std::string>{"Mensagem", "Dump", "Mensagem + Dump"}));
    }
  }

  void cancellingEitherDialogWritesNothing() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.txt"));
    FakePrompter prompter;
    prompter.QueueCancel(PromptKind::kSaveFile);
    prompter.QueueSaveFile(path.toStdString()).QueueCancel(PromptKind::kChoice);
    gui::CResultDlg dialog(nullptr, kResult, kTrace, prompter);
    int opened = 0;
    dialog.SetFileOpener([&opened](const QString&) { ++opened; });
    QVERIFY(!dialog.Save());
    QVERIFY(!dialog.Save());
    QVERIFY(!QFile::exists(path));
    QCOMPARE(opened, 0);
  }

  void aFileThatCannotBeWrittenIsReportedNotOpened() {
    QTemporaryDir dir;
    FakePrompter prompter;
    const QString path = dir.filePath(QStringLiteral("no/such/folder/r.txt"));
    prompter.QueueSaveFile(path.toStdString()).QueueChoice(1);
    gui::CResultDlg dialog(nullptr, kResult, kTrace, prompter);
    int opened = 0;
    dialog.SetFileOpener([&opened](const QString&) { ++opened; });
    QVERIFY(!dialog.Save());
    QCOMPARE(opened, 0);
    QCOMPARE(prompter.RequestsOf(PromptKind::kMessage).size(), size_t{1});
  }
};

TERVANE_GUI_TEST(ResultWindowTest);

}  // namespace tervane::testing

#include "result_window_test.moc"
