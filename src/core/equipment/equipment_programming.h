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
#include "core/equipment/programming_commands.h"
#include "core/equipment/reply_status.h"
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
// Where the clock command's date and time come from: the profile's fields (what the
// pages show), or the computer's clock at the moment the command is built ("Carregar do
// computador").
enum class ClockSource { kProfile, kComputer };

struct ProgrammingContext {
  ExchangeContext exchange;
  ClockSource clockSource = ClockSource::kProfile;
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
  bool Refused() const { return ReplyStatus{st1, st2}.Refused(); }
};

// Which programming commands are not sent once the printer refused an earlier one:
// - the owner data, the date and time, and the till and store numbers stop the run: a
//   printer takes nothing more in intervention without its owner (a wrong password
//   refuses the owner command), and what follows is recorded under the clock and the
//   numbers the printer holds;
// - a refused rate list skips the ISS binding, whose positions are those rates;
// - a refused restaurant-or-store choice skips the conference-coupon parameter.
// The cliché, the totalizer names and the option switches depend on nothing after them.
// Returns true when command `index` of `commands` (as built by BuildProgrammingCommands)
// is to be sent, given the replies of those before it.
bool ProgrammingCommandMayRun(size_t index, const std::vector<CommandRecord>& commands);

// "A data e hora do perfil (...) estão a mais de um dia do relógio do computador (...)"
// when the profile's date and time (DDMMYY HHMMSS) are more than a day away from `now`,
// or are not a valid date and time; empty otherwise.
std::string ClockDistanceWarning(const ProfileRecord& profile, const CivilTime& now);

// The date and time fields of `profile` set to `now`, as "Carregar do computador" does.
void LoadComputerClock(ProfileRecord& profile, const CivilTime& now);

// Notes for the sheet of a run that starts from a read of the printer.
struct ReadNotes {
  std::string warning;           // the read was not whole: what was and was not read
  bool incomplete = false;       // then the profile is never saved
  bool unreadSwitches = false;   // the option switches and restaurant settings were not read
  bool unreadFromStored = false; // ... and were taken from the stored profile
};

// What a run did, for the caller to report.
struct ProgrammingOutcome {
  bool accepted = false;        // the sheet was closed with OK
  std::vector<FitProblem> fitProblems;  // values the model cannot take: nothing was sent
  bool saved = false;           // the profile was written to the profile file
  int commandsBuilt = 0;
  int runResult = kOk;          // the sequence's result code (0 when it ran to the end, -6 cancelled)
  std::vector<ProgrammedCommand> ran;  // the commands executed, the failing one last
  std::vector<std::string> refused;    // titles of the commands the printer refused
  std::vector<std::string> skipped;    // titles not sent because they depend on a refused one
  std::string summary;          // how many were refused and which; also at the top of resultText
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
//
// Before anything is sent, values that do not fit the selected model end the run with
// -3 and their names in the results (ProfileFitProblems). A refusal does not end the
// sequence by itself, but the commands that depend on a refused one are not sent
// (ProgrammingCommandMayRun); the results then begin with how many were refused and
// which. With `notes` from an incomplete read the profile is never saved.
ProgrammingOutcome RunProgramming(ProfileRecord& profile, const ProgrammingContext& context,
                                  const ReadNotes& notes = {});

// "N comando(s) recusado(s) pelo equipamento: A, B" and the commands not sent after them,
// CR LF lines; "Nenhum comando recusado pelo equipamento." when none was.
std::string RefusalSummary(const ProgrammingOutcome& outcome);

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
  // what was read, and the sheet says so; such a profile is never saved), the values the
  // printer does not report are taken from the stored profile of that serial number when
  // there is one, then the run. `readResult` (when given) receives the read's code.
  ProgrammingOutcome ProgramFromPrinter(int* readResult = nullptr);
  // "Nova Configuração de equipamento": the run with the profile as it stands.
  ProgrammingOutcome ProgramFromCurrentProfile();

  const ProfileRecord& Profile() const { return profile_; }

 private:
  ProgrammingContext context_;
  ProfileRecord profile_;
};

}  // namespace tervane
