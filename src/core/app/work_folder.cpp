#include "core/app/work_folder.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/common/atomic_file.h"
#include "core/common/charset.h"
#include "core/common/install_paths.h"
#include "core/common/text.h"

namespace tervane {
namespace {

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// An XDG base folder: the variable when it holds an absolute path (a relative one is
// invalid and ignored), else <home>/<fallback>; "" without either.
std::string BaseFolder(const std::string& variable, const std::string& home, const char* fallback) {
  if (!variable.empty() && variable.front() == '/') return variable;
  if (home.empty() || home.front() != '/') return {};
  return JoinPath(home, fallback);
}

// Whether files can be created in `folder`, by trying: permission bits say nothing for
// root or on a read-only mount.
bool CanCreateFilesIn(const std::string& folder, std::string* error) {
  std::string probe = JoinPath(folder, ".tervane-probe-XXXXXX");
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

// Places `bytes` at `target` unless a file is there already, so that a reader never sees
// a half-written catalogue and a catalogue the user put there meanwhile is never
// replaced. Returns 0 when written, 1 when a file was already there, -1 on failure with
// `error` set.
int CreateFileAtomically(const std::string& target, const std::string& bytes, std::string* error) {
  const size_t slash = target.rfind('/');
  std::string temp = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) +
                     ".comandos.xml.seed-XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    *error = Format("%s: %s", temp.c_str(), std::strerror(errno));
    return -1;
  }
  ::fchmod(fd, 0644);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool written = done == bytes.size() && ::fsync(fd) == 0;
  const int writeErrno = errno;
  ::close(fd);
  if (!written) {
    *error = Format("%s: %s", temp.c_str(), std::strerror(writeErrno));
    ::unlink(temp.c_str());
    return -1;
  }
  // renameat2 with RENAME_NOREPLACE where the file system has it; a hard link, which
  // also refuses an existing name, where it does not.
  int result = ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
  if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
    result = ::link(temp.c_str(), target.c_str());
    const int linkErrno = errno;
    ::unlink(temp.c_str());
    errno = linkErrno;
  }
  if (result == 0) return 0;
  const int renameErrno = errno;
  ::unlink(temp.c_str());
  if (renameErrno == EEXIST) return 1;
  *error = Format("%s: %s", target.c_str(), std::strerror(renameErrno));
  return -1;
}

// Gives `folder` the shipped catalogue when it has none. Returns true when the folder
// holds a catalogue afterwards.
bool SeedCatalogue(const std::string& folder, const std::string& shippedDataDir, WorkFolderChoice& choice) {
  const std::string target = JoinPath(folder, kCatalogueFileName);
  if (IsFile(target)) return true;
  if (shippedDataDir.empty()) {
    choice.warnings.push_back(Cp(Format("Catálogo fornecido não encontrado: a pasta dos dados do Tervane é "
                                        "desconhecida. Copie um comandos.xml para %s.",
                                        folder.c_str())));
    return false;
  }
  const std::string shipped = JoinPath(shippedDataDir, kCatalogueFileName);
  std::string bytes;
  std::string error;
  if (!IsFile(shipped)) {
    choice.warnings.push_back(Cp(Format("Catálogo fornecido não encontrado: %s. Copie um comandos.xml para %s.",
                                        shipped.c_str(), folder.c_str())));
    return false;
  }
  if (!ReadWholeFile(shipped, bytes, &error)) {
    choice.warnings.push_back(Cp(Format("Não foi possível ler o catálogo fornecido %s (%s).", shipped.c_str(),
                                        error.c_str())));
    return false;
  }
  const int created = CreateFileAtomically(target, bytes, &error);
  if (created < 0) {
    choice.warnings.push_back(
        Cp(Format("Não foi possível copiar o catálogo para %s: %s.", target.c_str(), error.c_str())));
    return false;
  }
  choice.seeded = created == 0;
  return true;
}

}  // namespace

bool MakeFolders(const std::string& path, std::string* error) {
  if (path.empty() || path.front() != '/') {
    if (error) *error = path + ": caminho não absoluto";
    return false;
  }
  for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    const std::string part = end == std::string::npos ? path : path.substr(0, end);
    if (!part.empty() && part.back() != '/' && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      if (error) *error = Format("%s: %s", part.c_str(), std::strerror(errno));
      return false;
    }
    if (end == std::string::npos) break;
  }
  if (!IsFolder(path)) {
    if (error) *error = Format("%s: %s", path.c_str(), std::strerror(ENOTDIR));
    return false;
  }
  return true;
}

