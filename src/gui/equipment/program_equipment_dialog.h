// CProgramEquipmentDlg, "Programar Equipamento": programs a printer in technical
// intervention from a stored profile, from the configuration read back from the printer,
// or from the dialog's own profile. Each way ends in the core's programming run, for
// which this dialog is the front end: it shows the property sheet and the results.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "core/common/clock.h"
#include "core/common/prompter.h"
#include "core/equipment/equipment_programming.h"
#include "gui/app/progress_window.h"

class QPushButton;

namespace tervane::gui {

class CProgramEquipmentDlg final : public QDialog, public ProgrammingFrontEnd {
  Q_OBJECT

 public:
  // `exchange` is how commands reach the printer (its settings are also the model and the
  // work folder); `prompter` answers the questions and runs the cliché editor. Both, and
  // what `exchange` points to, must outlive the dialog. `profileFile` empty means
  // equipamentos.xml in the work folder.
  CProgramEquipmentDlg(QWidget* parent, const ExchangeContext& exchange, Prompter& prompter,
                       std::string profileFile = {});
  ~CProgramEquipmentDlg() override;

  // ProgrammingFrontEnd: the property sheet and the results window, both modal.
  bool EditProfile(ProfileSheet& sheet) override;
  void ShowResults(const std::string& resultText, const std::string& hexTrace) override;

  // The three ways in. Each returns what the run did.
  // "Carregar configurações existentes": the browser, then the run when a profile was
  // chosen (nothing happens otherwise; the outcome is then not accepted).
  ProgrammingOutcome ProgramFromStoredProfile();
  // "Carregar configurações do equipamemto": the printer's configuration, then the run.
  ProgrammingOutcome ProgramFromPrinter();
  // "Nova Configuração de equipamento": the dialog's profile as it stands.
  ProgrammingOutcome ProgramFromCurrentProfile();

  const ProfileRecord& Profile() const { return session_.Profile(); }
  const ProgrammingOutcome& LastOutcome() const { return last_; }
  // The read's code of the last "Carregar configurações do equipamemto" (0, or -4).
  int LastReadResult() const { return lastRead_; }
  // What the sheets' "Ajuda" does; by default the help file opened by the desktop.
  void SetHelp(std::function<void()> help) { help_ = std::move(help); }

  // True while one of the ways in is running: the buttons are disabled and the dialog
  // does not close, since the run pumps events and a second run would share its port.
  bool Running() const { return running_; }

  QPushButton* StoredButton() const { return stored_; }
  QPushButton* PrinterButton() const { return printer_; }
  QPushButton* NewButton() const { return new_; }
  QPushButton* CancelButton() const { return cancel_; }

 public slots:
  void reject() override;

 private:
  class RunScope;
  ProgrammingOutcome Finish(ProgrammingOutcome outcome);

  Prompter& prompter_;
  WaitNotice* waitNotice_;
  Clock& clock_;
  std::string profileFile_;
  ProgressWindowSink sequenceProgress_;
  ProgramEquipmentSession session_;
  ProgrammingOutcome last_;
  int lastRead_ = 0;
  bool running_ = false;
  std::function<void()> help_;
  QPushButton* stored_;
  QPushButton* printer_;
  QPushButton* new_;
  QPushButton* cancel_;
};

}  // namespace tervane::gui
