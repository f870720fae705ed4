// Runs tervane-cli in-process and keeps what it wrote.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "core/common/charset.h"

namespace tervane::cli::testing {

struct CliRun {
  int code = -1;
  std::string out;
  std::string err;
};

inline CliRun Cli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  CliRun run;
  run.code = RunCli(args, out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

// The repository's catalogue folder.
inline std::string DataDir() { return std::string(TERVANE_REPO_DIR) + "/data"; }

}  // namespace tervane::cli::testing
