#include "core/protocol/command_exchange.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/common/frame_bytes.h"
#include "core/common/string_table.h"
#include "core/common/charset.h"
#include "core/common/text.h"
#include "core/interpret/return_formatter.h"
#include "core/interpret/status_text.h"
#include "core/protocol/command_log.h"
#include "core/protocol/frame_builder.h"
#include "core/protocol/gprs_reply_parser.h"
#include "core/transport/open_failure.h"

namespace tervane {
namespace {

constexpr std::uint8_t kNul = 0x00;

constexpr long kOpenReplyRange = 1000;

// The exchange context with its defaults filled in.
struct Env {
  const ProgramSettings& settings;
  PortFactory* ports;
  Clock& clock;
  ProgressSink& progress;
  WaitNotice& wait;
};

Env Resolve(const ExchangeContext& context) {
  static const ProgramSettings noSettings;
  static NullProgressSink noProgress;
  static NullWaitNotice noNotice;
  return Env{context.settings ? *context.settings : noSettings, context.ports,
             context.clock ? *context.clock : SystemClock(),
             context.progress ? *context.progress : noProgress,
             context.waitNotice ? *context.waitNotice : noNotice};
}

// One progress display, closed when the scope ends if nobody closed it before.
class ProgressScope {
 public:
  ProgressScope(ProgressSink& sink, int messageId, long upper) : sink_(sink) {
    sink_.Open(LoadString(str::kProgresso), LoadString(messageId), 0, upper);
  }
  ~ProgressScope() { Close(); }
  ProgressScope(const ProgressScope&) = delete;
  ProgressScope& operator=(const ProgressScope&) = delete;

  void Close() {
    if (open_) {
      open_ = false;
      sink_.Close();
    }
  }

