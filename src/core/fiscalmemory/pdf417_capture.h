// Assembly of the PDF-417 symbols a hand scanner reads off a printout of the detail-tape
// memory, and the files made from them: an MFD file for the first pass, an .rsa file
// for the digital signature's pass.
//
// A symbol as the scanner delivers it: bytes 0-3 the total length L of the set's data
// and bytes 4-7 this symbol's offset O in it (both unsigned 32-bit little-endian), then
// the data, then 2 bytes that are not data. A full symbol is 678 bytes (668 of data);
// the set has ceil(L / 668) symbols and a symbol's slot is O / 668.
//
// The scanner's bytes come from outside and are checked before anything is stored: a
// total length of 0 or beyond kPdf417MaxSetLength, an offset beyond the announced set,
// a symbol too short to hold its header and check bytes, and a symbol that does not fit
// the receive buffer are refused with a status line; the slots are kept by index only
// for the symbols received, so no allocation follows the announced length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tervane {

inline constexpr std::size_t kPdf417BufferSize = 1024;   // receive buffer
inline constexpr std::size_t kPdf417FullSymbol = 678;    // 8 + 668 + 2
inline constexpr std::size_t kPdf417SymbolData = 668;
inline constexpr std::size_t kPdf417MinSymbol = 10;      // header and check bytes, no data
// The largest set accepted: about 100 000 symbols, far beyond what is scanned by hand.
inline constexpr std::uint32_t kPdf417MaxSetLength = 64u << 20;

// One stored symbol: its offset and its bytes as received (header and check bytes included).
struct Pdf417Symbol {
  std::uint32_t offset = 0;
  std::vector<std::uint8_t> bytes;
};

// What the reading thread shows after taking the buffer as a symbol. Texts are Windows-1252.
struct Pdf417Step {
  enum class Kind { kIncomplete, kStored, kDuplicate, kRefused };
  Kind kind = Kind::kIncomplete;
  std::string status;    // the status line ("Símbolo lido: 1/2", "Símbolo já foi lido", a refusal)
  std::string dump;      // hex dump of the buffer that was taken (empty for kIncomplete)
  bool finished = false; // every expected symbol is in: the capture ends
};

class Pdf417Capture {
 public:
  // `signatureMode`: the pass of the digital signature, where any non-empty buffer is a symbol.
  explicit Pdf417Capture(bool signatureMode = false) : signatureMode_(signatureMode) {}

  // One read of the port. Appended when the buffer stays within kPdf417BufferSize bytes;
  // otherwise nothing is appended, the buffer is marked as overflowing (the next Take
  // refuses it) and false is returned.
  bool Append(const std::uint8_t* data, std::size_t size);

  // After a round of reads: takes the buffer as one symbol when it is complete (exactly
  // 678 bytes; or not empty when the next symbol is the last expected one, in signature
  // mode, or while nothing has been received), checks and stores it, and empties the
  // buffer. Returns kIncomplete (and keeps the buffer) when it is not complete yet.
  Pdf417Step Take();

  int ExpectedCount() const { return expected_; }
  int ReceivedCount() const { return static_cast<int>(symbols_.size()); }
  bool SignatureMode() const { return signatureMode_; }
  std::size_t BufferFill() const { return fill_; }
  // The stored symbols by slot index.
  const std::map<int, Pdf417Symbol>& Symbols() const { return symbols_; }

 private:
  Pdf417Step Refuse(const char* utf8Reason);

  bool signatureMode_;
  std::uint8_t buffer_[kPdf417BufferSize] = {};
  std::size_t fill_ = 0;
  bool overflow_ = false;
  int expected_ = 0;
  std::map<int, Pdf417Symbol> symbols_;
};

// The dump of the capture window: per group of 8 bytes a line "%06X  " (the group's
// offset) followed by "%02X " per byte and "\n"; a last shorter group likewise.
std::string Pdf417HexDump(const std::uint8_t* data, std::size_t size);

// The bytes of the MFD file (signature off) or of the .rsa file (signature on) for the
// captured symbols, in order of offset.
std::vector<std::uint8_t> BuildPdf417File(const Pdf417Capture& capture);

// Writes BuildPdf417File to `path` (created anew, binary). Returns false when the file
// cannot be created or written; `error` then holds "%s\nArquivo: %s" (the system's
// error text and the path).
bool WritePdf417File(const Pdf417Capture& capture, const std::string& path, std::string& error);

}  // namespace tervane
