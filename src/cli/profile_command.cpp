#include "cli/profile_command.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <ostream>

#include "cli/cli_support.h"
#include "cli/profile_text.h"
#include "core/common/charset.h"
#include "core/equipment/profile_file.h"

namespace tervane::cli {

CLI::App* ProfileCommand::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand("profile", "List, show or delete the stored equipment profiles.");
  sub->add_option("--workdir", workdir_, "Working folder (default: the current directory)")->type_name("DIR");
  sub->add_option("--file", file_, "Profile file (default: equipamentos.xml in the working folder)")
      ->type_name("FILE");
  sub->require_subcommand(1);
  list_ = sub->add_subcommand("list", "One line per stored profile: serial number, client and CNPJ.");
  show_ = sub->add_subcommand("show", "Print the stored profile with this serial number (the last one when "
                                      "several share it).");
  show_->add_option("serial", serial_, "Serial number")->required()->type_name("SERIAL");
  delete_ = sub->add_subcommand("delete", "Remove every stored profile with this serial number.");
  delete_->add_option("serial", serial_, "Serial number")->required()->type_name("SERIAL");
  for (CLI::App* s : {list_, show_, delete_}) s->fallthrough();
  sub->footer(std::string(kRawOptionNote) +
              "\nExit status: 0 done; 1 bad arguments, unreadable profile file, no profile with that serial "
              "number, or the file could not be written.");
  return sub;
}

std::string ProfileCommand::path() const {
  if (!file_.empty()) return file_;
  ProgramSettings settings;
  settings.g_workDir = ResolveWorkDir(workdir_);
  return ProfileFilePath(settings);
}

int ProfileCommand::execute(std::ostream& out, std::ostream& err) {
  const std::string file = path();
  ProfileList list;
  ProfileLoadInfo info;
  if (LoadProfiles(file, list, &info) != 0) {
    if (info.fileMissing && list_->parsed()) return kExitOk;  // nothing stored yet
    WriteMessage(err, "Cannot read the profile file " + file + ":", output_);
    WriteText(err, info.description, output_);
    return kExitUsage;
  }
  if (list_->parsed()) {
    for (const ProfileRecord& p : list) WriteText(out, ProfileSummaryLine(p), output_);
    return kExitOk;
  }

  const std::string serial = Utf8ToCp1252Lossy(serial_);
  if (show_->parsed()) {
    const auto found = std::find_if(list.rbegin(), list.rend(),
                                    [&](const ProfileRecord& p) { return p.serialNumber == serial; });
    if (found == list.rend()) {
      WriteMessage(err, "No profile with serial number " + serial_ + ".", output_);
      return kExitUsage;
    }
    WriteText(out, ProfileText(*found), output_);
    return kExitOk;
  }

  const int removed = DeleteProfilesBySerial(list, serial);
  if (removed == 0) {
    WriteMessage(err, "No profile with serial number " + serial_ + ".", output_);
    return kExitUsage;
  }
  std::string error;
  if (SaveProfiles(file, list, &error) != 0) {
    WriteText(err, error, output_);
    return kExitUsage;
  }
  WriteMessage(out, std::to_string(removed) + (removed == 1 ? " profile" : " profiles") + " deleted.", output_);
  return kExitOk;
}

}  // namespace tervane::cli