 private:
  ProgressSink& sink_;
  bool open_ = true;
};

void AppendHex(std::string& trace, std::uint8_t b) {
  trace += ' ';
  trace += HexByte(b);
}

void ClosePort(ExchangePort& port) {
  if (port.port) {
    port.port->Close();
    port.port.reset();
  }
}

// Ends a failed or cancelled exchange: the port goes, the trace line ends, the text (if
// any) is appended and the exchange is logged.
int Fail(CommandRecord& command, const Env& env, ExchangePort& port, const std::string& text, int code) {
  ClosePort(port);
  command.HexTrace += "\r\n";
  command.ResultText += text;
  WriteCommandLog(command, env.settings, env.clock);
  return code;
}

int Fail(CommandRecord& command, const Env& env, ExchangePort& port, int stringId, int code) {
  return Fail(command, env, port, LoadString(stringId), code);
}

// Ends an exchange whose port found its link gone: waiting out the time-outs would only
// delay the same failure, so it ends at once and says the connection was lost.
int FailLinkLost(CommandRecord& command, const Env& env, ExchangePort& port) {
  const std::string name = env.settings.g_portName;
  const std::string text = LinkLostText(name, port.port->LinkLoss());
  return Fail(command, env, port, LoadString(str::kFalhaEnvio) + "\r\n" + text, kExchangeFailed);
}

int Succeed(CommandRecord& command, const Env& env, ExchangePort& port) {
  ClosePort(port);
  command.HexTrace += "\r\n";
  WriteCommandLog(command, env.settings, env.clock);
  return kOk;
}

// Takes off the line what the printer still sends after a cancel or an answer not
// understood, until the line has been quiet for one byte's time-out, so the bytes do not
// become the next command's reply. Bounded in bytes and time, in case the line never goes
// quiet. The first `keep` bytes taken are appended to `taken` when it is given.
void Drain(CPort& port, Clock& clock, std::vector<std::uint8_t>* taken = nullptr, size_t keep = 0) {
  const std::int64_t deadline = clock.MonotonicMs() + kMaxDrainMs;
  std::uint8_t b = 0;
  for (int n = 0; n < kMaxDrainBytes && port.Receive(&b, 1, kDrainQuietMs); ++n) {
    if (taken != nullptr && taken->size() < keep) taken->push_back(b);
    if (clock.MonotonicMs() >= deadline) break;
  }
}

// An answer that starts with neither ACK nor NAK is not the printer's reply to this
// command: whatever else arrives with it is taken off the line and shown with it, and the
// exchange fails.
int FailUnknownReply(CommandRecord& command, const Env& env, ExchangePort& port, bool stream) {
  if (stream && port.port) {
    std::vector<std::uint8_t> rest;
    Drain(*port.port, env.clock, &rest, static_cast<size_t>(kMaxShownUnknownBytes));
    for (std::uint8_t b : rest) {
      command.replyData.push_back(b);
      AppendHex(command.HexTrace, b);
    }
  }
  return Fail(command, env, port, UnknownReplyText(command.replyData), kExchangeFailed);
}

bool IsUnknownFirstByte(const CommandRecord& command) {
  return command.replyData.size() == 1 && command.replyData[0] != kAck && command.replyData[0] != kNak;
}

// The reply carries the two extended-code bytes when the frame asked for them.
bool ExtendedStatus(const CommandRecord& command) { return command.StatusBlockLength >= 5; }

// The status lines an open or GPRS reply shows before its text.
std::string StatusLines(int st1, int st2, bool extended, int extLow, int extHigh) {
  std::string text = StatusText(st1, st2) + "\r\n";
  if (extended) text += ExtendedErrorText(extLow, extHigh) + "\r\n";
  return text;
}

std::string StatusLines(const std::vector<std::uint8_t>& statusBlock, bool extended) {
  auto at = [&](size_t i) { return i < statusBlock.size() ? static_cast<int>(statusBlock[i]) : 0; };
  return StatusLines(at(1), at(2), extended, at(3), at(4));
}

// The received text of an open reply as shown: each LF becomes CR LF, 00h bytes are left
// out. `rendered` holds the data bytes already passed through the display table, without
// the terminator.
std::string ShownText(const std::string& rendered) {
  std::string out;
  out.reserve(rendered.size() + rendered.size() / 16);
  for (char c : rendered) {
    if (c == '\0') continue;
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

bool IsOpenNulReply(const CommandRecord& command) { return command.declaredReturnSize == -2; }

bool IsGprs(const CommandRecord& command) { return command.group == "GPRS"; }

// ---------------------------------------------------------------------------------------
// Fixed shape

int ReceiveFixedStream(CommandRecord& command, const Env& env, ExchangePort& port) {
  const int expected = std::max(0, command.ExpectedReplyLength);
  command.replyData.clear();
  command.replyData.reserve(static_cast<size_t>(expected));
  ProgressScope progress(env.progress, str::kRecebendoRetorno, expected);
  CPort& link = *port.port;

  int timeouts = 0;
  while (static_cast<int>(command.replyData.size()) < expected) {
    if (env.progress.IsCancelled()) {
      progress.Close();
      Drain(link, env.clock);
      return Fail(command, env, port, str::kComandoCancelado, kCancelled);
    }
    std::uint8_t b = 0;
    if (link.Receive(&b, 1, kReplyByteTimeoutMs)) {
      command.replyData.push_back(b);
      AppendHex(command.HexTrace, b);
      if (command.replyData.size() == 1 && b == kNak) {
        progress.Close();
        return Fail(command, env, port, str::kComandoNaoRecebido, kExchangeFailed);
      }
      if (IsUnknownFirstByte(command)) {
        progress.Close();
        return FailUnknownReply(command, env, port, true);
      }
      env.progress.Step();
      timeouts = 0;
    } else {
      if (link.LinkLost()) {
        progress.Close();
        return FailLinkLost(command, env, port);
      }
      env.clock.SleepMs(kTimeoutPauseMs);
      if (++timeouts >= kFixedTimeoutLimit) {
        progress.Close();
        return Fail(command, env, port, str::kFalhaEnvio, kExchangeFailed);
      }
    }
  }
  progress.Close();
  ClosePort(port);
  FormatReturn(command, env.settings);
  return Succeed(command, env, port);
}

// Polls the reply file until it stops growing (or until `enough` bytes are waiting, when
// `enough` is positive). Returns false when the user cancelled.
bool WaitForReplyFile(const Env& env, CPort& link, int enough, size_t cap) {
  int previous = 0;
  for (;;) {
    if (env.progress.IsCancelled()) return false;
    env.clock.SleepMs(kFilePollMs);
    const int pending = link.PendingReplySize();
    if (pending <= previous) return true;
    previous = pending;
    env.progress.SetPosition(pending);
    if (enough > 0 && pending >= enough) return true;
    if (static_cast<size_t>(pending) > cap) return true;
  }
}

int ReceiveFixedFile(CommandRecord& command, const Env& env, ExchangePort& port) {
  const int expected = std::max(0, command.ExpectedReplyLength);
  command.replyData.clear();
  CPort& link = *port.port;
  {
    ProgressScope progress(env.progress, str::kRecebendoRetorno, expected);
    if (!WaitForReplyFile(env, link, expected, kMaxOpenReplyBytes)) {
      progress.Close();
      return Fail(command, env, port, str::kComandoCancelado, kCancelled);
    }
  }

  ProgressScope progress(env.progress, str::kProcessandoRetorno, expected);
  std::vector<std::uint8_t> block;
  int emptyReads = 0;
  while (static_cast<int>(command.replyData.size()) < expected) {
    if (env.progress.IsCancelled()) {
      progress.Close();
      return Fail(command, env, port, str::kComandoCancelado, kCancelled);
    }
    const int missing = expected - static_cast<int>(command.replyData.size());
    block.assign(static_cast<size_t>(missing), 0);
    std::uint32_t got = 0;
    if (!link.ReadReply(block.data(), missing, &got)) got = 0;
    got = std::min<std::uint32_t>(got, static_cast<std::uint32_t>(missing));
    if (got == 0) {
      if (++emptyReads > kFileEmptyReadLimit) {
        progress.Close();
        return Fail(command, env, port, LoadString(str::kFalhaEnvio) + "\r\n" + LateReplyWarning(),
                    kExchangeFailed);
      }
      env.clock.SleepMs(kFileEmptyReadPauseMs);
      continue;
    }
    emptyReads = 0;
    for (std::uint32_t i = 0; i < got; ++i) {
      command.replyData.push_back(block[i]);
      AppendHex(command.HexTrace, block[i]);
    }
    // A NAK ends the reply after its first byte, as on a stream port.
    if (command.replyData.front() == kNak) {
      command.replyData.resize(1);
      progress.Close();
      return Fail(command, env, port, str::kComandoNaoRecebido, kExchangeFailed);
    }
    if (command.replyData.front() != kAck) {
      progress.Close();
      return FailUnknownReply(command, env, port, false);
    }
    env.progress.SetPosition(static_cast<long>(command.replyData.size()));
  }
  progress.Close();
  ClosePort(port);
  FormatReturn(command, env.settings);
  return Succeed(command, env, port);
}

// ---------------------------------------------------------------------------------------
// Open shapes

// The result of a complete open reply: status lines (not for the NUL shape), then the
// received text.
void SetOpenResult(CommandRecord& command, bool nulShape, const std::vector<std::uint8_t>& statusBlock,
                   const std::string& rendered) {
  command.ResultText.clear();
  if (!nulShape) command.ResultText = StatusLines(statusBlock, ExtendedStatus(command));
  command.ResultText += ShownText(rendered);
}

int ReceiveOpenStream(CommandRecord& command, const Env& env, ExchangePort& port, bool nulShape) {
  const std::uint8_t terminator = nulShape ? kNul : kEtx;
  const size_t statusLength = ExtendedStatus(command) ? 5 : 3;
  command.replyData.clear();
  ProgressScope progress(env.progress, str::kRecebendoRetorno, kOpenReplyRange);
  CPort& link = *port.port;

  // After a cancel: drain under the wait notice; once the status block is complete its
  // lines replace the result text.
  auto cancel = [&](bool statusComplete) {
    progress.Close();
    env.wait.Show(LoadString(str::kAguarde));
    Drain(link, env.clock);
    env.wait.Hide();
    if (statusComplete && !nulShape) command.ResultText = StatusLines(command.replyData, ExtendedStatus(command));
    return Fail(command, env, port, str::kComandoCancelado, kCancelled);
  };

  int timeouts = 0;
  while (command.replyData.size() < statusLength) {
    if (env.progress.IsCancelled()) return cancel(false);
    std::uint8_t b = 0;
    if (link.Receive(&b, 1, kReplyByteTimeoutMs)) {
      command.replyData.push_back(b);
      AppendHex(command.HexTrace, b);
      if (command.replyData.size() == 1 && b == kNak) {
        progress.Close();
        return Fail(command, env, port, str::kComandoNaoRecebido, kExchangeFailed);
      }
      if (IsUnknownFirstByte(command)) {
        progress.Close();
        return FailUnknownReply(command, env, port, true);
      }
    } else if (link.LinkLost()) {
      progress.Close();
      return FailLinkLost(command, env, port);
    } else if (++timeouts >= kStatusBlockTimeoutLimit) {
      progress.Close();
      return Fail(command, env, port, str::kFalhaEnvio, kExchangeFailed);
    }
  }

  // The data: no time-out limit, the printer may take long to produce them; Cancel ends
  // the wait. A port that knows its link is gone ends the exchange at once. A link that
  // fails without waiting at all while its port cannot tell why brings nothing more
  // either: its reads are paced like time-outs of the fixed shape and fail after as
  // many, instead of spinning until the user cancels.
  std::string rendered;
  int deadReads = 0;
  for (;;) {
    if (env.progress.IsCancelled()) return cancel(true);
    std::uint8_t b = 0;
    const std::int64_t asked = env.clock.MonotonicMs();
    if (!link.Receive(&b, 1, kReplyByteTimeoutMs)) {
      if (link.LinkLost()) {
        progress.Close();
        return FailLinkLost(command, env, port);
      }
      if (env.clock.MonotonicMs() - asked >= kDeadLinkMs) {
        deadReads = 0;
        continue;
      }
      env.clock.SleepMs(kTimeoutPauseMs);
      if (++deadReads >= kFixedTimeoutLimit) {
        progress.Close();
        return Fail(command, env, port, str::kFalhaEnvio, kExchangeFailed);
      }
      continue;
    }
    deadReads = 0;
    command.replyData.push_back(b);
    AppendHex(command.HexTrace, b);
    env.progress.Step();
    if (b == terminator) break;
    rendered += static_cast<char>(DisplayByte(b));
    if (rendered.size() > kMaxOpenReplyBytes) {
      progress.Close();
      return Fail(command, env, port, str::kFalhaEnvio, kExchangeFailed);
    }
  }
  progress.Close();
  ClosePort(port);
  SetOpenResult(command, nulShape, command.replyData, rendered);
  return Succeed(command, env, port);
}

int ReceiveOpenFile(CommandRecord& command, const Env& env, ExchangePort& port, bool nulShape) {
  const std::uint8_t terminator = nulShape ? kNul : kEtx;
  const size_t statusLength = ExtendedStatus(command) ? 5 : 3;
  command.replyData.clear();
  CPort& link = *port.port;
  {
    ProgressScope progress(env.progress, str::kRecebendoRetorno, kOpenReplyRange);
    if (!WaitForReplyFile(env, link, 0, kMaxOpenReplyBytes)) {
      progress.Close();
      return Fail(command, env, port, std::string("Comando Cancelado!"), kCancelled);
    }
  }

  ProgressScope progress(env.progress, str::kProcessandoRetorno, kOpenReplyRange);
  std::vector<std::uint8_t> block;
  std::string rendered;
  int emptyPolls = 0;
  bool complete = false;
  while (!complete) {
    if (env.progress.IsCancelled()) {
      progress.Close();
      return Fail(command, env, port, str::kComandoCancelado, kCancelled);
    }
    const int pending = link.PendingReplySize();
    std::uint32_t got = 0;
    if (pending > 0) {
      block.assign(static_cast<size_t>(pending), 0);
      if (!link.ReadReply(block.data(), pending, &got)) got = 0;
      got = std::min<std::uint32_t>(got, static_cast<std::uint32_t>(pending));
    }
    for (std::uint32_t i = 0; i < got && !complete; ++i) {
      const std::uint8_t b = block[i];
      command.replyData.push_back(b);
      AppendHex(command.HexTrace, b);
      env.progress.Step();
      if (command.replyData.size() == 1 && b == kNak) {
        progress.Close();
        return Fail(command, env, port, str::kComandoNaoRecebido, kExchangeFailed);
      }
      if (IsUnknownFirstByte(command)) {
        // The rest of the block read is shown with it.
        const size_t shown = static_cast<size_t>(kMaxShownUnknownBytes);
        for (std::uint32_t k = i + 1; k < got && command.replyData.size() < shown; ++k) {
          command.replyData.push_back(block[k]);
          AppendHex(command.HexTrace, block[k]);
        }
        progress.Close();
        return FailUnknownReply(command, env, port, false);
      }
      if (command.replyData.size() <= statusLength) continue;  // status block
      if (b == terminator) {
        complete = true;
      } else {
        rendered += static_cast<char>(DisplayByte(b));
      }
    }
    if (complete) break;
    if (rendered.size() > kMaxOpenReplyBytes) {
      progress.Close();
      return Fail(command, env, port, str::kFalhaEnvio, kExchangeFailed);
    }
    // A peer that never answers: only the status block is waited for with a limit.
    if (got == 0 && command.replyData.size() < statusLength && ++emptyPolls >= kFileStatusPollLimit) {
      progress.Close();
      return Fail(command, env, port, LoadString(str::kFalhaEnvio) + "\r\n" + LateReplyWarning(),
                  kExchangeFailed);
    }
    if (got > 0) emptyPolls = 0;
    if (got == 0 || static_cast<int>(got) < pending) env.clock.SleepMs(kFilePollMs);
  }
  progress.Close();
  ClosePort(port);
  SetOpenResult(command, nulShape, command.replyData, rendered);
  return Succeed(command, env, port);
}

// ---------------------------------------------------------------------------------------
// GPRS replies

// ---------------------------------------------------------------------------------------
// Sending

// The parameter Send passes to the port: the TCP kind forwards it to the bridge as the
// number of reply bytes to expect, -1 when the length is not known in advance.
int SendParameter(const CommandRecord& command, const std::string& portName) {
  if (portName != "SOCKET") return 20000;
  if (IsOpenEtxReply(command) || IsOpenNulReply(command) || IsGprs(command)) return -1;
  return command.ExpectedReplyLength;
}

// Exchange files: empties a stale reply, then appends the whole frame to the request
// file. Returns false when either cannot be done.
bool SendThroughFiles(const CommandRecord& command, const Env& env, CPort& link) {
  env.wait.Show(LoadString(str::kAguarde));
  bool ok = false;
  for (int round = 1;; ++round) {
    link.Purge();
    env.clock.SleepMs(kFilePurgePauseMs);
    if (link.PendingReplySize() <= 0) {
      ok = true;
      break;
    }
    if (round >= kFilePurgeRounds) break;
  }

  // Only the part not yet written is written again: the request file is appended to, so
  // repeating the whole frame would leave a corrupt request behind.
  const std::uint8_t* frame = command.frame.bytes.data();
  const size_t length = command.frame.length;
  size_t offset = 0;
  int failures = 0;
  while (ok && offset < length) {
    std::uint32_t written = 0;
    const bool wrote = link.WriteRequest(frame + offset, static_cast<int>(length - offset), &written);
    if (wrote && written > 0) {
      offset += std::min<size_t>(written, length - offset);
      failures = 0;
      continue;
    }
    if (++failures >= kFileWriteAttempts) {
      ok = false;
      break;
    }
    env.clock.SleepMs(kFileWritePauseMs);
  }
  env.wait.Hide();
  return ok;
}

}  // namespace

// -----------------------------------------------------------------------------------------

std::string UnknownReplyText(const std::vector<std::uint8_t>& bytes) {
  std::string text = Utf8ToCp1252Lossy(
      "A resposta da impressora não foi entendida: não começa por ACK (06h) nem por NAK (15h). Recebido:");
  const size_t shown = std::min(bytes.size(), static_cast<size_t>(kMaxShownUnknownBytes));
  for (size_t i = 0; i < shown; ++i) AppendHex(text, bytes[i]);
  if (bytes.size() > shown) text += " ...";
  return text;
}

std::string LateReplyWarning() {
  return Utf8ToCp1252Lossy(
      "A impressora pode ter executado o comando mesmo sem resposta a tempo: confira o estado dela antes de "
      "repetir uma operação fiscal.");
}

int SendCommand(CommandRecord& command, const ExchangeContext& context, ExchangePort& port) {
  const Env env = Resolve(context);
  ClosePort(port);
  command.portFailure.clear();
  command.discardedBytes = 0;
  command.ResultText += Format("\r\n%s:\t%s\r\n", LoadString(str::kComando).c_str(), command.title.c_str());

  const int framed = AssembleFrame(command, env.settings, env.clock);
  if (framed != kOk) {
    command.HexTrace.clear();  // nothing was sent; an earlier trace must not show as this one's
    return framed;
  }

  command.HexTrace = "CMD: ";
  for (size_t i = 0; i < command.frame.length; ++i) {
    const bool secret = std::any_of(command.secretFrameBytes.begin(), command.secretFrameBytes.end(),
                                    [i](const auto& range) { return i >= range.first && i < range.second; });
    if (secret) {
      command.HexTrace += " **";  // a password byte
    } else {
      AppendHex(command.HexTrace, command.frame.bytes[i]);
    }
  }

  const std::string& name = env.settings.g_portName;
  if (env.ports) port.port = env.ports->Create(name);
  port.exchangeFiles = (name == "FILE");
  if (!port.port) {
    command.HexTrace += "\r\n";
    command.ResultText += LoadString(str::kFalhaEnvio);
    return kExchangeFailed;
  }

  CPort& link = *port.port;
  const int length = static_cast<int>(command.frame.length);
  // A port that does not open will bring no reply: the exchange ends at once with the
  // reason, instead of waiting out the reply's time-outs.
  auto openFailed = [&] {
    // A connection refused is a link known to be down: told as a lost connection.
    command.portFailure =
        link.LinkLost() ? LinkLostText(name, link.LinkLoss()) : OpenFailureText(name, link.OpenFailure());
    return Fail(command, env, port, LoadString(str::kFalhaEnvio) + "\r\n" + command.portFailure, kExchangeFailed);
  };
  if (!port.exchangeFiles) {
    if (!link.Open(9600)) return openFailed();
    // Bytes already waiting are no answer to this frame: counted for the log, then gone.
    command.discardedBytes = std::max(0, link.PendingInput());
    link.Purge();
    // A send that failed shows up as read time-outs.
    link.Send(command.frame.bytes.data(), length, SendParameter(command, name));
    return kOk;
  }

  if (!link.Open(0)) return openFailed();
  if (!SendThroughFiles(command, env, link)) {
    return Fail(command, env, port, str::kFalhaEnvio, kExchangeFailed);
  }
  return kOk;
}

int ReceiveReply(CommandRecord& command, const ExchangeContext& context, ExchangePort& port) {
  const Env env = Resolve(context);
  command.HexTrace += "\r\nRET: ";
  if (!port.port) return Fail(command, env, port, str::kFalhaEnvio, kExchangeFailed);

  const bool nulShape = IsOpenNulReply(command);
  const bool open = nulShape || IsOpenEtxReply(command);
  if (port.exchangeFiles) {
    return open ? ReceiveOpenFile(command, env, port, nulShape) : ReceiveFixedFile(command, env, port);
  }
  return open ? ReceiveOpenStream(command, env, port, nulShape) : ReceiveFixedStream(command, env, port);
}

int ReceiveGprsReply(CommandRecord& command, const ExchangeContext& context, ExchangePort& port) {
  const Env env = Resolve(context);
  command.HexTrace += "\r\nRET: ";
  if (!port.port) return Fail(command, env, port, str::kFalhaEnvio, kExchangeFailed);

  command.replyData.clear();
  std::string text = command.title + ":\r\n\r\n";
  ProgressScope progress(env.progress, str::kRecebendoRetorno, kOpenReplyRange);
  GprsReplyParser parser(ExtendedStatus(command));
  CPort& link = *port.port;

  // Takes one reply byte into the record and the parser. Returns kOk to go on, or the
  // code the exchange ends with (the port then closed and the exchange logged).
  auto take = [&](std::uint8_t b) {
    if (command.replyData.size() >= static_cast<size_t>(kGprsReplyCapacity)) {
      progress.Close();
      return Fail(command, env, port, str::kFalhaEnvio, kExchangeFailed);
    }
    command.replyData.push_back(b);
    AppendHex(command.HexTrace, b);
    env.progress.Step();
    if (command.replyData.size() == 1 && b == kNak) {
      progress.Close();
      return Fail(command, env, port, str::kComandoNaoRecebido, kExchangeFailed);
    }
    parser.Feed(b);
    return kOk;
  };
  auto cancel = [&](bool drain) {
    progress.Close();
    if (drain) Drain(link, env.clock);
    return Fail(command, env, port, str::kComandoCancelado, kCancelled);
  };
  auto timeout = [&](int& count) {
    if (++count < kFixedTimeoutLimit) return kOk;
    progress.Close();
    if (port.exchangeFiles) {
      return Fail(command, env, port, LoadString(str::kFalhaEnvio) + "\r\n" + LateReplyWarning(), kExchangeFailed);
    }
    return Fail(command, env, port, str::kFalhaEnvio, kExchangeFailed);
  };

  int timeouts = 0;
  if (port.exchangeFiles) {
    // The exchange files have no byte stream: the reply is taken in blocks as the peer
    // writes it, and every byte goes through the same parser. A poll that finds nothing
    // counts as a time-out; bytes after a complete reply are not part of it.
    std::vector<std::uint8_t> block;
    while (!parser.Finished()) {
      if (env.progress.IsCancelled()) return cancel(false);
      const int pending = std::min(link.PendingReplySize(), kGprsReplyCapacity + 1);
      std::uint32_t got = 0;
      if (pending > 0) {
        block.assign(static_cast<size_t>(pending), 0);
        if (!link.ReadReply(block.data(), pending, &got)) got = 0;
        got = std::min<std::uint32_t>(got, static_cast<std::uint32_t>(pending));
      }
      if (got == 0) {
        env.clock.SleepMs(kFilePollMs);
        if (const int code = timeout(timeouts); code != kOk) return code;
        continue;
      }
      timeouts = 0;
      for (std::uint32_t i = 0; i < got && !parser.Finished(); ++i) {
        if (const int code = take(block[i]); code != kOk) return code;
      }
    }
  } else {
    while (!parser.Finished()) {
      if (env.progress.IsCancelled()) return cancel(true);
      std::uint8_t b = 0;
      if (!link.Receive(&b, 1, kReplyByteTimeoutMs)) {
        if (link.LinkLost()) {
          progress.Close();
          return FailLinkLost(command, env, port);
        }
        env.clock.SleepMs(kTimeoutPauseMs);
        if (const int code = timeout(timeouts); code != kOk) return code;
        continue;
      }
      timeouts = 0;
      if (const int code = take(b); code != kOk) return code;
    }
  }
  progress.Close();
  if (parser.Failed()) return Fail(command, env, port, std::string(), kExchangeFailed);

  ClosePort(port);
  // A busy module sends no status bytes, so no status line stands before its message.
  command.ResultText.clear();
  if (!parser.Busy()) {
    command.ResultText =
        StatusLines(parser.St1(), parser.St2(), ExtendedStatus(command), parser.ExtLow(), parser.ExtHigh());
  }
  command.ResultText += text + parser.Text() + "\r\n";
  return Succeed(command, env, port);
}

int ExecuteCommand(CommandRecord& command, const ExchangeContext& context) {
  ExchangePort port;
  int result = SendCommand(command, context, port);
  if (result == kOk) {
    result = IsGprs(command) ? ReceiveGprsReply(command, context, port) : ReceiveReply(command, context, port);
  }
  ClosePort(port);  // every path above has done so already; this keeps it so
  return result;
}

}  // namespace tervane
