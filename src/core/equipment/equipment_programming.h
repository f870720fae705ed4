// Programming a printer in technical intervention from an equipment profile: the
// property sheet, the save questions, the programming sequence and its results; and the
// "Programar Equipamento" dialog's three ways in, which all end in that run.
#pragma once

#include <string>
#include <vector>

#include "core/catalogue/command_record.h"
#include "core/common/prompter.h"
#include "core/equipment/profile_pages.h"
#include "core/equipment/profile_record.h"
#include "core/protocol/command_exchange.h"

namespace tervane {

// What a programming run shows that is not a question or a message: the property sheet
// and the results window. The workbench implements it with its pages and dialogs, the
// command line and tests without windows.
class ProgrammingFrontEnd {
 public:
  virtual ~ProgrammingFrontEnd() = default;
  // Shows the sheet modally, the pages bound to `sheet`. Returns true when it was closed
  // with OK (the pages' values are then in `sheet`), false otherwise.
  virtual bool EditProfile(ProfileSheet& sheet) = 0;
  // Shows the accumulated result text and exchange trace of the run, modally.
  virtual void ShowResults(const std::string& resultText, const std::string& hexTrace) = 0;
};

// What a run needs. `exchange.settings` and `exchange.ports` are required for anything to
// be sent; `sequenceProgress` is the sequence's own display (one step per command, its
// cancel ends the run before the next command; null shows nothing); a null prompter
// answers every question No and shows nothing; a null front end accepts the sheet
// unchanged and shows no results. `profileFile` is the profile file; empty means
// equipamentos.xml in g_workDir.
struct ProgrammingContext {
  ExchangeContext exchange;
  ProgressSink* sequenceProgress = nullptr;
  Prompter* prompter = nullptr;
  ProgrammingFrontEnd* frontEnd = nullptr;
  std::string profileFile;
};

// One programming command as it ran.
struct ProgrammedCommand {
  std::string title;
  int result = kOk;          // ExecuteCommand's code
  std::string resultText;
  int st1 = -1;              // status bytes of a complete reply; -1 when none came
  int st2 = -1;

  // True when the printer answered with a status other than "paper low": it refused
  // the command or could not carry it out.
  bool Refused() const { return (st1 > 0 && (st1 & ~0x40) != 0) || st2 > 0; }
};

// What a run did, for the caller to report.
struct ProgrammingOutcome {
  bool accepted = false;        // the sheet was closed with OK
  bool saved = false;           // the profile was written to the profile file
  int commandsBuilt = 0;
  int runResult = kOk;          // the sequence's result code (0 when it ran to the end, -6 cancelled)
  std::vector<ProgrammedCommand> ran;  // the commands executed, the failing one last
  std::string resultText;       // accumulated, with the sequence banners
  std::string hexTrace;
};

// Shows the sheet for `profile` and, on OK, copies the pages back into it (the serial
// number without spaces, the password as typed), asks "Deseja salvar as alterações?" and
// stores the profile when asked to (a serial number is required; an existing one is
// replaced only after "Deseja substituir o registro já existente?"; a profile file that
// exists but cannot be read is never overwritten: "Registro não salvo" is shown), then
// builds the programming commands, runs them as the sequence "Programa maquina" (no
// wait, no step mode; the first failing command ends it) under the wait notice, and shows
// the results. Programming goes on whatever was answered about saving. Cancel on the sheet
// changes nothing and sends nothing.
ProgrammingOutcome RunProgramming(ProfileRecord& profile, const ProgrammingContext& context);

// The "Programar Equipamento" dialog's state: one profile, created with defaults when the
// dialog opens and kept between its runs.
class ProgramEquipmentSession {
 public:
  explicit ProgramEquipmentSession(ProgrammingContext context) : context_(std::move(context)) {}

  // "Carregar configurações existentes": the profile chosen in the browser becomes the
  // session's profile, then the run.
  ProgrammingOutcome ProgramFromStoredProfile(const ProfileRecord& chosen);
  // "Carregar configurações do equipamemto": under the wait notice, the printer's
  // configuration is read into the session's profile (a read that stops early keeps
  // what was read), then the run. `readResult` (when given) receives the read's code.
  ProgrammingOutcome ProgramFromPrinter(int* readResult = nullptr);
  // "Nova Configuração de equipamento": the run with the profile as it stands.
  ProgrammingOutcome ProgramFromCurrentProfile();

  const ProfileRecord& Profile() const { return profile_; }

 private:
  ProgrammingContext context_;
  ProfileRecord profile_;
};

}  // namespace tervane
