#include "cli/equipment_command.h"

#include <CLI/CLI.hpp>

#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <ostream>

#include "core/common/string_table.h"
#include "core/app/model_table.h"
#include "core/app/printer_detection.h"
#include "cli/batch_prompter.h"
#include "cli/json_output.h"
#include "cli/cli_support.h"
#include "cli/profile_text.h"
#include "cli/terminal_dialogs.h"
#include "cli/terminal_progress.h"
#include "core/common/charset.h"
#include "core/common/text.h"
#include "core/equipment/configuration_reader.h"
#include "core/equipment/equipment_programming.h"
#include "core/equipment/profile_file.h"
#include "core/equipment/profile_pages.h"
#include "core/equipment/programming_commands.h"
#include "core/protocol/frame_builder.h"
#include "core/transport/port_factory.h"

namespace tervane::cli {
namespace {

// The sheet of a run without windows: the stored values as they are, the password from
// the command line (or the page's default).
class UnattendedSheet final : public ProgrammingFrontEnd {
 public:
  explicit UnattendedSheet(const std::string* password) : password_(password) {}
  bool EditProfile(ProfileSheet& sheet) override {
    if (password_) sheet.general.password = *password_;
    return true;
  }
  void ShowResults(const std::string&, const std::string&) override {}

 private:
  const std::string* password_;
};

// Upper-case hexadecimal: the protocol reads only "A".."F" as digits.
std::string UpperHex(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// One line from `in` (standard input when null), not echoed when it is a terminal.
bool ReadSecretLine(std::istream* in, std::ostream& err, const char* prompt, std::string& line) {
  err << prompt << std::flush;
  if (in != nullptr) return static_cast<bool>(std::getline(*in, line)) && !line.empty();
  termios saved{};
  const bool tty = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (tty) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  const bool got = static_cast<bool>(std::getline(std::cin, line));
  if (tty) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    err << '\n';
  }
  return got && !line.empty();
}

int ExitFor(int code) {
  return code == kSequenceCancelled ? kExitSequenceCancelled : ExitStatusFor(code);
}

// The ports, clock and progress displays of one command run against a printer.
class PrinterLink {
 public:
  PrinterLink(ProgramSettings& settings, const CliEnvironment& environment, const PrinterOptions& options,
              const OutputOptions& output, std::ostream& err)
      : clock_(environment.clock ? *environment.clock : SystemClock()),
        systemPorts_(PortContext{&settings, &clock_}),
        exchangeProgress_(err, environment.progress != nullptr || ShowProgressOnStderr(options.progress)),
        sequenceProgress_(environment.progress, output),
        interrupt_(environment.catchInterrupt) {
    context_ = ExchangeContext{&settings, environment.ports ? environment.ports : &systemPorts_, &clock_,
                               &exchangeProgress_, nullptr};
  }
  const ExchangeContext& Context() const { return context_; }
  ProgressSink* SequenceProgress() { return &sequenceProgress_; }

