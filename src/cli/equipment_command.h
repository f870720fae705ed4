// `equipment read` and `equipment program`: a printer's configuration into a profile,
// and a stored profile into a printer in technical intervention.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/cli_command.h"
#include "cli/exchange_options.h"

namespace tervane::cli {

// Exit status of a printer that did not answer, or refused a programming command.
inline constexpr int kExitPrinterFailed = 4;

class EquipmentCommand : public CliCommand {
 public:
  explicit EquipmentCommand(const OutputOptions& output) : output_(output) {}

  CLI::App* attach(CLI::App& app) override;

  // read: prints the profile read from the printer (and stores it with --save). Returns
  // 0; kExitUsage when the profile cannot be stored; kExitPrinterFailed when the printer
  // stopped answering (what was read is still printed, nothing is stored).
  // program: runs the programming commands of the stored profile and prints the
  // accumulated results. Returns 0 when every command ran and was accepted; kExitUsage
  // for a missing profile or unreadable profile file; kExitMandatoryEmpty or
  // kExitWrongSize when a command could not be framed (the run stops there);
  // kExitPrinterFailed when the printer did not answer or refused a command. With
  // --dry-run prints each command and its frame without sending anything, returning
  // the framing status of the first command that cannot be framed.
  int execute(std::ostream& out, std::ostream& err) override;

 private:
  int read(std::ostream& out, std::ostream& err);
  int program(std::ostream& out, std::ostream& err);
  std::string profileFile(const ExchangeOptions& options, const std::string& file) const;

  const OutputOptions& output_;
  CLI::App* read_ = nullptr;
  CLI::App* program_ = nullptr;
  ExchangeOptions readOptions_;
  ExchangeOptions programOptions_;
  bool save_ = false;
  std::string readFile_;
  std::string programFile_;
  std::string serial_;
  std::string password_;
  bool dryRun_ = false;
  bool trace_ = false;
};

}  // namespace tervane::cli
