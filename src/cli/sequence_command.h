// `sequence`: the command sequences of sequencias.xml from the terminal: list them, show
// one, run one against a printer, add a catalogue command to one, delete one.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_environment.h"
#include "cli/cli_support.h"
#include "cli/printer_options.h"

namespace tervane {
class CSequenceStore;
struct CSequence;
}  // namespace tervane

namespace tervane::cli {

class SequenceCommand : public CliCommand {
 public:
  SequenceCommand(const OutputOptions& output, const CliEnvironment& environment)
      : output_(output), environment_(environment) {}

  CLI::App* attach(CLI::App& app) override;

  // Runs the chosen action. Returns kExitOk, kExitUsage (bad arguments, a sequence file
  // that cannot be read, no such sequence or command, a refused name, a file that cannot
  // be written), or for `run` the status of the run's code: kExitMandatoryEmpty,
  // kExitWrongSize, kExitExchangeFailed, kExitCancelled, kExitSequenceCancelled.
  int execute(std::ostream& out, std::ostream& err) override;
  // Only `run` writes a JSON document.
  bool offersJson() const override;

 private:
  int list(std::ostream& out, std::ostream& err);
  int show(std::ostream& out, std::ostream& err);
  int run(std::ostream& out, std::ostream& err);
  int add(std::ostream& out, std::ostream& err);
  int remove(std::ostream& out, std::ostream& err);

  // The sequence file: --file, else sequencias.xml in `workdir` (the current directory
  // when empty).
  std::string filePath(const std::string& workdir) const;
  // Reads the sequence file into `store`. A missing file is an empty list when
  // `missingIsEmpty`; otherwise, and for a file that cannot be read, writes the message
  // and why to `err` and returns false.
  bool load(CSequenceStore& store, bool missingIsEmpty, std::ostream& err) const;
  // The sequence named `name` exactly, else the one named by its cleaned form (upper
  // case, punctuation removed); writes why to `err` and returns null when there is none.
  const CSequence* find(const CSequenceStore& store, const std::string& name, std::ostream& err) const;

  const OutputOptions& output_;
  const CliEnvironment& environment_;

  CLI::App* list_ = nullptr;
  CLI::App* show_ = nullptr;
  CLI::App* run_ = nullptr;
  CLI::App* add_ = nullptr;
  CLI::App* delete_ = nullptr;

  std::string file_;
  std::string workdir_;      // list, show, add, delete
  std::string name_;         // UTF-8
  // run
  PrinterOptions printer_;
  int times_ = 1;
  int wait_ = 0;
  bool step_ = false;
  bool hex_ = false;
  std::string record_;
  // add
  CommandChoice choice_;
  std::vector<std::string> values_;
};

}  // namespace tervane::cli
