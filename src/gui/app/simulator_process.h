// The emulated printer as a child process: `tervane --simulator` starts tervane-sim on a
// pseudo-terminal, points "COM1:" at it for this process (TERVANE_COM1) so that
// detection finds it, and stops it when the workbench ends.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;

namespace tervane::gui {

class SimulatorProcess final : public QObject {
  Q_OBJECT

 public:
  explicit SimulatorProcess(QObject* parent = nullptr);
  ~SimulatorProcess() override;

  // The simulator program beside this one.
  static QString DefaultProgram();

  // Starts `program` with --pty and the extra arguments and waits up to `timeoutMs` for
  // the line "pty PATH". Returns false, with Error() saying why, when the program does
  // not start or never announces its terminal (it is then stopped).
  bool Start(const QString& program, const QStringList& extraArguments, int timeoutMs = 5000);
  // Start in two halves, so that the window can be built while the simulator starts:
  // Launch starts the program (false when it cannot be started); WaitForPty then waits
  // for its terminal as Start does.
  bool Launch(const QString& program, const QStringList& extraArguments, int timeoutMs = 5000);
  bool WaitForPty(int timeoutMs = 5000);
  // Sends SIGTERM and waits for the simulator to remove what it created; kills it when it
  // does not end in time. Safe to call more than once.
  void Stop();

  QString PtyPath() const { return ptyPath_; }
  QString Error() const { return error_; }

 private:
  QProcess* process_;
  QString program_;
  QString ptyPath_;
  QString error_;
};

}  // namespace tervane::gui
