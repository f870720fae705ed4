// The about box ("Sobre o Tervane"): the program's version and the version of the memory
// library that the current model uses.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "core/common/settings.h"

class QPlainTextEdit;

namespace tervane::gui {

// Asks library `name` ("KeloMFD" or "KeloMFD2") for its version text; nothing when the
// library or its version entry point cannot be found.
using LibraryVersionReader = std::function<std::optional<std::string>(const std::string& name)>;

// Loads lib<name>.so through the memory-library binding (by bare file name: the
// program's RUNPATH finds build/lib; TERVANE_VENDOR_DIR overrides the folder), calls
// KeloVersaoDll with a zeroed buffer and unloads it. Returns nothing when either is
// missing.
std::optional<std::string> ReadVendorLibraryVersion(const std::string& name);

// The about text: "Versão: 1.1.14", a line break, "Versão KeloMFD.DLL: " or
// "Versão KeloMFD2.DLL: " by the model's library rule, then the library's version with
// every "," turned into "." (nothing after the label when there is none). Windows-1252.
std::string AboutText(std::uint32_t modelMask, const LibraryVersionReader& reader);

class CAboutDlg final : public QDialog {
  Q_OBJECT

 public:
  CAboutDlg(QWidget* parent, const ProgramSettings& settings,
            const LibraryVersionReader& reader = ReadVendorLibraryVersion);
  QPlainTextEdit* TextBox() const { return text_; }

 private:
  QPlainTextEdit* text_;
};

}  // namespace tervane::gui
