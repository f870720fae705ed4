#include "equipment/equipment_programming.h"

#include <algorithm>
#include <utility>

#include "app/string_table.h"
#include "common/charset.h"
#include "common/text.h"
#include "equipment/configuration_reader.h"
#include "equipment/profile_file.h"
#include "equipment/programming_commands.h"

namespace tervane {
namespace {

constexpr int kAppCaption = 32915;          // "Tervane"
constexpr int kSaveChanges = 32922;         // "Deseja salvar as alterações?"
constexpr int kReplaceExisting = 32892;     // "Deseja substituir o registro já existente?"
constexpr int kNotSaved = 32887;            // "Registro não salvo"
constexpr int kSerialRequired = 33008;      // "Para salvar o registro, é necessário informar ..."

bool Ask(Prompter* prompter, int question) {
  return prompter != nullptr && prompter->AskYesNo(LoadString(kAppCaption), LoadString(question));
}

void Show(Prompter* prompter, const std::string& text) {
  if (prompter) prompter->ShowMessage(LoadString(kAppCaption), text);
}

std::string Banner(const char* utf8) { return "\r\n" + Utf8ToCp1252Lossy(utf8) + "\r\n"; }

// The save questions of a run. Returns true when the profile reached the file.
bool SaveEditedProfile(const ProfileRecord& profile, const ProgrammingContext& context) {
  Prompter* prompter = context.prompter;
  if (!Ask(prompter, kSaveChanges)) return false;
  if (WithoutSpaces(profile.serialNumber).empty()) {
    Show(prompter, LoadString(kSerialRequired));
    return false;
  }
  const std::string path = context.profileFile.empty() && context.exchange.settings
                               ? ProfileFilePath(*context.exchange.settings)
                               : context.profileFile;
  ProfileList list;
  ProfileLoadInfo info;
  if (LoadProfiles(path, list, &info) != 0 && !info.fileMissing) {
    // Saving now would replace every profile of a file that could not be read.
    Show(prompter, LoadString(kNotSaved) + "\r\n" + info.description);
    return false;
  }
  if (StoreProfile(list, profile, false)) {
    if (!Ask(prompter, kReplaceExisting)) {
      Show(prompter, LoadString(kNotSaved));
      return false;
    }
    StoreProfile(list, profile, true);
  }
  std::string error;
  if (SaveProfiles(path, list, &error) != 0) {
    Show(prompter, LoadString(kNotSaved) + "\r\n" + error);
    return false;
  }
  return true;
}

// Shows the wait notice for as long as it lives.
class WaitNoticeScope {
 public:
  explicit WaitNoticeScope(WaitNotice* notice) : notice_(notice) {
    if (notice_) notice_->Show(LoadString(str::kAguarde));
  }
  ~WaitNoticeScope() {
    if (notice_) notice_->Hide();
  }
  WaitNoticeScope(const WaitNoticeScope&) = delete;
  WaitNoticeScope& operator=(const WaitNoticeScope&) = delete;

 private:
  WaitNotice* notice_;
};

}  // namespace

int RunProgrammingSequence(std::vector<CommandRecord>& commands, const ExchangeContext& context,
                           ProgrammingOutcome& outcome) {
  outcome.resultText = Banner("***Início de execução de sequência de comandos***");
  outcome.hexTrace.clear();
  outcome.ran.clear();
  int code = kOk;
  for (CommandRecord& command : commands) {
    code = ExecuteCommand(command, context);
    ProgrammedCommand ran{command.title, code, command.ResultText};
    // A fixed reply: ACK, the declared data, ST1, ST2.
    const size_t at = static_cast<size_t>(1 + std::max(command.declaredReturnSize, 0));
    if (code == kOk && command.replyData.size() >= at + 2) {
      ran.st1 = command.replyData[at];
      ran.st2 = command.replyData[at + 1];
    }
    outcome.ran.push_back(std::move(ran));
    outcome.resultText += command.ResultText;
    outcome.hexTrace += command.HexTrace;
    if (code != kOk) break;
  }
  outcome.resultText += "\r\n" + Banner("***Fim de execução de sequência de comandos***");
  outcome.runResult = code;
  return code;
}

ProgrammingOutcome RunProgramming(ProfileRecord& profile, const ProgrammingContext& context) {
  ProgrammingOutcome outcome;
  static const ProgramSettings kNoSettings;
  const ProgramSettings& settings = context.exchange.settings ? *context.exchange.settings : kNoSettings;

  ProfileSheet sheet = MakeProfileSheet(profile, settings);
  if (context.frontEnd && !context.frontEnd->EditProfile(sheet)) return outcome;
  outcome.accepted = true;
  ApplyProfileSheet(sheet, profile);

  outcome.saved = SaveEditedProfile(profile, context);

  WaitNoticeScope wait(context.exchange.waitNotice);
  std::vector<CommandRecord> commands = BuildProgrammingCommands(profile, settings, context.prompter);
  outcome.commandsBuilt = static_cast<int>(commands.size());
  if (context.exchange.settings && context.exchange.ports) {
    RunProgrammingSequence(commands, context.exchange, outcome);
  } else {
    outcome.runResult = kExchangeFailed;
  }
  if (context.frontEnd) context.frontEnd->ShowResults(outcome.resultText, outcome.hexTrace);
  return outcome;
}

ProgrammingOutcome ProgramEquipmentSession::ProgramFromStoredProfile(const ProfileRecord& chosen) {
  profile_ = chosen;
  return RunProgramming(profile_, context_);
}

ProgrammingOutcome ProgramEquipmentSession::ProgramFromPrinter(int* readResult) {
  int read = kOk;
  {
    WaitNoticeScope wait(context_.exchange.waitNotice);
    read = ReadEquipmentConfiguration(profile_, context_.exchange, context_.prompter);
  }
  if (readResult) *readResult = read;
  return RunProgramming(profile_, context_);
}

ProgrammingOutcome ProgramEquipmentSession::ProgramFromCurrentProfile() { return RunProgramming(profile_, context_); }

}  // namespace tervane
