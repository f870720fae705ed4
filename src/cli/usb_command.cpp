#include "cli/usb_command.h"

#include <CLI/CLI.hpp>

#include <ostream>

#include "cli/cli_support.h"
#include "core/transport/usb_driver_install.h"
#include "core/transport/usb_ids.h"
#include "core/transport/usbio_device.h"

namespace tervane::cli {

CLI::App* UsbCommand::attach(CLI::App& app) {
  CLI::App* usb = app.add_subcommand("usb", "USB printers: list those present, or install the udev rule giving access to them.");
  usb->require_subcommand(1);

  install_ = usb->add_subcommand(
      "install",
      "Write the udev rule that gives a group read-write access to the USB printers of the configured "
      "hardware identifiers (usb/ids.txt), then reload udev (udevadm control --reload-rules and trigger) "
      "when udevadm is present. Writing to /etc/udev/rules.d needs root.");
  install_->add_option("--rules-dir", rulesDir_, "Folder the rule file 60-tervane.rules is written to")
      ->type_name("DIR")
      ->default_str(kUdevRulesDir);
  install_->add_option("--group", group_, "Group given access (default: plugdev, else the invoking user's group)")
      ->type_name("NAME");
  install_->add_option("--ids", idsFile_, "Identifier file (default: usb/ids.txt of --workdir, else the data folder)")
      ->type_name("FILE");
  install_->add_option("--workdir", workdir_, "Folder whose usb/ids.txt is used (default: the current directory)")
      ->type_name("DIR");
  install_->add_option("--udevadm", udevadm_, "The udevadm program to run (default: looked up on PATH)")
      ->type_name("PROGRAM");
  install_->add_flag("--no-reload", noReload_, "Only write the rule; do not run udevadm");
  install_->footer(std::string(kRawOptionNote) + "\nExit status: 0 installed; 1 failed (the reason follows the message).");
  install_->fallthrough();

  CLI::App* list = usb->add_subcommand(
      "list", "List the USB printers present whose vendor and product numbers are configured, one per line, "
              "and whether each can be opened.");
  list->add_option("--ids", idsFile_, "Identifier file (default: usb/ids.txt of --workdir, else the data folder)")
      ->type_name("FILE");
  list->add_option("--workdir", workdir_, "Folder whose usb/ids.txt is used (default: the current directory)")
      ->type_name("DIR");
  list->footer("Exit status: 0 listed (also when none is present); 1 no identifiers, or no USB support here.");
  list->fallthrough();
  return usb;
}

int UsbCommand::execute(std::ostream& out, std::ostream& err) {
  return install_->parsed() ? Install(out, err) : List(out, err);
}

int UsbCommand::Install(std::ostream& out, std::ostream& err) {
  UsbDriverInstallOptions options;
  if (!rulesDir_.empty()) options.rulesDir = rulesDir_;
  options.workDir = ResolveWorkDir(workdir_);
  options.idsFile = idsFile_;
  options.group = group_;
  options.udevadm = udevadm_;
  options.reloadUdev = !noReload_;
  UsbDriverInstallResult result;
  std::string reason;
  if (!InstallUsbDriver(options, &result, &reason)) {
    WriteText(err, UsbDriverInstallFailureText(reason), output_);
    return kExitUsage;
  }
  WriteMessage(out,
               "Rule written to " + result.rulesPath + ": group " + result.group + ", " +
                   std::to_string(result.ids.size()) + " identifiers from " + result.idsFile + ".",
               output_);
  if (!result.udevadm.empty()) {
    WriteMessage(out, "udev rules reloaded and applied (" + result.udevadm + ").", output_);
  } else if (!noReload_) {
    WriteMessage(out, "udevadm not found: the rule applies when udev next reads its rules.", output_);
  }
  return kExitOk;
}

int UsbCommand::List(std::ostream& out, std::ostream& err) {
  std::vector<UsbHardwareId> ids;
  std::string error;
  if (!idsFile_.empty() ? !LoadUsbIds(idsFile_, ids, &error) : (ids = ConfiguredUsbIds(ResolveWorkDir(workdir_), &error)).empty()) {
    WriteMessage(err, "No USB hardware identifiers: " + error, output_);
    return kExitUsage;
  }
  std::vector<UsbioPresentDevice> devices;
  if (!ListUsbioDevices(backend_, ids, devices)) {
    WriteMessage(err, "USB devices cannot be enumerated on this system.", output_);
    return kExitUsage;
  }
  if (devices.empty()) WriteMessage(out, "No USB printer present.", output_);
  for (const UsbioPresentDevice& device : devices) {
    std::string line = "USB " + device.path + ": ";
    if (device.openStatus == kUsbioOk) {
      line += "ready";
    } else {
      line += UsbioStatusText(device.openStatus);
      if (device.openStatus == kUsbioOpenFailed) line += " (no permission? run tervane-cli usb install as root)";
    }
    WriteMessage(out, line, output_);
  }
  return kExitOk;
}

}  // namespace tervane::cli
