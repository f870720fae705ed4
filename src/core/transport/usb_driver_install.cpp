#include "core/transport/usb_driver_install.h"

#include <fcntl.h>
#include <grp.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/common/atomic_file.h"
#include "core/common/charset.h"

extern char** environ;

namespace tervane {
namespace {

constexpr const char* kSearchDirs[] = {"/usr/sbin", "/sbin", "/usr/bin", "/bin"};

bool IsExecutable(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string FindUdevadm() {
  if (const char* path = std::getenv("PATH"); path != nullptr) {
    std::string dirs = path;
    size_t start = 0;
    while (start <= dirs.size()) {
      const size_t end = std::min(dirs.find(':', start), dirs.size());
      const std::string dir = dirs.substr(start, end - start);
      if (!dir.empty() && IsExecutable(dir + "/udevadm")) return dir + "/udevadm";
      start = end + 1;
    }
  }
  for (const char* dir : kSearchDirs) {
    const std::string candidate = std::string(dir) + "/udevadm";
    if (IsExecutable(candidate)) return candidate;
  }
  return {};
}

// A group name that can stand between quotes in a udev rule.
bool IsSafeGroupName(const std::string& name) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                    c == '-' || c == '.';
    if (!ok) return false;
  }
  return true;
}

std::string ExistingGroupName(gid_t gid) {
  const group* entry = ::getgrgid(gid);
  return entry != nullptr && entry->gr_name != nullptr ? entry->gr_name : "";
}

// Runs `program` with `args`, its output discarded and its error output collected.
// Returns the exit status, or -1 (with `why`) when it could not be run or was killed.
int Run(const std::string& program, const std::vector<std::string>& args, std::string& why,
        bool firstLineOnly = true) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
    why = std::string("cannot create a pipe: ") + std::strerror(errno);
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    why = "cannot run " + program + ": " + std::strerror(spawned);
    return -1;
  }
  std::string output;
  char buffer[512];
  for (;;) {
    const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
    if (n > 0) {
      if (output.size() < 4096) output.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  ::close(pipeFds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  if (const size_t line = output.find('\n'); firstLineOnly && line != std::string::npos) output.resize(line);
  if (!WIFEXITED(status)) {
    why = program + " was stopped by signal " + std::to_string(WTERMSIG(status));
    return -1;
  }
  why = output;
  return WEXITSTATUS(status);
}

bool RunUdevadm(const std::string& udevadm, const std::vector<std::string>& args, const std::string& rulesPath,
                std::string* error) {
  std::string why;
  const int status = Run(udevadm, args, why);
  if (status == 0) return true;
  if (error) {
    std::string command = "udevadm";
    for (const std::string& arg : args) command += " " + arg;
    *error = "the rule was written to " + rulesPath + ", but \"" + command + "\" failed";
    if (status > 0) *error += " with exit status " + std::to_string(status);
    if (!why.empty()) *error += ": " + why;
  }
  return false;
}

// The identifiers an installation covers: those given, else the file given, else the
// configuration of the work folder (the user's added identifiers included).
bool ReadInstallIds(const UsbDriverInstallOptions& options, UsbDriverInstallResult& done, std::string* error) {
  if (!options.ids.empty()) {
    done.ids = options.ids;
    done.idsFile = "the command line";
    return true;
  }
  if (!options.idsFile.empty()) {
    done.idsFile = options.idsFile;
    return LoadUsbIds(done.idsFile, done.ids, error);
  }
  const UsbIdConfiguration config = LoadUsbIdConfiguration(options.workDir);
  if (!config.error.empty() || config.ids.empty()) {
    if (error) *error = config.error.empty() ? "no USB identifier is configured" : config.error;
    return false;
  }
  done.ids = config.ids;
  for (const UsbIdSource& source : config.sources) done.idsFile += (done.idsFile.empty() ? "" : ", ") + source.path;
  return true;
}

}  // namespace

std::string DefaultUsbGroup() {
  if (::getgrnam("plugdev") != nullptr) return "plugdev";
  if (const char* sudoGid = std::getenv("SUDO_GID"); sudoGid != nullptr && *sudoGid != '\0') {
    char* end = nullptr;
    const unsigned long gid = std::strtoul(sudoGid, &end, 10);
    if (end != sudoGid && *end == '\0') {
      if (std::string name = ExistingGroupName(static_cast<gid_t>(gid)); !name.empty()) return name;
    }
  }
  return ExistingGroupName(::getgid());
}

std::string UdevRuleText(const std::vector<UsbHardwareId>& ids, const std::string& group) {
  std::string text =
      "# Tervane: access to the USB fiscal printers for the group \"" + group + "\" and the user at the seat.\n"
      "# Written by the USB driver installation from the configured hardware identifiers (usb/ids.txt).\n"
      "# ModemManager is told to leave them alone: modem probes would reach the printer as commands.\n";
  for (const UsbHardwareId& id : ids) {
    const std::string hex = UsbIdText(id);
    text += "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"" + hex.substr(0, 4) +
            "\", ATTR{idProduct}==\"" + hex.substr(5, 4) + "\", MODE=\"0660\", GROUP=\"" + group +
            "\", TAG+=\"uaccess\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n";
  }
  text +=
      "# The serial lines of the USB-serial converters printers are attached through.\n"
      "SUBSYSTEM==\"tty\", KERNEL==\"ttyUSB[0-9]*\", DRIVERS==\"ftdi_sio|pl2303|ch341|cp210x\", "
      "ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n";
  return text;
}

namespace {

// The identifiers to install and the group to give them to, checked.
bool ReadIdsAndGroup(const UsbDriverInstallOptions& options, UsbDriverInstallResult& done, std::string* error) {
  if (!ReadInstallIds(options, done, error)) return false;
  done.group = options.group.empty() ? DefaultUsbGroup() : options.group;
  if (!IsSafeGroupName(done.group)) {
    if (error) *error = done.group.empty() ? "no group to give access to" : "\"" + done.group + "\" is not a group name";
    return false;
  }
  return true;
}

}  // namespace

bool InstallUsbDriver(const UsbDriverInstallOptions& options, UsbDriverInstallResult* result, std::string* error) {
  UsbDriverInstallResult done;
  if (!ReadIdsAndGroup(options, done, error)) return false;
  if (::getgrnam(done.group.c_str()) == nullptr) {
    if (error) *error = "the group \"" + done.group + "\" does not exist";
    return false;
  }

  const std::string dir = options.rulesDir.empty() ? std::string(kUdevRulesDir) : options.rulesDir;
  done.rulesPath = dir + "/" + kUsbRulesFileName;
  if (!SaveFileAtomically(done.rulesPath, UdevRuleText(done.ids, done.group), error)) return false;

  if (options.reloadUdev) {
    if (!options.udevadm.empty() && !IsExecutable(options.udevadm)) {
      if (error) *error = "the rule was written to " + done.rulesPath + ", but " + options.udevadm + " cannot be run";
      if (result) *result = done;
      return false;
    }
    done.udevadm = options.udevadm.empty() ? FindUdevadm() : options.udevadm;
    if (!done.udevadm.empty()) {
      const bool ok = RunUdevadm(done.udevadm, {"control", "--reload-rules"}, done.rulesPath, error) &&
                      RunUdevadm(done.udevadm,
                                 {"trigger", "--subsystem-match=usb", "--subsystem-match=tty", "--action=change"},
                                 done.rulesPath, error);
      if (result) *result = done;
      return ok;
    }
  }
  if (result) *result = done;
  return true;
}

bool InstallUsbDriver(const std::string& rulesDir, std::string* error) {
  UsbDriverInstallOptions options;
  options.rulesDir = rulesDir;
  return InstallUsbDriver(options, nullptr, error);
}

std::string UsbDriverInstallFailureText(const std::string& reason) {
  return Utf8ToCp1252Lossy("Erro na instalação do driver USB\r\n" + reason);
}

}  // namespace tervane

