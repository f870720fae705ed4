// "Monitor": the protocol monitor in a window. It opens the printer's serial device,
// offers the point-of-sale program a pseudo-terminal (under a link path when one is
// given) in its place, forwards every byte both ways on a thread of its own and shows
// each exchange decoded as it completes: time, direction, title, status and round trip
// in a table, the whole decoding and the bytes of the selected row below it. Rows can be
// filtered by title or status, the display paused (the forwarding never is), and the
// session saved as a transcript.
#pragma once

#include <QDialog>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/catalogue/catalogue.h"
#include "core/monitor/protocol_monitor.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace tervane {
class PassThrough;
class PseudoTerminal;
class CSerialPort;
}  // namespace tervane

namespace tervane::gui {

class CMonitorWnd final : public QDialog {
  Q_OBJECT

 public:
  // `catalogue` decodes the frames and must outlive the window; `devices` are offered in
  // the device list (the serial devices found).
  CMonitorWnd(QWidget* parent, const CommandCatalogue& catalogue, const QStringList& devices);
  ~CMonitorWnd() override;

  // Opens the device and the pseudo-terminal and starts forwarding. False, with the
  // reason in the status line, when either cannot be opened.
  bool Start();
  // Stops forwarding and releases the device, the pseudo-terminal and its link.
  void Stop();
  bool Running() const { return worker_.joinable(); }

  // The exchanges seen in this session, shown or not.
  const std::vector<MonitoredExchange>& Exchanges() const { return exchanges_; }
  // Writes them as a transcript to `path`. False with `error` when it cannot.
  bool SaveTranscript(const QString& path, QString* error) const;

  // What "Salvar transcrição..." asks for the file with; a seam for tests.
  void SetSaveFileChooser(std::function<QString()> chooser) { chooseSaveFile_ = std::move(chooser); }

  // The controls, for tests.
  QComboBox* DeviceBox() const { return device_; }
  QComboBox* BaudBox() const { return baud_; }
  QLineEdit* LinkEdit() const { return link_; }
  QLineEdit* FilterEdit() const { return filter_; }
  QCheckBox* PauseBox() const { return pause_; }
  QPushButton* StartButton() const { return start_; }
  QPushButton* StopButton() const { return stop_; }
  QPushButton* SaveButton() const { return save_; }
  QTableWidget* Table() const { return table_; }
  QPlainTextEdit* Detail() const { return detail_; }
  QString StatusText() const;
  // The program's port: the pseudo-terminal's path while running, else empty.
  QString ProgramPort() const { return programPort_; }

  // The full decoding of one exchange as the detail pane shows it (UTF-8).
  static QString DetailText(const MonitoredExchange& exchange);

 protected:
  void reject() override;

 private:
  void Add(const MonitoredExchange& exchange);
  void AddRow(int index);
  void ApplyFilter();
  bool Matches(int row) const;
  void ShowSelected();
  void OnSave();
  void Ended(int reason);
  void UpdateButtons();

  const CommandCatalogue& catalogue_;
  QComboBox* device_;
  QComboBox* baud_;
  QLineEdit* link_;
  QPushButton* start_;
  QPushButton* stop_;
  QLabel* status_;
  QLineEdit* filter_;
  QCheckBox* pause_;
  QPushButton* save_;
  QTableWidget* table_;
  QPlainTextEdit* detail_;
  std::function<QString()> chooseSaveFile_;

  std::vector<MonitoredExchange> exchanges_;
  int shown_ = 0;  // exchanges_[0, shown_) have rows; the rest came in while paused
  QString programPort_;
  QString devicePath_;

  std::unique_ptr<CSerialPort> printer_;
  std::unique_ptr<PseudoTerminal> pty_;
  std::unique_ptr<PassThrough> run_;
  std::thread worker_;
};

}  // namespace tervane::gui
