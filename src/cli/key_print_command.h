// `keys print` and `mf integrity`: the printing of the printer's public key on a
// management report, and the fiscal-memory integrity check through the printer or on an
// .mf file. They sit under the `keys` and `mf` commands, which hand them their parsed
// subcommand.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_environment.h"
#include "cli/printer_options.h"

namespace tervane::cli {

class KeyPrintCommand {
 public:
  KeyPrintCommand(const OutputOptions& output, const CliEnvironment& environment)
      : output_(output), environment_(environment) {}

  // Adds `print` under `keys`; returns it.
  CLI::App* attach(CLI::App& keys);
  bool parsed() const;

  // Returns 0 when the four commands of the print ran; 1 for bad options; 4 when the
  // printer did not answer (the download, or any of the four commands); 7 when the
  // memory library or its entry point is missing; 8 when the library reported another
  // failure, the downloaded key file was unfit for printing, or the model has no public
  // key (first-library models).
  int execute(std::ostream& out, std::ostream& err);

 private:
  const OutputOptions& output_;
  const CliEnvironment& environment_;
  CLI::App* sub_ = nullptr;
  PrinterOptions options_;
};

class MfIntegrityCommand {
 public:
  MfIntegrityCommand(const OutputOptions& output, const CliEnvironment& environment)
      : output_(output), environment_(environment) {}

  // Adds `integrity` under `mf`; returns it.
  CLI::App* attach(CLI::App& mf);
  bool parsed() const;

  // --port: writes the cell command's result text (and with --hex its trace) on standard
  // output. --file: writes the report's path (also when the check failed and the library
  // wrote its findings). Returns 0 when the check passed; 1 for bad
  // options (neither or both of --port and --file); 4 or 5 when the exchange failed or
  // was cancelled; 7 when the memory library or its entry point is missing; 8 when the
  // memory has cells that are not OK, the library reported a failure, or the check does
  // not exist for the model (ZT-800 A through the port, first-library models by file).
  int execute(std::ostream& out, std::ostream& err);

 private:
  int throughPort(std::ostream& out, std::ostream& err);
  int ofFile(std::ostream& out, std::ostream& err);

  const OutputOptions& output_;
  const CliEnvironment& environment_;
  CLI::App* sub_ = nullptr;
  PrinterOptions options_;
  std::string mfFile_;
  std::string reportFile_;
  bool hex_ = false;
};

// The default report of `mf integrity --file F`: F without its extension, then
// "_integridade.txt".
std::string DefaultIntegrityReport(const std::string& mfFile);

}  // namespace tervane::cli
