// The equipment profile windows on their own: the property sheet for each model group,
// every page control carried to and from a profile, the general page's buttons, the
// password box and the cliché box, and the profile browser over a real profile file.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include "core/catalogue/composite_editors.h"
#include "core/equipment/profile_file.h"
#include "core/equipment/profile_pages.h"
#include "gui/common/qt_text.h"
#include "gui/equipment/aliquotas_page.h"
#include "gui/equipment/general_information_page.h"
#include "gui/equipment/profile_browser_dialog.h"
#include "gui/equipment/profile_sheet.h"
#include "gui/equipment/restaurant_page.h"
#include "gui/equipment/totalizer_page.h"
#include "gui/gui_test.h"
#include "support/fake_clock.h"
#include "support/fake_prompter.h"

namespace tervane::testing {
namespace {

ProgramSettings Model(const std::string& name, std::uint32_t mask) {
  ProgramSettings settings;
  settings.g_modelName = name;
  settings.g_modelName.resize(20, ' ');
  settings.g_modelMask = mask;
  return settings;
}

// A profile with a different value in every field, options in an uneven pattern.
ProfileRecord FullProfile() {
  ProfileRecord p;
  p.client = Cp("Padaria São João");
  p.serialNumber = "KL0312345678";
  p.cnpj = "12.345.678/0001-90";
  p.ie = "110.042.490.114";
  p.im = "4455667";
  p.uf = "SP";
  p.password = "0000000000000000000A";  // never shown: the page starts with the default
  p.storeNumber = "0042";
  p.tillNumber = "007";
  p.date = "150326";
  p.time = "081500";
  p.cliche = "PADARIA\r\nRUA DAS FLORES, 10\r\n";
  p.daylightSaving = true;
  p.additionalCoupon = false;
  p.issDiscount = true;
  p.linkedToCnf = true;
  p.rvInConference = false;
  p.automaticZ = false;
  p.passengerTicket = true;
  p.rates[0] = "1800";
  p.rates[1] = "0700";
  p.rates[5] = "500";  // typed short: kept as typed
  p.issBinding = "0100010000000000";
  for (int i = 0; i < kProfileTotalizers; ++i) p.totalizerNames[static_cast<size_t>(i)] = "Tot " + std::to_string(i + 1);
  p.restaurantOrStore = "1";
  p.conferenceCouponParameter = "2";
  return p;
}

}  // namespace

class EquipmentPagesTest : public QObject {
  Q_OBJECT

 private slots:
  // Pages and totalizer boxes by model group: the newer group edits 30 names, the older
  // 50; only the restaurant models get "Restaurante".
  void sheetFollowsTheModelGroup() {
    FakePrompter prompter;
    FakeClock clock;
    ProfileRecord profile = FullProfile();
    profile.totalizerNames[39] = "Nome de arquivo longo demais";  // hand-edited file, over 19

    {
      gui::CProfileSheet sheet(nullptr, MakeProfileSheet(profile, Model("ZT-300 A", 1024)), prompter, clock);
      QCOMPARE(sheet.Tabs()->count(), 3);
      QVERIFY(sheet.Restaurant() == nullptr);
      QVERIFY(sheet.Totalizers()->Name(29)->isEnabled());
      QVERIFY(!sheet.Totalizers()->Name(30)->isEnabled());
      QVERIFY(!sheet.Totalizers()->Name(49)->isEnabled());
      sheet.Totalizers()->Name(0)->setText(QStringLiteral("Sangria"));
      ProfileRecord edited = profile;
      ApplyProfileSheet(sheet.Sheet(), edited);
      QCOMPARE(edited.totalizerNames[0], std::string("Sangria"));
      // A greyed box gives its name back whole, even one longer than the box.
      QCOMPARE(edited.totalizerNames[39], profile.totalizerNames[39]);
      QCOMPARE(edited.totalizerNames[49], profile.totalizerNames[49]);
    }
    {
      gui::CProfileSheet sheet(nullptr, MakeProfileSheet(profile, Model("ZK-110 BR", 8)), prompter, clock);
      QCOMPARE(sheet.Tabs()->count(), 4);
      QCOMPARE(sheet.Tabs()->tabText(3), QStringLiteral("Restaurante"));
      QVERIFY(sheet.Totalizers()->Name(49)->isEnabled());
      gui::CRestaurantPrPg* restaurant = sheet.Restaurant();
      QVERIFY(restaurant->StoreButton()->isChecked());
      QVERIFY(restaurant->ConferenceCoupon()->isChecked());
      QVERIFY(restaurant->Parameter(2)->isChecked());
      restaurant->Restaurant()->setChecked(true);
      restaurant->ConferenceCoupon()->setChecked(false);
      ProfileRecord edited = profile;
      ApplyProfileSheet(sheet.Sheet(), edited);
      QCOMPARE(edited.restaurantOrStore, std::string("0"));
      QCOMPARE(edited.conferenceCouponParameter, std::string("-1"));
    }
    QCOMPARE(prompter.Unscripted(), 0);
  }

