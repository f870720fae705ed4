// A progress display and a wait notice for tests: they record what was shown, and the
// progress display cancels after a given number of polls.
#pragma once

#include <string>
#include <vector>

#include "core/common/progress.h"

namespace tervane::testing {

class FakeProgress final : public ProgressSink {
 public:
  // >= 0: IsCancelled reports true from poll number cancelAfterPolls + 1 on.
  int cancelAfterPolls = -1;

  void Open(const std::string& caption, const std::string& message, long from, long to) override {
    ++opens;
    ++openNow;
    captions.push_back(caption);
    messages.push_back(message);
    lower = from;
    upper = to;
    position = from;
  }
  void SetPosition(long p) override { position = p; }
  void Step() override {
    ++steps;
    ++position;
  }
  bool IsCancelled() override {
    ++polls;
    if (cancelAfterPolls >= 0 && polls > cancelAfterPolls) cancelled = true;
    return cancelled;
  }
  void Close() override {
    ++closes;
    --openNow;
    cancelled = false;
  }

  int opens = 0, closes = 0, openNow = 0, steps = 0, polls = 0;
  long lower = 0, upper = 0, position = 0;
  bool cancelled = false;
  std::vector<std::string> captions, messages;
};

class FakeWaitNotice final : public WaitNotice {
 public:
  void Show(const std::string& text) override {
    shown.push_back(text);
    visible = true;
  }
  void Hide() override {
    ++hides;
    visible = false;
  }

  std::vector<std::string> shown;
  int hides = 0;
  bool visible = false;
};

}  // namespace tervane::testing
