// The "Resultado" window: the readable outcome of a command, or its hexadecimal dump at
// the press of "Dump", and "Salvar" to write either or both to a text file, which is
// then opened with the desktop's default program.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "core/common/prompter.h"

class QPlainTextEdit;
class QPushButton;

namespace tervane::gui {

// What a saved result file holds for the choice made under "Salvar": 1 the message,
// 2 the dump, 3 the message followed by the dump. Any other choice gives an empty text.
std::string ComposeSavedResult(int choice, const std::string& resultText, const std::string& hexTrace);

class CResultDlg final : public QDialog {
  Q_OBJECT

 public:
  // Texts are Windows-1252 as the record holds them. `prompter` asks for the file name
  // and the content to save.
  CResultDlg(QWidget* parent, const std::string& resultText, const std::string& hexTrace, Prompter& prompter);

  // Opens a saved file; by default the desktop's default program (a seam for tests).
  void SetFileOpener(std::function<void(const QString&)> opener) { opener_ = std::move(opener); }

  // True while the dump is shown.
  bool ShowingDump() const { return showingDump_; }
  QPlainTextEdit* TextBox() const { return text_; }
  QPushButton* ToggleButton() const { return toggle_; }
  QPushButton* SaveButton() const { return save_; }

 public slots:
  void Toggle();
  // Asks for a file and what to write; writes it and opens it. Cancelling either dialog
  // writes nothing. A file that cannot be written is reported through the prompter and
  // not opened. Returns true when the file was written.
  bool Save();

 private:
  std::string resultText_;
  std::string hexTrace_;
  Prompter& prompter_;
  std::function<void(const QString&)> opener_;
  QPlainTextEdit* text_;
  QPushButton* toggle_;
  QPushButton* save_;
  bool showingDump_ = false;
};

}  // namespace tervane::gui
