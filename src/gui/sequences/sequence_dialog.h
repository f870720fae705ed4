// The "Sequências" window: composes command sequences from the catalogue, stores them in
// the sequence file and runs them. Every rule (lists, choices, name entry, saving with
// the replace question, deleting, switching files, running) lives in SequenceEditor; the
// window shows what the editor holds and forwards the clicks.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "core/common/settings.h"
#include "core/common/progress.h"
#include "core/common/prompter.h"
#include "gui/app/progress_window.h"
#include "core/protocol/command_exchange.h"
#include "core/sequences/sequence_editor.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;

namespace tervane::gui {

// Shows the accumulated outcome of "Executar" (the "Resultado" window by default).
using SequenceResultPresenter = std::function<void(const std::string& resultText, const std::string& hexTrace)>;

class CSequenceDialog final : public QDialog {
  Q_OBJECT

 public:
  // `exchange` is how commands reach the printer (its settings must be `settings`); the
  // settings, prompter, notice and everything the exchange points to must outlive the
  // window. The settings are read at each action, so a change made through "Config."
  // applies to the next run.
  CSequenceDialog(QWidget* parent, const ProgramSettings& settings, Prompter& prompter, WaitNotice& wait,
                  ExchangeContext exchange);
  ~CSequenceDialog() override;

  // The opening: under the wait notice, reads the sequence file and the window's own copy
  // of the catalogue, then fills the lists. A catalogue that cannot be read is reported
  // (the window then offers no commands). Returns 0, or -1 for that catalogue. Call once.
  int Open();
  // What "Sequências" does from the main window: Open(), then the window waits for the
  // person. Returns the dialog's result.
  int Run();

  // --- Wiring ----------------------------------------------------------------------
  // What "Config." opens (the program's settings dialog). Without one the button is
  // disabled. After it returns, the available commands are listed again, since the model
  // filter may have changed.
  void SetSettingsHandler(std::function<void()> handler);
  // What the graphic-header button opens. Without one the button stays disabled, with
  // `whyNot` (when given) as its tip.
  void SetGraphicHeaderHandler(std::function<void()> handler, const QString& whyNot = QString());
  // Opens a file with the desktop's default program (help file, command reference); a
  // seam for tests. Returns false when it could not.
  void SetFileOpener(std::function<bool(const QString&)> opener) { opener_ = std::move(opener); }
  void SetResultPresenter(SequenceResultPresenter presenter) { presenter_ = std::move(presenter); }

  // --- Actions (the buttons and double-clicks) --------------------------------------
  void OnKindChosen(int row);
  void OnSequenceChosen(int row);
  void OnCommandChosen(int row);
  // "Adicionar >>", and a double-click on an available command.
  void OnAdd();
  // "<<Excluir".
  void OnRemove();
  // Double-click on a command of the sequence: its values through the editors.
  void OnEditCommand(int row);
  void OnSave();
  void OnNew();
  void OnDelete();
  void OnOpenFile();
  // "Executar": checks the number of executions (1 to 999) and the wait (0 to 99
  // seconds), then runs the working sequence that many times with the window disabled,
  // and shows the accumulated results when results are to be shown or the run failed.
  // Returns false when a field was out of range and nothing ran.
  bool OnExecute();
  void OnSettings();
  void OnHelp();
  void OnReference();
  void OnGraphicHeader();

  // --- State for callers and tests -------------------------------------------------
  const SequenceEditor& Editor() const { return editor_; }
  // The outcome of the last "Executar".
  const SequenceExecution& LastExecution() const { return last_; }
  bool Running() const { return running_; }

  QListWidget* KindList() const { return kinds_; }
  QListWidget* AvailableList() const { return available_; }
  QListWidget* SequenceList() const { return sequences_; }
  QListWidget* CommandList() const { return commands_; }
  QTreeWidget* ParameterView() const { return parameters_; }
  QCheckBox* StepModeBox() const { return stepMode_; }
  QLineEdit* ExecutionsEdit() const { return executions_; }
  QLineEdit* WaitEdit() const { return wait_; }
  QPushButton* AddButton() const { return add_; }
  QPushButton* RemoveButton() const { return remove_; }
  QPushButton* DeleteButton() const { return delete_; }
  QPushButton* NewButton() const { return new_; }
  QPushButton* OpenButton() const { return open_; }
  QPushButton* ExecuteButton() const { return execute_; }
  QPushButton* SaveButton() const { return save_; }
  QPushButton* SettingsButton() const { return settingsButton_; }
  QPushButton* HelpButton() const { return help_; }
  QPushButton* ReferenceButton() const { return reference_; }
  QPushButton* GraphicHeaderButton() const { return graphicHeader_; }

 public slots:
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void FillKinds();
  void FillAvailable();
  void FillSequences();
  void FillCommands();
  void FillParameters();
  void ClearParameters();
  void UpdateButtons();
  // Reads a number field for "Executar"; out of range (or empty) shows the range
  // message, gives the field the focus and returns false.
  bool ReadNumber(QLineEdit* edit, int lowest, int highest, int& value);
  void OpenWorkFile(const std::string& name);

  const ProgramSettings& settings_;
  Prompter& prompter_;
  WaitNotice& notice_;
  ExchangeContext exchange_;
  SequenceEditor editor_;
  ProgressWindowSink runProgress_;
  SequenceExecution last_;
  SequenceResultPresenter presenter_;
  std::function<bool(const QString&)> opener_;
  std::function<void()> settingsHandler_;
  std::function<void()> graphicHeaderHandler_;
  bool opened_ = false;
  bool running_ = false;

  QWidget* body_;
  QListWidget* kinds_;
  QListWidget* available_;
  QListWidget* sequences_;
  QListWidget* commands_;
  QTreeWidget* parameters_;
  QCheckBox* stepMode_;
  QLineEdit* executions_;
  QLineEdit* wait_;
  QPushButton* add_;
  QPushButton* remove_;
  QPushButton* delete_;
  QPushButton* new_;
  QPushButton* open_;
  QPushButton* execute_;
  QPushButton* save_;
  QPushButton* settingsButton_;
  QPushButton* help_;
  QPushButton* reference_;
  QPushButton* graphicHeader_;
};

}  // namespace tervane::gui
