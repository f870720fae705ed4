// The machine-readable face of tervane-cli (--json): one JSON document per run, built
// here for every command so that the same record always reads the same way. Core texts
// (Windows-1252, CR LF) become UTF-8 with LF; bytes become upper-case hexadecimal text
// ("02 05 00"). The documents are described in docs/json/.
#pragma once

#include <nlohmann/json.hpp>

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "core/catalogue/command_record.h"

namespace tervane::cli {

// Keys keep the order they were added in, so the documents read in a stable order.
using Json = nlohmann::ordered_json;

// Version of the document layout; raised only when a key changes meaning or goes away.
inline constexpr int kJsonFormatVersion = 1;

// What a command running in --json mode adds to the document beside the envelope
// (command, exit status, text, messages) that the program writes around it.
struct JsonReport {
  Json body = Json::object();
};

// Core text as a JSON string: Windows-1252 to UTF-8, CR LF (and a lone CR) to LF.
std::string JsonText(std::string_view coreText);

// A text that should already be UTF-8 (the program's own messages, names from the
// system): kept when it is valid UTF-8, else read as Windows-1252, so the document is
// always valid UTF-8.
std::string JsonUtf8(std::string_view text);

// Bytes as upper-case hexadecimal separated by spaces; "" for none.
std::string JsonHex(const std::uint8_t* bytes, size_t count);

// The lines of a core text, without empty ones, each as UTF-8.
Json JsonLines(std::string_view coreText);

// {"code": -4, "name": "exchange_failed"} for a result code of the command operations.
Json ResultJson(int code);

// The status bytes and their messages: st1, st2, texts, and, when the extended code's
// bytes are given, extended {low, high, code, text (null above the known codes)}.
Json StatusJson(int st1, int st2, std::optional<std::pair<int, int>> extended = std::nullopt);

// A command record as the exchange (or framing, or decoding) left it: catalogue data,
// parameters (password values never shown), frame (password bytes as "**"), reply,
// acknowledgement, status block, decoded return fields, result text, port failure.
// `extended` says whether the reply carries the extended code's two bytes. With
// `wholeFrame` the frame keeps its password bytes: `frame`, whose output is the frame
// itself, prints them in its text form too.
Json RecordJson(const CommandRecord& command, bool extended, bool wholeFrame = false);

// Puts a command's outcome into the report: result {code, name}, the record, and the
// hex trace of the exchange (null when nothing was sent).
void ReportCommand(JsonReport& report, int result, const CommandRecord& command, bool extended);

// Writes the document, indented, with a line end.
void WriteJsonDocument(std::ostream& out, const Json& document);

}  // namespace tervane::cli
