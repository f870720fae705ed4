// `pdf417 capture`: reads the PDF-417 symbols of a detail-tape memory (or, with
// --signature, of its digital signature) from a serial hand scanner and saves the MFD
// (.rsa) file, with the workbench's capture and save rules.
#pragma once

#include <string>

#include "cli/cli_command.h"
#include "cli/cli_environment.h"

namespace tervane::cli {

// Exit statuses of `pdf417 capture` beyond kExitOk and kExitUsage.
inline constexpr int kExitPdf417NothingSaved = 4;  // the port could not be opened, or nothing was saved
inline constexpr int kExitPdf417Stopped = 5;        // the capture was stopped without saving

class Pdf417Command : public CliCommand {
 public:
  Pdf417Command(const OutputOptions& output, const CliEnvironment& environment)
      : output_(output), environment_(environment) {}

  CLI::App* attach(CLI::App& app) override;
  // Runs the capture until the set is complete, Ctrl-C or the time-out, then stops it as
  // the "&Parar" button does, the file chooser answered by -o. Returns kExitOk when the
  // file was written, kExitPdf417Stopped when the capture was stopped without saving,
  // kExitPdf417NothingSaved when the port did not open or nothing was read, kExitUsage
  // for bad options.
  int execute(std::ostream& out, std::ostream& err) override;

 private:
  const OutputOptions& output_;
  const CliEnvironment& environment_;
  CLI::App* capture_ = nullptr;
  std::string port_;
  bool signature_ = false;
  std::string outputPath_;
  std::string baud_;
  std::string dataBits_;
  std::string parity_;
  std::string stopBits_;
  std::string handshake_;
  double timeoutSeconds_ = 0;
  std::string incomplete_ = "ask";
  std::string profilePath_;
};

}  // namespace tervane::cli
