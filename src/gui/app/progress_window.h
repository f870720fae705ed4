// CProgressWindow: the always-on-top window of a long operation that runs on the
// user-interface thread: a message line, a progress bar, the percentage in the title and
// a Cancel button. The operation keeps the interface alive by calling PumpMessages and
// polls IsCancelled; Cancel is the only way to interrupt it.
//
// ProgressWindowSink drives one such window per operation for the core's ProgressSink.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include "core/common/progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace tervane::gui {

class CProgressWindow final : public QWidget {
  Q_OBJECT

 public:
  CProgressWindow();
  ~CProgressWindow() override;

  // Creates the window with `caption` as its base caption and shows it. `owner` (may be
  // null) is the window it belongs to; a smooth bar when asked. Returns false when the
  // window was already opened.
  bool OpenProgress(QWidget* owner, const QString& caption, bool smooth);

  void SetRange(long lower, long upper, long step);
  // Shows a hidden window, moves the bar and, when the whole percentage changed, sets the
  // title to "<caption> [<n>%]". Returns the previous position.
  long SetPosition(long position);
  long Step();
  long StepWrapping();
  void SetMessage(const QString& message);

  // Lets pending events run: repaint, the Cancel button, Escape (in any window of the
  // program: cancels when `cancelOnEscape`, and is swallowed otherwise). Does nothing
  // once cancelled. A quit requested meanwhile waits until the window is closed.
  void PumpMessages(bool cancelOnEscape);
  bool IsCancelled() const { return cancelled_; }
  // Saves the position (when remembered), hides the window and ends its operation (a quit
  // that waited for it goes ahead). The object can be deleted afterwards.
  void CloseProgress();

  // The cancel action of the button, Escape and the window's close box.
  void Cancel();

  void SetRememberPosition(bool remember) { rememberPosition_ = remember; }
  long Position() const { return position_; }
  int ShownPercent() const { return shownPercent_; }
  QString Message() const;
  QPushButton* CancelButton() const { return button_; }
  bool IsOpen() const { return open_; }

  // The percentage the title shows for `position` within lower..upper, rounded to the
  // nearest whole number; 0 when lower is not below upper.
  static int PercentOf(long position, long lower, long upper);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void LayOut();
  void PlaceWindow();
  void SavePosition();
  void UpdateTitle(int percent);
  void MoveBar();
  static constexpr qint64 kBarIntervalMs = 10;

  QLabel* message_;
  QProgressBar* bar_;
  QPushButton* button_;
  QString baseCaption_ = QStringLiteral("Progresso");
  long lower_ = 0;
  long upper_ = 100;
  long step_ = 1;
  long position_ = 0;
  int shownPercent_ = 0;
  QElapsedTimer sinceBarMoved_;  // since the bar last took a position
  bool barBehind_ = false;       // a position the bar has not taken yet
  bool cancelled_ = false;
  bool open_ = false;
  bool rememberPosition_ = true;
  bool escapeCancels_ = false;
};

// The ProgressSink of the exchange and the other long operations: each Open creates a
// new window over the window the user is working in, Close destroys it.
class ProgressWindowSink final : public ProgressSink {
 public:
  // `fallbackOwner` owns the window when no dialog is open (usually the main window).
  explicit ProgressWindowSink(QWidget* fallbackOwner = nullptr, bool cancelOnEscape = true);
  ~ProgressWindowSink() override;

  void Open(const std::string& caption, const std::string& message, long lower, long upper) override;
  void SetPosition(long position) override;
  void Step() override;
  bool IsCancelled() override;
  void Close() override;

  // The window of the operation in progress, or null.
  CProgressWindow* Window() const { return window_.data(); }

 private:
  static constexpr qint64 kPumpIntervalMs = 10;

  QWidget* fallbackOwner_;
  bool cancelOnEscape_;
  QPointer<CProgressWindow> window_;
  QElapsedTimer sincePump_;  // since IsCancelled last let events through
};

}  // namespace tervane::gui
