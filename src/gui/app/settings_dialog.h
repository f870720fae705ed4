// The "Configurações" dialog: port, model, the three options, the printer's address and
// the COM-port map. On OK the caller applies it to the program settings (ApplyTo) and
// rebuilds the menus.
#pragma once

#include <QDialog>
#include <array>
#include <string>
#include <vector>

#include "core/common/settings.h"
#include "gui/app/port_map.h"
#include "core/transport/serial_adapters.h"

class QCheckBox;
class QLabel;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace tervane::gui {

class CSettingsDlg final : public QDialog {
  Q_OBJECT

 public:
  // `devices` are the serial devices found on the machine, listed after the fixed names.
  CSettingsDlg(QWidget* parent, const ProgramSettings& settings, const std::vector<std::string>& devices);

  // Copies port, model (its mask by the model table), the three options and the address
  // into `settings`. Choosing a model does not touch the extended-reply option; only
  // its check box does.
  void ApplyTo(ProgramSettings& settings) const;
  // The COM-port map as edited.
  std::array<QString, kComPorts> ComPortDevices() const;

  QComboBox* PortList() const { return port_; }
  QComboBox* ModelList() const { return model_; }
  QCheckBox* ShowResultsBox() const { return showResults_; }
  QCheckBox* ExtendedReplyBox() const { return extendedReply_; }
  QCheckBox* FilterBox() const { return filter_; }
  QLineEdit* AddressEdit() const { return address_; }
  // Shown while the address typed is not one the socket port can use.
  QLabel* AddressError() const { return addressError_; }
  // Columns: name, device, and a pick of the USB-serial adapters present.
  QTableWidget* ComPortTable() const { return comMap_; }
  // The adapters offered in the third column.
  const std::vector<SerialAdapter>& Adapters() const { return adapters_; }
  QPushButton* UsbDriverButton() const { return usbDriver_; }

 public slots:
  // Refuses an unusable printer address; saves the COM-port map; closes with Accepted.
  void accept() override;

 private:
  QComboBox* port_;
  QComboBox* model_;
  // The model entry selected when the dialog opened: OK keeps the detected model, its
  // mask and its library unless another entry was chosen.
  int openedModelIndex_ = -1;
  QCheckBox* showResults_;
  QCheckBox* extendedReply_;
  QCheckBox* filter_;
  QLineEdit* address_;
  QLabel* addressError_;
  QTableWidget* comMap_;
  QPushButton* usbDriver_;
  std::vector<SerialAdapter> adapters_;
};

}  // namespace tervane::gui
