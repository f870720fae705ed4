// `profile list|show|delete`: the stored equipment profiles.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/cli_command.h"

namespace tervane::cli {

class ProfileCommand : public CliCommand {
 public:
  explicit ProfileCommand(const OutputOptions& output) : output_(output) {}

  CLI::App* attach(CLI::App& app) override;

  // list: one line per stored profile (serial, client, CNPJ), in file order.
  // show SERIAL: the last stored profile with that serial number.
  // delete SERIAL: removes every profile with that serial number and saves the file.
  // Returns 0; kExitUsage when the file cannot be read (a missing file lists nothing),
  // no profile has the serial, or the file cannot be written.
  int execute(std::ostream& out, std::ostream& err) override;

 private:
  std::string path() const;

  const OutputOptions& output_;
  CLI::App* list_ = nullptr;
  CLI::App* show_ = nullptr;
  CLI::App* delete_ = nullptr;
  std::string workdir_;
  std::string file_;
  std::string serial_;
};

}  // namespace tervane::cli
