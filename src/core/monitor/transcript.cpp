#include "core/monitor/transcript.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include <nlohmann/json.hpp>

#include "core/common/charset.h"
#include "core/common/text.h"

namespace tervane {
namespace {

using Json = nlohmann::json;

std::string Utf8(const std::string& cp1252) { return Cp1252ToUtf8(cp1252); }

Json Lines(const std::string& text) {
  Json lines = Json::array();
  for (const std::string& line : TextLines(text)) lines.push_back(Utf8(line));
  return lines;
}

Json OrNull(int value) { return value < 0 ? Json(nullptr) : Json(value); }

Json Summary(const DecodedExchange& exchange) {
  Json summary = Json::object();
  summary["frame"] = FrameCheckName(exchange.check);
  summary["extended"] = exchange.extended;
  summary["title"] = exchange.commandIndex >= 0 ? Json(Utf8(exchange.title)) : Json(nullptr);
  summary["group"] = exchange.commandIndex >= 0 ? Json(Utf8(exchange.group)) : Json(nullptr);
  Json parameters = Json::array();
  for (const DecodedParameter& p : exchange.parameters) {
    parameters.push_back(Json{{"title", Utf8(p.title)}, {"kind", p.kind}, {"value", Utf8(p.value)}});
  }
  summary["parameters"] = std::move(parameters);
  summary["unexplained_bytes"] = exchange.unexplainedBytes;
  summary["reply"] = ReplyOutcomeName(exchange.outcome);
  summary["reply_complete"] = exchange.replyComplete;
  summary["st1"] = OrNull(exchange.st1);
  summary["st2"] = OrNull(exchange.st2);
  summary["status"] = Lines(exchange.statusText);
  summary["extended_code"] = OrNull(exchange.extendedCode);
  if (exchange.extendedCode >= 0) {
    const Json lines = Lines(exchange.extendedText);
    summary["extended_text"] = lines.empty() ? Json("") : lines.front();
  } else {
    summary["extended_text"] = nullptr;
  }
  Json fields = Json::array();
  for (const DecodedField& f : exchange.fields) {
    fields.push_back(Json{{"title", Utf8(f.title)}, {"value", Utf8(f.value)}});
  }
  summary["fields"] = std::move(fields);
  summary["result"] = Lines(exchange.resultText);
  return summary;
}

}  // namespace

std::vector<std::string> TextLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!TrimBlanks(line).empty()) lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

std::string IsoUtcTime(const CivilTime& utc) {
  return Format("%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.year, utc.month, utc.day, utc.hour, utc.minute,
                utc.second, utc.millisecond);
}

std::string TranscriptLine(const DecodedExchange& exchange, const ExchangeContextInfo& info) {
  Json line = Json::object();
  line["transcript"] = kTranscriptVersion;
  line["time"] = info.time;
  line["port"] = Utf8(info.port);
  line["command"] = WireHex(exchange.command);
  line["reply"] = WireHex(exchange.reply);
  line["round_trip_ms"] = info.roundTripMs < 0 ? Json(nullptr) : Json(info.roundTripMs);
  line["summary"] = Summary(exchange);
  // Invalid UTF-8 cannot come from the conversions above; replace rather than throw.
  return line.dump(-1, ' ', false, Json::error_handler_t::replace);
}

int ParseTranscript(std::string_view text, std::vector<TranscriptEntry>& entries, std::vector<std::string>* problems) {
  int skipped = 0;
  int number = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (TrimBlanks(line).empty()) continue;
    auto skip = [&](const std::string& why) {
      ++skipped;
      if (problems) problems->push_back("line " + std::to_string(number) + ": " + why);
    };
    const Json object = Json::parse(line, nullptr, false);
    if (object.is_discarded() || !object.is_object()) {
      skip("not a JSON object");
      continue;
    }
    const auto command = object.find("command");
    const auto reply = object.find("reply");
    TranscriptEntry entry;
    entry.line = number;
    if (command == object.end() || !command->is_string() || reply == object.end() || !reply->is_string() ||
        !ParseWireHex(command->get<std::string>(), entry.command) ||
        !ParseWireHex(reply->get<std::string>(), entry.reply)) {
      skip("no hexadecimal \"command\" and \"reply\"");
      continue;
    }
    if (const auto time = object.find("time"); time != object.end() && time->is_string()) {
      entry.time = time->get<std::string>();
    }
    if (const auto port = object.find("port"); port != object.end() && port->is_string()) {
      entry.port = Utf8ToCp1252Lossy(port->get<std::string>());
    }
    if (const auto rtt = object.find("round_trip_ms"); rtt != object.end() && rtt->is_number_integer()) {
      entry.roundTripMs = rtt->get<std::int64_t>();
    }
    entries.push_back(std::move(entry));
  }
  return skipped;
}

int ReadTranscriptFile(const std::string& path, std::vector<TranscriptEntry>& entries,
                       std::vector<std::string>* problems, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot read " + path + ": " + std::strerror(errno);
    return -1;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    if (error) *error = "cannot read " + path;
    return -1;
  }
  return ParseTranscript(text.str(), entries, problems);
}

TranscriptWriter::~TranscriptWriter() {
  if (file_) std::fclose(file_);
}

bool TranscriptWriter::Open(const std::string& path, std::string* error) {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  path_ = path;
  failure_.clear();
  lines_ = 0;
  const std::string partial = path + ".part";
  file_ = std::fopen(partial.c_str(), "wb");
  if (!file_) {
    if (error) *error = "cannot create " + partial + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool TranscriptWriter::Write(const std::string& line) {
  if (!file_ || !failure_.empty()) return false;
  if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fputc('\n', file_) == EOF ||
      std::fflush(file_) != 0) {
    failure_ = "cannot write " + path_ + ".part: " + std::strerror(errno);
    return false;
  }
  ++lines_;
  return true;
}

bool TranscriptWriter::Close(std::string* error) {
  if (!file_) {
    if (!failure_.empty() && error) *error = failure_;
    return failure_.empty();
  }
  const bool flushed = std::fflush(file_) == 0 && ::fsync(fileno(file_)) == 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (failure_.empty() && (!flushed || !closed)) failure_ = "cannot write " + path_ + ".part: " + std::strerror(errno);
  if (failure_.empty() && std::rename((path_ + ".part").c_str(), path_.c_str()) != 0) {
    failure_ = "cannot put " + path_ + " in place: " + std::strerror(errno);
  }
  if (!failure_.empty()) {
    if (error) *error = failure_;
    return false;
  }
  return true;
}

}  // namespace tervane
