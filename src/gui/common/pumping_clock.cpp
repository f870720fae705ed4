#include "gui/common/pumping_clock.h"

#include <QEventLoop>
#include <QTimer>

namespace tervane::gui {

void PumpingClock::SleepMs(int milliseconds) {
  if (milliseconds <= 0) return;
  QEventLoop loop;
  QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace tervane::gui
