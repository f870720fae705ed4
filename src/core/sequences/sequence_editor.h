// The rules of the "Sequências" window, without the window: its lists, the working
// sequence it composes, the name entry and its validation, saving with the replace
// question, "Nova", deleting, switching files with its fall-back, and "Executar". Every
// question and message goes through the Prompter, every "Aguarde" through the
// WaitNotice, so the workbench's window only shows what this holds and forwards clicks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/common/settings.h"
#include "core/catalogue/catalogue.h"
#include "core/common/clock.h"
#include "core/common/progress.h"
#include "core/common/prompter.h"
#include "core/sequences/sequence_runner.h"
#include "core/sequences/sequence_store.h"

namespace tervane {

// Longest sequence name the name entry accepts.
inline constexpr int kMaxSequenceNameLength = 20;

// The outcome of cleaning a typed sequence name.
enum class SequenceNameCheck {
  kValid,
  kInvalid,   // a character outside 7-bit ASCII: "Nome inválido"
  kEmpty,     // nothing left after cleaning: "Registro não salvo"
};

// Cleans a typed name as the name entry does: refused when it holds a character outside
// 7-bit ASCII (accented letters included); otherwise upper-cased with every
// < > \ ' " / ! ? ; . removed, and refused when nothing is left. `name` receives the
// cleaned name when the result is kValid.
SequenceNameCheck CleanSequenceName(std::string_view typed, std::string& name);

// Asks for a sequence name in a text box of 20 characters starting with `offered`, then
// cleans it, showing "Nome inválido" or "Registro não salvo" when it is refused.
// Returns true with the cleaned name; false when the person cancelled or the name was
// refused.
bool AskSequenceName(Prompter& prompter, const std::string& offered, std::string& name);

// Stores `sequence` under its name in `store` and saves the file: when the name exists,
// asks "Deseja substituir o registro já existente?" and on Yes replaces it (the sequence
// moves to the end of the file); on No shows "Registro não salvo". A failed save shows
// "Registro não salvo" too. The save runs under `waitNotice` (null: none). Returns true
// when the file was written; on false the list may hold the unsaved change, so callers
// read the file again.
bool StoreSequence(CSequenceStore& store, CSequence sequence, Prompter& prompter, WaitNotice* waitNotice);

// Switches `store` to the file at `chosen`: empties the list and reads the file; on
// success it becomes the current file. On failure the current file is read again and
// stays current, and the person is told "Não foi possível carregar o arquivo indicado:
// <chosen>." (followed by "\nO arquivo <current> foi carregado novamente." when the
// current file could be read again). Returns 0 when the chosen file was loaded, 1 when
// it failed and the current file was read again, -1 when that failed too (`reloaded`,
// when given, then says why).
int SwitchSequenceFile(CSequenceStore& store, const std::string& chosen, Prompter& prompter,
                       WaitNotice* waitNotice, SequenceLoadResult* reloaded = nullptr);

// "Não foi possível carregar o arquivo indicado: <path>." (Windows-1252), the message
// for a sequence file that cannot be read.
std::string SequenceFileLoadFailureText(const std::string& path);

// One row of the parameter view: title, "sim" or "não" for mandatory, value.
struct ParameterRow {
  std::string title;
  std::string mandatory;
  std::string value;
};

class SequenceEditor {
 public:
  // `settings` gives g_workDir (sequence file and catalogue) and the model filter; it,
  // the prompter and the optional wait notice and clock must outlive the editor.
  SequenceEditor(const ProgramSettings& settings, Prompter& prompter, WaitNotice* waitNotice = nullptr,
                 Clock* clock = nullptr);

  // Opening: under the wait notice, reads the sequence file (a missing one leaves the
  // list empty; an unreadable one is reported and protected, see FileUnreadable) and
  // loads the editor's own copy of the catalogue, then lists every enabled command.
  // Returns 0, or -1 when the catalogue could not be loaded (the editor then offers no
  // commands to add).
  int Open();

  const CSequenceStore& Store() const { return store_; }
  const CommandCatalogue& Catalogue() const { return catalogue_; }

