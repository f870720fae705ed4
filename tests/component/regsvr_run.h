// Runs the registration tool against the built logo control, for the tests of the
// component registry and of the hosted control.
#pragma once

#include <sys/wait.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tervane::component {

// The built control library, by its real path (the registry keeps real paths).
inline std::string LibraryPath() {
  char resolved[PATH_MAX];
  const std::string path = std::string(TERVANE_LIB_DIR) + "/libbrandel.so";
  return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

struct ToolRun {
  int status = -1;
  std::string output;  // standard output and error together
};

// Runs tervane-regsvr (after `prefix`, such as a privilege drop) with `arguments`.
inline ToolRun RunRegsvr(const std::string& arguments, const std::string& prefix = "") {
  const std::string command = prefix + "'" + std::string(TERVANE_BIN_DIR) + "/tervane-regsvr' " + arguments + " 2>&1";
  ToolRun run;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[512];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, count);
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace tervane::component
