#include "gui/fiscalmemory/pdf417_settings_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "gui/common/qt_text.h"
#include "gui/fiscalmemory/pdf417_window.h"

namespace tervane::gui {
namespace {

QComboBox* ListBox(QWidget* parent, const char* const* texts, int count, int position) {
  auto* box = new QComboBox(parent);
  for (int i = 0; i < count; ++i) box->addItem(ToQt(texts[i]));
  // A stored position outside the list shows nothing chosen, as the list box did.
  box->setCurrentIndex(position >= 0 && position < count ? position : -1);
  return box;
}

}  // namespace

CPdf417ConfigDlg::CPdf417ConfigDlg(QWidget* parent, std::string profilePath)
    : QDialog(parent), profilePath_(std::move(profilePath)) {
  setWindowTitle(QStringLiteral("Configurar"));
  const ScannerProfileValues values = ReadScannerProfile(IniScannerProfile(profilePath_), true);
  int count = 0;

  port_ = new QComboBox(this);
  port_->setEditable(true);
  const char* const* ports = ScannerPortNameTexts(&count);
  for (int i = 0; i < count; ++i) port_->addItem(QString::fromLatin1(ports[i]));
  port_->setEditText(ToQt(values.portName));

  const char* const* texts = ScannerBaudRateTexts(&count);
  baud_ = ListBox(this, texts, count, values.baudRate);
  texts = ScannerByteLengthTexts(&count);
  dataBits_ = ListBox(this, texts, count, values.byteLength);
  texts = ScannerParityTexts(&count);
  parity_ = ListBox(this, texts, count, values.parity);
  texts = ScannerStopBitsTexts(&count);
  stopBits_ = ListBox(this, texts, count, values.stopBits);
  texts = ScannerHandshakeTexts(&count);
  handshake_ = ListBox(this, texts, count, values.handshake);

  auto* form = new QFormLayout;
  auto addRow = [&](const QString& label, QComboBox* box) {
    auto* text = new QLabel(label, this);
    text->setBuddy(box);
    form->addRow(text, box);
  };
  addRow(QStringLiteral("Porta serial usada para leitura de &símbolos PDF-417:"), port_);
  addRow(QStringLiteral("&Bits por segundo:"), baud_);
  addRow(QStringLiteral("Bits de &dados:"), dataBits_);
  addRow(QStringLiteral("&Paridade:"), parity_);
  addRow(QStringLiteral("Bits de p&arada:"), stopBits_);
  addRow(QStringLiteral("Controle de &fluxo:"), handshake_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
  connect(buttons, &QDialogButtonBox::accepted, this, &CPdf417ConfigDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CPdf417ConfigDlg::reject);
  error_ = new QLabel(this);
  error_->setWordWrap(true);
  error_->hide();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(error_);
  layout->addWidget(buttons);
}

ScannerProfileValues CPdf417ConfigDlg::Values() const {
  ScannerProfileValues values;
  values.portName = FromQt(port_->currentText().trimmed());
  values.baudRate = baud_->currentIndex();
  values.byteLength = dataBits_->currentIndex();
  values.parity = parity_->currentIndex();
  values.stopBits = stopBits_->currentIndex();
  values.handshake = handshake_->currentIndex();
  return values;
}

void CPdf417ConfigDlg::accept() {
  std::string error;
  if (!WriteScannerProfile(profilePath_, Values(), &error)) {
    error_->setText(QStringLiteral("As configurações não foram gravadas: ") + ToQt(error));
    error_->show();
    return;
  }
  QDialog::accept();
}

}  // namespace tervane::gui
