// A pseudo-terminal offered to a point-of-sale program in place of the printer's serial
// port, optionally under a stable symbolic link. The slave is held open here as well, so
// the program may close and reopen it at will without the master seeing a hang-up.
#pragma once

#include <string>

namespace tervane {

class PseudoTerminal {
 public:
  PseudoTerminal() = default;
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // Creates the pair (raw line settings, non-blocking master) and, when `link` is not
  // empty, points `link` at the slave (replacing an earlier symbolic link there, never
  // another kind of file). False with `error` when it cannot; nothing is left behind.
  bool Open(const std::string& link, std::string* error);
  // Removes the link (when it still points at this slave) and closes both ends.
  void Close();

  int MasterFd() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }

 private:
  int master_ = -1;
  int heldSlave_ = -1;
  std::string slavePath_;
  std::string link_;
  bool linked_ = false;
};

}  // namespace tervane
