// The "pdf 417" capture window: the set's and the read symbol counts, the status line of
// the last symbol, the hex dump of what the scanner sent, and the buttons "&Iniciar",
// "&Parar" and "Configurar". The capture itself (port, reading thread, files) is the
// core's Pdf417Session; this window shows what its thread reports.
#pragma once

#include <QDialog>
#include <memory>

#include "core/common/clock.h"
#include "core/common/prompter.h"
#include "core/fiscalmemory/pdf417_session.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tervane::gui {

class CPdf417Dlg final : public QDialog {
  Q_OBJECT

 public:
  // `signature`: the second pass (digital signature, .rsa file). `makePort` makes the
  // scanner's port (default: the serial line); `clock` paces the reading thread.
  CPdf417Dlg(QWidget* parent, Prompter& prompter, bool signature, Clock& clock = SystemClock(),
             Pdf417Session::PortMaker makePort = {});
  ~CPdf417Dlg() override;

  QPushButton* StartButton() const { return start_; }
  QPushButton* StopButton() const { return stop_; }
  QPushButton* ConfigureButton() const { return configure_; }
  QString ExpectedText() const;
  QString ReceivedText() const;
  QString StatusText() const;
  QString DumpText() const;
  bool Capturing() const { return session_->Running(); }
  bool SignaturePass() const { return session_->Signature(); }

  // The last stop's outcome and the file it wrote (empty when none).
  Pdf417StopResult LastStopResult() const { return lastStop_; }
  const std::string& SavedPath() const { return savedPath_; }

 public slots:
  void StartCapture();
  void StopCapture();
  void Configure();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  class Observer;
  void ShowView(const Pdf417View& view);
  void OnAllRead();
  void SetCapturing(bool capturing);

  Prompter& prompter_;
  std::unique_ptr<Observer> observer_;
  std::unique_ptr<Pdf417Session> session_;
  QLineEdit* expected_ = nullptr;
  QLineEdit* received_ = nullptr;
  QLabel* status_ = nullptr;
  QPlainTextEdit* dump_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* stop_ = nullptr;
  QPushButton* configure_ = nullptr;
  Pdf417StopResult lastStop_ = Pdf417StopResult::kNotRunning;
  std::string savedPath_;
};

// The menu entry "Leitura via scanner (PDF - 417)": the capture window for the MFD pass;
// when it closes, "Deseja ler autenticação digigal?" and on Yes the window again for the
// signature pass. `prompter` answers the window's questions (null: Qt dialogs over
// `parent`).
void RunPdf417Capture(QWidget* parent, Prompter* prompter = nullptr);

}  // namespace tervane::gui