 private:
  Clock& clock_;
  SystemPortFactory systemPorts_;
  TerminalProgress exchangeProgress_;
  SequenceProgressLine sequenceProgress_;
  InterruptGuard interrupt_;
  ExchangeContext context_;
};

// Without --model the printer is asked for its model, as the workbench does at start-up
// (a recognised model also turns extended-reply mode on). Returns false, after saying
// why, when it does not answer.
bool ResolveModel(const PrinterOptions& options, ProgramSettings& settings, const ExchangeContext& exchange,
                  std::ostream& err, const OutputOptions& output) {
  if (!options.model.empty()) return true;
  CommandRecord query = ModelQueryCommand();
  if (ExecuteCommand(query, exchange) != kOk) {
    WriteMessage(err, "The printer did not answer the model query on " + options.port + ":", output);
    WriteText(err, query.ResultText, output);
    return false;
  }
  ApplyDetectedModel(settings, query.returnFields[1].value);
  return true;
}

// The profile read, for --json: every field but the password, under fixed keys.
Json ProfileJson(const ProfileRecord& p) {
  Json profile = Json::object();
  profile["serial_number"] = JsonText(p.serialNumber);
  profile["client"] = JsonText(p.client);
  profile["cnpj"] = JsonText(p.cnpj);
  profile["ie"] = JsonText(p.ie);
  profile["im"] = JsonText(p.im);
  profile["uf"] = JsonText(p.uf);
  profile["store_number"] = JsonText(p.storeNumber);
  profile["till_number"] = JsonText(p.tillNumber);
  profile["date"] = JsonText(p.date);
  profile["time"] = JsonText(p.time);
  profile["daylight_saving"] = p.daylightSaving;
  profile["additional_coupon"] = p.additionalCoupon;
  profile["iss_discount"] = p.issDiscount;
  profile["linked_to_cnf"] = p.linkedToCnf;
  profile["rv_in_conference"] = p.rvInConference;
  profile["automatic_z"] = p.automaticZ;
  profile["passenger_ticket"] = p.passengerTicket;
  profile["restaurant_or_store"] = p.restaurantOrStore.empty() ? Json(nullptr) : Json(JsonText(p.restaurantOrStore));
  profile["conference_coupon_parameter"] =
      p.conferenceCouponParameter.empty() ? Json(nullptr) : Json(JsonText(p.conferenceCouponParameter));
  profile["cliche"] = JsonText(p.cliche);
  Json rates = Json::array();
  for (size_t k = 0; k < p.rates.size(); ++k) {
    Json rate = Json::object();
    rate["number"] = k + 1;
    rate["rate"] = JsonText(p.rates[k]);
    rate["binding"] = k < p.issBinding.size() && p.issBinding[k] != '0' ? "ISS" : "ICMS";
    rates.push_back(std::move(rate));
  }
  profile["rates"] = std::move(rates);
  Json totalizers = Json::array();
  for (const std::string& name : p.totalizerNames) totalizers.push_back(JsonText(name));
  profile["totalizer_names"] = std::move(totalizers);
  return profile;
}

void ReportRead(JsonReport& json, const ProfileRecord& profile, const ConfigurationReadReport& report) {
  Json& body = json.body;
  body["whole"] = report.Whole();
  body["profile"] = ProfileJson(profile);
  Json read = Json::array();
  for (const std::string& step : report.read) read.push_back(JsonText(step));
  body["steps_read"] = std::move(read);
  Json notRead = Json::array();
  for (const std::string& step : report.notRead) notRead.push_back(JsonText(step));
  body["steps_not_read"] = std::move(notRead);
  body["stopped_at"] = report.stoppedAt.empty() ? Json(nullptr) : Json(JsonText(report.stoppedAt));
  body["stop_result"] = report.stopCode == 0 ? Json(nullptr) : ResultJson(report.stopCode);
  body["saved"] = false;
  body["profile_file"] = nullptr;
  body["replaced"] = false;
}

}  // namespace

CLI::App* EquipmentCommand::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand(
      "equipment", "Read a printer's configuration into an equipment profile, or program a printer in "
                   "technical intervention from a stored profile.");
  sub->require_subcommand(1);

  read_ = sub->add_subcommand(
      "read", "Read the printer's serial number, owner data, store and till numbers, clock, cliche, "
              "tax rates with their ISS binding, totalizer names and passenger-ticket option, and print "
              "them as a profile.");
  AddPrinterOptions(*read_, readOptions_, true);
  read_->add_flag("--save", save_,
                  "Store the profile in the profile file, replacing a stored profile with the same serial "
                  "number (its client, option switches and restaurant settings, which the printer does not "
                  "report, are kept)");
  read_->add_option("--file", readFile_, "Profile file (default: equipamentos.xml in the working folder)")
      ->type_name("FILE");
  read_->fallthrough();
  read_->footer(std::string(kRawOptionNote) +
                "\nWithout --model the printer is asked for its model first.\nExit status: 0 read; 1 bad "
                "arguments or the profile could not be stored; 4 the printer stopped answering or refused a "
                "step; 5 cancelled with Ctrl-C. After 4 or 5 what was read is printed, the steps not read "
                "are named and nothing is stored.\n" +
                kJsonOptionNote);

