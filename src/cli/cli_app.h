// The command-line face of the core.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tervane::cli {

// Runs tervane-cli with its arguments (argv[0] excluded); writes to the given streams.
// Returns the exit status.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

struct CliEnvironment;

// The same with the surroundings given: the answers to questions, the ports, the clock.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment);

}  // namespace tervane::cli
