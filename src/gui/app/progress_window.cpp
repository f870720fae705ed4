#include "gui/app/progress_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <climits>
#include <cmath>

#include "core/common/string_ids.h"
#include "gui/common/app_profile.h"
#include "gui/common/qt_text.h"
#include "gui/common/window_owner.h"

namespace tervane::gui {
namespace {

constexpr int kWidth = 390;
constexpr int kHeight = 130;
constexpr int kMessageLines = 4;
constexpr int kEdge = 2;  // width of a control's sunken edge

int ClampToInt(long value) {
  return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

}  // namespace

CProgressWindow::CProgressWindow()
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      message_(new QLabel(this)),
      bar_(new QProgressBar(this)),
      button_(new QPushButton(QStringLiteral(" Cancelar "), this)) {
  setCursor(Qt::BusyCursor);
  setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
  message_->setObjectName(QStringLiteral("message"));
  message_->setTextFormat(Qt::PlainText);
  message_->setWordWrap(false);
  message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  bar_->setTextVisible(false);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  button_->setCursor(Qt::ArrowCursor);
  MarkTransient(this);
  connect(button_, &QPushButton::clicked, this, &CProgressWindow::Cancel);
  resize(kWidth, kHeight);
}

CProgressWindow::~CProgressWindow() {
  if (open_) CloseProgress();
}

bool CProgressWindow::OpenProgress(QWidget* owner, const QString& caption, bool smooth) {
  if (open_) return false;
  if (owner) setParent(owner, windowFlags());
  baseCaption_ = caption;
  setWindowTitle(caption);
  // Qt draws the bar in one style; a stepped bar shows its chunks through the style
  // sheet where the style honours it.
  bar_->setProperty("smooth", smooth);
  LayOut();
  PlaceWindow();
  open_ = true;
  show();
  raise();
  activateWindow();
  repaint();
  return true;
}

bool CProgressWindow::MakeModal(const QString& caption, bool smooth) {
  if (!open_) {
    // Modality must be set before the window is shown.
    setWindowModality(Qt::ApplicationModal);
    if (!OpenProgress(nullptr, caption, smooth)) return false;
  } else if (!modal_) {
    hide();
    setWindowModality(Qt::ApplicationModal);
    show();
  }
  modal_ = true;
  activateWindow();
  return true;
}

void CProgressWindow::LayOut() {
  const QFontMetrics fm(font());
  const int messageWidth = kWidth - 20;
  const int messageHeight = fm.height() * kMessageLines;
  message_->setGeometry(10, 10, messageWidth, messageHeight);

  const int buttonWidth = fm.horizontalAdvance(QStringLiteral("  ") + button_->text() + QStringLiteral("  ")) +
                          4 * kEdge;
  const int buttonHeight = fm.height() + 3 * kEdge + 6;
  const int buttonTop = 10 + messageHeight + 10;
  const int buttonLeft = 10 + messageWidth - buttonWidth;
  button_->setGeometry(buttonLeft, buttonTop, buttonWidth, buttonHeight);

  bar_->setGeometry(10, buttonTop + kEdge, std::max(10, buttonLeft - 10 - 10), buttonHeight - 2 * kEdge);

  setFixedSize(buttonLeft + buttonWidth + 20, buttonTop + buttonHeight + 30);
}

void CProgressWindow::PlaceWindow() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (rememberPosition_) {
    auto profile = OpenProfile();
    bool okX = false;
    bool okY = false;
    const int x = profile->value(QStringLiteral("Settings/X")).toInt(&okX);
    const int y = profile->value(QStringLiteral("Settings/Y")).toInt(&okY);
    // Both coordinates must lie inside a screen, else the window is centred.
    if (okX && okY && QGuiApplication::screenAt(QPoint(x, y)) != nullptr) {
      move(x, y);
      return;
    }
    if (screen) move(screen->availableGeometry().center() - rect().center());
    return;
  }
  const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
  if (owner && owner->isVisible()) {
    move(owner->frameGeometry().center() - rect().center());
  } else if (screen) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void CProgressWindow::SavePosition() {
  if (!rememberPosition_ || !open_) return;
  auto profile = OpenProfile();
  const QPoint at = pos();
  profile->setValue(QStringLiteral("Settings/X"), at.x());
  profile->setValue(QStringLiteral("Settings/Y"), at.y());
}

void CProgressWindow::SetRange(long lower, long upper, long step) {
  if (!open_) return;
  lower_ = lower;
  upper_ = upper;
  step_ = step;
  bar_->setRange(ClampToInt(lower), ClampToInt(std::max(lower, upper)));
}

int CProgressWindow::PercentOf(long position, long lower, long upper) {
  if (lower >= upper) return 0;
  const double share = static_cast<double>(position - lower) * 100.0 / static_cast<double>(upper - lower);
  return static_cast<int>(std::lround(share));
}

void CProgressWindow::UpdateTitle(int percent) {
  setWindowTitle(QStringLiteral("%1 [%2%]").arg(baseCaption_).arg(percent));
}

long CProgressWindow::SetPosition(long position) {
  if (!open_) return position_;
  if (isHidden()) show();
  const int percent = PercentOf(position, lower_, upper_);
  if (percent != shownPercent_) {
    shownPercent_ = percent;
    UpdateTitle(percent);
  }
  const long previous = position_;
  position_ = position;
  bar_->setValue(ClampToInt(std::clamp(position, lower_, std::max(lower_, upper_))));
  return previous;
}

long CProgressWindow::Step() {
  return SetPosition(position_ + step_);
}

long CProgressWindow::StepWrapping() {
  if (upper_ == 0) return SetPosition(position_ + step_);
  return SetPosition((position_ + step_) % upper_);
}

void CProgressWindow::SetMessage(const QString& message) {
  if (!open_) return;
  message_->setText(message);
}

QString CProgressWindow::Message() const {
  return message_->text();
}

void CProgressWindow::PumpMessages(bool cancelOnEscape) {
  if (!open_) return;
  if (modal_ && !isActiveWindow()) activateWindow();
  if (cancelled_) return;
  escapeCancels_ = cancelOnEscape;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  escapeCancels_ = false;
}

void CProgressWindow::Cancel() {
  if (!open_) return;
  SavePosition();
  cancelled_ = true;
  hide();
  if (modal_) {
    modal_ = false;
    setWindowModality(Qt::NonModal);
  }
  if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr) {
    owner->raise();
    owner->activateWindow();
  }
}

void CProgressWindow::CloseProgress() {
  if (!open_) return;
  SavePosition();
  if (modal_) {
    modal_ = false;
    setWindowModality(Qt::NonModal);
  }
  hide();
  open_ = false;
}

void CProgressWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    // Escape cancels only while the operation asked for it; otherwise it is swallowed so
    // it never reaches a dialog underneath.
    if (escapeCancels_) Cancel();
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void CProgressWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  Cancel();
}

