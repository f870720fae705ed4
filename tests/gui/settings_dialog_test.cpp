// The settings dialog: what it shows, the model-mask rules on OK, and the COM-port map
// kept in the file the serial transport reads.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "core/app/model_table.h"
#include "gui/app/settings_dialog.h"
#include "gui/common/app_profile.h"
#include "gui/gui_test.h"
#include "core/transport/com_port_map.h"

namespace tervane::testing {

class SettingsDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void showsPortsModelsAndTheCurrentSettings() {
    ProgramSettings settings;
    settings.g_portName = "COM3:";
    ApplyDetectedModel(settings, PadModelName("ZT-300 A"));
    settings.g_showResults = false;
    gui::CSettingsDlg dialog(nullptr, settings, {"/dev/ttyUSB0", "/dev/pts/7"});
    QStringList ports;
    for (int k = 0; k < dialog.PortList()->count(); ++k) ports << dialog.PortList()->itemText(k);
    QCOMPARE(ports, (QStringList{"USB", "COM1:", "COM2:", "COM3:", "COM4:", "COM5:", "COM6:", "COM7:", "COM8:",
                                 "FILE", "SOCKET", "/dev/ttyUSB0", "/dev/pts/7"}));
    QCOMPARE(dialog.PortList()->currentText(), QStringLiteral("COM3:"));
    QCOMPARE(dialog.ModelList()->count(), 15);
    QCOMPARE(dialog.ModelList()->itemText(14), QStringLiteral("ZP-980 N"));
    QCOMPARE(dialog.ModelList()->currentText(), QStringLiteral("ZT-300 A"));
    QVERIFY(!dialog.ShowResultsBox()->isChecked());
    QVERIFY(dialog.ExtendedReplyBox()->isChecked());
    QVERIFY(!dialog.FilterBox()->isChecked());
    QVERIFY(dialog.UsbDriverButton()->isEnabled());
    QCOMPARE(dialog.UsbDriverButton()->text(), QStringLiteral("Instalar Driver USB"));
  }

  void choosingAModelSetsItsMaskAndLeavesExtendedReplyAlone() {
    ProgramSettings settings;
    ApplyDetectedModel(settings, PadModelName("ZT-300 A"));
    QCOMPARE(settings.g_modelMask, 1024u);
    QVERIFY(settings.g_extendedReply);

    gui::CSettingsDlg dialog(nullptr, settings, {});
    dialog.ModelList()->setCurrentText(QStringLiteral("ZK-110 A"));
    dialog.ApplyTo(settings);
    QCOMPARE(settings.g_modelMask, 1u);
    QCOMPARE(settings.g_modelName, PadModelName("ZK-110 A"));
    QVERIFY(settings.g_extendedReply);  // only its box changes it

    gui::CSettingsDlg again(nullptr, settings, {});
    again.ExtendedReplyBox()->setChecked(false);
    again.ModelList()->setCurrentText(QStringLiteral("ZP-980 R"));
    again.ApplyTo(settings);
    QVERIFY(!settings.g_extendedReply);
    QCOMPARE(settings.g_modelMask, 8192u);
  }

  void noModelChosenMeansAllModels() {
    ProgramSettings settings;  // no model detected
    gui::CSettingsDlg dialog(nullptr, settings, {});
    QCOMPARE(dialog.ModelList()->currentIndex(), -1);
    dialog.ApplyTo(settings);
    QCOMPARE(settings.g_modelMask, kAllModelsMask);
    QVERIFY(settings.g_modelName.empty());
  }

  void optionsAndAddressAreCopied() {
    ProgramSettings settings;
    gui::CSettingsDlg dialog(nullptr, settings, {});
    dialog.PortList()->setCurrentText(QStringLiteral("SOCKET"));
    dialog.FilterBox()->setChecked(true);
    dialog.ShowResultsBox()->setChecked(false);
    QTest::keyClicks(dialog.AddressEdit(), QStringLiteral("192.168.0.20:9100x"));
    dialog.ApplyTo(settings);
    QCOMPARE(settings.g_portName, std::string("SOCKET"));
    QVERIFY(settings.g_filterByModel);
    QVERIFY(!settings.g_showResults);
    QCOMPARE(settings.g_printerAddress, std::string("192.168.0.20:9100"));  // the stray letter was refused
  }

