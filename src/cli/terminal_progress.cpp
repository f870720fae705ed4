#include "cli/terminal_progress.h"

#include <unistd.h>

#include <algorithm>
#include <ostream>

#include "core/common/charset.h"

namespace tervane::cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

// A display appears only after this long, and is redrawn at most this often.
constexpr auto kShowAfter = std::chrono::milliseconds(250);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;

void OnInterrupt(int) {
  if (g_interrupted) {
    static const char kText[] = "\ntervane-cli: interrupted again; stopping now.\n";
    const ssize_t ignored = ::write(STDERR_FILENO, kText, sizeof kText - 1);
    (void)ignored;
    ::_exit(5);
  }
  g_interrupted = 1;
}

}  // namespace

InterruptGuard::InterruptGuard(bool enabled) {
  g_interrupted = 0;
  if (!enabled) return;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  installed_ = ::sigaction(SIGINT, &action, &previous_) == 0;
}

InterruptGuard::~InterruptGuard() {
  if (installed_) ::sigaction(SIGINT, &previous_, nullptr);
}

bool InterruptGuard::Interrupted() { return g_interrupted != 0; }

bool ShowProgressOnStderr(bool asked) { return asked || ::isatty(STDERR_FILENO) == 1; }

void TerminalProgress::Open(const std::string& /*caption*/, const std::string& message, long lower, long upper) {
  Close();
  open_ = true;
  drawn_ = false;
  message_ = Cp1252ToUtf8(message);
  lower_ = lower;
  upper_ = upper;
  position_ = lower;
  openedAt_ = Steady::now();
}

void TerminalProgress::SetPosition(long position) {
  position_ = position;
  MaybeDraw();
}

void TerminalProgress::Step() {
  ++position_;
  MaybeDraw();
}

bool TerminalProgress::IsCancelled() { return InterruptGuard::Interrupted(); }

void TerminalProgress::Close() {
  if (drawn_) {
    stream_ << "\r\033[K" << std::flush;  // the bar goes; the result follows on a clean line
    drawn_ = false;
  }
  open_ = false;
}

void TerminalProgress::MaybeDraw() {
  if (!show_ || !open_) return;
  const Steady::time_point now = Steady::now();
  if (now - openedAt_ < kShowAfter) return;

  std::string line = message_ + " ";
  const bool counting = !(upper_ > lower_ && position_ <= upper_);
  if (!counting) {
    const long percent = std::clamp((position_ - lower_) * 100 / (upper_ - lower_), 0L, 100L);
    const int filled = static_cast<int>(percent * kBarWidth / 100);
    line += "[" + std::string(static_cast<size_t>(filled), '#') +
            std::string(static_cast<size_t>(kBarWidth - filled), '.') + "] " + std::to_string(percent) + "%";
  } else {
    // A reply of open length: only the count is known, and it changes with every byte.
    if (drawn_ && now - drawnAt_ < kRedrawEvery) return;
    line += std::to_string(position_ - lower_) + " bytes";
  }
  if (drawn_ && line == lastLine_) return;
  stream_ << "\r" << line << "\033[K" << std::flush;
  lastLine_ = line;
  drawn_ = true;
  drawnAt_ = now;
}

}  // namespace tervane::cli
