#include "core/transport/open_failure.h"

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "core/common/charset.h"

namespace tervane {
namespace {

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ProcessName(long pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

bool ProcessAlive(long pid) {
  struct stat st {};
  return pid > 0 && ::stat(("/proc/" + std::to_string(pid)).c_str(), &st) == 0;
}

std::string Holder(long pid) {
  const std::string name = ProcessName(pid);
  return (name.empty() ? std::string("processo") : name) + " (PID " + std::to_string(pid) + ")";
}

// A UUCP-style lock file: the holder's process number, as text or as a binary int.
long LockFilePid(const std::string& device) {
  for (const char* folder : {"/run/lock", "/var/lock"}) {
    std::ifstream in(std::string(folder) + "/LCK.." + BaseName(device), std::ios::binary);
    if (!in) continue;
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    char* end = nullptr;
    long pid = std::strtol(content.c_str(), &end, 10);
    if (end == content.c_str() && content.size() == sizeof(int)) {
      int binary = 0;
      std::memcpy(&binary, content.data(), sizeof binary);
      pid = binary;
    }
    if (ProcessAlive(pid)) return pid;
  }
  return 0;
}

// An advisory lock on the device's inode, from /proc/locks: "1: FLOCK ADVISORY WRITE
// <pid> <major>:<minor>:<inode> 0 EOF", the numbers of the file system in hexadecimal.
long LockedByPid(const std::string& device) {
  struct stat st {};
  if (::stat(device.c_str(), &st) != 0) return 0;
  std::ifstream in("/proc/locks");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, type, mode, access, file;
    long pid = 0;
    if (!(fields >> id >> type)) continue;
    if (type == "->") continue;  // a waiter, not the holder
    if (!(fields >> mode >> access >> pid >> file)) continue;
    unsigned major = 0, minor = 0;
    unsigned long inode = 0;
    if (std::sscanf(file.c_str(), "%x:%x:%lu", &major, &minor, &inode) != 3) continue;
    if (major == ::major(st.st_dev) && minor == ::minor(st.st_dev) && inode == st.st_ino && ProcessAlive(pid)) {
      return pid;
    }
  }
  return 0;
}

// A process whose descriptors can be read (this user's, or any for root) that has the
// device open.
long OpenedByPid(const std::string& device) {
  char resolved[PATH_MAX];
  if (::realpath(device.c_str(), resolved) == nullptr) return 0;
  const std::string target = resolved;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return 0;
  long found = 0;
  const long self = static_cast<long>(::getpid());
  while (const dirent* entry = ::readdir(proc)) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0' || pid == self) continue;
    const std::string fdDir = "/proc/" + std::string(entry->d_name) + "/fd";
    DIR* fds = ::opendir(fdDir.c_str());
    if (fds == nullptr) continue;
    while (const dirent* fd = ::readdir(fds)) {
      char link[PATH_MAX];
      const std::string path = fdDir + "/" + fd->d_name;
      const ssize_t n = ::readlink(path.c_str(), link, sizeof link - 1);
      if (n <= 0) continue;
      link[n] = '\0';
      if (target == link) {
        found = pid;
        break;
      }
    }
    ::closedir(fds);
    if (found != 0) break;
  }
  ::closedir(proc);
  return found;
}

std::string UserName() {
  if (const passwd* pw = ::getpwuid(::geteuid()); pw != nullptr && pw->pw_name != nullptr) return pw->pw_name;
  if (const char* user = std::getenv("USER"); user != nullptr && *user != '\0') return user;
  return "$USER";
}

std::string GroupName(gid_t gid) {
  if (const group* gr = ::getgrgid(gid); gr != nullptr && gr->gr_name != nullptr) return gr->gr_name;
  return std::to_string(gid);
}

// "rw-rw----" of a mode.
std::string Permissions(mode_t mode) {
  std::string text;
  const char letters[] = "rwx";
  for (int shift = 8; shift >= 0; --shift) text += (mode & (1u << shift)) ? letters[(8 - shift) % 3] : '-';
  return text;
}

// The user is listed in the group (in the group file, or as primary group) but this
// session does not carry it yet: it was added and the user has not logged in again.
bool ListedButNotActive(const std::string& groupName) {
  const group* gr = ::getgrnam(groupName.c_str());
  if (gr == nullptr) return false;
  const gid_t gid = gr->gr_gid;
  bool listed = false;
  const std::string user = UserName();
  for (char** member = gr->gr_mem; member != nullptr && *member != nullptr; ++member) {
    if (user == *member) listed = true;
  }
  if (const passwd* pw = ::getpwuid(::geteuid()); pw != nullptr && pw->pw_gid == gid) listed = true;
  if (!listed) return false;
  if (::getegid() == gid) return false;
  std::vector<gid_t> groups(static_cast<size_t>(std::max(::getgroups(0, nullptr), 0)));
  const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
  for (int i = 0; i < count; ++i) {
    if (groups[static_cast<size_t>(i)] == gid) return false;
  }
  return true;
}

std::string PermissionText(const std::string& device) {
  std::string text = "sem permissão para abrir " + device;
  struct stat st {};
  if (::stat(device.c_str(), &st) == 0) {
    text += " (grupo " + GroupName(st.st_gid) + ", permissões " + Permissions(st.st_mode) + ")";
  }
  const std::string group = SerialAccessGroup(device);
  const std::string user = UserName();
  if (ListedButNotActive(group)) {
    return text + ". O usuário " + user + " já está no grupo " + group +
           ", mas esta sessão ainda não: saia e entre de novo na sessão.";
  }
  text += ". As portas seriais são liberadas pelo grupo " + group + ": execute sudo usermod -aG " + group +
          " " + user + " e depois saia e entre de novo na sessão.";
  return text;
}

// A USB printer is reached through the udev rule the driver installation writes.
std::string UsbPermissionText(const std::string& device) {
  std::string text = "sem permissão para abrir a impressora USB";
  struct stat st {};
  if (device.rfind("/dev/", 0) == 0 && ::stat(device.c_str(), &st) == 0) {
    text += " (grupo " + GroupName(st.st_gid) + ", permissões " + Permissions(st.st_mode) + ")";
  }
  return text + ". Instale o acesso às impressoras USB: botão \"Instalar Driver USB\" das configurações, ou "
                "tervane-cli usb install (pede a senha de administrador); depois desconecte e conecte a "
                "impressora de novo.";
}

std::string SystemError(int error) {
  if (error == 0) return {};
  return std::string(std::strerror(error)) + ", erro " + std::to_string(error);
}

}  // namespace