WorkFolderChoice ChooseWorkFolder(const WorkFolderInputs& inputs) {
  WorkFolderChoice choice;
  if (!inputs.workdirOption.empty()) {
    choice.source = WorkFolderChoice::Source::kOption;
    choice.workDir = inputs.workdirOption;
    return choice;
  }
  if (IsFile(JoinPath(inputs.currentDir, kCatalogueFileName))) {
    choice.source = WorkFolderChoice::Source::kCurrentFolder;
    choice.workDir = inputs.currentDir;
    return choice;
  }

  const std::string dataHome = BaseFolder(inputs.xdgDataHome, inputs.home, ".local/share");
  const std::string stateHome = BaseFolder(inputs.xdgStateHome, inputs.home, ".local/state");
  // Where to go when the user's data folder cannot serve: the shipped catalogue's folder
  // (read only, but every menu is there), else the current folder.
  const auto fallBack = [&](const std::string& reason) {
    choice.source = WorkFolderChoice::Source::kFallback;
    const bool shipped = !inputs.shippedDataDir.empty() && IsFile(JoinPath(inputs.shippedDataDir, kCatalogueFileName));
    choice.workDir = shipped ? inputs.shippedDataDir : inputs.currentDir;
    choice.warnings.push_back(Cp(Format("%s Usando %s%s.", reason.c_str(), choice.workDir.c_str(),
                                        shipped ? " (somente leitura)" : "")));
  };

  std::string error;
  if (dataHome.empty()) {
    fallBack("Pasta pessoal desconhecida (HOME e XDG_DATA_HOME não definidos).");
  } else {
    const std::string folder = JoinPath(dataHome, "tervane");
    if (!MakeFolders(folder, &error)) {
      fallBack(Format("Não foi possível criar a pasta de trabalho %s (%s).", folder.c_str(), error.c_str()));
    } else if (!CanCreateFilesIn(folder, &error)) {
      // A catalogue already there still serves; only saving sequences and profiles fails.
      if (IsFile(JoinPath(folder, kCatalogueFileName))) {
        choice.source = WorkFolderChoice::Source::kUserData;
        choice.workDir = folder;
        choice.warnings.push_back(
            Cp(Format("A pasta de trabalho %s não permite gravação (%s).", folder.c_str(), error.c_str())));
      } else {
        fallBack(Format("A pasta de trabalho %s não permite gravação (%s).", folder.c_str(), error.c_str()));
      }
    } else {
      choice.source = WorkFolderChoice::Source::kUserData;
      choice.workDir = folder;
      SeedCatalogue(folder, inputs.shippedDataDir, choice);
    }
  }

  if (stateHome.empty()) return choice;  // the log stays in <workDir>/log
  const std::string logFolder = JoinPath(JoinPath(stateHome, "tervane"), "log");
  if (MakeFolders(logFolder, &error) && CanCreateFilesIn(logFolder, &error)) {
    choice.logDir = logFolder;
  } else {
    // The log then goes to <workDir>/log; say so only when that folder can take it (the
    // read-only shipped folder cannot), so that no one counts on a log that is not kept.
    const std::string fallbackLog = JoinPath(choice.workDir, "log");
    std::string fallbackError;
    const bool kept = MakeFolders(fallbackLog, &fallbackError) && CanCreateFilesIn(fallbackLog, &fallbackError);
    choice.warnings.push_back(Cp(
        kept ? Format("Não foi possível criar a pasta do registro diário %s (%s); o registro vai para %s.",
                      logFolder.c_str(), error.c_str(), fallbackLog.c_str())
             : Format("Não foi possível criar a pasta do registro diário %s (%s) nem %s (%s); o registro diário "
                      "não será gravado.",
                      logFolder.c_str(), error.c_str(), fallbackLog.c_str(), fallbackError.c_str())));
  }
  return choice;
}

WorkFolderInputs WorkFolderInputsFromEnvironment(const std::string& workdirOption, const std::string& currentDir) {
  WorkFolderInputs inputs;
  inputs.workdirOption = workdirOption;
  inputs.currentDir = currentDir;
  const auto env = [](const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
  };
  inputs.xdgDataHome = env("XDG_DATA_HOME");
  inputs.xdgStateHome = env("XDG_STATE_HOME");
  inputs.home = env("HOME");
  if (inputs.home.empty()) {
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
      inputs.home = entry->pw_dir;
    }
  }
  inputs.shippedDataDir = ShippedDataDir();
  return inputs;
}

}  // namespace tervane
