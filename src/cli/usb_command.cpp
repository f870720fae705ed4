#include "cli/usb_command.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cstdio>
#include <ostream>

#include "cli/cli_support.h"
#include "core/common/install_paths.h"
#include "core/transport/usb_ids.h"
#include "core/transport/usbio_device.h"

namespace tervane::cli {
namespace {

constexpr const char* kIdentifiersNote =
    "The hardware identifiers (USB vendor:product pairs) of the printers are configuration: the "
    "shipped file usb/ids.txt (or usb/ids.txt of the work folder, or the file named by TERVANE_USB_IDS), "
    "merged with the user's own file ~/.config/tervane/usb-ids.txt, where `usb ids add` writes.";

std::string ClassText(const UsbDeviceDescription& device) {
  auto has = [&](std::uint8_t c) {
    if (device.deviceClass == c) return true;
    for (std::uint8_t k : device.interfaceClasses) {
      if (k == c) return true;
    }
    return false;
  };
  if (has(kUsbClassPrinter)) return "printer class";
  if (has(kUsbClassVendorSpecific)) return "vendor class";
  return "class " + std::to_string(device.deviceClass);
}

std::string DeviceLine(const UsbDeviceDescription& device) {
  char where[48];
  std::snprintf(where, sizeof where, "bus %03u device %03u", device.info.bus, device.info.address);
  std::string line = "  " + UsbIdText({device.info.vendorId, device.info.productId});
  std::string names = device.manufacturer;
  if (!device.product.empty()) names += (names.empty() ? "" : " ") + device.product;
  line += "  " + (names.empty() ? std::string("(no maker or product string)") : names);
  return line + " (" + ClassText(device) + ", " + where + ")";
}

}  // namespace

CLI::App* UsbCommand::attach(CLI::App& app) {
  CLI::App* usb = app.add_subcommand(
      "usb", "USB printers: list those present and the identifiers looked for, add an identifier, or install the "
             "udev rule giving access to them.");
  usb->require_subcommand(1);
  usb->footer(kIdentifiersNote);

  install_ = usb->add_subcommand(
      "install",
      "Write the udev rule that gives a group read-write access to the USB printers of the configured "
      "hardware identifiers and marks them (and the USB-serial converters printers use) as no modem for "
      "ModemManager, then reload udev (udevadm control --reload-rules and trigger) when udevadm is present. "
      "Writing to /etc/udev/rules.d needs root: a normal user's run goes through pkexec (the polkit action "
      "org.example.tervane.usb-install asks for an administrator's password).");
  install_->add_option("--rules-dir", rulesDir_, "Folder the rule file 60-tervane.rules is written to")
      ->type_name("DIR")
      ->default_str(kUdevRulesDir);
  install_->add_option("--group", group_, "Group given access (default: plugdev, else the invoking user's group)")
      ->type_name("NAME");
  install_->add_option("--ids", idsFile_, "Identifier file (default: the configured identifiers, see usb --help)")
      ->type_name("FILE");
  install_->add_option("--id", idTexts_, "An identifier VID:PID to give access to, instead of any file; repeatable")
      ->type_name("VID:PID");
  install_->add_option("--workdir", workdir_, "Folder whose usb/ids.txt is used (default: the current directory)")
      ->type_name("DIR");
  install_->add_option("--udevadm", udevadm_, "The udevadm program to run (default: looked up on PATH)")
      ->type_name("PROGRAM");
  install_->add_flag("--no-reload", noReload_, "Only write the rule; do not run udevadm");
  install_->add_flag("--no-pkexec", noPkexec_, "Never go through pkexec, even when not root");
  install_->footer(std::string(kRawOptionNote) + "\n" + kIdentifiersNote +
                   "\nExit status: 0 installed; 1 failed (the reason follows the message).");
  install_->fallthrough();

  CLI::App* list = usb->add_subcommand(
      "list", "Name the hardware identifiers looked for and the files they come from, list the USB printers "
              "present with those identifiers and whether each can be opened, then the other USB devices of "
              "printer or vendor class present (vendor:product, maker and product), which `usb ids add` can "
              "add.");
  list->add_option("--ids", idsFile_, "Identifier file (default: the configured identifiers, see usb --help)")
      ->type_name("FILE");
  list->add_option("--workdir", workdir_, "Folder whose usb/ids.txt is used (default: the current directory)")
      ->type_name("DIR");
  list->footer(std::string(kIdentifiersNote) +
               "\nExit status: 0 listed (also when none is present); 1 no identifiers, or no USB support here.");
  list->fallthrough();

  CLI::App* ids = usb->add_subcommand("ids", "The user's own hardware identifiers.");
  ids->require_subcommand(1);
  idsAdd_ = ids->add_subcommand(
      "add", "Add an identifier VID:PID (as lsusb and `usb list` show it) to the user's file "
             "~/.config/tervane/usb-ids.txt, merged with the shipped ones; then run `usb install` so the udev "
             "rule covers it.");
  idsAdd_->add_option("id", newId_, "The identifier, four hexadecimal digits each: vvvv:pppp")
      ->type_name("VID:PID")
      ->required();
  idsAdd_->footer("Exit status: 0 added (or already there); 1 not an identifier, or the file cannot be written.");
  return usb;
}

int UsbCommand::execute(std::ostream& out, std::ostream& err) {
  if (install_->parsed()) return Install(out, err);
  if (idsAdd_->parsed()) return AddId(out, err);
  return List(out, err);
}

int UsbCommand::AddId(std::ostream& out, std::ostream& err) {
  UsbHardwareId id;
  if (!ParseUsbIdText(newId_, id)) {
    WriteMessage(err, "\"" + newId_ + "\" is not an identifier VID:PID (four hexadecimal digits each, as 7e4a:0001).",
                 output_);
    return kExitUsage;
  }
  std::string path;
  std::string error;
  bool added = false;
  if (!AddUserUsbId(id, &path, &added, &error)) {
    WriteMessage(err, "The identifier was not added: " + error, output_);
    return kExitUsage;
  }
  WriteMessage(out,
               (added ? "Added " : "Already listed: ") + UsbIdText(id) + " in " + path +
                   ". Run tervane-cli usb install so that the udev rule covers it.",
               output_);
  return kExitOk;
}

int UsbCommand::Install(std::ostream& out, std::ostream& err) {
  UsbDriverInstallOptions options;
  if (!rulesDir_.empty()) options.rulesDir = rulesDir_;
  options.workDir = ResolveWorkDir(workdir_);
  options.idsFile = idsFile_;
  options.group = group_;
  options.udevadm = udevadm_;
  options.reloadUdev = !noReload_;
  for (const std::string& text : idTexts_) {
    UsbHardwareId id;
    if (!ParseUsbIdText(text, id)) {
      WriteText(err, UsbDriverInstallFailureText("\"" + text + "\" is not an identifier VID:PID"), output_);
      return kExitUsage;
    }
    options.ids.push_back(id);
  }

  // Only the system's rules folder needs root; a folder given elsewhere is written as is.
  const bool root = seams_.asRoot.value_or(::geteuid() == 0);
  const bool elevate = !root && !noPkexec_ && options.rulesDir == kUdevRulesDir && udevadm_.empty();
  UsbDriverInstallResult result;
  std::string reason;
  bool ok = false;
  if (elevate) {
    PrivilegedInstall how;
    how.cli = ProgramDir().empty() ? std::string() : ProgramDir() + "/tervane-cli";
    how.pkexec = seams_.pkexec;
    how.run = seams_.run;
    WriteMessage(out, "Not root: the rule is written through pkexec, which asks for an administrator's password.",
                 output_);
    ok = InstallUsbDriverAsUser(options, how, &result, &reason);
    if (ok) {
      WriteMessage(out,
                   "Rule written to " + result.rulesPath + ": group " + result.group + ", " +
                       std::to_string(result.ids.size()) + " identifiers from " + result.idsFile + ".",
                   output_);
      return kExitOk;
    }
  } else {
    ok = InstallUsbDriver(options, &result, &reason);
  }
  if (!ok) {
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
  std::vector<UsbIdSource> sources;
  std::vector<UsbHardwareId> ids;
  std::string error;
  if (!idsFile_.empty()) {
    if (LoadUsbIds(idsFile_, ids, &error)) sources.push_back({idsFile_, ids});
  } else {
    UsbIdConfiguration config = LoadUsbIdConfiguration(ResolveWorkDir(workdir_));
    sources = std::move(config.sources);
    ids = std::move(config.ids);
    error = std::move(config.error);
  }
  for (const UsbIdSource& source : sources) {
    WriteMessage(out, "Identifiers looked for, from " + source.path + ":", output_);
    if (source.ids.empty()) WriteMessage(out, "  (none)", output_);
    for (const UsbHardwareId& id : source.ids) WriteMessage(out, "  " + UsbIdText(id), output_);
  }
  if (ids.empty()) {
    WriteMessage(err, "No USB hardware identifiers: " + (error.empty() ? std::string("none configured") : error),
                 output_);
    return kExitUsage;
  }
  if (!error.empty()) WriteMessage(err, "Not read: " + error, output_);

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
    } else if (device.openError == UsbError::kAccess) {
      line += "no permission to open it (run tervane-cli usb install)";
    } else if (device.openError == UsbError::kBusy) {
      line += "held by another program";
    } else {
      line += UsbioStatusText(device.openStatus);
    }
    WriteMessage(out, line, output_);
  }

  const std::vector<UsbDeviceDescription> others = UnconfiguredPrinterCandidates(backend_, ids);
  if (!others.empty()) {
    WriteMessage(out, "Other USB devices of printer or vendor class present, not configured:", output_);
    for (const UsbDeviceDescription& device : others) WriteMessage(out, DeviceLine(device), output_);
    WriteMessage(out, "To use one: tervane-cli usb ids add VID:PID, then tervane-cli usb install.", output_);
  }
  return kExitOk;
}

}  // namespace tervane::cli
