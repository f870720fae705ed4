#include "cli/json_output.h"

#include <ostream>

#include "cli/cli_support.h"
#include "core/common/charset.h"
#include "core/common/text.h"
#include "core/interpret/status_text.h"

namespace tervane::cli {
namespace {

constexpr std::uint8_t kJsonAck = 0x06;
constexpr std::uint8_t kJsonNak = 0x15;

const char* ResultName(int code) {
  switch (code) {
    case kOk: return "ok";
    case kCatalogueNotLoadable: return "catalogue_not_loadable";
    case kMandatoryEmpty: return "mandatory_empty";
    case kWrongSize: return "wrong_size";
    case kExchangeFailed: return "exchange_failed";
    case kCancelled: return "cancelled";
    case kSequenceCancelled: return "sequence_cancelled";
    default: return "other";
  }
}

// The frame as hexadecimal, the bytes that carry a password as "**" (as traces show them).
std::string MaskedFrameHex(const CommandRecord& command) {
  std::string hex;
  hex.reserve(command.frame.length * 3);
  for (size_t k = 0; k < command.frame.length; ++k) {
    bool secret = false;
    for (const auto& [first, second] : command.secretFrameBytes) secret = secret || (k >= first && k < second);
    if (k > 0) hex += ' ';
    hex += secret ? std::string("**") : HexByte(command.frame.bytes[k]);
  }
  return hex;
}

// The status block of a reply whose layout the catalogue fixes: ACK, the fields' bytes,
// ST1, ST2 and in extended mode the extended code. Null when the reply is open-length,
// not acknowledged, or too short to hold the status bytes.
Json ReplyStatusJson(const CommandRecord& command, bool extended) {
  const std::vector<std::uint8_t>& reply = command.replyData;
  if (command.declaredReturnSize < 0 || command.group == "GPRS") return nullptr;
  if (reply.empty() || reply[0] != kJsonAck) return nullptr;
  size_t n = 0;
  for (const ReturnFieldRecord& field : command.returnFields) n += field.size > 0 ? static_cast<size_t>(field.size) : 0;
  if (n + 2 >= reply.size()) return nullptr;
  std::optional<std::pair<int, int>> code;
  if (extended && n + 4 < reply.size()) code = std::make_pair(int{reply[n + 3]}, int{reply[n + 4]});
  return StatusJson(reply[n + 1], reply[n + 2], code);
}

}  // namespace

std::string JsonText(std::string_view coreText) {
  // The same lines a terminal gets, never the raw bytes.
  return ForTerminal(coreText, OutputOptions{});
}

std::string JsonUtf8(std::string_view text) {
  return IsValidUtf8(text) ? std::string(text) : Cp1252ToUtf8(text);
}

std::string JsonHex(const std::uint8_t* bytes, size_t count) {
  std::string hex;
  hex.reserve(count * 3);
  for (size_t k = 0; k < count; ++k) {
    if (k > 0) hex += ' ';
    hex += HexByte(bytes[k]);
  }
  return hex;
}

Json JsonLines(std::string_view coreText) {
  Json lines = Json::array();
  const std::string text = JsonText(coreText);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

Json ResultJson(int code) {
  Json result = Json::object();
  result["code"] = code;
  result["name"] = ResultName(code);
  return result;
}

Json StatusJson(int st1, int st2, std::optional<std::pair<int, int>> extended) {
  Json status = Json::object();
  status["st1"] = st1 & 0xFF;
  status["st2"] = st2 & 0xFF;
  status["texts"] = JsonLines(StatusText(st1, st2));
  if (extended) {
    const auto [low, high] = *extended;
    const std::string text = ExtendedErrorText(low, high);
    Json code = Json::object();
    code["low"] = low & 0xFF;
    code["high"] = high & 0xFF;
    code["code"] = (high & 0xFF) * 256 + (low & 0xFF);
    const Json lines = JsonLines(text);
    code["text"] = lines.empty() ? Json(nullptr) : lines.front();
    status["extended"] = code;
  } else {
    status["extended"] = nullptr;
  }
  return status;
}

Json RecordJson(const CommandRecord& command, bool extended, bool wholeFrame) {
  Json record = Json::object();
  record["title"] = JsonText(command.title);
  record["group"] = JsonText(command.group);
  record["escape"] = JsonText(command.escapeText);
  record["command_bytes"] = JsonHex(command.escapeBytes.data(), static_cast<size_t>(command.escapeCount));
  record["return_kind"] = JsonText(command.returnKind);
  record["declared_return_size"] = command.declaredReturnSize;

  Json parameters = Json::array();
  for (size_t k = 0; k < command.parameters.size(); ++k) {
    const ParameterRecord& p = command.parameters[k];
    const bool secret = CommandRecord::IsSecretKind(p.kind);
    Json parameter = Json::object();
    parameter["number"] = k + 1;
    parameter["title"] = JsonText(p.title);
    parameter["kind"] = JsonText(p.kind);
    parameter["size"] = p.size;
    parameter["mandatory"] = p.mandatory;
    parameter["secret"] = secret;
    parameter["value"] = secret ? Json(nullptr) : Json(JsonText(p.value));
    parameters.push_back(std::move(parameter));
  }
  record["parameters"] = std::move(parameters);

  if (command.frame.length == 0) {
    record["frame"] = nullptr;
  } else {
    record["frame"] = wholeFrame ? JsonHex(command.frame.bytes.data(), command.frame.length) : MaskedFrameHex(command);
  }
  const std::vector<std::uint8_t>& reply = command.replyData;
  record["reply"] = reply.empty() ? Json(nullptr) : Json(JsonHex(reply.data(), reply.size()));
  if (reply.empty()) {
    record["acknowledgement"] = nullptr;
  } else {
    record["acknowledgement"] = reply[0] == kJsonAck ? "ACK" : reply[0] == kJsonNak ? "NAK" : "other";
  }
  record["status"] = ReplyStatusJson(command, extended);

  Json fields = Json::array();
  for (size_t k = 0; k < command.returnFields.size(); ++k) {
    const ReturnFieldRecord& f = command.returnFields[k];
    Json field = Json::object();
    field["number"] = k + 1;
    field["title"] = JsonText(f.title);
    field["kind"] = JsonText(f.kind);
    field["size"] = f.size;
    field["text"] = JsonText(f.text);
    field["value"] = JsonText(f.value);
    fields.push_back(std::move(field));
  }
  record["fields"] = std::move(fields);

  // The result text starts with a line break before its "Comando" line.
  std::string text = JsonText(command.ResultText);
  while (!text.empty() && text.front() == '\n') text.erase(0, 1);
  record["result_text"] = text;
  record["port_failure"] = command.portFailure.empty() ? Json(nullptr) : Json(JsonText(command.portFailure));
  record["discarded_bytes"] = command.discardedBytes;
  return record;
}

void ReportCommand(JsonReport& report, int result, const CommandRecord& command, bool extended) {
  report.body["result"] = ResultJson(result);
  report.body["record"] = RecordJson(command, extended);
  report.body["trace"] = command.HexTrace.empty() ? Json(nullptr) : Json(JsonText(command.HexTrace));
}

void WriteJsonDocument(std::ostream& out, const Json& document) {
  // Every text was converted to UTF-8 on its way in; replacing is the last guard, so a
  // byte that slipped through can never make the program throw half-way through.
  out << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

}  // namespace tervane::cli
