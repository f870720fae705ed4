// The Command Dialog: one catalogue command (a copy owned by the dialog), one row per
// parameter with its label, box and "Editar" button, the walk through every editor as the
// dialog opens, and "Ok" to run the command once and show its result.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "core/common/settings.h"
#include "core/catalogue/command_entry.h"
#include "core/catalogue/command_record.h"
#include "core/common/clock.h"
#include "core/common/progress.h"
#include "core/common/prompter.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tervane::gui {

// Runs a command through the exchange; returns the exchange's result code (0 success).
using CommandRunner = std::function<int(CommandRecord&)>;
// Shows the outcome of a run (the "Resultado" window by default).
using ResultPresenter = std::function<void(const CommandRecord&)>;

class CCommandDlg final : public QDialog {
  Q_OBJECT

 public:
  // `runner` may be empty while no exchange is available: "Ok" is then disabled and says
  // why. The settings, prompter, notice and clock must outlive the dialog.
  CCommandDlg(QWidget* parent, CommandRecord command, const ProgramSettings& settings, Prompter& prompter,
              WaitNotice& wait, CommandRunner runner, Clock& clock = SystemClock());

  // The opening: caption, rows, and the walk through the editors (or the offer of the
  // computer's clock). Returns true when the command is to run at once. Call once.
  bool Open();
  // What picking the command from a menu does: Open(), then either run at once or wait
  // for the person. Returns the dialog's result (Accepted after a run).
  int Run();

  // "Ok": copies the shown rows into the command, runs it under the wait notice and shows
  // the result when it failed or when results are to be shown; then ends the dialog.
  void OnOk();
  // "Editar" on row k: runs that parameter's editor and writes what it returns into the
  // row's box, "ERRO" included.
  void OnEdit(int row);

  void SetResultPresenter(ResultPresenter presenter) { presenter_ = std::move(presenter); }

  const CommandRecord& Command() const { return command_; }
  // The exchange's result code, or 1 when the command was not run.
  int RunResult() const { return runResult_; }
  bool Running() const { return running_; }

  QLabel* RowLabelAt(int row) const { return rows_.at(row).label; }
  QLineEdit* RowEditAt(int row) const { return rows_.at(row).edit; }
  QPushButton* RowButtonAt(int row) const { return rows_.at(row).button; }
  QPushButton* OkButton() const { return ok_; }

 public slots:
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  struct Row {
    QLabel* label = nullptr;
    QLineEdit* edit = nullptr;
    QPushButton* button = nullptr;
  };
  int ShownRows() const;
  bool RowShown(int row) const;
  void SetRowText(int row, const std::string& value);
  void FillRows();

  CommandRecord command_;
  std::vector<ParameterRecord> defaults_;  // the catalogue's values, for hidden rows
  const ProgramSettings& settings_;
  Prompter& prompter_;
  WaitNotice& wait_;
  CommandRunner runner_;
  Clock& clock_;
  ResultPresenter presenter_;
  std::array<Row, kCommandDialogRows> rows_;
  QGroupBox* group_;
  QPushButton* ok_;
  QPushButton* cancel_;
  bool opened_ = false;
  bool running_ = false;
  bool ran_ = false;  // the dialog handles one execution
  int runResult_ = 1;
};

}  // namespace tervane::gui
