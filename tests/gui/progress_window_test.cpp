// The progress window: percentages and the title rule, Escape and Cancel, the remembered
// position, and the sink the exchange drives.
#include <QLabel>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include "gui/app/progress_window.h"
#include "gui/common/app_profile.h"
#include "gui/gui_test.h"

namespace tervane::testing {

using gui::CProgressWindow;

class ProgressWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void percentagesRoundToNearest() {
    QCOMPARE(CProgressWindow::PercentOf(1, 0, 3), 33);
    QCOMPARE(CProgressWindow::PercentOf(2, 0, 3), 67);
    QCOMPARE(CProgressWindow::PercentOf(3, 0, 3), 100);
    QCOMPARE(CProgressWindow::PercentOf(5, 0, 0), 0);     // empty range
    QCOMPARE(CProgressWindow::PercentOf(5, 10, 2), 0);    // reversed range
    QCOMPARE(CProgressWindow::PercentOf(15, 10, 20), 50);
    QCOMPARE(CProgressWindow::PercentOf(3'000'000'000L, 0, 4'000'000'000L), 75);  // no overflow
  }

  void titleShowsThePercentageAndChangesOnlyWithIt() {
    CProgressWindow window;
    QVERIFY(window.OpenProgress(nullptr, QStringLiteral("Progresso"), true));
    window.SetRange(0, 3, 1);
    QCOMPARE(window.windowTitle(), QStringLiteral("Progresso"));
    window.SetPosition(1);
    QCOMPARE(window.windowTitle(), QStringLiteral("Progresso [33%]"));
    QCOMPARE(window.SetPosition(2), 1L);  // returns the previous position
    QCOMPARE(window.windowTitle(), QStringLiteral("Progresso [67%]"));

    CProgressWindow fine;
    fine.OpenProgress(nullptr, QStringLiteral("Recebendo"), true);
    fine.SetRange(0, 1000, 1);
    QSignalSpy titles(&fine, &QWidget::windowTitleChanged);
    for (int k = 0; k < 30; ++k) fine.Step();  // 0.1 % each: whole percent changes at 5, 15, 25
    QCOMPARE(titles.count(), 3);
    QCOMPARE(fine.windowTitle(), QStringLiteral("Recebendo [3%]"));
    QCOMPARE(fine.Position(), 30L);
    window.CloseProgress();
    fine.CloseProgress();
  }

  void emptyRangeShowsZero() {
    CProgressWindow window;
    window.OpenProgress(nullptr, QStringLiteral("Progresso"), true);
    window.SetRange(0, 0, 1);
    window.SetPosition(7);
    QCOMPARE(window.ShownPercent(), 0);
    QCOMPARE(window.windowTitle(), QStringLiteral("Progresso"));
    window.CloseProgress();
  }

  void stepWrappingAndReshowing() {
    CProgressWindow window;
    window.OpenProgress(nullptr, QStringLiteral("P"), true);
    window.SetRange(0, 3, 2);
    window.StepWrapping();
    window.StepWrapping();
    QCOMPARE(window.Position(), 1L);  // (2 + 2) mod 3
    window.hide();
    window.SetPosition(2);
    QVERIFY(window.isVisible());
    window.CloseProgress();
    // A closed window ignores everything and keeps its position.
    QCOMPARE(window.SetPosition(3), 2L);
    QCOMPARE(window.Position(), 2L);
  }

