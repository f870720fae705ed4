#include "gui/app/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/app/model_table.h"
#include "core/common/string_table.h"
#include "core/common/text.h"
#include "core/common/version.h"
#include "core/fiscalmemory/vendor_library.h"
#include "gui/app/app_icon.h"
#include "gui/common/qt_text.h"

namespace tervane::gui {
std::optional<std::string> ReadVendorLibraryVersion(const std::string& name) {
  std::string version;
  if (!tervane::ReadVendorLibraryVersion(SystemVendorLoader(), "lib" + name + ".so", version)) return std::nullopt;
  return version;
}

std::string AboutText(std::uint32_t modelMask, const LibraryVersionReader& reader) {
  const std::string library = VendorLibraryFor(modelMask);
  std::string text =
      LoadString(str::kVersao) + ": " + kVersion + "\r\n" + LoadString(str::kVersao) + " " + library + ".DLL: ";
  if (reader) {
    if (std::optional<std::string> version = reader(library)) {
      ReplaceAll(*version, ",", ".");
      text += *version;
    }
  }
  return text;
}

CAboutDlg::CAboutDlg(QWidget* parent, const ProgramSettings& settings, const LibraryVersionReader& reader)
    : QDialog(parent), text_(new QPlainTextEdit(this)) {
  setWindowTitle(Str(str::kSobre));
  auto* icon = new QLabel(this);
  icon->setPixmap(AppIcon().pixmap(64, 64));
  auto* name = new QLabel(QStringLiteral("<b>%1</b><br>Bancada de impressoras fiscais").arg(Str(str::kTervane)), this);
  text_->setReadOnly(true);
  text_->setPlainText(ToQtDisplay(AboutText(settings.g_modelMask, reader)));
  text_->setFixedHeight(64);
  auto* top = new QHBoxLayout;
  top->addWidget(icon);
  top->addWidget(name, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(text_);
  layout->addWidget(buttons);
  setMinimumWidth(380);
}

}  // namespace tervane::gui