  program_ = sub->add_subcommand(
      "program", "Program the printer from the stored profile with serial number S: owner data, clock, "
                 "cliche, till and store, tax rates, ISS binding, totalizer names, option switches and, on "
                 "restaurant models, the restaurant settings. Prints every command's outcome.");
  AddPrinterOptions(*program_, programOptions_, true);
  program_->add_option("--serial", serial_, "Serial number of the stored profile")->required()->type_name("S");
  program_->add_option("--password", password_,
                       "Intervention password, 20 hexadecimal digits (default: $TERVANE_PASSWORD, else "
                       "C3C3C3C3C3C3C3C3C3C3)")
      ->type_name("HEX");
  program_->add_flag("--ask-password", askPassword_,
                     "Read the intervention password from the terminal (not echoed), so that it is not on the "
                     "command line");
  program_->add_option("--clock", clock_,
                       "Date and time to program: 'profile' (the stored profile's, default) or 'now' (the "
                       "computer's clock when the command is built)")
      ->check(CLI::IsMember({"profile", "now"}))
      ->type_name("now|profile");
  program_->add_flag("--dry-run", dryRun_,
                     "Print the commands and their frames without sending anything (the model comes from "
                     "--model, else the commands for a model not yet detected are shown)");
  program_->add_flag("--trace", trace_, "Also print the bytes sent and received");
  program_->add_option("--file", programFile_, "Profile file (default: equipamentos.xml in the working folder)")
      ->type_name("FILE");
  program_->fallthrough();
  program_->footer(std::string(kRawOptionNote) +
                   "\nWithout --model the printer is asked for its model first.\nExit status: 0 every "
                   "command accepted; 1 bad arguments, no such profile or unreadable profile file; 2 a "
                   "mandatory value is empty or the password is not 20 hexadecimal digits; 3 a value does not fit "
                   "the model (nothing is sent); 4 the printer did not answer or refused a command (commands "
                   "that depend on a refused owner, clock or till/store command are not sent); 5 or 6 "
                   "cancelled with Ctrl-C during a command or between commands.");
  return sub;
}

bool EquipmentCommand::offersJson() const { return read_ != nullptr && read_->parsed(); }

int EquipmentCommand::execute(std::ostream& out, std::ostream& err) {
  if (read_ != nullptr && read_->parsed()) return read(out, err);
  return program(out, err);
}

std::string EquipmentCommand::profileFile(const ProgramSettings& settings, const std::string& file) const {
  return file.empty() ? ProfileFilePath(settings) : file;
}

