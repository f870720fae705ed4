// A pane of the logo preview (the picture or the text block): a child window of the
// preview that can be dragged with the mouse while free move is on and never leaves the
// preview, and that shows a sizing frame while active (taken away for a capture).
#pragma once

#include <QPoint>
#include <QRect>
#include <QWidget>

namespace tervane {

class CMovablePane : public QWidget {
  Q_OBJECT

 public:
  // Creates the pane as a child of `preview`, at `geometry` in the preview's coordinates.
  CMovablePane(QWidget* preview, const QRect& geometry);

  // While on, pressing the left button starts a drag (size-all cursor); while off, the
  // mouse does nothing. Turning it off ends a drag in progress.
  void SetFreeMove(bool on);
  bool FreeMove() const { return freeMove_; }

  // The sizing frame drawn over the pane's edges.
  void SetFrameShown(bool shown);
  bool FrameShown() const { return frameShown_; }

  // Moves the top-left corner to `topLeft`, then pins the pane inside the preview.
  void MoveTo(const QPoint& topLeft);

  // Where a pane of `pane`'s size must go to lie wholly inside `area`: each side that
  // would leave it is pinned to that side. A pane larger than the area keeps its top-left
  // corner on the area's top-left.
  static QPoint PinnedInside(const QRect& pane, const QRect& area);

 protected:
  // Draws what the pane shows on its white background (the frame is drawn after).
  virtual void PaintContents(QPainter& painter) = 0;

  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void EndDrag();

  bool freeMove_ = false;
  bool frameShown_ = true;
  bool dragging_ = false;
  QPoint grabOffset_;  // where the pane was taken, in its own coordinates
};

}  // namespace tervane
