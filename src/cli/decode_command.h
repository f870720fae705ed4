// `decode`: decodes a reply typed on the command line as the workbench decodes a reply
// received for a catalogue command.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_support.h"

namespace tervane::cli {

class DecodeCommand : public CliCommand {
 public:
  explicit DecodeCommand(const OutputOptions& output) : output_(output) {}

  CLI::App* attach(CLI::App& app) override;

  // Prints the result text of the decoded reply. A reply whose length differs from the
  // command's is still decoded (as far as it goes) after a warning on `err`. Returns
  // kExitUsage for bad arguments, an unloadable catalogue or a GPRS command.
  int execute(std::ostream& out, std::ostream& err) override;
  bool offersJson() const override { return true; }

 private:
  const OutputOptions& output_;
  std::string workdir_;
  CommandChoice choice_;
  std::vector<std::string> reply_;
  bool extended_ = false;
};

}  // namespace tervane::cli
