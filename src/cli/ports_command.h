// `ports`: the COM-port map and the serial devices present.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_command.h"

namespace tervane::cli {

class PortsCommand : public CliCommand {
 public:
  explicit PortsCommand(const OutputOptions& output) : output_(output) {}

  CLI::App* attach(CLI::App& app) override;

  // One line per port: name, device, where the mapping comes from, and "present" or
  // "absent", separated by tabs. Never fails.
  int execute(std::ostream& out, std::ostream& err) override;
  bool offersJson() const override { return true; }

 private:
  const OutputOptions& output_;
  std::vector<std::string> names_;
  std::string devDir_;  // empty: the system's (or TERVANE_DEV_DIR)
  std::string sysDir_;  // empty: the system's (or TERVANE_SYS_DIR)
};

}  // namespace tervane::cli