  // Every control of the pages goes into the profile it came from: through the sheet and
  // back, the profile is unchanged but for the password, which the page does not load.
  void pagesCarryEveryFieldBothWays() {
    FakePrompter prompter;
    FakeClock clock;
    const ProfileRecord profile = FullProfile();
    gui::CProfileSheet sheet(nullptr, MakeProfileSheet(profile, Model("ZK-110 AR", 2)), prompter, clock);
    QCOMPARE(sheet.General()->Password()->text(), QStringLiteral("C3C3C3C3C3C3C3C3C3C3"));
    QCOMPARE(sheet.General()->Password()->echoMode(), QLineEdit::Password);
    QVERIFY(sheet.TaxRates()->IssButton(1)->isChecked());
    QVERIFY(!sheet.TaxRates()->IssButton(0)->isChecked());

    ProfileRecord back;
    ApplyProfileSheet(sheet.Sheet(), back);
    ProfileRecord expected = profile;
    expected.password = kDefaultInterventionPassword;
    QVERIFY(back == expected);

    // The limits of the boxes, as typed.
    gui::CGeneralInformationPrPg* general = sheet.General();
    const std::pair<QLineEdit*, int> limits[] = {
        {general->Client(), 20}, {general->SerialNumber(), 20}, {general->Cnpj(), 20}, {general->Uf(), 2},
        {general->Password(), 20}, {general->StoreNumber(), 4}, {general->TillNumber(), 3},
        {general->Date(), 6},   {general->Time(), 6},         {sheet.TaxRates()->Rate(0), 4},
        {sheet.Totalizers()->Name(0), 19},
    };
    for (const auto& [edit, limit] : limits) {
      edit->clear();
      QTest::keyClicks(edit, QStringLiteral("1234567890ABCDEF1234567890"));
      QCOMPARE(edit->text().size(), limit);
    }
  }

  // The general page's own behaviour: the hexadecimal password box, "Carregar do
  // computador", "Editar" and its Cancel, and a cliché longer than the box.
  void generalPageButtonsAndBoxes() {
    FakePrompter prompter;
    FakeClock clock;
    clock.SetLocal(CivilTime{2026, 5, 7, 9, 30, 5, 0});
    gui::CGeneralInformationPrPg page(prompter, clock);

    // The printer would read a lower-case letter as another digit: only hexadecimal
    // digits go in, in upper case.
    page.Password()->clear();
    QTest::keyClicks(page.Password(), QStringLiteral("c3zx9a-F"));
    QCOMPARE(page.Password()->text(), QStringLiteral("C39AF"));

    QTest::mouseClick(page.ComputerClockButton(), Qt::LeftButton);
    QCOMPARE(page.Date()->text(), QStringLiteral("070526"));
    QCOMPARE(page.Time()->text(), QStringLiteral("093005"));

    ClicheForm form;
    form.lines[0].text = "PADARIA";
    form.lines[0].underline = true;
    form.lines[1].text = "RUA DAS FLORES";
    prompter.QueueCliche(form).QueueCancel(PromptKind::kCliche);
    QTest::mouseClick(page.EditClicheButton(), Qt::LeftButton);
    const std::string composed = ComposeCliche(form);
    QCOMPARE(page.Store().cliche, composed);
    QTest::mouseClick(page.EditClicheButton(), Qt::LeftButton);  // Cancel keeps the field
    QCOMPARE(page.Store().cliche, composed);

    // Three styled lines read back from a printer: the markers make the text longer
    // than the box's 186 characters. It is kept whole; typing cannot add to it while it
    // is over the limit, deleting can shorten it.
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    page.Cliche()->setFocus();
    page.Cliche()->moveCursor(QTextCursor::End);
    QTest::keyClicks(page.Cliche(), QStringLiteral("AB"));
    QVERIFY(page.Store().cliche.ends_with("AB"));  // under the limit, typing goes in
    GeneralInformationPage loaded;
    for (int k = 0; k < 3; ++k) {
      loaded.cliche += "CLICHE_SUB_INI_XMLCLICHE_ENF_INI_XML" + std::string(40, static_cast<char>('A' + k)) +
                       "CLICHE_SUB_END_XMLCLICHE_ENF_END_XML\r\n";
    }
    QVERIFY(loaded.cliche.size() > 186);
    page.Load(loaded);
    QCOMPARE(page.Store().cliche, loaded.cliche);
    page.Cliche()->moveCursor(QTextCursor::End);
    QTest::keyClicks(page.Cliche(), QStringLiteral("XYZ"));
    QTest::keyClick(page.Cliche(), Qt::Key_Return);
    QCOMPARE(page.Store().cliche, loaded.cliche);
    QTest::keyClick(page.Cliche(), Qt::Key_Backspace);
    QCOMPARE(page.Store().cliche, loaded.cliche.substr(0, loaded.cliche.size() - 2));
    QTest::keyClicks(page.Cliche(), QStringLiteral("Q"));
    QCOMPARE(page.Store().cliche, loaded.cliche.substr(0, loaded.cliche.size() - 2));
    QCOMPARE(prompter.Unscripted(), 0);
  }

