// The "Monitor" window between a client on its pseudo-terminal and the emulated printer:
// bytes forwarded unchanged both ways, each exchange decoded into a row and its detail,
// a corrupt frame flagged, the filter, the pause, the transcript, and a printer that
// goes away.
#include <QComboBox>
#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "core/catalogue/catalogue.h"
#include "core/monitor/transcript.h"
#include "gui/app/simulator_process.h"
#include "gui/gui_test.h"
#include "gui/monitor/monitor_window.h"

namespace tervane::testing {
namespace {

// The model query ("35 60") and the same frame with a wrong checksum.
const std::vector<std::uint8_t> kModelQuery = {0x02, 0x05, 0x00, 0x1B, 0x23, 0x3C, 0x7A, 0x00};
const std::vector<std::uint8_t> kCorrupt = {0x02, 0x05, 0x00, 0x1B, 0x23, 0x3C, 0x7B, 0x00};

// A point-of-sale program on the monitor's port: writes a frame, reads what comes back
// until `want` bytes or a second of quiet.
std::vector<std::uint8_t> Exchange(const QString& port, const std::vector<std::uint8_t>& frame, size_t want) {
  std::vector<std::uint8_t> reply;
  const int fd = ::open(port.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return reply;
  if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) {
    ::close(fd);
    return reply;
  }
  while (reply.size() < want) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 1000) <= 0) break;
    std::uint8_t buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    reply.insert(reply.end(), buffer, buffer + n);
  }
  ::close(fd);
  return reply;
}

}  // namespace

class MonitorWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(LoadCatalogueFile(TERVANE_REPO_DIR "/data/comandos.xml", catalogue_) == 0);
    QVERIFY(work_.isValid());
  }

  void exchangesPassUnchangedAndShowDecoded() {
    gui::SimulatorProcess sim;
    QVERIFY2(sim.Start(QStringLiteral(TERVANE_BIN_DIR "/tervane-sim"), {}), qPrintable(sim.Error()));
    gui::CMonitorWnd window(nullptr, catalogue_, {});
    window.DeviceBox()->setEditText(sim.PtyPath());
    const QString link = work_.filePath(QStringLiteral("ecf"));
    window.LinkEdit()->setText(link);
    QTest::mouseClick(window.StartButton(), Qt::LeftButton);
    QVERIFY2(window.Running(), qPrintable(window.StatusText()));
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(!window.StartButton()->isEnabled() && window.StopButton()->isEnabled());

    // The program gets the printer's reply byte for byte.
    const std::vector<std::uint8_t> reply = Exchange(link, kModelQuery, 45);
    QCOMPARE(reply.size(), size_t(45));
    QCOMPARE(reply.front(), std::uint8_t(0x06));
    QTRY_COMPARE(window.Table()->rowCount(), 1);
    QCOMPARE(window.Table()->item(0, 1)->text(), QStringLiteral("PDV → ECF"));
    QCOMPARE(window.Table()->item(0, 2)->text(), QStringLiteral("Marca, Modelo e Tipo"));
    QVERIFY(window.Table()->item(0, 3)->text().startsWith(QStringLiteral("ACK")));
    window.Table()->selectRow(0);
    const QString detail = window.Detail()->toPlainText();
    QVERIFY2(detail.contains(QStringLiteral("ZT-300 A")), qPrintable(detail));
    QVERIFY(detail.contains(QStringLiteral("Enviado:  02 05 00 1B 23 3C 7A 00")));
    std::string replyHex;
    for (std::uint8_t b : reply) replyHex += (replyHex.empty() ? "" : " ") + QString::asprintf("%02X", b).toStdString();
    QVERIFY(detail.contains(QStringLiteral("Recebido: ") + QString::fromStdString(replyHex)));

    // A frame with a wrong checksum is shown as such, and still reaches the printer.
    Exchange(link, kCorrupt, 1);
    QTRY_COMPARE(window.Table()->rowCount(), 2);
    QCOMPARE(window.Table()->item(1, 2)->text(), QStringLiteral("quadro inválido (bad checksum)"));
    QCOMPARE(window.Exchanges()[1].decoded.command, (WireBytes(kCorrupt.begin(), kCorrupt.end())));

    // The filter hides what does not match, by title or status.
    window.FilterEdit()->setText(QStringLiteral("marca"));
    QVERIFY(!window.Table()->isRowHidden(0) && window.Table()->isRowHidden(1));
    window.FilterEdit()->clear();
    QVERIFY(!window.Table()->isRowHidden(1));

    // Paused, the display waits; the forwarding and the session do not.
    window.PauseBox()->setChecked(true);
    QCOMPARE(Exchange(link, kModelQuery, 45).size(), size_t(45));
    QTRY_COMPARE(window.Exchanges().size(), size_t(3));
    QCOMPARE(window.Table()->rowCount(), 2);
    window.PauseBox()->setChecked(false);
    QCOMPARE(window.Table()->rowCount(), 3);

    // The session as a transcript that reads back whole.
    const QString file = work_.filePath(QStringLiteral("sessao.jsonl"));
    window.SetSaveFileChooser([file] { return file; });
    QTest::mouseClick(window.SaveButton(), Qt::LeftButton);
    std::vector<TranscriptEntry> entries;
    std::string error;
    QCOMPARE(ReadTranscriptFile(file.toStdString(), entries, nullptr, &error), 0);
    QCOMPARE(entries.size(), size_t(3));
    QCOMPARE(entries[0].command, (WireBytes(kModelQuery.begin(), kModelQuery.end())));
    QCOMPARE(entries[0].reply, (WireBytes(reply.begin(), reply.end())));

    // Stopping releases the port and its link.
    QTest::mouseClick(window.StopButton(), Qt::LeftButton);
    QVERIFY(!window.Running());
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    sim.Stop();
  }

  void aDeviceThatCannotBeOpenedIsSaid() {
    gui::CMonitorWnd window(nullptr, catalogue_, {QStringLiteral("/dev/nonexistent-ecf")});
    QVERIFY(!window.Start());
    QVERIFY(!window.Running());
    QVERIFY(window.StatusText().contains(QStringLiteral("/dev/nonexistent-ecf")));
    QVERIFY(window.StartButton()->isEnabled());
  }

  // The printer's device going away ends the session with a clear text; the window
  // keeps what it saw and can start again.
  void aPrinterThatGoesAwayEndsTheSession() {
    gui::SimulatorProcess sim;
    QVERIFY2(sim.Start(QStringLiteral(TERVANE_BIN_DIR "/tervane-sim"), {}), qPrintable(sim.Error()));
    gui::CMonitorWnd window(nullptr, catalogue_, {});
    window.DeviceBox()->setEditText(sim.PtyPath());
    QVERIFY2(window.Start(), qPrintable(window.StatusText()));
    QCOMPARE(Exchange(window.ProgramPort(), kModelQuery, 45).size(), size_t(45));
    QTRY_COMPARE(window.Table()->rowCount(), 1);
    sim.Stop();
    QTRY_VERIFY_WITH_TIMEOUT(!window.Running(), 5000);
    QVERIFY2(window.StatusText().contains(QStringLiteral("deixou de responder")), qPrintable(window.StatusText()));
    QCOMPARE(window.Table()->rowCount(), 1);
    QVERIFY(window.StartButton()->isEnabled());
  }

 private:
  CommandCatalogue catalogue_;
  QTemporaryDir work_;
};

TERVANE_GUI_TEST(MonitorWindowTest);

}  // namespace tervane::testing

#include "monitor_window_test.moc"
