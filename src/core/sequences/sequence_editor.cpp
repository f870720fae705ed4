#include "core/sequences/sequence_editor.h"

#include <algorithm>
#include <set>
#include <utility>

#include "core/common/string_table.h"
#include "core/catalogue/command_entry.h"
#include "core/common/charset.h"
#include "core/common/text.h"

namespace tervane {
namespace {

constexpr char kNamePrompt[] = "Digite o nome da sequência. \r\n obs: Não utilize acentos";
constexpr char kInvalidName[] = "Nome inválido";
constexpr char kConfirmDelete[] = "Confirma exclusão?";
constexpr char kNotDeleted[] = "Registro não excluído";
constexpr char kCannotLoad[] = "Não foi possível carregar o arquivo indicado: %s.";
constexpr char kLoadedAgain[] = "\nO arquivo %s foi carregado novamente.";
constexpr char kAllKinds[] = "TODOS";
constexpr char kFileFilter[] = "Arquivos de Sequências de comandos(*.XML)|*.XML||";
constexpr char kFileExtension[] = "*.XML";

// Characters a sequence name loses when it is cleaned.
constexpr std::string_view kRemovedFromNames = "<>\\'\"/!?;.";

// Shows the wait notice for the life of the object.
class WaitScope {
 public:
  explicit WaitScope(WaitNotice* notice) : notice_(notice) {
    if (notice_) notice_->Show(LoadString(str::kAguarde));
  }
  ~WaitScope() {
    if (notice_) notice_->Hide();
  }
  WaitScope(const WaitScope&) = delete;
  WaitScope& operator=(const WaitScope&) = delete;