  // The browser over a real file: combos, the search, the description of the last
  // profile with a serial, "Excluir" of every profile with it and the save question,
  // and "Carregar configuração" with and without a choice.
  void browserFindsDeletesAndChooses() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string file = dir.filePath(QStringLiteral("equipamentos.xml")).toStdString();
    ProfileRecord first, second, third;
    first.serialNumber = "S1";
    first.client = "Ana";
    first.cnpj = "111";
    second.serialNumber = "S2";
    second.client = "Bruno";
    second.cnpj = "222";
    third.serialNumber = "S1";
    third.client = "ANA";  // the same client to the combo, which ignores case
    third.cnpj = "333";
    QCOMPARE(SaveProfiles(file, {first, second, third}), 0);

    FakePrompter prompter;
    gui::CProfileBrowserDlg dialog(nullptr, file, prompter);
    QCOMPARE(dialog.Clients()->count(), 2);
    QCOMPARE(dialog.Clients()->itemText(1), QStringLiteral("Bruno"));
    QCOMPARE(dialog.Serials()->count(), 3);
    QVERIFY(dialog.Clients()->currentText().isEmpty());

    // "Carregar configuração" with nothing chosen keeps the dialog open.
    QTest::mouseClick(dialog.LoadButton(), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(prompter.RequestsOf(PromptKind::kMessage).size(), size_t(1));
    QCOMPARE(prompter.RequestsOf(PromptKind::kMessage)[0].description, Cp("Por favor, escolha um registro."));

    // A client narrows the serials; the search by serial finds both "S1" profiles.
    dialog.Clients()->setCurrentIndex(1);
    dialog.ChooseClient(1);
    QCOMPARE(dialog.Serials()->count(), 1);
    dialog.Clients()->setEditText(QString());
    dialog.Serials()->setEditText(QStringLiteral("S1"));
    QTest::mouseClick(dialog.SearchButton(), Qt::LeftButton);
    QCOMPARE(dialog.Found()->count(), 2);
    QCOMPARE(dialog.Serials()->count(), 3);
    QVERIFY(dialog.Serials()->currentText().isEmpty());

    dialog.Found()->setCurrentRow(0);
    // The last profile with the serial is the one described.
    QVERIFY(dialog.DescriptionBox()->toPlainText().startsWith(QStringLiteral("Número de série: S1\nCliente: ANA")));

    prompter.QueueYesNo(true);  // save after deleting
    QTest::mouseClick(dialog.DeleteButton(), Qt::LeftButton);
    QCOMPARE(dialog.Found()->count(), 0);
    QVERIFY(dialog.DescriptionBox()->toPlainText().isEmpty());
    QCOMPARE(dialog.Serials()->count(), 1);
    ProfileList stored;
    QCOMPARE(LoadProfiles(file, stored), 0);
    QCOMPARE(stored.size(), size_t(1));
    QCOMPARE(stored[0].serialNumber, std::string("S2"));

    // The list changed: loading asks again (No this time) and hands the choice back.
    dialog.Serials()->setEditText(QStringLiteral("S2"));
    QTest::mouseClick(dialog.SearchButton(), Qt::LeftButton);
    dialog.Found()->setCurrentRow(0);
    prompter.QueueYesNo(false);
    QTest::mouseClick(dialog.LoadButton(), Qt::LeftButton);
    QVERIFY(dialog.HasChoice());
    QCOMPARE(dialog.Chosen().cnpj, std::string("222"));
    QCOMPARE(prompter.RequestsOf(PromptKind::kYesNo).size(), size_t(2));
    QCOMPARE(prompter.Unscripted(), 0);
  }
};

TERVANE_GUI_TEST(EquipmentPagesTest);

}  // namespace tervane::testing

#include "equipment_pages_test.moc"
