#include "control/dialog/log_dialog.h"

namespace tervane {

CLogDlg::CLogDlg(QWidget* parent) : QDialog(parent) {
  if (parent != nullptr) setWindowFlags(Qt::Widget);
}

CLogDlg::~CLogDlg() = default;

void CLogDlg::SetPortName(const QString& name) { portName_ = name; }

QString CLogDlg::PortName() const { return portName_; }

void CLogDlg::SetFreeMove(bool on) { freeMove_ = on; }

bool CLogDlg::FreeMove() const { return freeMove_; }

}  // namespace tervane
