// CWaitWnd: the small modeless notice shown around a slow step, one line of text
// ("Aguarde......" when none is given). It is painted at once, because the step that
// follows blocks the user-interface thread.
#pragma once

#include <QWidget>

#include "core/common/progress.h"

class QLabel;

namespace tervane::gui {

class CWaitWnd final : public QWidget, public WaitNotice {
  Q_OBJECT

 public:
  // `owner` is the window the notice belongs to (may be null).
  explicit CWaitWnd(QWidget* owner = nullptr);

  // WaitNotice. Show() may be called again to change the text while it is shown.
  void Show(const std::string& text) override;
  void Hide() override;

  // The text currently shown.
  QString Text() const;

 private:
  QLabel* label_;
};

// Shows a notice for the lifetime of a scope.
class WaitScope {
 public:
  WaitScope(WaitNotice& notice, const std::string& text) : notice_(notice) { notice_.Show(text); }
  ~WaitScope() { notice_.Hide(); }
  WaitScope(const WaitScope&) = delete;
  WaitScope& operator=(const WaitScope&) = delete;

 private:
  WaitNotice& notice_;
};

}  // namespace tervane::gui
