// Session transcripts: one JSON object per exchange, one per line (JSON Lines), with the
// time, the port, the command and reply bytes and a decoded summary. The protocol
// monitor, `send` and `sequence run` write them; the simulator's replay and the
// transcript tools read them back. The layout is described in docs/transcripts.md.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/clock.h"
#include "core/monitor/exchange_decoder.h"

namespace tervane {

// The version written in each line's "transcript" member.
inline constexpr int kTranscriptVersion = 1;

// What a transcript line holds beside its bytes.
struct ExchangeContextInfo {
  std::string time;             // ISO 8601 UTC, milliseconds: "2026-12-09T05:48:22.123Z"
  std::string port;             // device, link or address the bytes went through
  std::int64_t roundTripMs = -1; // -1: no reply
};

// One line read back.
struct TranscriptEntry {
  int line = 0;  // 1-based line number in the file
  std::string time;
  std::string port;
  WireBytes command;
  WireBytes reply;
  std::int64_t roundTripMs = -1;
};

// The lines of a result or status text (CR LF or LF separated, most led by a line
// break) that hold more than blanks, without their line ends.
std::vector<std::string> TextLines(const std::string& text);

// "YYYY-MM-DDTHH:MM:SS.mmmZ".
std::string IsoUtcTime(const CivilTime& utc);

// One transcript line (no line end). Texts are written as UTF-8.
std::string TranscriptLine(const DecodedExchange& exchange, const ExchangeContextInfo& info);

// Reads transcript text. Empty lines are skipped; a line that is not a transcript object
// (not JSON, or without hexadecimal "command" and "reply" strings) is skipped and
// described in `problems` (when given) with its line number. Returns the number of
// lines skipped that way; never fails otherwise.
int ParseTranscript(std::string_view text, std::vector<TranscriptEntry>& entries,
                    std::vector<std::string>* problems = nullptr);

// The same from a file. Returns -1 (with `error`) when the file cannot be read, else the
// number of lines skipped.
int ReadTranscriptFile(const std::string& path, std::vector<TranscriptEntry>& entries,
                       std::vector<std::string>* problems, std::string* error);

// Writes a transcript as a session goes: each line is flushed as soon as it is written
// to `path`.part, which Close renames to `path`, so the file under its own name is
// always a whole session.
class TranscriptWriter {
 public:
  TranscriptWriter() = default;
  ~TranscriptWriter();
  TranscriptWriter(const TranscriptWriter&) = delete;
  TranscriptWriter& operator=(const TranscriptWriter&) = delete;

  // False with `error` when the file cannot be created.
  bool Open(const std::string& path, std::string* error);
  // Appends one line. False once a write has failed (the error is kept).
  bool Write(const std::string& line);
  // Closes and puts the file in place. False with `error` when a write, the flush or the
  // rename failed; the partial file is then left for the user.
  bool Close(std::string* error);
  bool IsOpen() const { return file_ != nullptr; }
  int Lines() const { return lines_; }

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  std::string failure_;
  int lines_ = 0;
};

}  // namespace tervane
