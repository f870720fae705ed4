// `equipment read` and `equipment program`: a printer's configuration into a profile,
// and a stored profile into a printer in technical intervention.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_environment.h"
#include "cli/printer_options.h"

namespace tervane::cli {

class EquipmentCommand : public CliCommand {
 public:
  EquipmentCommand(const OutputOptions& output, const CliEnvironment& environment)
      : output_(output), environment_(environment) {}

  CLI::App* attach(CLI::App& app) override;

  // read: prints the profile read from the printer (and stores it with --save). Returns
  // 0; kExitUsage for bad options or when the profile cannot be stored;
  // kExitExchangeFailed when the printer stopped answering or refused a step, and
  // kExitCancelled after Ctrl-C: what was read is printed with the steps that were not,
  // and nothing is stored.
  // program: runs the programming commands of the stored profile and prints the
  // accumulated results. Returns 0 when every command ran and was accepted; kExitUsage
  // for bad options, a missing profile or an unreadable profile file;
  // kExitMandatoryEmpty or kExitWrongSize when a command could not be framed (the run
  // stops there); kExitExchangeFailed when the printer did not answer or refused a
  // command; kExitCancelled or kExitSequenceCancelled after Ctrl-C. With --dry-run
  // prints each command and its frame without sending anything, returning the framing
  // status of the first command that cannot be framed.
  int execute(std::ostream& out, std::ostream& err) override;
  // Only `read` writes a JSON document.
  bool offersJson() const override;

 private:
  int read(std::ostream& out, std::ostream& err);
  int program(std::ostream& out, std::ostream& err);
  std::string profileFile(const ProgramSettings& settings, const std::string& file) const;

  const OutputOptions& output_;
  const CliEnvironment& environment_;
  CLI::App* read_ = nullptr;
  CLI::App* program_ = nullptr;
  PrinterOptions readOptions_;
  PrinterOptions programOptions_;
  bool save_ = false;
  std::string readFile_;
  std::string programFile_;
  std::string serial_;
  std::string password_;
  bool askPassword_ = false;
  std::string clock_ = "profile";
  bool dryRun_ = false;
  bool trace_ = false;
};

}  // namespace tervane::cli
