// `frame`: builds the bytes a catalogue command is sent as, with parameter values given
// on the command line.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_support.h"

namespace tervane::cli {

class FrameCommand : public CliCommand {
 public:
  explicit FrameCommand(const OutputOptions& output) : output_(output) {}

  CLI::App* attach(CLI::App& app) override;

  // Prints the frame as upper-case hexadecimal bytes on one line. Returns kExitUsage for
  // bad arguments or an unloadable catalogue, kExitMandatoryEmpty or kExitWrongSize when
  // a parameter cannot be encoded (the framer's message is printed to `err`).
  int execute(std::ostream& out, std::ostream& err) override;
  bool offersJson() const override { return true; }

 private:
  const OutputOptions& output_;
  std::string workdir_;
  CommandChoice choice_;
  std::vector<std::string> values_;
  bool extended_ = false;
};

}  // namespace tervane::cli
