#include "core/equipment/equipment_programming.h"

#include <algorithm>
#include <utility>

#include "core/common/string_table.h"
#include "core/equipment/configuration_reader.h"
#include "core/equipment/profile_file.h"
#include "core/equipment/programming_commands.h"
#include "core/sequences/sequence_runner.h"
#include "core/sequences/sequence_store.h"

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

// The outcome of one command as the run left it.
ProgrammedCommand Ran(const CommandRecord& command) {
  ProgrammedCommand ran{command.title, kOk, command.ResultText};
  // A complete fixed reply: ACK, the declared data, ST1, ST2.
  const size_t at = static_cast<size_t>(1 + std::max(command.declaredReturnSize, 0));
  const size_t expected = static_cast<size_t>(std::max(command.ExpectedReplyLength, 0));
  if (expected >= at + 2 && command.replyData.size() >= expected) {
    ran.st1 = command.replyData[at];
    ran.st2 = command.replyData[at + 1];
  }
  return ran;
}

}  // namespace

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
    CSequence sequence{kProgrammingSequenceName, std::move(commands)};
    CSequenceRunner runner(std::move(sequence.commands), false, 0);
    SequenceRunContext run{context.exchange, context.sequenceProgress, context.prompter};
    outcome.runResult = runner.Run(run);
    outcome.resultText = runner.ResultText();
    outcome.hexTrace = runner.HexTrace();
    // A command that was run carries at least its "Comando" line.
    for (const CommandRecord& command : runner.Commands()) {
      if (!command.ResultText.empty()) outcome.ran.push_back(Ran(command));
    }
    // A failing command ends the run; a cancel between commands leaves the last one good.
    if (outcome.runResult != kOk && outcome.runResult != kSequenceCancelled && !outcome.ran.empty()) {
      outcome.ran.back().result = outcome.runResult;
    }
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
