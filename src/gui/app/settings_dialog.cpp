#include "gui/app/settings_dialog.h"

#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/app/model_table.h"
#include "core/common/install_paths.h"
#include "core/common/string_ids.h"
#include "core/common/text.h"
#include "core/transport/serial_adapters.h"
#include "core/transport/socket_port.h"
#include "core/transport/usb_driver_install.h"
#include "gui/common/app_profile.h"
#include "gui/common/qt_text.h"

namespace tervane::gui {
namespace {

constexpr int kInstalarDriverUsb = 33007;

}  // namespace

CSettingsDlg::CSettingsDlg(QWidget* parent, const ProgramSettings& settings, const std::vector<std::string>& devices)
    : QDialog(parent),
      port_(new QComboBox(this)),
      model_(new QComboBox(this)),
      showResults_(new QCheckBox(Str(str::kMostrarResultados), this)),
      extendedReply_(new QCheckBox(Str(str::kRetornoEstendido), this)),
      filter_(new QCheckBox(QStringLiteral("Filtrar comandos conforme equipamento"), this)),
      address_(new QLineEdit(this)),
      addressError_(new QLabel(QStringLiteral("Endereço inválido: use a.b.c.d ou a.b.c.d:porta"), this)),
      comMap_(new QTableWidget(kComPorts, 3, this)),
      usbDriver_(new QPushButton(Str(kInstalarDriverUsb), this)) {
  setWindowTitle(Str(str::kConfiguracoes));

  // Ports: the fixed names, then the serial devices found.
  QStringList ports = {QStringLiteral("USB")};
  for (int n = 1; n <= kComPorts; ++n) ports << QStringLiteral("COM%1:").arg(n);
  ports << QStringLiteral("FILE") << QStringLiteral("SOCKET");
  for (const std::string& device : devices) {
    const QString name = QString::fromStdString(device);
    if (!ports.contains(name)) ports << name;
  }
  const QString current = ToQt(settings.g_portName);
  if (!current.isEmpty() && !ports.contains(current)) ports << current;
  port_->addItems(ports);
  port_->setCurrentIndex(static_cast<int>(ports.indexOf(current)));

  // Models: the fifteen identifiers in table order; the current one selected when it
  // matches one of them whole. A detected model that the list does not hold (such as
  // "ZT-710 A") is added after them, so that it is shown and kept.
  for (const std::string& name : SettingsModelList()) model_->addItem(ToQt(name));
  model_->setCurrentIndex(-1);
  if (!settings.g_modelName.empty()) {
    const std::string padded = PadModelName(settings.g_modelName);
    const std::vector<std::string> names = SettingsModelList();
    for (size_t k = 0; k < names.size(); ++k) {
      if (PadModelName(names[k]) == padded) model_->setCurrentIndex(static_cast<int>(k));
    }
    if (model_->currentIndex() < 0) {
      model_->addItem(ToQt(Unpadded(settings.g_modelName)) + QStringLiteral(" (detectado)"));
      model_->setCurrentIndex(model_->count() - 1);
    }
  }
  openedModelIndex_ = model_->currentIndex();

  showResults_->setChecked(settings.g_showResults);
  extendedReply_->setChecked(settings.g_extendedReply);
  filter_->setChecked(settings.g_filterByModel);

  address_->setText(ToQt(settings.g_printerAddress));
  address_->setPlaceholderText(QStringLiteral("a.b.c.d  ou  a.b.c.d:porta"));
  address_->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("[0-9]{0,3}(\\.[0-9]{0,3}){0,3}(:[0-9]{0,5})?")), address_));

  // Installs the udev rule that lets this user's group open the configured USB printers:
  // directly as root, else through pkexec (the administrator's password is asked by the
  // desktop's polkit agent).
  const std::string workDir = settings.g_workDir;
  connect(usbDriver_, &QPushButton::clicked, this, [this, workDir] {
    UsbDriverInstallOptions options;
    options.workDir = workDir;
    PrivilegedInstall how;
    how.asRoot = ::geteuid() == 0;
    how.cli = ProgramDir().empty() ? std::string() : ProgramDir() + "/tervane-cli";
    UsbDriverInstallResult result;
    std::string error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool installed = InstallUsbDriverAsUser(options, how, &result, &error);
    QApplication::restoreOverrideCursor();
    if (installed) {
      QMessageBox::information(this, Str(kInstalarDriverUsb),
                               QStringLiteral("Regra de acesso USB instalada em %1.").arg(QString::fromStdString(result.rulesPath)));
    } else {
      QMessageBox::critical(this, Str(kInstalarDriverUsb), ToQt(UsbDriverInstallFailureText(error)));
    }
  });

  // The COM-port map: the profile's entries, editable; an entry the environment decides
  // is shown as such and cannot be edited here.
  // The third column maps a COM name to a USB-serial adapter present in one pick: its
  // stable name goes into the device column.
  comMap_->setHorizontalHeaderLabels(
      {QStringLiteral("Porta"), QStringLiteral("Dispositivo"), QStringLiteral("Adaptador USB-serial")});
  comMap_->verticalHeader()->hide();
  comMap_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  comMap_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  comMap_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
  adapters_ = ListSerialAdapters(DefaultScanRoots());
  const std::array<ComPortEntry, kComPorts> effective = LoadComPortMap();
  const std::array<QString, kComPorts> saved = LoadSavedComPortMap();
  for (int n = 1; n <= kComPorts; ++n) {
    auto* name = new QTableWidgetItem(QStringLiteral("COM%1:").arg(n));
    name->setFlags(Qt::ItemIsEnabled);
    comMap_->setItem(n - 1, 0, name);
    const ComPortEntry& entry = effective[n - 1];
    auto* device = new QTableWidgetItem(entry.fromEnvironment ? entry.device : saved[n - 1]);
    if (entry.fromEnvironment) {
      device->setFlags(Qt::ItemIsEnabled);
      device->setToolTip(QStringLiteral("Definido pela variável de ambiente TERVANE_COM%1").arg(n));
      device->setData(Qt::UserRole, saved[n - 1]);
    }
    comMap_->setItem(n - 1, 1, device);

    auto* pick = new QComboBox(comMap_);
    pick->addItem(adapters_.empty() ? QStringLiteral("(nenhum presente)") : QStringLiteral("—"));
    for (const SerialAdapter& adapter : adapters_) {
      QString label = QString::fromStdString(adapter.Name());
      if (const std::string description = adapter.Description(); !description.empty()) {
        label += QStringLiteral("  ·  ") + ToQt(description);
      }
      if (!adapter.accessible) label += QStringLiteral("  (sem acesso para este usuário)");
      pick->addItem(label, QString::fromStdString(adapter.Name()));
      if (SameDevice(adapter.device, device->text().toStdString())) pick->setCurrentIndex(pick->count() - 1);
    }
    pick->setEnabled(!adapters_.empty() && !entry.fromEnvironment);
    connect(pick, &QComboBox::activated, this, [this, pick, row = n - 1](int index) {
      const QString chosen = pick->itemData(index).toString();
      if (!chosen.isEmpty()) comMap_->item(row, 1)->setText(chosen);
    });
    comMap_->setCellWidget(n - 1, 2, pick);
  }
  comMap_->setMinimumHeight(comMap_->verticalHeader()->length() + comMap_->horizontalHeader()->height() + 4);

  auto* form = new QFormLayout;
  form->addRow(Str(str::kPortaComunicacao), port_);
  form->addRow(Str(str::kEquipamento), model_);
  form->addRow(QStringLiteral("Endereço IP da impressora"), address_);
  SetTextColour(addressError_, QColor(0xb0, 0x00, 0x20));
  addressError_->hide();
  form->addRow(QString(), addressError_);

  auto* options = new QVBoxLayout;
  options->addWidget(showResults_);
  options->addWidget(extendedReply_);
  options->addWidget(filter_);

  auto* mapBox = new QGroupBox(QStringLiteral("Mapa das portas COM"), this);
  auto* mapLayout = new QVBoxLayout(mapBox);
  mapLayout->addWidget(comMap_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(Str(str::kCancelar));
  buttons->addButton(usbDriver_, QDialogButtonBox::ActionRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &CSettingsDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(options);
  layout->addWidget(mapBox);
  layout->addWidget(buttons);
  setMinimumWidth(640);

  // Tab follows the reading order of the form, not the order the fields were made in.
  setTabOrder(port_, model_);
  setTabOrder(model_, address_);
  setTabOrder(address_, showResults_);
  setTabOrder(showResults_, extendedReply_);
  setTabOrder(extendedReply_, filter_);
  setTabOrder(filter_, comMap_);
}

std::array<QString, kComPorts> CSettingsDlg::ComPortDevices() const {
  std::array<QString, kComPorts> devices;
  for (int n = 0; n < kComPorts; ++n) {
    const QTableWidgetItem* item = comMap_->item(n, 1);
    // An entry set by the environment keeps the profile's own value.
    const QVariant saved = item->data(Qt::UserRole);
    devices[n] = (saved.isValid() ? saved.toString() : item->text()).trimmed();
  }
  return devices;
}

void CSettingsDlg::ApplyTo(ProgramSettings& settings) const {
  settings.g_portName = FromQt(port_->currentText());
  // A model shown when the dialog opened (detected or chosen before) and still selected
  // stays whole, mask included; with none, the table gives the mask as ever.
  const int chosen = model_->currentIndex();
  if (chosen != openedModelIndex_ || chosen < 0) {
    ChooseModel(settings, chosen >= 0 ? Unpadded(FromQt(model_->itemText(chosen))) : std::string());
  }
  settings.g_showResults = showResults_->isChecked();
  settings.g_extendedReply = extendedReply_->isChecked();
  settings.g_filterByModel = filter_->isChecked();
  settings.g_printerAddress = FromQt(address_->text().trimmed());
}

void CSettingsDlg::accept() {
  // An address the socket port could not use is refused here rather than at the next send.
  const std::string address = FromQt(address_->text().trimmed());
  sockaddr_in parsed{};
  if (!address.empty() && !ParsePrinterAddress(address, &parsed)) {
    addressError_->show();
    address_->setFocus();
    address_->selectAll();
    return;
  }
  addressError_->hide();
  if (!SaveComPortMap(ComPortDevices())) {
    QMessageBox::warning(this, windowTitle(),
                         QStringLiteral("Não foi possível gravar o mapa das portas COM em %1.").arg(ProfilePath()));
    return;
  }
  QDialog::accept();
}

}  // namespace tervane::gui
