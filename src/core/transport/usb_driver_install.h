// Installing the "driver" of the USB printers, Linux style: libusb needs no kernel
// driver of its own, only permission to open the device. The installation writes a udev
// rule granting a group read-write access to every configured hardware identifier, then
// asks udev to reload its rules and apply them to the devices already plugged in.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/transport/usb_ids.h"

namespace tervane {

inline constexpr char kUdevRulesDir[] = "/etc/udev/rules.d";
inline constexpr char kUsbRulesFileName[] = "60-tervane.rules";

struct UsbDriverInstallOptions {
  std::string rulesDir = kUdevRulesDir;  // where the rule file is written
  std::string workDir;                   // where usb/ids.txt is looked for (FindUsbIdsFile)
  std::string idsFile;                   // the identifier file; empty: the configuration of workDir
  std::vector<UsbHardwareId> ids;        // when not empty: these identifiers, no file read
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
// the user at the seat, through the uaccess tag) on the matching USB devices, and
// marking them as no modem, so that ModemManager leaves them alone; and one line that
// does the same for the serial lines of the USB-serial converter chips printers are
// attached through (FTDI, Prolific, WCH, Silicon Labs).
std::string UdevRuleText(const std::vector<UsbHardwareId>& ids, const std::string& group);

// Reads the identifiers (options.ids; else options.idsFile; else the configuration of
// options.workDir, the user's added identifiers included), writes the rule file
// atomically into options.rulesDir and, when udevadm is there, runs "udevadm control
// --reload-rules" and "udevadm trigger --subsystem-match=usb --subsystem-match=tty
// --action=change". Returns false with `error` set to the reason
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

// --- the installation by a normal user ----------------------------------------------
//
// Writing the rule needs root. A normal user's installation runs the privileged step,
// "tervane-cli usb install" with the identifiers and group on its command line, through
// pkexec, authorised by the polkit action shipped with the package.

inline constexpr char kUsbInstallPolkitAction[] = "org.example.tervane.usb-install";

// Runs `argv` (argv[0] an absolute path) and waits for it. Returns its exit status, or -1
// when it could not be run or was killed; `output` gets its error output (or why it
// could not be run).
using CommandRunner = std::function<int(const std::vector<std::string>& argv, std::string& output)>;

// The runner of the program: posix_spawn, standard output discarded.
int RunCommand(const std::vector<std::string>& argv, std::string& output);

// The pkexec program: the first on PATH, else /usr/bin/pkexec when it exists; empty
// when there is none.
std::string FindPkexec();

// The privileged step's command line: pkexec, the CLI, "usb", "install", "--group",
// `group`, then "--id" and each identifier ("vvvv:pppp"), and "--no-reload" when
// `reload` is false.
std::vector<std::string> PrivilegedUsbInstallCommand(const std::string& pkexec, const std::string& cli,
                                                     const std::vector<UsbHardwareId>& ids, const std::string& group,
                                                     bool reload);

// The reason of a failed pkexec run, in words: 126 the authorisation was refused or its
// dialog closed, 127 no authorisation could be obtained (no polkit agent) or the program
// could not be run, else the privileged step's own message (its leading "Erro na
// instalação do driver USB" line left out) or exit status.
std::string PkexecFailureReason(int status, const std::string& output);

// How a normal user's installation reaches root.
struct PrivilegedInstall {
  std::string cli;        // the tervane-cli program to run as root (absolute)
  std::string pkexec;     // empty: FindPkexec()
  CommandRunner run;      // empty: RunCommand
  bool asRoot = false;    // this process is root: install directly, no pkexec
};

// The installation as the program does it: as root, InstallUsbDriver itself; otherwise
// the identifiers and the group are settled here (this user's configuration and group)
// and the privileged step runs through pkexec into the system's rules folder. Returns
// false with `error` set to the reason (no pkexec, no CLI, authorisation refused, the
// privileged step's failure). `result` gets the identifiers and group used and, as root,
// the rest.
bool InstallUsbDriverAsUser(const UsbDriverInstallOptions& options, const PrivilegedInstall& how,
                            UsbDriverInstallResult* result, std::string* error);

}  // namespace tervane
