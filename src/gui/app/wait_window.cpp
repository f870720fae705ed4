#include "gui/app/wait_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>

#include "core/common/string_ids.h"
#include "gui/common/qt_text.h"
#include "gui/common/window_owner.h"

namespace tervane::gui {

CWaitWnd::CWaitWnd(QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      label_(new QLabel(this)) {
  setWindowTitle(Str(str::kTervane));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(24, 18, 24, 18);
  label_->setAlignment(Qt::AlignCenter);
  label_->setMinimumWidth(320);
  layout->addWidget(label_);
  setAttribute(Qt::WA_ShowWithoutActivating);
  MarkTransient(this);
}

void CWaitWnd::Show(const std::string& text) {
  label_->setText(text.empty() ? QStringLiteral("Aguarde......") : ToQtDisplay(text));
  adjustSize();
  // Centred over the owner, or on the screen when there is none.
  const QWidget* over = parentWidget() ? parentWidget()->window() : nullptr;
  QRect area = over && over->isVisible() ? over->frameGeometry()
                                         : (screen() ? screen()->availableGeometry() : QRect());
  if (area.isValid()) move(area.center() - rect().center());
  show();
  raise();
  // The slow step that follows blocks the event loop: paint now, without taking input.
  repaint();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void CWaitWnd::Hide() {
  hide();
}

QString CWaitWnd::Text() const {
  return label_->text();
}

}  // namespace tervane::gui
