// Progress and cancel on a terminal: a one-line bar on standard error while a longer
// reply arrives, and Ctrl-C standing in for the Cancel button.
#pragma once

#include <chrono>
#include <csignal>
#include <iosfwd>
#include <string>

#include "core/common/progress.h"

namespace tervane::cli {

// While alive, SIGINT (Ctrl-C) sets a flag instead of ending the process; a second
// SIGINT ends it at once with exit status 5. The previous handling comes back when the
// guard goes. One guard at a time.
class InterruptGuard {
 public:
  // A disabled guard changes nothing (tests running commands in-process).
  explicit InterruptGuard(bool enabled = true);
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  // True once Ctrl-C was pressed while a guard was alive (reset by a new guard).
  static bool Interrupted();

 private:
  struct sigaction previous_ {};
  bool installed_ = false;
};

// A ProgressSink for the terminal. The bar is drawn only when `show` is set, and only
// once a display has been open for a moment (quick exchanges draw nothing); it is
// redrawn when the shown percentage changes, or, for a reply of open length, with its
// byte count at most every tenth of a second. Cancelled once
// InterruptGuard::Interrupted() (Ctrl-C), for every display from then on.
class TerminalProgress final : public ProgressSink {
 public:
  TerminalProgress(std::ostream& stream, bool show) : stream_(stream), show_(show) {}
  ~TerminalProgress() override { Close(); }

  void Open(const std::string& caption, const std::string& message, long lower, long upper) override;
  void SetPosition(long position) override;
  void Step() override;
  bool IsCancelled() override;
  void Close() override;

  // The line last drawn (UTF-8), for tests; empty when nothing was drawn.
  const std::string& LastLine() const { return lastLine_; }

 private:
  using Steady = std::chrono::steady_clock;
  void MaybeDraw();

  std::ostream& stream_;
  bool show_;
  bool open_ = false;
  bool drawn_ = false;
  std::string message_;
  long lower_ = 0, upper_ = 0, position_ = 0;
  Steady::time_point openedAt_{};
  Steady::time_point drawnAt_{};
  std::string lastLine_;
};

// Whether the bar is to be drawn: asked for, or standard error is a terminal.
bool ShowProgressOnStderr(bool asked);

}  // namespace tervane::cli
