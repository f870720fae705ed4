#include "gui/app/progress_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cmath>

#include "core/common/string_ids.h"
#include "gui/common/app_profile.h"
#include "gui/common/quit_request.h"
#include "gui/common/qt_text.h"
#include "gui/common/window_owner.h"

namespace tervane::gui {
namespace {

constexpr int kWidth = 390;
constexpr int kMessageLines = 4;
constexpr int kMargin = 10;

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

  // The message line over the bar and the button, in layouts, so that the window follows
  // the user's font and scale factor; it takes exactly the size its contents need.
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kMargin, kMargin, kMargin * 2, kMargin * 2);
  layout->setSpacing(kMargin);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  // A long message is cut off rather than widening the window.
  message_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  layout->addWidget(message_);
  auto* row = new QHBoxLayout;
  row->setSpacing(kMargin);
  row->addWidget(bar_, 1);
  row->addWidget(button_);
  layout->addLayout(row);
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
  BeginOperation();
  show();
  raise();
  activateWindow();
  repaint();
  return true;
}

void CProgressWindow::LayOut() {
  // Room for four lines of the window's font, and at least the classic width.
  const QFontMetrics fm(font());
  message_->setMinimumSize(std::max(kWidth - 2 * kMargin, fm.horizontalAdvance(QLatin1Char('M')) * 30),
                           fm.height() * kMessageLines);
  layout()->activate();
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
  // The bar repaints at once whenever it moves; a reply read byte by byte moves it for
  // each byte. It takes the position at most every 10 ms, and at the next pump.
  if (!sinceBarMoved_.isValid() || sinceBarMoved_.elapsed() >= kBarIntervalMs) {
    MoveBar();
  } else {
    barBehind_ = true;
  }
  return previous;
}

void CProgressWindow::MoveBar() {
  bar_->setValue(ClampToInt(std::clamp(position_, lower_, std::max(lower_, upper_))));
  sinceBarMoved_.start();
  barBehind_ = false;
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
  if (!open_ || cancelled_) return;
  if (barBehind_) MoveBar();
  escapeCancels_ = cancelOnEscape;
  // Escape pressed in any of the program's windows while the operation waits is the
  // operation's, never a dialog's underneath (which would close under the exchange).
  qApp->installEventFilter(this);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  qApp->removeEventFilter(this);
  escapeCancels_ = false;
}

bool CProgressWindow::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if ((type == QEvent::KeyPress || type == QEvent::ShortcutOverride) &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    if (type == QEvent::KeyPress && escapeCancels_ && open_ && !cancelled_) Cancel();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void CProgressWindow::Cancel() {
  if (!open_) return;
  SavePosition();
  cancelled_ = true;
  hide();
  if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr) {
    owner->raise();
    owner->activateWindow();
  }
}

void CProgressWindow::CloseProgress() {
  if (!open_) return;
  SavePosition();
  hide();
  open_ = false;
  EndOperation();
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
  sincePump_.invalidate();
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
  // A reply read byte by byte asks after every byte; letting events through (and the bar
  // repaint) for each one cost more than the reply itself. Every 10 ms keeps the window
  // alive and Cancel and Escape as prompt as ever.
  if (!sincePump_.isValid() || sincePump_.elapsed() >= kPumpIntervalMs) {
    window_->PumpMessages(cancelOnEscape_);
    sincePump_.start();
  }
  return window_ && window_->IsCancelled();
}

void ProgressWindowSink::Close() {
  if (!window_) return;
  window_->CloseProgress();
  // Deleted once control is back in an event loop: a pump further up the stack may still
  // be inside this window's event filter.
  window_->deleteLater();
  window_ = nullptr;
}

}  // namespace tervane::gui
