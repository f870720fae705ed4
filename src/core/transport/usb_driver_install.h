// Installing the "driver" of the USB printers, Linux style: libusb needs no kernel
// driver of its own, only permission to open the device. The installation writes a udev
// rule granting a group read-write access to every configured hardware identifier, then
// asks udev to reload its rules and apply them to the devices already plugged in.
#pragma once

#include <string>
#include <vector>

#include "core/transport/usb_ids.h"

namespace tervane {

inline constexpr char kUdevRulesDir[] = "/etc/udev/rules.d";
inline constexpr char kUsbRulesFileName[] = "60-tervane.rules";

struct UsbDriverInstallOptions {
  std::string rulesDir = kUdevRulesDir;  // where the rule file is written
  std::string workDir;                   // where usb/ids.txt is looked for (FindUsbIdsFile)
  std::string idsFile;                   // the identifier file; empty: FindUsbIdsFile(workDir)
  std::string group;                     // the group given access; empty: DefaultUsbGroup()
  std::string udevadm;                   // the udevadm program; empty: looked up, reload skipped when absent
  bool reloadUdev = true;
};

// What an installation did.
struct UsbDriverInstallResult {
  std::string rulesPath;        // the rule file written
  std::string idsFile;          // the identifier file read
  std::string group;
  std::vector<UsbHardwareId> ids;
  std::string udevadm;          // the udevadm run; empty when none was found or reloading was off
};

// The group that gets access: "plugdev" when the system has it, else the primary group
// of the user who invoked the program (through sudo: the sudo user's). Empty when
// neither can be named.
std::string DefaultUsbGroup();

// The content of the rule file: one line per identifier giving `group` mode 0660 (and
// the user at the seat, through the uaccess tag) on the matching USB devices.
std::string UdevRuleText(const std::vector<UsbHardwareId>& ids, const std::string& group);

// Reads the identifiers, writes the rule file atomically into options.rulesDir and, when
// udevadm is there, runs "udevadm control --reload-rules" and "udevadm trigger
// --subsystem-match=usb --action=change". Returns false with `error` set to the reason
// (English, as the system reports it) when the identifiers cannot be read, the group is
// unknown or unsafe, the file cannot be written, or a udevadm run fails (the rule file
// is then already in place). `result` (when given) says what was done.
bool InstallUsbDriver(const UsbDriverInstallOptions& options, UsbDriverInstallResult* result, std::string* error);

// The same with the defaults: the identifiers of the current directory (or the data
// folder), the default group, udev reloaded when present.
bool InstallUsbDriver(const std::string& rulesDir, std::string* error);

// The message of a failed installation, Windows-1252: "Erro na instalação do driver
// USB", a line break, then the reason (given in UTF-8, as the system reports it).
std::string UsbDriverInstallFailureText(const std::string& reason);

}  // namespace tervane
