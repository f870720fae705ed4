// A catalogue command with its parameters and return fields, and the execution state of
// one exchange. Records are plain values: the Command Dialog, a sequence step or a tool
// copies a catalogue entry and edits, frames and executes the copy.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tervane {

inline constexpr size_t kFrameCapacity = 4096;
inline constexpr int kMaxEscapeBytes = 12;
inline constexpr int kMaxEscapeToken = 15;

// Result codes of command operations.
inline constexpr int kOk = 0;
inline constexpr int kCatalogueNotLoadable = -1;
inline constexpr int kMandatoryEmpty = -2;
inline constexpr int kWrongSize = -3;
inline constexpr int kExchangeFailed = -4;
inline constexpr int kCancelled = -5;
inline constexpr int kSequenceCancelled = -6;

struct ParameterRecord {
  int size = 0;            // tamanho
  bool mandatory = true;   // obrigatorio == "S"
  std::string title;       // titulo
  std::string kind;        // formato
  std::string value;       // valor, then what the user entered
  std::string extra;       // a further text slot, starts empty
};

struct ReturnFieldRecord {
  int size = 0;            // tamanho
  std::string title;       // titulo
  std::string kind;        // formato
  std::string text;        // first slot: work text of return formatting
  std::string value;       // second slot: the decoded value
};

struct FrameBuffer {
  std::array<std::uint8_t, kFrameCapacity> bytes{};
  size_t length = 0;
};

struct CommandRecord {
  // Catalogue fields.
  std::string group;                  // tipo
  std::uint32_t modelMask = 0;        // equipamentos_hab
  std::string title;                  // titulo
  bool hasEscape = false;             // an escape element was present
  std::string escapeText;             // escape as written
  std::array<std::uint8_t, kMaxEscapeBytes> escapeBytes{};
  int escapeCount = 0;
  std::string escapeError;            // non-empty when the escape text lies outside the format
  std::string returnKind;             // tipo_retorno
  int declaredReturnSize = 0;         // tamanho_retorno; -1 open ETX, -2 open NUL
  std::vector<ParameterRecord> parameters;
  std::vector<ReturnFieldRecord> returnFields;

  // Execution state, set by framing and the exchange.
  int StatusBlockLength = 0;
  int ExpectedReplyLength = 0;
  FrameBuffer frame;
  std::vector<std::uint8_t> replyData;
  std::string HexTrace;
  std::string ResultText;

  int parameterCount() const { return static_cast<int>(parameters.size()); }
  int returnFieldCount() const { return static_cast<int>(returnFields.size()); }
};

}  // namespace tervane
