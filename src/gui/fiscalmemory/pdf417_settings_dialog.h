// The scanner's settings dialog ("Configurar" of the capture window): the port and the
// five line settings, read from and saved to the "Scanner Port" profile section as list
// positions.
#pragma once

#include <QDialog>
#include <string>

#include "core/fiscalmemory/pdf417_settings.h"

class QComboBox;
class QLabel;

namespace tervane::gui {

class CPdf417ConfigDlg final : public QDialog {
  Q_OBJECT

 public:
  // Shows the values of the profile file at `profilePath` (a missing "Handshake" shows as
  // "Hardware").
  CPdf417ConfigDlg(QWidget* parent, std::string profilePath);

  QComboBox* PortBox() const { return port_; }
  QComboBox* BaudBox() const { return baud_; }
  QComboBox* DataBitsBox() const { return dataBits_; }
  QComboBox* ParityBox() const { return parity_; }
  QComboBox* StopBitsBox() const { return stopBits_; }
  QComboBox* HandshakeBox() const { return handshake_; }

  // The values the dialog holds now.
  ScannerProfileValues Values() const;

 public slots:
  // Saves the six keys and closes; when they cannot be saved, says why and stays open.
  void accept() override;

 private:
  std::string profilePath_;
  QLabel* error_ = nullptr;
  QComboBox* port_ = nullptr;
  QComboBox* baud_ = nullptr;
  QComboBox* dataBits_ = nullptr;
  QComboBox* parity_ = nullptr;
  QComboBox* stopBits_ = nullptr;
  QComboBox* handshake_ = nullptr;
};

}  // namespace tervane::gui
