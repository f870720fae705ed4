// Progress and notices of long operations. The exchange drives a ProgressSink (the
// workbench shows its progress window, the CLI a bar on standard error, tests a fake);
// a WaitNotice is the short "Aguarde" window shown around a slow step.
#pragma once

#include <string>

namespace tervane {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // Opens a progress display with a caption, a message and a range.
  virtual void Open(const std::string& caption, const std::string& message, long lower, long upper) = 0;
  virtual void SetPosition(long position) = 0;
  virtual void Step() = 0;
  // Lets the interface breathe and reports whether the user asked to cancel. The flag
  // stays set until the display is closed.
  virtual bool IsCancelled() = 0;
  virtual void Close() = 0;
};

class WaitNotice {
 public:
  virtual ~WaitNotice() = default;
  // Shows the notice with one line of text ("Aguarde......" when empty).
  virtual void Show(const std::string& text) = 0;
  virtual void Hide() = 0;
};

// Implementations that show nothing and never cancel.
class NullProgressSink final : public ProgressSink {
 public:
  void Open(const std::string&, const std::string&, long, long) override {}
  void SetPosition(long) override {}
  void Step() override {}
  bool IsCancelled() override { return false; }
  void Close() override {}
};

class NullWaitNotice final : public WaitNotice {
 public:
  void Show(const std::string&) override {}
  void Hide() override {}
};

}  // namespace tervane