  void anAddressTheSocketPortCannotUseIsRefused() {
    ProgramSettings settings;
    gui::CSettingsDlg dialog(nullptr, settings, {});
    dialog.AddressEdit()->setText(QStringLiteral("300.1.2.3"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));  // still open
    QVERIFY(!dialog.AddressError()->isHidden());
    dialog.AddressEdit()->setText(QStringLiteral("10.0.0.7:9100"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(dialog.AddressError()->isHidden());
  }

  void comPortMapIsKeptWhereTheTransportReadsIt() {
    QFile::remove(gui::ProfilePath());
    qputenv("TERVANE_COM2", "/dev/pts/42");
    {
      ProgramSettings settings;
      gui::CSettingsDlg dialog(nullptr, settings, {});
      QTableWidget* table = dialog.ComPortTable();
      QCOMPARE(table->item(0, 1)->text(), QStringLiteral("/dev/ttyS0"));
      // The environment decides COM2 for this process: shown, not editable.
      QCOMPARE(table->item(1, 1)->text(), QStringLiteral("/dev/pts/42"));
      QVERIFY(!(table->item(1, 1)->flags() & Qt::ItemIsEditable));
      table->item(0, 1)->setText(QStringLiteral("/dev/ttyUSB3"));
      table->item(3, 1)->setText(QStringLiteral("/dev/serial/by-id/usb-Caixa 1"));
      dialog.accept();
      QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QCOMPARE(ResolvePortDevice("COM1:"), std::string("/dev/ttyUSB3"));
    QCOMPARE(ResolvePortDevice("COM2:"), std::string("/dev/pts/42"));
    QCOMPARE(ResolvePortDevice("COM4:"), std::string("/dev/serial/by-id/usb-Caixa 1"));
    qunsetenv("TERVANE_COM2");
    QCOMPARE(ResolvePortDevice("COM2:"), std::string("/dev/ttyS1"));  // the environment's value was not saved
    QFile::remove(gui::ProfilePath());
  }

  // An adapter present is offered beside every COM name; one pick maps the name to its
  // stable name. The adapter here is a link under a device folder of the test's own.
  void anAdapterPresentIsMappedToAComNameInOnePick() {
    QFile::remove(gui::ProfilePath());
    const QString root = QDir::tempPath() + QStringLiteral("/tervane-adapter-pick");
    QDir(root).removeRecursively();
    QVERIFY(QDir().mkpath(root + QStringLiteral("/dev/serial/by-id")));
    const QString byId = root + QStringLiteral("/dev/serial/by-id/usb-FTDI_Caixa_2-if00-port0");
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), byId));
    qputenv("TERVANE_DEV_DIR", (root + QStringLiteral("/dev")).toLocal8Bit());
    qputenv("TERVANE_SYS_DIR", (root + QStringLiteral("/sys")).toLocal8Bit());
    {
      ProgramSettings settings;
      gui::CSettingsDlg dialog(nullptr, settings, {});
      QCOMPARE(dialog.Adapters().size(), size_t{1});
      auto* pick = qobject_cast<QComboBox*>(dialog.ComPortTable()->cellWidget(2, 2));
      QVERIFY(pick != nullptr);
      QCOMPARE(pick->count(), 2);
      QVERIFY(pick->itemText(1).contains(QStringLiteral("FTDI Caixa 2")));
      pick->setCurrentIndex(1);
      emit pick->activated(1);
      QCOMPARE(dialog.ComPortTable()->item(2, 1)->text(), byId);
      dialog.accept();
    }
    QCOMPARE(ResolvePortDevice("COM3:"), byId.toStdString());
    qunsetenv("TERVANE_DEV_DIR");
    qunsetenv("TERVANE_SYS_DIR");
    QDir(root).removeRecursively();
    QFile::remove(gui::ProfilePath());
  }

  // A detected model the list does not hold is shown, selected and kept by OK; choosing
  // a listed one then applies the table as before.
  void detectedModelOutsideTheListIsShownAndKept() {
    ProgramSettings settings;
    ApplyDetectedModel(settings, PadModelName("ZT-710 A"));
    QCOMPARE(settings.g_modelMask, 2048u);
    {
      gui::CSettingsDlg dialog(nullptr, settings, {});
      QCOMPARE(dialog.ModelList()->currentText(), QStringLiteral("ZT-710 A (detectado)"));
      dialog.ApplyTo(settings);
    }
    QCOMPARE(settings.g_modelName, PadModelName("ZT-710 A"));
    QCOMPARE(settings.g_modelMask, 2048u);
    gui::CSettingsDlg dialog(nullptr, settings, {});
    dialog.ModelList()->setCurrentText(QStringLiteral("ZT-400 A"));
    dialog.ApplyTo(settings);
    QCOMPARE(settings.g_modelMask, 16384u);
  }

  // Keyboard alone: Tab walks from the port list through the model, the address, the
  // options and the buttons in reading order; Escape closes the dialog as Cancel.
  void keyboardAloneReachesEveryFieldAndEscapeCancels() {
    ProgramSettings settings;
    gui::CSettingsDlg dialog(nullptr, settings, {});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.PortList()->setFocus();
    QList<QWidget*> visited{dialog.PortList()};
    for (int k = 0; k < 6; ++k) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << QApplication::focusWidget();
    }
    QCOMPARE(visited.at(1), static_cast<QWidget*>(dialog.ModelList()));
    QVERIFY(qobject_cast<QLineEdit*>(visited.at(2)));
    QCOMPARE(visited.at(3), static_cast<QWidget*>(dialog.ShowResultsBox()));
    QCOMPARE(visited.at(4), static_cast<QWidget*>(dialog.ExtendedReplyBox()));
    QCOMPARE(visited.at(5), static_cast<QWidget*>(dialog.FilterBox()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!dialog.isVisible());
  }
};

TERVANE_GUI_TEST(SettingsDialogTest);

}  // namespace tervane::testing

#include "settings_dialog_test.moc"
