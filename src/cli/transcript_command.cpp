#include "cli/transcript_command.h"

#include <CLI/CLI.hpp>

#include <map>
#include <ostream>
#include <utility>
#include <vector>

#include "core/common/charset.h"
#include "core/common/text.h"

namespace tervane::cli {
namespace {

std::string ShownTitle(const DecodedExchange& exchange) {
  if (exchange.command.empty()) return "(printer bytes answering no frame)";
  if (exchange.commandIndex < 0) return "(not in the catalogue)";
  return exchange.title;
}

struct Difference {
  std::string what;
  std::string first;
  std::string second;
};

std::string StatusByte(int value) { return value < 0 ? std::string("-") : HexByte(static_cast<unsigned char>(value)) + "h"; }

// The differences between two replies to the same frame, field by field.
std::vector<Difference> CompareReplies(const DecodedExchange& a, const DecodedExchange& b) {
  std::vector<Difference> out;
  if (a.reply == b.reply) return out;
  if (a.outcome != b.outcome) out.push_back({"reply", ReplyOutcomeName(a.outcome), ReplyOutcomeName(b.outcome)});
  if (a.st1 != b.st1) out.push_back({"ST1", StatusByte(a.st1), StatusByte(b.st1)});
  if (a.st2 != b.st2) out.push_back({"ST2", StatusByte(a.st2), StatusByte(b.st2)});
  if (a.extendedCode != b.extendedCode) {
    out.push_back({"extended code", std::to_string(a.extendedCode), std::to_string(b.extendedCode)});
  }
  const std::size_t fields = std::max(a.fields.size(), b.fields.size());
  for (std::size_t i = 0; i < fields; ++i) {
    const DecodedField* fa = i < a.fields.size() ? &a.fields[i] : nullptr;
    const DecodedField* fb = i < b.fields.size() ? &b.fields[i] : nullptr;
    if (fa && fb && fa->value == fb->value) continue;
    const std::string title = fa ? fa->title : fb->title;
    out.push_back({title, fa ? "\"" + fa->value + "\"" : "(absent)", fb ? "\"" + fb->value + "\"" : "(absent)"});
  }
  if (fields == 0) {
    const std::vector<std::string> la = TextLines(a.resultText);
    const std::vector<std::string> lb = TextLines(b.resultText);
    const std::size_t n = std::max(la.size(), lb.size());
    for (std::size_t i = 0; i < n; ++i) {
      const std::string* x = i < la.size() ? &la[i] : nullptr;
      const std::string* y = i < lb.size() ? &lb[i] : nullptr;
      if (x && y && *x == *y) continue;
      out.push_back({"line " + std::to_string(i + 1), x ? *x : "(absent)", y ? *y : "(absent)"});
    }
  }
  if (out.empty()) out.push_back({"reply bytes", WireHex(a.reply), WireHex(b.reply)});
  return out;
}

}  // namespace

std::string ExchangeBlock(const DecodedExchange& exchange, const std::string& time, std::int64_t roundTripMs) {
  std::string text = time + "  " + ShownTitle(exchange);
  if (!exchange.group.empty()) text += "  [" + exchange.group + "]";
  if (roundTripMs >= 0) text += "  " + std::to_string(roundTripMs) + " ms";
  text += "\r\n";
  if (!exchange.command.empty()) {
    text += "  >> " + WireHex(exchange.command) + "\r\n";
    if (exchange.check != FrameCheck::kGood) {
      text += "     BAD FRAME (" + std::string(FrameCheckName(exchange.check)) + "), forwarded as it came\r\n";
    }
    for (const DecodedParameter& p : exchange.parameters) {
      text += "     " + p.title + " = " + p.value + "\r\n";
    }
    if (exchange.unexplainedBytes > 0) {
      text += "     " + std::to_string(exchange.unexplainedBytes) + " parameter bytes beyond the catalogue's layout\r\n";
    }
  }
  if (exchange.reply.empty()) {
    text += "  << (no reply)\r\n";
    return text;
  }
  text += "  << " + WireHex(exchange.reply) + "\r\n";
  std::string outcome;
  switch (exchange.outcome) {
    case ReplyOutcome::kAck: outcome = "ACK"; break;
    case ReplyOutcome::kNak: outcome = "NAK"; break;
    case ReplyOutcome::kUnknown: outcome = "neither ACK nor NAK"; break;
    case ReplyOutcome::kNone: break;
  }
  if (!exchange.command.empty()) {
    text += "     " + outcome + (exchange.replyComplete ? std::string() : std::string(", reply incomplete")) + "\r\n";
  }
  for (const std::string& line : TextLines(exchange.resultText)) text += "     " + line + "\r\n";
  return text;
}

bool SessionRecorder::Start(const std::string& path, const std::string& workdir, std::ostream& err,
                            const OutputOptions& output) {
  if (path.empty()) return true;
  ProgramSettings settings;
  settings.g_workDir = ResolveWorkDir(workdir);
  if (LoadCatalogue(settings.g_workDir, catalogue_) != 0) catalogue_.commands.clear();
  std::string error;
  if (!writer_.Open(path, &error)) {
    WriteMessage(err, "--record: " + error + ".", output);
    return false;
  }
  return true;
}

PortFactory& SessionRecorder::Wrap(PortFactory& inner, Clock& clock) {
  if (!writer_.IsOpen()) return inner;
  factory_ = std::make_unique<RecordingPortFactory>(inner, catalogue_, clock, writer_);
  return *factory_;
}

bool SessionRecorder::Finish(std::ostream& err, const OutputOptions& output) {
  if (!writer_.IsOpen()) return true;
  factory_.reset();
  std::string error;
  if (!writer_.Close(&error)) {
    WriteMessage(err, "--record: " + error + ".", output);
    return false;
  }
  return true;
}

CLI::App* TranscriptCommand::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand(
      "transcript",
      "Read session transcripts (JSON Lines written by monitor, send and sequence run with --record): show "
      "them decoded, or compare the replies of two sessions.");
  sub->require_subcommand(1);
  show_ = sub->add_subcommand("show", "Print each exchange of a transcript decoded, as the monitor prints it");
  show_->add_option("FILE", file_, "The transcript")->required();
  show_->add_option("--workdir", workdir_, "Folder holding comandos.xml (default: the current directory)")
      ->type_name("DIR");
  show_->add_flag("--json", json_, "Write the exchanges, decoded again, as JSON Lines (docs/transcripts.md)");
  diff_ = sub->add_subcommand(
      "diff",
      "List the commands whose replies differ between two transcripts, field by field. Frames are paired by "
      "their bytes, in order of appearance.");
  diff_->add_option("A", file_, "The first transcript")->required();
  diff_->add_option("B", other_, "The second transcript")->required();
  diff_->add_option("--workdir", workdir_, "Folder holding comandos.xml (default: the current directory)")
      ->type_name("DIR");
  diff_->footer("Exit status: 0 the replies match; 1 a transcript cannot be read or the catalogue not loaded; "
                "9 some replies differ or a frame is in only one transcript.");
  return sub;
}