 private:
  WaitNotice* notice_;
};

}  // namespace

std::string SequenceFileLoadFailureText(const std::string& path) {
  return Format(Cp(kCannotLoad).c_str(), Utf8ToCp1252Lossy(path).c_str());
}

SequenceNameCheck CleanSequenceName(std::string_view typed, std::string& name) {
  std::string cleaned;
  for (char c : typed) {
    // Every byte from 80h up changes in the OEM code page.
    if (static_cast<unsigned char>(c) >= 0x80) return SequenceNameCheck::kInvalid;
    if (kRemovedFromNames.find(c) != std::string_view::npos) continue;
    cleaned += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  if (cleaned.empty()) return SequenceNameCheck::kEmpty;
  name = std::move(cleaned);
  return SequenceNameCheck::kValid;
}

bool AskSequenceName(Prompter& prompter, const std::string& offered, std::string& name) {
  std::string typed = offered;
  if (!prompter.AskText(Cp(kNamePrompt), kMaxSequenceNameLength, typed)) return false;
  switch (CleanSequenceName(typed, name)) {
    case SequenceNameCheck::kValid:
      return true;
    case SequenceNameCheck::kInvalid:
      prompter.ShowMessage("", Cp(kInvalidName));
      return false;
    case SequenceNameCheck::kEmpty:
      prompter.ShowMessage("", LoadString(str::kRegistroNaoSalvo));
      return false;
  }
  return false;
}

bool StoreSequence(CSequenceStore& store, CSequence sequence, Prompter& prompter, WaitNotice* waitNotice) {
  if (store.UpsertSequence(sequence, false) == 1) {
    if (!prompter.AskYesNo("", LoadString(str::kSubstituirRegistro))) {
      prompter.ShowMessage("", LoadString(str::kRegistroNaoSalvo));
      return false;
    }
    store.UpsertSequence(std::move(sequence), true);
  }
  int code = 0;
  {
    WaitScope wait(waitNotice);
    code = store.SaveSequences();
  }
  if (code != 0) {
    prompter.ShowMessage("", LoadString(str::kRegistroNaoSalvo));
    return false;
  }
  return true;
}

int SwitchSequenceFile(CSequenceStore& store, const std::string& chosen, Prompter& prompter,
                       WaitNotice* waitNotice, SequenceLoadResult* reloaded) {
  int code = 0;
  int again = 0;
  {
    WaitScope wait(waitNotice);
    store.Clear();
    code = store.LoadSequences(chosen);
    if (code == 0) {
      store.SetFilePath(chosen);
    } else {
      again = store.LoadSequences(store.FilePath(), reloaded);
    }
  }
  if (code == 0) return 0;
  std::string text = SequenceFileLoadFailureText(chosen);
  if (again == 0) text += Format(Cp(kLoadedAgain).c_str(), Utf8ToCp1252Lossy(store.FilePath()).c_str());
  prompter.ShowMessage("", text);
  return again == 0 ? 1 : -1;
}

// ------------------------------------------------------------------------ SequenceEditor

SequenceEditor::SequenceEditor(const ProgramSettings& settings, Prompter& prompter, WaitNotice* waitNotice,
                               Clock* clock)
    : settings_(settings),
      prompter_(prompter),
      waitNotice_(waitNotice),
      clock_(clock ? *clock : SystemClock()),
      store_(DefaultSequenceFile(settings)),
      kind_(Cp(kAllKinds)) {}

int SequenceEditor::Open() {
  int code = 0;
  SequenceLoadResult loaded;
  {
    WaitScope wait(waitNotice_);
    store_.Clear();
    store_.LoadSequences(store_.FilePath(), &loaded);
    catalogue_ = CommandCatalogue();
    code = LoadCatalogue(settings_.g_workDir, catalogue_);
    ChooseKind(Cp(kAllKinds));
  }
  fileUnreadable_ = loaded.code != 0 && !loaded.missing;
  if (fileUnreadable_) prompter_.ShowMessage("", SequenceFileLoadFailureText(store_.FilePath()));
  chosenSequence_ = -1;
  return code;
}

void SequenceEditor::Reload() {
  WaitScope wait(waitNotice_);
  store_.Clear();
  SequenceLoadResult loaded;
  store_.LoadSequences(store_.FilePath(), &loaded);
  fileUnreadable_ = loaded.code != 0 && !loaded.missing;
  chosenSequence_ = -1;
}

std::vector<std::string> SequenceEditor::Kinds() const {
  std::set<std::string> kinds;
  for (const CommandRecord& c : catalogue_.commands) kinds.insert(c.group);
  std::vector<std::string> list{Cp(kAllKinds)};
  list.insert(list.end(), kinds.begin(), kinds.end());
  return list;
}

void SequenceEditor::ChooseKind(const std::string& kind) {
  kind_ = kind;
  const bool all = kind == Cp(kAllKinds);
  available_.clear();
  for (const CommandRecord& c : catalogue_.commands) {
    if ((all || c.group == kind) && IsCommandEnabled(c, settings_)) available_.push_back(c.title);
  }
  std::sort(available_.begin(), available_.end());
}

std::vector<std::string> SequenceEditor::SequenceNames() const {
  std::vector<std::string> names;
  for (const CSequence& s : store_.Sequences()) names.push_back(s.name);
  return names;
}

void SequenceEditor::ChooseSequence(int index) {
  if (index < 0 || index >= store_.count()) {
    chosenSequence_ = -1;
    return;
  }
  chosenSequence_ = index;
  working_ = store_.Sequences()[static_cast<size_t>(index)];
  chosenCommand_ = -1;
}

std::vector<std::string> SequenceEditor::WorkingTitles() const {
  std::vector<std::string> titles;
  for (const CommandRecord& c : working_.commands) titles.push_back(c.title);
  return titles;
}

void SequenceEditor::ChooseCommand(int index) {
  chosenCommand_ = index >= 0 && index < static_cast<int>(working_.commands.size()) ? index : -1;
}

std::vector<ParameterRow> SequenceEditor::ParameterRows() const {
  std::vector<ParameterRow> rows;
  if (chosenCommand_ < 0) return rows;
  for (const ParameterRecord& p : working_.commands[static_cast<size_t>(chosenCommand_)].parameters) {
    rows.push_back({p.title, LoadString(p.mandatory ? str::kSim : str::kNao), p.value});
  }
  return rows;
}

bool SequenceEditor::AddCommand(const std::string& title) {
  const auto it = std::find_if(catalogue_.commands.begin(), catalogue_.commands.end(),
                               [&](const CommandRecord& c) { return c.title == title; });
  if (it == catalogue_.commands.end()) return false;
  const int previous = chosenCommand_;
  const size_t at = previous < 0 ? working_.commands.size() : static_cast<size_t>(previous) + 1;
  working_.commands.insert(working_.commands.begin() + static_cast<std::ptrdiff_t>(at), *it);
  ChooseCommand(previous + 1);
  return true;
}

bool SequenceEditor::RemoveCommand() {
  if (chosenCommand_ < 0) return false;
  const int removed = chosenCommand_;
  working_.commands.erase(working_.commands.begin() + removed);
  ChooseCommand(removed - 1);
  return true;
}

bool SequenceEditor::EditCommandValues(int index) {
  if (index < 0 || index >= static_cast<int>(working_.commands.size())) return false;
  WalkParameterEditors(working_.commands[static_cast<size_t>(index)].parameters, prompter_, clock_);
  return true;
}

bool SequenceEditor::StoreWorkingUnder(const std::string& offered) {
  std::string name;
  if (!AskSequenceName(prompter_, offered, name)) return false;
  // The file may have been mended or removed meanwhile.
  if (fileUnreadable_) Reload();
  if (fileUnreadable_) {
    prompter_.ShowMessage("", SequenceFileLoadFailureText(store_.FilePath()) + "\n" + LoadString(str::kRegistroNaoSalvo));
    return false;
  }
  CSequence sequence = working_;
  sequence.name = name;
  const bool saved = StoreSequence(store_, std::move(sequence), prompter_, waitNotice_);
  if (saved) working_.name = name;
  Reload();
  return saved;
}

bool SequenceEditor::Save() {
  const std::string offered =
      chosenSequence_ >= 0 ? store_.Sequences()[static_cast<size_t>(chosenSequence_)].name : std::string();
  return StoreWorkingUnder(offered);
}

bool SequenceEditor::New() {
  working_ = CSequence();
  chosenCommand_ = -1;
  const bool saved = StoreWorkingUnder("");
  if (saved) ChooseSequence(store_.count() - 1);
  return saved;
}

bool SequenceEditor::Delete() {
  if (!prompter_.AskYesNo("", Cp(kConfirmDelete))) return false;
  bool done = false;
  if (fileUnreadable_) Reload();
  if (fileUnreadable_) {
    prompter_.ShowMessage("", SequenceFileLoadFailureText(store_.FilePath()) + "\n" + Cp(kNotDeleted));
  } else {
    const std::string name =
        chosenSequence_ >= 0 ? store_.Sequences()[static_cast<size_t>(chosenSequence_)].name : std::string();
    done = store_.RemoveSequence(name) == 0 && store_.SaveSequences() == 0;
    if (!done) prompter_.ShowMessage("", Cp(kNotDeleted));
  }
  Reload();
  ChooseCommand(static_cast<int>(working_.commands.size()) - 1);
  return done;
}

bool SequenceEditor::OpenFile() {
  std::string path;
  if (!prompter_.ChooseOpenFile(Cp(kFileExtension), Cp(kFileFilter), path)) return false;
  chosenSequence_ = -1;
  SequenceLoadResult reloaded;
  const int code = SwitchSequenceFile(store_, path, prompter_, waitNotice_, &reloaded);
  // Either the chosen file or the previous one has been read again.
  fileUnreadable_ = code < 0 && !reloaded.missing;
  return code == 0;
}

SequenceExecution SequenceEditor::Execute(int executions, int waitSeconds, bool stepMode,
                                          const SequenceRunContext& context) const {
  return ExecuteSequence(working_.commands, executions, stepMode, waitSeconds, context);
}

}  // namespace tervane