  void escapeCancelsOnlyWhenAsked() {
    CProgressWindow window;
    window.OpenProgress(nullptr, QStringLiteral("P"), true);
    window.SetRange(0, 10, 1);
    QTest::keyClick(&window, Qt::Key_Escape);  // outside any pump
    QVERIFY(!window.IsCancelled());
    QCoreApplication::postEvent(&window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    window.PumpMessages(false);
    QVERIFY(!window.IsCancelled());  // a pump that refuses Escape swallows it

    // During a pump that accepts Escape, a waiting Escape cancels.
    QCoreApplication::postEvent(&window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    window.PumpMessages(true);
    QVERIFY(window.IsCancelled());
    QVERIFY(window.isHidden());
    window.CloseProgress();
  }

  void cancelButtonCancelsAndTheFlagStays() {
    CProgressWindow window;
    window.OpenProgress(nullptr, QStringLiteral("P"), true);
    QTest::mouseClick(window.CancelButton(), Qt::LeftButton);
    QVERIFY(window.IsCancelled());
    window.PumpMessages(true);
    window.SetPosition(5);
    QVERIFY(window.IsCancelled());
    QCOMPARE(window.CancelButton()->text(), QStringLiteral(" Cancelar "));
    window.CloseProgress();
  }

  void positionIsRememberedAndCentredWhenOffScreen() {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    {
      auto profile = gui::OpenProfile();
      profile->setValue(QStringLiteral("Settings/X"), screen.left() + 40);
      profile->setValue(QStringLiteral("Settings/Y"), screen.top() + 30);
    }
    CProgressWindow window;
    window.OpenProgress(nullptr, QStringLiteral("P"), true);
    QCOMPARE(window.pos(), QPoint(screen.left() + 40, screen.top() + 30));
    window.move(screen.left() + 70, screen.top() + 50);
    window.CloseProgress();
    {
      auto profile = gui::OpenProfile();
      QCOMPARE(profile->value(QStringLiteral("Settings/X")).toInt(), screen.left() + 70);
      QCOMPARE(profile->value(QStringLiteral("Settings/Y")).toInt(), screen.top() + 50);
      profile->setValue(QStringLiteral("Settings/X"), screen.right() + 5000);
    }
    CProgressWindow offScreen;
    offScreen.OpenProgress(nullptr, QStringLiteral("P"), true);
    const QPoint centre = offScreen.frameGeometry().center();
    QVERIFY(qAbs(centre.x() - screen.center().x()) <= 2);
    QVERIFY(qAbs(centre.y() - screen.center().y()) <= 2);
    offScreen.CloseProgress();
  }

  // Laid out for its font: a larger font gives a larger window that still holds four
  // lines of message and the whole button.
  void layoutFollowsTheFont() {
    CProgressWindow normal;
    normal.OpenProgress(nullptr, QStringLiteral("P"), true);
    const QSize normalSize = normal.size();
    QVERIFY(normalSize.width() >= 390);
    normal.CloseProgress();

    CProgressWindow large;
    QFont font = large.font();
    font.setPointSizeF(font.pointSizeF() * 2);
    large.setFont(font);
    large.OpenProgress(nullptr, QStringLiteral("P"), true);
    large.SetMessage(QStringLiteral("Recebendo Retorno..."));
    QVERIFY(large.width() > normalSize.width() || large.height() > normalSize.height());
    QVERIFY(large.height() > normalSize.height());
    QVERIFY(large.rect().contains(large.CancelButton()->geometry()));
    const QLabel* message = large.findChild<QLabel*>(QStringLiteral("message"));
    QVERIFY(message && message->height() >= QFontMetrics(font).height() * 4);
    QVERIFY(message->geometry().bottom() < large.CancelButton()->geometry().top());
    large.CloseProgress();
  }

  void sinkOpensOneWindowPerOperation() {
    gui::ProgressWindowSink sink(nullptr);
    QVERIFY(!sink.IsCancelled());  // nothing open
    sink.Open("", "Recebendo Retorno...", 0, 3);
    gui::CProgressWindow* first = sink.Window();
    QVERIFY(first);
    QCOMPARE(first->windowTitle(), QStringLiteral("Progresso"));
    QCOMPARE(first->Message(), QStringLiteral("Recebendo Retorno..."));
    sink.SetPosition(1);
    QCOMPARE(first->windowTitle(), QStringLiteral("Progresso [33%]"));
    sink.Step();
    QCOMPARE(first->windowTitle(), QStringLiteral("Progresso [67%]"));
    QTest::mouseClick(first->CancelButton(), Qt::LeftButton);
    QVERIFY(sink.IsCancelled());
    sink.Close();
    QVERIFY(!sink.Window());
    sink.Open("Progresso", "Processando retorno", 0, 10);
    QVERIFY(!sink.IsCancelled());  // a new operation starts uncancelled
    sink.Close();
  }
};

TERVANE_GUI_TEST(ProgressWindowTest);

}  // namespace tervane::testing

#include "progress_window_test.moc"
