// The control's window driven directly (the control's classes linked into the test),
// with a composition dialog that can be made to fail: the placeholder, and the port name
// reaching the dialog whenever it is set.
#ifdef TERVANE_HAVE_BRANDEL

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QThread>
#include <QWindow>

#include "component/ref.h"
#include "component/test_application.h"
#include "control/dialog/log_dialog.h"
#include "control/face/brandel_ctrl.h"
#include "control/face/brandel_ids.h"
#include "control/face/brandel_images.h"
#include "control/face/brandel_window.h"

namespace tervane::brandel {
namespace {

using namespace component;

void EnsureApplication() {
  testing::TestApplication::Ensure();
}

bool ShowExposed(QWidget& host) {
  host.resize(800, 600);
  host.show();
  for (int i = 0; i < 200; ++i) {
    QCoreApplication::processEvents();
    if (host.windowHandle() && host.windowHandle()->isExposed()) return true;
    QThread::msleep(10);
  }
  return false;
}

struct Hosted {
  Ref<IDispatch> control;
  QWidget* window = nullptr;
};

Hosted Host(QWidget& host, LogDialogFactory factory) {
  Hosted hosted;
  EXPECT_EQ(CBrandelCtrl::Create(kIidDispatch, hosted.control.Out(), std::move(factory)), hr::kOk);
  auto windowed = hosted.control.Query<IWindowedControl>(kIidWindowedControl);
  WindowHandle handle = nullptr;
  EXPECT_EQ(windowed->CreateControlWindow(static_cast<QWidget*>(&host), &handle), hr::kOk);
  hosted.window = static_cast<QWidget*>(handle);
  return hosted;
}

TEST(BrandelWindowTest, PlaceholderWhileTheDialogCannotBeMade) {
  EnsureApplication();
  // Measuring works (no parent), making the child does not, until `allow` is set.
  bool allow = false;
  int attempts = 0;
  auto factory = [&](QWidget* parent) -> CLogDlg* {
    if (parent) ++attempts;
    return parent && !allow ? nullptr : MakeLogDialog(parent);
  };
  QWidget host;
  Hosted hosted = Host(host, factory);
  const QSize measured = MeasureLogDialog();
  EXPECT_EQ(hosted.window->size(), measured);
  ASSERT_TRUE(ShowExposed(host));
  hosted.window->repaint();
  EXPECT_EQ(hosted.window->findChild<CLogDlg*>(), nullptr);
  EXPECT_GE(attempts, 1);
  // The first failed drawing sizes the window to the placeholder, which is drawn at the
  // origin.
  const QImage placeholder = BrandelPlaceholder();
  EXPECT_EQ(hosted.window->size(), placeholder.size());
  const QImage drawn = hosted.window->grab().toImage().convertToFormat(placeholder.format());
  EXPECT_EQ(drawn.pixel(48, 20), placeholder.pixel(48, 20));
  EXPECT_EQ(drawn.pixel(2, 2), placeholder.pixel(2, 2));

  // A later drawing tries again.
  allow = true;
  hosted.window->repaint();
  EXPECT_NE(hosted.window->findChild<CLogDlg*>(), nullptr);
}

TEST(BrandelWindowTest, PortNameReachesTheDialogBeforeAndAfterItIsMade) {
  EnsureApplication();
  QWidget host;
  Hosted hosted = Host(host, MakeLogDialog);
  ASSERT_EQ(PutProperty(*hosted.control, dispid::kPortName, Variant::Text("COM5:")), hr::kOk);
  ASSERT_TRUE(ShowExposed(host));
  hosted.window->repaint();
  QPointer<CLogDlg> dialog = hosted.window->findChild<CLogDlg*>();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(dialog->PortName(), QStringLiteral("COM5:"));
  EXPECT_FALSE(dialog->FreeMove());
  ASSERT_EQ(PutProperty(*hosted.control, dispid::kPortName, Variant::Text("/dev/pts/7")), hr::kOk);
  EXPECT_EQ(dialog->PortName(), QStringLiteral("/dev/pts/7"));
  // The window was sized to the measured dialog, so the dialog shows whole.
  EXPECT_TRUE(hosted.window->rect().contains(dialog->geometry()));
  hosted.control.Reset();
  EXPECT_FALSE(dialog);
}

TEST(BrandelWindowTest, NoWindowWithoutAParent) {
  Ref<IWindowedControl> windowed;
  ASSERT_EQ(CBrandelCtrl::Create(kIidWindowedControl, windowed.Out()), hr::kOk);
  WindowHandle handle = nullptr;
  EXPECT_EQ(windowed->CreateControlWindow(nullptr, &handle), hr::kPointer);
  EXPECT_EQ(handle, nullptr);
}

}  // namespace
}  // namespace tervane::brandel

#endif  // TERVANE_HAVE_BRANDEL