std::string SerialAccessGroup(const std::string& device) {
  struct stat st {};
  if (::stat(device.c_str(), &st) == 0 && (st.st_mode & S_IRGRP) && (st.st_mode & S_IWGRP)) {
    const std::string name = GroupName(st.st_gid);
    if (name != "root" && name != "tty" && name != std::to_string(st.st_gid)) return name;
  }
  return "dialout";
}

bool MayOpenDevice(const std::string& device) { return ::access(device.c_str(), R_OK | W_OK) == 0; }

std::string FindDeviceHolder(const std::string& device) {
  if (device.empty()) return {};
  long pid = LockFilePid(device);
  if (pid == 0) pid = LockedByPid(device);
  if (pid == 0) pid = OpenedByPid(device);
  return pid == 0 ? std::string() : Holder(pid);
}

std::string LinkLostText(const std::string& portName, const PortLinkLoss& loss) {
  const std::string& where = loss.device.empty() ? portName : loss.device;
  std::string reason;
  switch (loss.kind) {
    case LinkLossKind::kNone:
      reason = "a porta " + portName + " deixou de responder.";
      break;
    case LinkLossKind::kHangup:
      reason = "a linha serial " + where +
               " caiu (cabo ou adaptador desconectado, impressora desligada, ou o outro lado fechou a porta).";
      break;
    case LinkLossKind::kPeerClosed:
      reason = "a ponte TCP em " + where + " encerrou a conexão.";
      break;
    case LinkLossKind::kPeerReset:
      reason = "a ponte TCP em " + where + " interrompeu a conexão";
      if (loss.error != 0) reason += " (" + SystemError(loss.error) + ")";
      reason += ".";
      break;
    case LinkLossKind::kRefused:
      reason = "a ponte TCP em " + where + " recusou a conexão (nada atende nesse endereço e porta).";
      break;
    case LinkLossKind::kDeviceRemoved:
      reason = "a impressora USB foi desconectada. Confira o cabo e se a impressora está ligada.";
      break;
  }
  return std::string(kLinkLostLead) + ": " + Cp(reason);
}

std::string OpenFailureText(const std::string& portName, const PortOpenFailure& failure) {
  const std::string& device = failure.device.empty() ? portName : failure.device;
  std::string port = "Não foi possível abrir a porta " + portName;
  if (!failure.device.empty() && failure.device != portName) port += " (" + failure.device + ")";
  std::string reason;
  switch (failure.kind) {
    case OpenFailureKind::kNone:
      return Cp(port + ".");
    case OpenFailureKind::kPermission:
      reason = portName == "USB" ? UsbPermissionText(device) : PermissionText(device);
      break;
    case OpenFailureKind::kBusy: {
      const std::string holder = FindDeviceHolder(device);
      reason = portName == "USB" ? "a impressora USB está em uso por outro programa"
                                 : "a porta está em uso por outro programa";
      if (!holder.empty()) reason += " (" + holder + ")";
      reason += ". Feche-o e tente de novo.";
      break;
    }
    case OpenFailureKind::kMissing:
      if (portName == "USB") {
        reason = "nenhuma impressora USB foi encontrada. Confira o cabo e se a impressora está ligada.";
      } else {
        reason = "o dispositivo " + device + " não existe. Confira o cabo ou o adaptador USB-serial e o nome "
                 "da porta.";
      }
      break;
    case OpenFailureKind::kNotTerminal:
      reason = device + " não é uma porta serial (não é um terminal).";
      break;
    case OpenFailureKind::kLineSettings:
      reason = "a porta recusou a configuração da linha (9600 bauds, 8 bits, sem paridade, 2 bits de parada)";
      if (failure.error != 0) reason += ": " + SystemError(failure.error);
      reason += ".";
      break;
    case OpenFailureKind::kOther:
      reason = failure.error != 0 ? SystemError(failure.error) + "." : "a porta não respondeu ao pedido de abertura.";
      break;
  }
  return Cp(port + ": " + reason);
}

}  // namespace tervane
