#include "core/monitor/pseudo_terminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace tervane {

PseudoTerminal::~PseudoTerminal() { Close(); }

bool PseudoTerminal::Open(const std::string& link, std::string* error) {
  Close();
  auto fail = [&](const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
    Close();
    return false;
  };
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0) return fail("cannot create a pseudo-terminal");
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return fail("cannot unlock the pseudo-terminal");
  char name[128];
  if (::ptsname_r(master_, name, sizeof name) != 0) return fail("cannot name the pseudo-terminal");
  slavePath_ = name;
  // Raw bytes both ways: no echo, no line editing, no CR/LF translation.
  termios line{};
  if (::tcgetattr(master_, &line) == 0) {
    ::cfmakeraw(&line);
    ::tcsetattr(master_, TCSANOW, &line);
  }
  heldSlave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (heldSlave_ < 0) return fail("cannot open " + slavePath_);
  if (link.empty()) return true;

  struct stat st {};
  if (::lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    errno = EEXIST;
    return fail("'" + link + "' is not a symbolic link");
  }
  // Put in place by a rename, so the path never dangles half-made.
  const std::string staging = link + ".tmp";
  ::unlink(staging.c_str());
  if (::symlink(slavePath_.c_str(), staging.c_str()) != 0) return fail("cannot create the link '" + link + "'");
  if (::rename(staging.c_str(), link.c_str()) != 0) {
    const int saved = errno;
    ::unlink(staging.c_str());
    errno = saved;
    return fail("cannot create the link '" + link + "'");
  }
  link_ = link;
  linked_ = true;
  return true;
}

void PseudoTerminal::Close() {
  if (linked_) {
    char target[256];
    const ssize_t n = ::readlink(link_.c_str(), target, sizeof target - 1);
    if (n >= 0 && slavePath_ == std::string(target, static_cast<std::size_t>(n))) ::unlink(link_.c_str());
    linked_ = false;
  }
  if (heldSlave_ >= 0) ::close(heldSlave_);
  if (master_ >= 0) ::close(master_);
  heldSlave_ = master_ = -1;
}

}  // namespace tervane
