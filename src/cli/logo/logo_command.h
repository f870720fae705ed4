// `logo upload` and `logo confirm`: the logo component's Send and Save from a terminal,
// with the composition drawn off-screen.
#pragma once

#include <string>

#include "cli/cli_command.h"

namespace tervane::cli {

// The exit status of a logo operation that did not succeed (port, printer or data).
inline constexpr int kExitLogoFailed = 4;

class LogoCommand : public CliCommand {
 public:
  explicit LogoCommand(const OutputOptions& output) : output_(output) {}

  CLI::App* attach(CLI::App& app) override;

  // Runs the chosen operation and prints the message the component would show.
  // Returns kExitOk on success, kExitUsage for bad arguments (a line over 48
  // characters, an unknown alignment), kExitLogoFailed for every other failure.
  int execute(std::ostream& out, std::ostream& err) override;

 private:
  int Upload(std::ostream& out, std::ostream& err);
  int Confirm(std::ostream& out, std::ostream& err);

  const OutputOptions& output_;
  CLI::App* upload_ = nullptr;
  CLI::App* confirm_ = nullptr;
  std::string port_;
  std::string bmp_;
  std::string lines_[4];
  std::string align_ = "left";
  std::string font_;
  std::string crc_;
};

}  // namespace tervane::cli
