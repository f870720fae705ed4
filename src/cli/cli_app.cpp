#include "cli/cli_app.h"

#include <ostream>

namespace tervane::cli {

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  (void)args;
  (void)err;
  out << "tervane-cli\n";
  return 0;
}

}  // namespace tervane::cli