int TranscriptCommand::execute(std::ostream& out, std::ostream& err) {
  if (show_->parsed()) return show(out, err);
  return diff(out, err);
}

namespace {

bool ReadOrReport(const std::string& path, std::vector<TranscriptEntry>& entries, std::ostream& err,
                  const OutputOptions& output) {
  std::vector<std::string> problems;
  std::string error;
  if (ReadTranscriptFile(path, entries, &problems, &error) < 0) {
    WriteMessage(err, error + ".", output);
    return false;
  }
  for (const std::string& problem : problems) WriteMessage(err, path + ": " + problem + " (skipped).", output);
  return true;
}

}  // namespace

int TranscriptCommand::show(std::ostream& out, std::ostream& err) {
  ProgramSettings settings;
  settings.g_workDir = ResolveWorkDir(workdir_);
  CommandCatalogue catalogue;
  if (!LoadCatalogueOrReport(settings, catalogue, err, output_)) return kExitUsage;
  std::vector<TranscriptEntry> entries;
  if (!ReadOrReport(file_, entries, err, output_)) return kExitUsage;
  for (const TranscriptEntry& entry : entries) {
    const DecodedExchange decoded = DecodeExchange(catalogue, entry.command, entry.reply);
    if (json_) {
      out << TranscriptLine(decoded, ExchangeContextInfo{entry.time, entry.port, entry.roundTripMs}) << '\n';
    } else {
      WriteText(out, ExchangeBlock(decoded, entry.time, entry.roundTripMs) + "\r\n", output_);
    }
  }
  return kExitOk;
}

int TranscriptCommand::diff(std::ostream& out, std::ostream& err) {
  ProgramSettings settings;
  settings.g_workDir = ResolveWorkDir(workdir_);
  CommandCatalogue catalogue;
  if (!LoadCatalogueOrReport(settings, catalogue, err, output_)) return kExitUsage;
  std::vector<TranscriptEntry> first, second;
  if (!ReadOrReport(file_, first, err, output_) || !ReadOrReport(other_, second, err, output_)) return kExitUsage;

  // The frames of B by their bytes, in order; each is paired once.
  std::map<WireBytes, std::vector<std::size_t>> inSecond;
  for (std::size_t i = 0; i < second.size(); ++i) inSecond[second[i].command].push_back(i);
  std::map<WireBytes, std::size_t> used;
  std::vector<bool> paired(second.size(), false);
  int differing = 0;
  std::string text;
  for (const TranscriptEntry& a : first) {
    const DecodedExchange da = DecodeExchange(catalogue, a.command, a.reply);
    const auto candidates = inSecond.find(a.command);
    std::size_t& next = used[a.command];
    if (candidates == inSecond.end() || next >= candidates->second.size()) {
      ++differing;
      text += ShownTitle(da) + "\r\n  >> " + WireHex(a.command) + "\r\n  only in " + Cp(file_) + " (line " +
              std::to_string(a.line) + ")\r\n\r\n";
      continue;
    }
    const TranscriptEntry& b = second[candidates->second[next]];
    paired[candidates->second[next]] = true;
    ++next;
    const std::vector<Difference> differences = CompareReplies(da, DecodeExchange(catalogue, b.command, b.reply));
    if (differences.empty()) continue;
    ++differing;
    text += ShownTitle(da) + "\r\n  >> " + WireHex(a.command) + "\r\n";
    for (const Difference& d : differences) text += "  " + d.what + ": " + d.first + " | " + d.second + "\r\n";
    text += "\r\n";
  }
  for (std::size_t i = 0; i < second.size(); ++i) {
    if (paired[i]) continue;
    ++differing;
    const DecodedExchange db = DecodeExchange(catalogue, second[i].command, second[i].reply);
    text += ShownTitle(db) + "\r\n  >> " + WireHex(second[i].command) + "\r\n  only in " + Cp(other_) + " (line " +
            std::to_string(second[i].line) + ")\r\n\r\n";
  }
  if (differing == 0) {
    text = "The replies of all " + std::to_string(first.size()) + " exchanges match.\r\n";
  } else {
    text = "Left: " + Cp(file_) + "; right: " + Cp(other_) + ".\r\n\r\n" + text + std::to_string(differing) +
           " exchanges differ.\r\n";
  }
  WriteText(out, text, output_);
  return differing == 0 ? kExitOk : kExitTranscriptsDiffer;
}

}  // namespace tervane::cli
