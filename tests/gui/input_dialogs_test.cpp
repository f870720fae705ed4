// The Qt side of the editors' dialogs and the about text: what the person can type, what
// the dialogs hand back, and which library version the about box shows.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QMessageBox>
#include <QTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimeEdit>

#include "gui/app/about_dialog.h"
#include "gui/catalogue/cliche_dialog.h"
#include "gui/catalogue/input_dialogs.h"
#include "gui/catalogue/qt_prompter.h"
#include "gui/equipment/aliquotas_page.h"
#include "gui/gui_test.h"

namespace tervane::testing {
namespace {

// Answers the next modal dialog the code under test opens, as a person would.
class NextDialog : public QObject {
 public:
  explicit NextDialog(std::function<void(QWidget*)> answer) : answer_(std::move(answer)) {
    connect(&timer_, &QTimer::timeout, this, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || done_) return;
      done_ = true;
      QMetaObject::invokeMethod(modal, [this, modal] { answer_(modal); }, Qt::QueuedConnection);
    });
    timer_.start(10);
  }

 private:
  std::function<void(QWidget*)> answer_;
  QTimer timer_;
  bool done_ = false;
};

}  // namespace

class InputDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void choiceShowsLabelledButtonsAndReturnsTheirIndex() {
    gui::CChoiceDlg dialog(nullptr, QStringLiteral("Escolha"),
                           {QStringLiteral("&Acréscimo"), QString(), QStringLiteral("&Desconto")});
    QVERIFY(!dialog.Button(0)->isHidden());
    QVERIFY(dialog.Button(1)->isHidden());  // no label, no button
    QVERIFY(dialog.Button(3)->isHidden());
    QTest::mouseClick(dialog.Button(2), Qt::LeftButton);
    QCOMPARE(dialog.Chosen(), 3);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    gui::CChoiceDlg none(nullptr, QStringLiteral("Sem opções"), {});
    none.reject();
    QCOMPARE(none.Chosen(), 0);
  }

  void multiLineLimitCountsLineBreaksAsTwo() {
    gui::LimitedTextEdit edit(10);
    QTest::keyClicks(&edit, QStringLiteral("abcd"));
    QTest::keyClick(&edit, Qt::Key_Return);
    QTest::keyClicks(&edit, QStringLiteral("efghij"));
    // "abcd" + CR LF + "efgh" fills the ten characters; the rest is refused.
    QCOMPARE(edit.CrLfText(), QStringLiteral("abcd\r\nefgh"));
    QCOMPARE(gui::LimitedTextEdit::CountedLength(edit.toPlainText()), 10);

    gui::LimitedTextEdit pasted(5);
    pasted.insertPlainText(QStringLiteral("1234567890"));
    QCOMPARE(pasted.CrLfText(), QStringLiteral("12345"));
  }

  void numberAndValueBoxesRefuseWhatTheyCannotHold() {
    gui::CNumberDlg number(nullptr, QStringLiteral("Digite o valor"), 3, QString());
    QTest::keyClicks(number.Edit(), QStringLiteral("1a2b34"));
    QCOMPARE(number.Digits(), QStringLiteral("123"));

    gui::CValueDlg value(nullptr, QStringLiteral("Valor"), 4, 2, QString());
    QTest::keyClicks(value.Edit(), QStringLiteral("12,5,0x7"));
    QCOMPARE(value.Value(), QStringLiteral("12,507"));  // one comma; 4 + 2 + 1 characters at most
  }

  void clockModeShowsTheDaylightBoxAndHidesTheLoadButton() {
    gui::CTimeDlg offer(nullptr, QStringLiteral("Aceitar?"), QTime(1, 2, 3), true);
    QVERIFY(!offer.DaylightSavingBox()->isHidden());
    QVERIFY(offer.LoadButton()->isHidden());
    QVERIFY(!offer.Picker()->isEnabled());
    gui::CTimeDlg time(nullptr, QStringLiteral("Selecione a hora"), QTime(1, 2, 3), false);
    QVERIFY(time.DaylightSavingBox()->isHidden());
    QVERIFY(!time.LoadButton()->isHidden());
    QCOMPARE(time.Time(), QTime(1, 2, 3));
  }

  void clicheAndTaxRatePagesHandBackWhatTheyShow() {
    ClicheForm form;
    form.lines[0].text = Cp("Padaria São João");
    form.lines[2].text = "linha 3\r\ncontinua";
    form.lines[1].expanded = true;
    form.centred = true;
    gui::CClicheDlg cliche(nullptr, form);
    const ClicheForm back = cliche.Form();
    QCOMPARE(back.lines[0].text, form.lines[0].text);
    QCOMPARE(back.lines[2].text, form.lines[2].text);
    QVERIFY(back.lines[1].expanded);
    QVERIFY(!back.lines[1].underline);
    QVERIFY(back.centred);

    TaxRateForm rates;
    for (int k = 0; k < 16; ++k) rates.rates[k] = "0000";
    rates.rates[3] = "1800";
    rates.iss[3] = true;
    gui::CTaxRateSheet sheet(nullptr, rates);
    QCOMPARE(sheet.Page()->Rate(3)->text(), QStringLiteral("1800"));
    sheet.Page()->IssButton(5)->setChecked(true);
    const TaxRateForm stored = sheet.Form();
    QVERIFY(stored.iss[3] && stored.iss[5] && !stored.iss[0]);
    QCOMPARE(stored.rates[3], std::string("1800"));
  }

  void fileFiltersBecomeQtFilters() {
    QCOMPARE(gui::QtFileFilter("Arquivos de Texto (*.txt)|*.txt|Todos os Arquivos (*.*)|*.*||"),
             QStringLiteral("Arquivos de Texto (*.txt);;Todos os Arquivos (*.*)"));
    QCOMPARE(gui::QtFileFilter(""), QString());
  }

  void qtPrompterHandsBackWhatWasEntered() {
    gui::QtPrompter prompter;
    {
      NextDialog person([](QWidget* w) {
        auto* dialog = qobject_cast<gui::CDateDlg*>(w);
        QVERIFY(dialog);
        QCOMPARE(dialog->Date(), QDate(2024, 3, 5));  // starts at the given date
        dialog->Picker()->setDate(QDate(2025, 12, 25));
        dialog->accept();
      });
      CivilTime date{2024, 3, 5, 10, 11, 12, 0};
      QVERIFY(prompter.AskDate("Selecione a data", date));
      QCOMPARE(date.day, 25);
      QCOMPARE(date.month, 12);
      QCOMPARE(date.year, 2025);
      QCOMPARE(date.hour, 10);  // the time is not the date dialog's
    }
    {
      NextDialog person([](QWidget* w) {
        auto* dialog = qobject_cast<gui::CTextDlg*>(w);
        QVERIFY(dialog);
        QCOMPARE(dialog->Edit()->maxLength(), 6);
        dialog->Edit()->setText(QStringLiteral("ação"));
        dialog->accept();
      });
      std::string text = "abc";
      QVERIFY(prompter.AskText(Cp("Descrição"), 6, text));
      QCOMPARE(text, Cp("ação"));
    }
    {
      NextDialog person([](QWidget* w) {
        auto* dialog = qobject_cast<gui::CTimeDlg*>(w);
        QVERIFY(dialog && !dialog->DaylightSavingBox()->isHidden());
        dialog->DaylightSavingBox()->setChecked(true);
        dialog->accept();
      });
      bool daylight = false;
      QVERIFY(prompter.AcceptComputerClock("Aceitar?", daylight));
      QVERIFY(daylight);
    }
    {
      NextDialog person([](QWidget* w) {
        auto* dialog = qobject_cast<gui::CChoiceDlg*>(w);
        QVERIFY(dialog);
        QTest::mouseClick(dialog->Button(1), Qt::LeftButton);
      });
      QCOMPARE(prompter.Choose("Escolha", {"&Percentual", "&Valor"}), 2);
    }
    {
      NextDialog person([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
      std::string digits = "12";
      QVERIFY(!prompter.AskNumber("Digite o valor", 3, digits));
    }
    {
      NextDialog person([](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("Permitir operação de TEF?"));
        box->button(QMessageBox::Yes)->click();
      });
      QVERIFY(prompter.AskYesNo("", Cp("Permitir operação de TEF?")));
    }
  }

  void aboutTextNamesTheLibraryOfTheModel() {
    std::vector<std::string> asked;
    auto reader = [&asked](const std::string& name) -> std::optional<std::string> {
      asked.push_back(name);
      if (name == "KeloMFD") return std::string("2,0,14");
      return std::nullopt;
    };
    // "ZP-980 R" (mask 8192) uses the first library; the version's commas become dots.
    QCOMPARE(gui::AboutText(8192, reader), Cp("Versão: 1.1.14\r\nVersão KeloMFD.DLL: 2.0.14"));
    // No model (all bits): the second library, missing here, so the text ends at the label.
    QCOMPARE(gui::AboutText(kAllModelsMask, reader), Cp("Versão: 1.1.14\r\nVersão KeloMFD2.DLL: "));
    QCOMPARE(asked, (std::vector<std::string>{"KeloMFD", "KeloMFD2"}));
    // A library that is not installed at all.
    QVERIFY(!gui::ReadVendorLibraryVersion("TervaneNoSuchLibrary").has_value());
  }
};

TERVANE_GUI_TEST(InputDialogsTest);

}  // namespace tervane::testing

#include "input_dialogs_test.moc"
