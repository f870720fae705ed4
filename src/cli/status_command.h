// `status`: the texts of the status bytes ST1 and ST2 and of an extended error code.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_command.h"

namespace tervane::cli {

class StatusCommand : public CliCommand {
 public:
  explicit StatusCommand(const OutputOptions& output) : output_(output) {}

  CLI::App* attach(CLI::App& app) override;

  // Prints the status text of ST1 and ST2, followed, when the two extended bytes are given,
  // by the extended error text. Returns kExitUsage for a byte that is not 0-255 or a count
  // of bytes other than 2 or 4.
  int execute(std::ostream& out, std::ostream& err) override;
  bool offersJson() const override { return true; }

 private:
  const OutputOptions& output_;
  std::vector<std::string> bytes_;
};

}  // namespace tervane::cli
