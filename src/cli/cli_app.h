// The command-line face of the core.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/cli_command.h"

namespace tervane::cli {

// Runs tervane-cli with its arguments (argv[0] excluded); writes to the given streams.
// Returns the exit status (kExit*).
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliContext& context = {});

}  // namespace tervane::cli
