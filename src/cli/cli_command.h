// The shape every tervane-cli command shares: it declares its options on its own
// subcommand and, once the arguments are parsed, runs against two swappable streams.
#pragma once

#include <iosfwd>

namespace CLI {
class App;
}

namespace tervane {
class Clock;
class PortFactory;
class ProgressSink;
}  // namespace tervane

namespace tervane::cli {

// Exit statuses of tervane-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;          // bad arguments, unknown command, catalogue not loadable
inline constexpr int kExitMandatoryEmpty = 2; // a mandatory parameter is empty
inline constexpr int kExitWrongSize = 3;      // a parameter has the wrong size
inline constexpr int kExitExchangeFailed = 4;    // the exchange with the printer failed
inline constexpr int kExitCancelled = 5;         // a command was cancelled
inline constexpr int kExitSequenceCancelled = 6; // a sequence was cancelled between commands

struct JsonReport;

// Options that every command honours.
struct OutputOptions {
  bool raw = false;  // write texts as the core holds them: Windows-1252 bytes, CR LF line ends
  // --json: the commands that offer it add what they print to `report`; the program
  // writes the one JSON document. Null when --json was not given.
  JsonReport* report = nullptr;
};

// What the commands that talk to a printer take from their surroundings. The program
// leaves them null; tests put in a clock that shortens the long waits, a progress
// display that cancels on cue, and (for `send`) ports that record what was done to them.
struct CliContext {
  Clock* clock = nullptr;            // null: the system clock
  ProgressSink* progress = nullptr;  // null: the terminal's bar on standard error, Ctrl-C cancels
  PortFactory* ports = nullptr;      // null: the system's ports
};

class CliCommand {
 public:
  virtual ~CliCommand() = default;

  // Adds this command's subcommand and its options to `app`; returns the subcommand.
  virtual CLI::App* attach(CLI::App& app) = 0;

  // Runs the command with the parsed options. Returns the exit status (kExit*).
  virtual int execute(std::ostream& out, std::ostream& err) = 0;

  // True when the parsed (sub)command writes its content to OutputOptions::report in
  // --json mode; the others refuse --json.
  virtual bool offersJson() const { return false; }
};

}  // namespace tervane::cli
