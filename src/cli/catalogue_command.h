// `catalogue`: lists the commands of comandos.xml with their group and whether the
// chosen model may use them.
#pragma once

#include <string>

#include "cli/cli_command.h"

namespace tervane::cli {

class CatalogueCommand : public CliCommand {
 public:
  explicit CatalogueCommand(const OutputOptions& output) : output_(output) {}

  CLI::App* attach(CLI::App& app) override;

  // One line per command: index, group, title and "enabled" or "disabled", separated by
  // tabs. Returns kExitUsage when the catalogue cannot be loaded.
  int execute(std::ostream& out, std::ostream& err) override;

 private:
  const OutputOptions& output_;
  std::string workdir_;
  std::string model_;
  bool filter_ = false;
  bool check_ = false;
};

}  // namespace tervane::cli