int EquipmentCommand::read(std::ostream& out, std::ostream& err) {
  ProgramSettings settings;
  if (!ApplyPrinterOptions(readOptions_, settings, err, output_)) return kExitUsage;
  PrinterLink link(settings, environment_, readOptions_, output_, err);
  if (!ResolveModel(readOptions_, settings, link.Context(), err, output_)) return kExitExchangeFailed;
  BatchPrompter prompter(err, output_);
  ProfileRecord profile;
  ConfigurationReadReport report;
  const int code = ReadEquipmentConfiguration(profile, link.Context(), &prompter, &report);
  profile.serialNumber = WithoutSpaces(profile.serialNumber);
  if (output_.report) ReportRead(*output_.report, profile, report);
  if (!report.Whole()) {
    // Half a profile is never stored: what was read is shown, with what was not.
    WriteText(out, ProfileText(profile), output_);
    WriteText(err, report.Warning(), output_);
    if (save_) WriteText(err, LoadString(str::kRegistroNaoSalvo), output_);  // Registro não salvo
    return code == kCancelled ? kExitCancelled : kExitExchangeFailed;
  }
  if (!save_) {
    WriteText(out, ProfileText(profile), output_);
    return kExitOk;
  }

  if (profile.serialNumber.empty()) {
    WriteText(out, ProfileText(profile), output_);
    WriteText(err, LoadString(33008), output_);
    return kExitUsage;
  }
  const std::string path = profileFile(settings, readFile_);
  ProfileList list;
  ProfileLoadInfo info;
  if (LoadProfiles(path, list, &info) != 0 && !info.fileMissing) {
    WriteText(out, ProfileText(profile), output_);
    WriteText(err, LoadString(str::kRegistroNaoSalvo), output_);  // Registro não salvo
    WriteText(err, info.description, output_);
    return kExitUsage;
  }
  KeepUnreadFields(list, profile);
  if (output_.report) output_.report->body["profile"] = ProfileJson(profile);
  WriteText(out, ProfileText(profile), output_);
  const bool replaced = StoreProfile(list, profile, false);
  if (replaced) StoreProfile(list, profile, true);
  if (InterruptGuard::Interrupted()) {
    // Ctrl-C after the last step: the user asked to stop before anything was stored.
    WriteText(err, LoadString(str::kRegistroNaoSalvo), output_);
    return kExitCancelled;
  }
  std::string error;
  if (SaveProfiles(path, list, &error) != 0) {
    WriteText(err, LoadString(str::kRegistroNaoSalvo), output_);
    WriteText(err, error, output_);
    return kExitUsage;
  }
  if (output_.report) {
    output_.report->body["saved"] = true;
    output_.report->body["profile_file"] = JsonUtf8(path);
    output_.report->body["replaced"] = replaced;
  }
  WriteMessage(err,
               "Profile " + Cp1252ToUtf8(profile.serialNumber) + (replaced ? " replaced in " : " stored in ") +
                   path + ".",
               output_);
  return kExitOk;
}

