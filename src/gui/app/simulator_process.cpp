#include "gui/app/simulator_process.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>

#include <csignal>
#include <sys/prctl.h>

namespace tervane::gui {

SimulatorProcess::SimulatorProcess(QObject* parent) : QObject(parent), process_(new QProcess(this)) {
  // Its messages go where ours go; only standard output is read, for the ready line.
  process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  // Should the workbench die without stopping it, the simulator is told to end as well.
  process_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

SimulatorProcess::~SimulatorProcess() {
  Stop();
}

QString SimulatorProcess::DefaultProgram() {
  return QCoreApplication::applicationDirPath() + QStringLiteral("/tervane-sim");
}

bool SimulatorProcess::Start(const QString& program, const QStringList& extraArguments, int timeoutMs) {
  return Launch(program, extraArguments, timeoutMs) && WaitForPty(timeoutMs);
}

bool SimulatorProcess::Launch(const QString& program, const QStringList& extraArguments, int timeoutMs) {
  ptyPath_.clear();
  error_.clear();
  program_ = program;
  process_->start(program, QStringList{QStringLiteral("--pty")} + extraArguments);
  if (!process_->waitForStarted(timeoutMs)) {
    error_ = QStringLiteral("não foi possível iniciar %1: %2").arg(program, process_->errorString());
    return false;
  }
  return true;
}

bool SimulatorProcess::WaitForPty(int timeoutMs) {
  const QString& program = program_;
  const QDeadlineTimer deadline(timeoutMs);
  while (!deadline.hasExpired()) {
    if (!process_->canReadLine() && !process_->waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
      if (process_->state() == QProcess::NotRunning) break;
      continue;
    }
    while (process_->canReadLine()) {
      const QByteArray line = process_->readLine().trimmed();
      if (line.startsWith("pty ")) {
        ptyPath_ = QString::fromLocal8Bit(line.mid(4).trimmed());
        // Whatever it writes later is read and dropped, so its pipe never fills.
        connect(process_, &QProcess::readyReadStandardOutput, this, [this] { process_->readAllStandardOutput(); });
        return !ptyPath_.isEmpty();
      }
    }
  }
  error_ = process_->state() == QProcess::NotRunning
               ? QStringLiteral("%1 terminou sem anunciar o terminal").arg(program)
               : QStringLiteral("%1 não anunciou o terminal a tempo").arg(program);
  Stop();
  return false;
}

void SimulatorProcess::Stop() {
  if (process_->state() == QProcess::NotRunning) return;
  process_->terminate();
  if (!process_->waitForFinished(3000)) {
    process_->kill();
    process_->waitForFinished(1000);
  }
}

}  // namespace tervane::gui
