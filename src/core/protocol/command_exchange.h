// The exchange of one command with the printer: frame it, send it through a freshly
// created port, read the reply one byte at a time under a progress display that the user
// can cancel, decode it into the record's ResultText and HexTrace, and append the
// exchange to the daily log. Every producer of printer commands goes through
// ExecuteCommand.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "core/common/settings.h"
#include "core/catalogue/command_record.h"
#include "core/common/clock.h"
#include "core/common/progress.h"
#include "core/transport/port.h"

namespace tervane {

// What one exchange needs from the program. `settings` and `ports` are required; a null
// clock means the system clock, a null progress or wait notice shows nothing (and never
// cancels). The settings are read, never written.
struct ExchangeContext {
  const ProgramSettings* settings = nullptr;
  PortFactory* ports = nullptr;
  Clock* clock = nullptr;
  ProgressSink* progress = nullptr;
  WaitNotice* waitNotice = nullptr;
};

// The port of one exchange: created by SendCommand, closed and destroyed by the receive
// step on every path out of it.
struct ExchangePort {
  std::unique_ptr<CPort> port;
  bool exchangeFiles = false;  // the "FILE" kind: requests and replies go through files
};

// Timing and limits of the exchange.
inline constexpr int kReplyByteTimeoutMs = 2000;    // Receive of one reply byte
inline constexpr int kTimeoutPauseMs = 300;         // pause after a time-out (fixed, GPRS)
inline constexpr int kFixedTimeoutLimit = 72;       // the 72nd consecutive time-out fails
inline constexpr int kStatusBlockTimeoutLimit = 12; // open reply: the 12th time-out fails
// Draining after a cancel or an answer not understood goes on until the line has been
// quiet for one reply byte's time-out on the serial line (1000 ms per byte + 5 ms): at
// slow speeds a gap of a few milliseconds between bytes is not the end of the reply.
inline constexpr int kDrainQuietMs = 1005;
inline constexpr int kMaxDrainMs = 30000;           // ... and ends after this long in any case
inline constexpr int kMaxDrainBytes = 1 << 20;      // a link that never goes quiet
inline constexpr int kGprsReplyCapacity = 1024;     // longest GPRS reply accepted
inline constexpr int kMaxShownUnknownBytes = 64;   // bytes of an answer not understood, in its text
inline constexpr std::size_t kMaxOpenReplyBytes = std::size_t{16} << 20;  // open reply data
// A Receive that fails sooner than this (clock milliseconds) did not wait: the link is
// gone rather than quiet.
inline constexpr int kDeadLinkMs = 50;

// Exchange files.
inline constexpr int kFilePurgePauseMs = 200;       // after each Purge before sending
inline constexpr int kFilePurgeRounds = 50;         // a stale reply that keeps coming back
inline constexpr int kFileWriteAttempts = 10;       // consecutive WriteRequest failures
inline constexpr int kFileWritePauseMs = 100;
inline constexpr int kFilePollMs = 300;             // PendingReplySize polling
inline constexpr int kFileEmptyReadPauseMs = 100;   // fixed reply: a ReadReply that brought nothing
inline constexpr int kFileEmptyReadLimit = 10;      // ... more than 10 in a row fail
inline constexpr int kFileStatusPollLimit = 12;     // open reply: empty polls before the status block

// The first line of the failure text when the printer's answer starts with neither ACK
// nor NAK; the bytes received follow it.
std::string UnknownReplyText(const std::vector<std::uint8_t>& bytes);

// The line added to the failure text of the exchange files when the reply did not come in
// time: the peer may still have run the command.
std::string LateReplyWarning();

// Runs one command: SendCommand, then ReceiveGprsReply for the group "GPRS" and
// ReceiveReply otherwise. Returns 0 on success; -1 (escape text outside the format), -2
// or -3 from framing, with nothing sent; -4 for a failed exchange; -5 when the user
// cancelled. The port is closed and destroyed before it returns, whatever happened.
int ExecuteCommand(CommandRecord& command, const ExchangeContext& context);

// Appends the "Comando" title line to ResultText, assembles the frame, creates the port
// for g_portName and sends the frame (stream kinds: Open, Purge, Send; exchange files:
// Open, purge of a stale reply, WriteRequest of the whole frame), and sets HexTrace to
// "CMD: " and the frame bytes. Returns 0 with `port` holding the port; -1, -2 or -3 for
// a framing error (no port is created, HexTrace is emptied); -4 when no port could be
// created, when the port does not open (its reason is appended to ResultText and kept in
// portFailure; nothing is sent), or when the request file cannot be written or a stale
// reply will not go away (the port is then closed and destroyed, the failure text
// appended and the exchange logged). Bytes waiting on a stream line before the frame
// goes are discarded and counted in discardedBytes.
int SendCommand(CommandRecord& command, const ExchangeContext& context, ExchangePort& port);

// Reads the reply of a command sent by SendCommand in its shape (fixed, open ended by
// 03h, open ended by 00h), on a stream port or through the exchange files, and leaves the
// outcome in ResultText and HexTrace; replyData holds the bytes received. Returns 0, -4
// (NAK, reply not arriving, reply too long, or the port found its link gone, which ends
// the wait at once with the lost-connection text; the failure text is appended) or -5
// (cancelled). Closes and destroys the port and writes the log on every path; a null
// port fails with -4.
int ReceiveReply(CommandRecord& command, const ExchangeContext& context, ExchangePort& port);

// Reads and parses the reply of a "GPRS" command, from a stream port byte by byte or from
// the exchange files as the peer writes them (an empty poll of the reply file counts as
// a time-out). Returns 0, -4 (NAK or time-outs, with the failure text; a reply out of
// sequence, with no text; a reply longer than 1024 bytes, with the failure text) or -5
// (cancelled). Closes and destroys the port and writes the log on every path; a null
// port fails with -4.
int ReceiveGprsReply(CommandRecord& command, const ExchangeContext& context, ExchangePort& port);

}  // namespace tervane
