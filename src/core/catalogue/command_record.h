// A catalogue command with its parameters and return fields, and the execution state of
// one exchange. Records are plain values: the Command Dialog, a sequence step or a tool
// copies a catalogue entry and edits, frames and executes the copy.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
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

// The 4096 bytes of a frame, allocated on first write: a catalogue of thousands of
// commands carries no frame storage until a command is actually framed.
class FrameBytes {
 public:
  FrameBytes() = default;
  FrameBytes(const FrameBytes& other) : data_(other.data_ ? std::make_unique<Array>(*other.data_) : nullptr) {}
  FrameBytes& operator=(const FrameBytes& other) {
    if (this != &other) data_ = other.data_ ? std::make_unique<Array>(*other.data_) : nullptr;
    return *this;
  }
  FrameBytes(FrameBytes&&) noexcept = default;
  FrameBytes& operator=(FrameBytes&&) noexcept = default;

  std::uint8_t& operator[](size_t i) { return Storage()[i]; }
  std::uint8_t operator[](size_t i) const { return data_ ? (*data_)[i] : 0; }
  std::uint8_t* data() { return Storage().data(); }
  const std::uint8_t* data() const { return data_ ? data_->data() : Zeros().data(); }
  const std::uint8_t* begin() const { return data(); }
  const std::uint8_t* end() const { return data() + kFrameCapacity; }
  static constexpr size_t size() { return kFrameCapacity; }

 private:
  using Array = std::array<std::uint8_t, kFrameCapacity>;
  Array& Storage() {
    if (!data_) data_ = std::make_unique<Array>();
    return *data_;
  }
  static const Array& Zeros() {
    static const Array zeros{};
    return zeros;
  }
  std::unique_ptr<Array> data_;
};

struct FrameBuffer {
  FrameBytes bytes;
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
  // Why the port of the last exchange did not open (Windows-1252, one line); empty when
  // it opened or none was tried.
  std::string portFailure;
  // Bytes found waiting on the line and discarded before the last frame was sent.
  int discardedBytes = 0;

  // Frame bytes [first, second) that carry a password (DIG_HEX parameters): traces and
  // the daily log show them as "**", never their value.
  std::vector<std::pair<size_t, size_t>> secretFrameBytes;

  // True for the parameter kind that carries the intervention password.
  static bool IsSecretKind(const std::string& kind) { return kind == "DIG_HEX"; }

  int parameterCount() const { return static_cast<int>(parameters.size()); }
  int returnFieldCount() const { return static_cast<int>(returnFields.size()); }
};

}  // namespace tervane
