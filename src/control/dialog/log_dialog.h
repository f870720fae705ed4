// The logo composition dialog: four text lines, a font, a picture, the preview with its
// two movable panes, and the Send and Save buttons that upload the composition to the
// printer and ask it to keep it.
#pragma once

#include <QDialog>
#include <QString>

namespace tervane {

class CLogDlg : public QDialog {
  Q_OBJECT

 public:
  // The whole composition dialog; a child widget (not a top-level window) when `parent`
  // is given, so that a container can embed it.
  explicit CLogDlg(QWidget* parent = nullptr);
  ~CLogDlg() override;

  // The port Send and Save open, used unchanged (initially "COM1").
  void SetPortName(const QString& name);
  QString PortName() const;

  // Sets both panes' free-move flag; the Left and Center buttons are enabled only while
  // it is false.
  void SetFreeMove(bool on);
  bool FreeMove() const;

 private:
  QString portName_ = QStringLiteral("COM1");
  bool freeMove_ = false;
};

}  // namespace tervane
