// `transcript`: reading session transcripts back (`show`, as the monitor prints them;
// `diff`, the commands whose replies differ between two sessions), and the pieces the
// other commands share: the readable block of one exchange and the --record option.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_support.h"
#include "core/catalogue/catalogue.h"
#include "core/monitor/recording_port.h"
#include "core/monitor/transcript.h"

namespace tervane::cli {

// Exit status of `transcript diff` when the sessions differ.
inline constexpr int kExitTranscriptsDiffer = 9;

// The readable block of one exchange (Windows-1252, CR LF): time, title and round trip,
// the frame and its parameters, the reply and its decoding.
std::string ExchangeBlock(const DecodedExchange& exchange, const std::string& time, std::int64_t roundTripMs);

// --record FILE for a command that talks to a printer.
class SessionRecorder {
 public:
  // Opens the transcript; the catalogue of `workdir` decodes its summaries (a catalogue
  // that does not load leaves them undecoded). False after saying why on `err`.
  bool Start(const std::string& path, const std::string& workdir, std::ostream& err, const OutputOptions& output);
  // The factory to run the exchanges through: `inner` itself when not recording.
  PortFactory& Wrap(PortFactory& inner, Clock& clock);
  // Puts the transcript in place. False after saying why on `err`.
  bool Finish(std::ostream& err, const OutputOptions& output);
  bool Active() const { return writer_.IsOpen(); }

 private:
  CommandCatalogue catalogue_;
  TranscriptWriter writer_;
  std::unique_ptr<RecordingPortFactory> factory_;
};

class TranscriptCommand : public CliCommand {
 public:
  explicit TranscriptCommand(const OutputOptions& output) : output_(output) {}

  CLI::App* attach(CLI::App& app) override;

  // show: kExitOk, or kExitUsage for a file that cannot be read. diff: kExitOk when
  // every reply matches, kExitTranscriptsDiffer otherwise, kExitUsage as for show.
  int execute(std::ostream& out, std::ostream& err) override;

 private:
  int show(std::ostream& out, std::ostream& err);
  int diff(std::ostream& out, std::ostream& err);

  const OutputOptions& output_;
  CLI::App* show_ = nullptr;
  CLI::App* diff_ = nullptr;
  std::string workdir_;
  std::string file_;
  std::string other_;
  bool json_ = false;
};

}  // namespace tervane::cli