// ---------------------------------------------------------------------------------------

ProgressWindowSink::ProgressWindowSink(QWidget* fallbackOwner, bool cancelOnEscape)
    : fallbackOwner_(fallbackOwner), cancelOnEscape_(cancelOnEscape) {}

ProgressWindowSink::~ProgressWindowSink() {
  Close();
}

void ProgressWindowSink::Open(const std::string& caption, const std::string& message, long lower, long upper) {
  Close();  // a window serves one operation
  window_ = new CProgressWindow();
  window_->OpenProgress(CurrentOwner(fallbackOwner_), caption.empty() ? Str(str::kProgresso) : ToQt(caption), true);
  window_->SetRange(lower, upper, 1);
  window_->SetMessage(ToQt(message));
}

void ProgressWindowSink::SetPosition(long position) {
  if (window_) window_->SetPosition(position);
}

void ProgressWindowSink::Step() {
  if (window_) window_->Step();
}

bool ProgressWindowSink::IsCancelled() {
  if (!window_) return false;
  window_->PumpMessages(cancelOnEscape_);
  return window_ && window_->IsCancelled();
}

void ProgressWindowSink::Close() {
  if (!window_) return;
  window_->CloseProgress();
  delete window_.data();
  window_ = nullptr;
}

}  // namespace tervane::gui