int EquipmentCommand::program(std::ostream& out, std::ostream& err) {
  ProgramSettings settings;
  if (!ApplyPrinterOptions(programOptions_, settings, err, output_)) return kExitUsage;
  const std::string path = profileFile(settings, programFile_);
  ProfileList list;
  ProfileLoadInfo info;
  if (LoadProfiles(path, list, &info) != 0) {
    WriteMessage(err, "Cannot read the profile file " + path + ":", output_);
    WriteText(err, info.description, output_);
    return kExitUsage;
  }
  const std::string serial = WithoutSpaces(Utf8ToCp1252Lossy(serial_));
  const auto found = std::find_if(list.rbegin(), list.rend(),
                                  [&](const ProfileRecord& p) { return p.serialNumber == serial; });
  if (found == list.rend()) {
    WriteMessage(err, "No profile with serial number " + serial_ + " in " + path + ".", output_);
    return kExitUsage;
  }
  std::string typed = password_;
  if (typed.empty() && askPassword_) {
    if (!ReadSecretLine(environment_.in, err, "Senha: ", typed)) {
      WriteMessage(err, "No password was typed.", output_);
      return kExitUsage;
    }
  }
  if (typed.empty()) {
    if (const char* fromEnvironment = std::getenv("TERVANE_PASSWORD")) typed = fromEnvironment;
  }
  const std::string password = UpperHex(Utf8ToCp1252Lossy(typed));
  if (!typed.empty() && !IsValidInterventionPassword(password)) {
    // Nothing is sent with a password a printer cannot take.
    WriteText(err, WrongPasswordLengthText(), output_);
    return kExitMandatoryEmpty;
  }
  UnattendedSheet sheet(typed.empty() ? nullptr : &password);
  BatchPrompter prompter(err, output_);
  const bool clockNow = clock_ == "now";
  Clock& computerClock = environment_.clock ? *environment_.clock : SystemClock();
  auto warnClock = [&](const ProfileRecord& profile) {
    if (clockNow) return;
    const std::string warning = ClockDistanceWarning(profile, computerClock.LocalNow());
    if (!warning.empty()) WriteText(err, Utf8ToCp1252Lossy("Aviso: ") + warning, output_);
  };

  if (dryRun_) {
    if (programOptions_.model.empty()) {
      WriteMessage(err, "No --model given: showing the commands for a model not yet detected.", output_);
    }
    ProfileRecord profile = *found;
    ProfileSheet pages = MakeProfileSheet(profile, settings);
    sheet.EditProfile(pages);
    ApplyProfileSheet(pages, profile);
    warnClock(profile);
    const std::vector<FitProblem> problems = ProfileFitProblems(profile, settings);
    if (!problems.empty()) {
      WriteText(out, FitProblemsText(problems), output_);
      return kExitWrongSize;
    }
    if (clockNow) LoadComputerClock(profile, computerClock.LocalNow());
    std::vector<CommandRecord> commands = BuildProgrammingCommands(profile, settings, &prompter);
    int status = kExitOk;
    for (size_t i = 0; i < commands.size(); ++i) {
      CommandRecord& c = commands[i];
      std::string text = Format("%2zu %s [%s]\r\n", i + 1, c.title.c_str(), c.escapeText.c_str());
      for (const ParameterRecord& p : c.parameters) {
        // The password is shown as asterisks here too.
        const std::string shown = CommandRecord::IsSecretKind(p.kind) ? std::string(p.value.size(), '*') : p.value;
        text += "   " + p.title + " (" + p.kind + " " + std::to_string(p.size) + ") = \"" + shown + "\"\r\n";
      }
      c.ResultText.clear();
      const int code = AssembleFrame(c, settings);
      if (code == kOk) {
        std::string hex = HexLine(c.frame.bytes.data(), c.frame.length);
        for (const auto& [first, last] : c.secretFrameBytes) {
          for (size_t at = first; at < last && 3 * at + 1 < hex.size(); ++at) hex.replace(3 * at, 2, "**");
        }
        text += "   " + hex + "\r\n";
      } else {
        text += "   " + c.ResultText + "\r\n";
        if (status == kExitOk) status = ExitFor(code);
      }
      WriteText(out, text, output_);
    }
    return status;
  }

  PrinterLink link(settings, environment_, programOptions_, output_, err);
  if (!ResolveModel(programOptions_, settings, link.Context(), err, output_)) return kExitExchangeFailed;
  ProgrammingContext context;
  context.exchange = link.Context();
  context.sequenceProgress = link.SequenceProgress();
  context.prompter = &prompter;
  context.frontEnd = &sheet;
  context.profileFile = path;
  context.clockSource = clockNow ? ClockSource::kComputer : ClockSource::kProfile;
  ProfileRecord profile = *found;
  warnClock(profile);
  const ProgrammingOutcome outcome = RunProgramming(profile, context);
  if (!outcome.fitProblems.empty()) {
    WriteText(err, outcome.resultText, output_);
    return kExitWrongSize;
  }
  // How many were refused, and which, before the details.
  if (!outcome.refused.empty()) WriteText(err, outcome.summary, output_);
  WriteText(out, outcome.resultText, output_);
  if (trace_) WriteText(out, outcome.hexTrace, output_);

  const size_t refused = outcome.refused.size();
  WriteMessage(err,
               std::to_string(outcome.ran.size()) + " of " + std::to_string(outcome.commandsBuilt) +
                   " commands run; " + std::to_string(refused) + " refused by the printer" +
                   (outcome.skipped.empty() ? std::string()
                                            : "; " + std::to_string(outcome.skipped.size()) +
                                                  " not sent because they depend on a refused one") +
                   ".",
               output_);
  if (outcome.runResult != kOk) return ExitFor(outcome.runResult);
  return refused > 0 ? kExitExchangeFailed : kExitOk;
}

}  // namespace tervane::cli