namespace tervane {

int RunCommand(const std::vector<std::string>& argv, std::string& output) {
  if (argv.empty()) {
    output = "nothing to run";
    return -1;
  }
  return Run(argv[0], std::vector<std::string>(argv.begin() + 1, argv.end()), output, false);
}

std::string FindPkexec() {
  if (const char* path = std::getenv("PATH"); path != nullptr) {
    const std::string dirs = path;
    size_t start = 0;
    while (start <= dirs.size()) {
      const size_t end = std::min(dirs.find(':', start), dirs.size());
      const std::string dir = dirs.substr(start, end - start);
      if (!dir.empty() && dir[0] == '/' && IsExecutable(dir + "/pkexec")) return dir + "/pkexec";
      start = end + 1;
    }
  }
  return IsExecutable("/usr/bin/pkexec") ? std::string("/usr/bin/pkexec") : std::string();
}

std::vector<std::string> PrivilegedUsbInstallCommand(const std::string& pkexec, const std::string& cli,
                                                     const std::vector<UsbHardwareId>& ids, const std::string& group,
                                                     bool reload) {
  std::vector<std::string> argv{pkexec, cli, "usb", "install", "--group", group};
  for (const UsbHardwareId& id : ids) {
    argv.push_back("--id");
    argv.push_back(UsbIdText(id));
  }
  if (!reload) argv.push_back("--no-reload");
  return argv;
}

std::string PkexecFailureReason(int status, const std::string& rawOutput) {
  // The privileged step says "Erro na instalação do driver USB" and then its reason:
  // the reason is what is passed on.
  std::string output = rawOutput;
  if (const std::string lead = "Erro na instala"; output.rfind(lead, 0) == 0) {
    const size_t line = output.find('\n');
    output = line == std::string::npos ? std::string() : output.substr(line + 1);
  }
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  if (status == 126) return "a autorização de administrador foi recusada ou o pedido foi fechado (pkexec)";
  if (status == 127) {
    std::string text = "não foi possível obter a autorização de administrador (pkexec: nenhum agente polkit?)";
    if (!output.empty()) text += ": " + output;
    return text;
  }
  if (status < 0) return output.empty() ? std::string("pkexec não pôde ser executado") : output;
  return output.empty() ? "a etapa privilegiada terminou com o código " + std::to_string(status) : output;
}

bool InstallUsbDriverAsUser(const UsbDriverInstallOptions& options, const PrivilegedInstall& how,
                            UsbDriverInstallResult* result, std::string* error) {
  if (how.asRoot) return InstallUsbDriver(options, result, error);

  UsbDriverInstallResult done;
  // Read here, as this user: root would read its own configuration, without the
  // identifiers this user added.
  if (!ReadIdsAndGroup(options, done, error)) return false;
  done.rulesPath = std::string(kUdevRulesDir) + "/" + kUsbRulesFileName;
  if (result) *result = done;

  const std::string pkexec = how.pkexec.empty() ? FindPkexec() : how.pkexec;
  if (pkexec.empty()) {
    if (error) {
      *error = "pkexec não foi encontrado (pacote pkexec ou policykit-1): execute como root: sudo tervane-cli usb install";
    }
    return false;
  }
  if (how.cli.empty() || how.cli[0] != '/') {
    if (error) *error = "o programa tervane-cli não foi encontrado ao lado deste programa";
    return false;
  }
  const std::vector<std::string> argv =
      PrivilegedUsbInstallCommand(pkexec, how.cli, done.ids, done.group, options.reloadUdev);
  std::string output;
  const int status = how.run ? how.run(argv, output) : RunCommand(argv, output);
  if (status == 0) return true;
  if (error) *error = PkexecFailureReason(status, output);
  return false;
}

}  // namespace tervane
