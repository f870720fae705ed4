// `monitor`: a transparent pass-through between a point-of-sale program and the printer
// that decodes both directions live: a pseudo-terminal standing in for the printer's
// serial port, or a listening socket in front of the network bridge.
#pragma once

#include <string>

#include "cli/cli_command.h"
#include "cli/cli_support.h"

namespace tervane::cli {

class MonitorCommand : public CliCommand {
 public:
  explicit MonitorCommand(const OutputOptions& output) : output_(output) {}

  CLI::App* attach(CLI::App& app) override;

  // Forwards and decodes until SIGINT or SIGTERM (kExitOk) or until the printer side goes
  // away (kExitExchangeFailed). kExitUsage for bad arguments, a catalogue that does not
  // load, or a device, pseudo-terminal, socket or transcript that cannot be set up.
  int execute(std::ostream& out, std::ostream& err) override;

 private:
  int serial(std::ostream& out, std::ostream& err);
  int bridge(std::ostream& out, std::ostream& err);

  const OutputOptions& output_;
  std::string workdir_;
  std::string device_;
  std::string link_;
  int baud_ = 9600;
  std::string listen_;
  std::string forward_;
  std::string record_;
  bool json_ = false;
};

}  // namespace tervane::cli