  // True while the current sequence file exists but could not be read: saving and
  // deleting read it again first and are refused while it still cannot be read, so that
  // a file the program cannot read is never replaced by the empty list shown in its
  // place.
  bool FileUnreadable() const { return fileUnreadable_; }

  // --- Catalogue side ------------------------------------------------------------------
  // "TODOS" followed by every distinct command kind of the catalogue, sorted.
  std::vector<std::string> Kinds() const;
  // Chooses a kind ("TODOS": all); the available list then holds the titles of the
  // catalogue commands of that kind for which IsCommandEnabled holds, sorted.
  void ChooseKind(const std::string& kind);
  const std::string& ChosenKind() const { return kind_; }
  const std::vector<std::string>& AvailableTitles() const { return available_; }

  // --- Sequence list -----------------------------------------------------------------
  std::vector<std::string> SequenceNames() const;
  // The index of the chosen sequence in the list, or -1.
  int ChosenSequence() const { return chosenSequence_; }
  // Chooses a sequence: the working sequence becomes a copy of it, no command is chosen.
  // An index out of range chooses none and leaves the working sequence as it is.
  void ChooseSequence(int index);
  // "Excluir" is enabled when there are sequences.
  bool DeleteEnabled() const { return store_.count() > 0; }

  // --- Working sequence --------------------------------------------------------------
  const CSequence& Working() const { return working_; }
  std::vector<std::string> WorkingTitles() const;
  int ChosenCommand() const { return chosenCommand_; }
  // Chooses a command of the working sequence (-1 or out of range: none).
  void ChooseCommand(int index);
  // The parameter view of the chosen command; empty when none is chosen.
  std::vector<ParameterRow> ParameterRows() const;

  // "Adicionar >>": copies the first catalogue command titled `title` right after the
  // chosen command (at the end when none is chosen); the entry after the previous choice
  // becomes the choice. Returns false when no catalogue command has that title.
  bool AddCommand(const std::string& title);
  // "<<Excluir": removes the chosen command; the entry before it becomes the choice.
  // Returns false when no command is chosen.
  bool RemoveCommand();
  // Double-click on a command: asks for each editable parameter's value through its
  // kind's editor, in order; a cancelled editor ends the pass, keeping the values
  // already changed. Returns false when the index is out of range.
  bool EditCommandValues(int index);

  // --- Buttons -----------------------------------------------------------------------
  // "Salvar": asks a name (offering the chosen sequence's) and stores the working
  // sequence under it with the replace question, then reads the file again. Returns true
  // when the file was written.
  bool Save();
  // "Nova": empties the working sequence, then stores it as "Salvar" does under a new
  // name; afterwards the last sequence of the list is chosen. Returns true when the file
  // was written.
  bool New();
  // "Excluir": asks "Confirma exclusão?"; on Yes removes the chosen sequence and saves,
  // showing "Registro não excluído" when either fails; then reads the file again, keeps
  // the working sequence and chooses its last command. Returns true when the sequence
  // was removed and the file written.
  bool Delete();
  // "Abrir": asks for a sequence file and switches to it (SwitchSequenceFile). Returns
  // true when the chosen file was loaded; false when cancelled or it failed.
  bool OpenFile();
  // "Executar": runs copies of the working sequence's commands (ExecuteSequence).
  SequenceExecution Execute(int executions, int waitSeconds, bool stepMode, const SequenceRunContext& context) const;

 private:
  // Empties the list and reads the current file again, under the wait notice; then no
  // sequence is chosen.
  void Reload();
  bool StoreWorkingUnder(const std::string& offered);

  const ProgramSettings& settings_;
  Prompter& prompter_;
  WaitNotice* waitNotice_;
  Clock& clock_;
  CSequenceStore store_;
  CommandCatalogue catalogue_;
  bool fileUnreadable_ = false;
  std::string kind_;
  std::vector<std::string> available_;
  CSequence working_;
  int chosenSequence_ = -1;
  int chosenCommand_ = -1;
};

}  // namespace tervane
