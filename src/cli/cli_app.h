// The command-line face of the core.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/cli_command.h"

namespace tervane::cli {

struct CliEnvironment;

// Runs tervane-cli with its arguments (argv[0] excluded); writes to the given streams.
// Returns the exit status (kExit*).
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliContext& context = {});

// The same with the surroundings given: the answers to questions, the ports, the clock.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment);

}  // namespace tervane::cli
