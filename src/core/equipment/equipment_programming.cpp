#include "core/equipment/equipment_programming.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <utility>

#include "core/common/string_table.h"
#include "core/common/charset.h"
#include "core/common/text.h"
#include "core/equipment/configuration_reader.h"
#include "core/equipment/profile_file.h"
#include "core/equipment/programming_commands.h"
#include "core/sequences/sequence_runner.h"
#include "core/sequences/sequence_store.h"

namespace tervane {
namespace {

constexpr int kSerialRequired = 33008;      // "Para salvar o registro, é necessário informar ..."

bool Ask(Prompter* prompter, int question) {
  return prompter != nullptr && prompter->AskYesNo(LoadString(str::kTervane), LoadString(question));
}

void Show(Prompter* prompter, const std::string& text) {
  if (prompter) prompter->ShowMessage(LoadString(str::kTervane), text);
}

// The save questions of a run. Returns true when the profile reached the file.
bool SaveEditedProfile(const ProfileRecord& profile, const ProgrammingContext& context, const ReadNotes& notes) {
  Prompter* prompter = context.prompter;
  if (!Ask(prompter, str::kSalvarAlteracoes)) return false;
  if (notes.incomplete) {
    // Half a read never replaces (or becomes) a stored profile.
    Show(prompter, LoadString(str::kRegistroNaoSalvo) + "\r\n" + notes.warning);
    return false;
  }
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
    Show(prompter, LoadString(str::kRegistroNaoSalvo) + "\r\n" + info.description);
    return false;
  }
  if (StoreProfile(list, profile, false)) {
    if (!Ask(prompter, str::kSubstituirRegistro)) {
      Show(prompter, LoadString(str::kRegistroNaoSalvo));
      return false;
    }
    StoreProfile(list, profile, true);
  }
  std::string error;
  if (SaveProfiles(path, list, &error) != 0) {
    Show(prompter, LoadString(str::kRegistroNaoSalvo) + "\r\n" + error);
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
  const ReplyStatus status = StatusOfReply(command);
  return ProgrammedCommand{command.title, kOk, command.ResultText, status.st1, status.st2};
}

bool IsEscape(const CommandRecord& command, const char* escape) { return command.escapeText == escape; }

// Seconds since 1970 of a DDMMYY HHMMSS pair read as UTC; false when not a valid one.
bool ProfileSeconds(const std::string& date, const std::string& time, std::int64_t* seconds) {
  if (date.size() != 6 || time.size() != 6) return false;
  for (char c : date + time) {
    if (c < '0' || c > '9') return false;
  }
  std::tm tm{};
  tm.tm_mday = Atoi(date.substr(0, 2));
  tm.tm_mon = Atoi(date.substr(2, 2)) - 1;
  tm.tm_year = 100 + Atoi(date.substr(4, 2));
  tm.tm_hour = Atoi(time.substr(0, 2));
  tm.tm_min = Atoi(time.substr(2, 2));
  tm.tm_sec = Atoi(time.substr(4, 2));
  if (tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_hour > 23 || tm.tm_min > 59 ||
      tm.tm_sec > 59) {
    return false;
  }
  *seconds = static_cast<std::int64_t>(timegm(&tm));
  return true;
}

}  // namespace

bool ProgrammingCommandMayRun(size_t index, const std::vector<CommandRecord>& commands) {
  for (size_t i = 0; i < index && i < commands.size(); ++i) {
    const CommandRecord& before = commands[i];
    if (before.ResultText.empty() || !StatusOfReply(before).Refused()) continue;
    // Owner data, clock, till and store: nothing after them is sent.
    if (IsEscape(before, "4") || IsEscape(before, "2") || IsEscape(before, "17")) return false;
    if (IsEscape(before, "36") && IsEscape(commands[index], "38")) return false;
    if (IsEscape(before, "80 63") && IsEscape(commands[index], "80 57")) return false;
  }
  return true;
}

std::string ClockDistanceWarning(const ProfileRecord& profile, const CivilTime& now) {
  const std::string shown = profile.date + " " + profile.time;
  const std::string computer = Format("%02d%02d%02d %02d%02d%02d", now.day, now.month, now.year % 100, now.hour,
                                      now.minute, now.second);
  std::int64_t wanted = 0;
  std::tm tm{};
  tm.tm_year = now.year - 1900;
  tm.tm_mon = now.month - 1;
  tm.tm_mday = now.day;
  tm.tm_hour = now.hour;
  tm.tm_min = now.minute;
  tm.tm_sec = now.second;
  const std::int64_t host = static_cast<std::int64_t>(timegm(&tm));
  if (!ProfileSeconds(profile.date, profile.time, &wanted)) {
    return Utf8ToCp1252Lossy("A data e hora do perfil (") + shown +
           Utf8ToCp1252Lossy(") não são válidas; o relógio do computador marca ") + computer + ".";
  }
  if (std::llabs(wanted - host) <= 24 * 3600) return {};
  return Utf8ToCp1252Lossy("A data e hora do perfil (") + shown +
         Utf8ToCp1252Lossy(") estão a mais de um dia do relógio do computador (") + computer + ").";
}

void LoadComputerClock(ProfileRecord& profile, const CivilTime& now) {
  GeneralInformationPage page;
  page.LoadComputerClock(now);
  profile.date = page.date;
  profile.time = page.time;
}

std::string RefusalSummary(const ProgrammingOutcome& outcome) {
  if (outcome.refused.empty()) return Utf8ToCp1252Lossy("Nenhum comando recusado pelo equipamento.\r\n");
  auto list = [](const std::vector<std::string>& titles) {
    std::string text;
    for (const std::string& t : titles) text += (text.empty() ? "" : "; ") + t;
    return text;
  };
  std::string text = Format("%zu ", outcome.refused.size()) +
                     Utf8ToCp1252Lossy(outcome.refused.size() == 1 ? "comando recusado pelo equipamento: "
                                                                   : "comandos recusados pelo equipamento: ") +
                     list(outcome.refused) + "\r\n";
  if (!outcome.skipped.empty()) {
    text += Format("%zu ", outcome.skipped.size()) +
            Utf8ToCp1252Lossy(outcome.skipped.size() == 1 ? "comando não enviado, por depender de um recusado: "
                                                          : "comandos não enviados, por dependerem de um recusado: ") +
            list(outcome.skipped) + "\r\n";
  }
  return text;
}

ProgrammingOutcome RunProgramming(ProfileRecord& profile, const ProgrammingContext& context, const ReadNotes& notes) {
  ProgrammingOutcome outcome;
  static const ProgramSettings kNoSettings;
  const ProgramSettings& settings = context.exchange.settings ? *context.exchange.settings : kNoSettings;

  ProfileSheet sheet = MakeProfileSheet(profile, settings);
  sheet.readWarning = notes.warning;
  sheet.unreadSwitches = notes.unreadSwitches;
  sheet.unreadFromStored = notes.unreadFromStored;
  if (context.frontEnd && !context.frontEnd->EditProfile(sheet)) return outcome;
  outcome.accepted = true;
  ApplyProfileSheet(sheet, profile);

  outcome.saved = SaveEditedProfile(profile, context, notes);

  WaitNoticeScope wait(context.exchange.waitNotice);
  // Values the model cannot take are refused here, before anything is sent.
  outcome.fitProblems = ProfileFitProblems(profile, settings);
  if (!outcome.fitProblems.empty()) {
    outcome.runResult = kWrongSize;
    outcome.resultText = FitProblemsText(outcome.fitProblems);
    if (context.frontEnd) context.frontEnd->ShowResults(outcome.resultText, outcome.hexTrace);
    return outcome;
  }
  ProfileRecord toSend = profile;
  if (context.clockSource == ClockSource::kComputer) {
    Clock& clock = context.exchange.clock ? *context.exchange.clock : SystemClock();
    LoadComputerClock(toSend, clock.LocalNow());
  }
  std::vector<CommandRecord> commands = BuildProgrammingCommands(toSend, settings, context.prompter);
  outcome.commandsBuilt = static_cast<int>(commands.size());
  if (context.exchange.settings && context.exchange.ports) {
    CSequence sequence{kProgrammingSequenceName, std::move(commands)};
    CSequenceRunner runner(std::move(sequence.commands), false, 0);
    runner.SetFilter(ProgrammingCommandMayRun);
    SequenceRunContext run{context.exchange, context.sequenceProgress, context.prompter};
    outcome.runResult = runner.Run(run);
    outcome.hexTrace = runner.HexTrace();
    // A command that was run carries at least its "Comando" line; one skipped after a
    // refusal carries nothing.
    bool reached = true;
    for (size_t i = 0; i < runner.Commands().size(); ++i) {
      const CommandRecord& command = runner.Commands()[i];
      if (!command.ResultText.empty()) {
        outcome.ran.push_back(Ran(command));
        if (outcome.ran.back().Refused()) outcome.refused.push_back(command.title);
      } else if (reached && !ProgrammingCommandMayRun(i, runner.Commands())) {
        outcome.skipped.push_back(command.title);
      } else {
        reached = false;  // the run ended before this command (failure or cancel)
      }
    }
    // A failing command ends the run; a cancel between commands leaves the last one good.
    if (outcome.runResult != kOk && outcome.runResult != kSequenceCancelled && !outcome.ran.empty()) {
      outcome.ran.back().result = outcome.runResult;
    }
    if (outcome.runResult != kOk) outcome.skipped.clear();
    outcome.summary = RefusalSummary(outcome);
    outcome.resultText = outcome.summary + runner.ResultText();
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
  ConfigurationReadReport report;
  {
    WaitNoticeScope wait(context_.exchange.waitNotice);
    read = ReadEquipmentConfiguration(profile_, context_.exchange, context_.prompter, &report);
  }
  if (readResult) *readResult = read;
  ReadNotes notes;
  notes.warning = report.Warning();
  notes.incomplete = !report.Whole();
  notes.unreadSwitches = true;
  const std::string path = context_.profileFile.empty() && context_.exchange.settings
                               ? ProfileFilePath(*context_.exchange.settings)
                               : context_.profileFile;
  ProfileList stored;
  if (!path.empty() && LoadProfiles(path, stored) == 0) notes.unreadFromStored = KeepUnreadFields(stored, profile_);
  return RunProgramming(profile_, context_, notes);
}

ProgrammingOutcome ProgramEquipmentSession::ProgramFromCurrentProfile() { return RunProgramming(profile_, context_); }

}  // namespace tervane
