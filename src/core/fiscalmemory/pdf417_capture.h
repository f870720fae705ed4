// Assembly of the PDF-417 symbols a hand scanner reads off a printed detail-tape memory
// (or its digital signature), and the files built from them.
//
// A symbol as the scanner delivers it: bytes 0-3 the total length L of the set's data,
// bytes 4-7 the offset O of this symbol's data in the set (both unsigned 32-bit little
// endian), then the data, then two bytes that are not data. A full symbol is 678 bytes;
// the set has ceil(L / 668) symbols and a symbol's slot is O / 668.
//
// The scanner is outside input: every field is checked before it is used, and a symbol
// that does not fit the set is refused with a status text instead of being stored.
//
// Not thread-safe: the reading thread and the window share one through a lock of their
// own (Pdf417Session).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tervane {

inline constexpr std::size_t kPdf417BufferSize = 1024;   // the receive buffer
inline constexpr std::size_t kPdf417SymbolData = 668;    // data bytes of a full symbol
inline constexpr std::size_t kPdf417FullSymbol = 678;    // 8 header + 668 data + 2 trailer
inline constexpr std::size_t kPdf417HeaderSize = 8;
inline constexpr std::size_t kPdf417TrailerSize = 2;
// The largest set accepted: 65535 symbols (about 43 MB of data). A printed set is a few
// hundred symbols; a larger announced length is garbage and would otherwise make the
// capture reserve slots for millions of symbols.
inline constexpr std::uint32_t kPdf417MaxSymbols = 65535;
inline constexpr std::uint32_t kPdf417MaxSetLength = kPdf417MaxSymbols * kPdf417SymbolData;

// MFD file layout around the symbols' data.
inline constexpr std::size_t kPdf417MfdBlankSize = 524288;   // 128 blocks of 4096 bytes of FFh
inline constexpr std::size_t kPdf417MfdHeaderBlock = 256;    // each of the 2 x 3 header blocks
inline constexpr std::size_t kPdf417MfdTailSize = 256;       // FFh after the data

// What became of one taken symbol.
enum class Pdf417SymbolOutcome {
  kStored,     // stored in its slot; the received count grew by one
  kDuplicate,  // a symbol with the same offset was already read; nothing changed
  kRefused,    // not a symbol of this set (see the status text); nothing changed
};

// One slot of the set: empty until its symbol is read.
struct Pdf417Slot {
  bool filled = false;
  std::uint32_t offset = 0;
  std::vector<std::uint8_t> bytes;  // the whole symbol as received, header and trailer included
};

class Pdf417Capture {
 public:
  // `signature` on: the second pass (digital signature), whose symbols may have any
  // length that fits the buffer.
  explicit Pdf417Capture(bool signature = false) : signature_(signature) {}

  // Starts over: empty buffer, no symbols, counts 0, texts cleared. Keeps the mode.
  void Reset();
  bool Signature() const { return signature_; }

  // Appends bytes read from the port. A read that would take the buffer past 1024 bytes
  // is not appended: the buffer is marked as overflowed and the symbol it belongs to is
  // refused when taken. Returns false when the bytes were not appended.
  bool Append(const std::uint8_t* data, std::size_t length);

  // True when the buffer is to be taken as one complete symbol: it holds exactly 678
  // bytes, or it is not empty and (this is the last symbol expected, or the signature
  // pass is on, or nothing has been read yet).
  //
  // A buffer whose header is readable and plausible (a set length within bounds, an
  // offset inside the set) is complete once it holds the length its header announces,
  // 10 + min(668, L - O), and not before: a symbol still arriving on a slow line is not
  // taken half-way, however the counts stand, in either pass.
  //
  // When a second symbol follows the first closely, the bytes of both arrive together:
  // a complete symbol at the front of the buffer is then split off and kept for taking,
  // and the bytes after it stay in the buffer as the start of the next one.
  bool BufferComplete() const;

  // Takes one symbol (the first one split off, else the buffer): stores it, reports it as
  // a duplicate, or refuses it, and sets the status text accordingly; builds the hex dump
  // of the bytes taken. Also usable when BufferComplete() is false (a caller that gives
  // up waiting). Call again while BufferComplete() holds: more than one may be waiting.
  Pdf417SymbolOutcome TakeSymbol();

  // True once the expected count is known and every symbol was read.
  bool AllRead() const { return expected_ != 0 && received_ >= expected_; }

  std::uint32_t ExpectedCount() const { return expected_; }
  std::uint32_t ReceivedCount() const { return received_; }
  std::size_t BufferFill() const { return buffer_.size(); }
  // True when every slot of the set holds its symbol, each as long as its header
  // announces (what the signature pass requires before it writes its file).
  bool SetComplete() const;
  const std::vector<Pdf417Slot>& Slots() const { return slots_; }

  // The window's texts, Windows-1252: the expected count ("%d", empty before the first
  // symbol), the received count ("%d", empty before the first symbol), the status line
  // and the hex dump of the last buffer taken.
  const std::string& ExpectedText() const { return expectedText_; }
  const std::string& ReceivedText() const { return receivedText_; }
  const std::string& StatusText() const { return status_; }
  const std::string& DumpText() const { return dump_; }

  // The symbols' data in increasing order of offset, each symbol without its 8-byte
  // header and its 2-byte trailer. In the signature pass only the non-zero bytes.
  std::string SymbolData() const;
  // The whole file to save: for the MFD pass the blank area, the six header blocks, the
  // data and the FFh tail; for the signature pass the data alone (as SymbolData()).
  std::string FileBytes() const;

 private:
  bool Refuse(std::string status);
  // Moves complete symbols at the front of a buffer that holds more than them into ready_.
  void SplitCompleteSymbols();

  bool signature_;
  std::vector<std::uint8_t> buffer_;
  std::vector<std::vector<std::uint8_t>> ready_;  // complete symbols split off the buffer, in order
  bool overflowed_ = false;
  std::uint32_t setLength_ = 0;  // L of the first symbol stored
  std::uint32_t expected_ = 0;
  std::uint32_t received_ = 0;
  std::vector<Pdf417Slot> slots_;
  std::string expectedText_;
  std::string receivedText_;
  std::string status_;
  std::string dump_;
};

// The hex dump shown for a buffer: per group of 8 bytes a line "%06X  " (the group's
// offset) then "%02X " for each byte and "\n"; a shorter last group the same way.
std::string Pdf417HexDump(const std::uint8_t* data, std::size_t length);

}  // namespace tervane

namespace tervane {

// The symbols a printer prints for a set's data, as the scanner delivers them: the
// data cut in pieces of 668 bytes, each with the set's length and its offset in front
// and `trailer` (2 bytes) behind. Empty when the data is empty or longer than
// kPdf417MaxSetLength.
std::vector<std::vector<std::uint8_t>> SplitIntoPdf417Symbols(const std::string& data,
                                                              const char trailer[2] = "\r\n");

// The set's data held in an MFD file built from symbols (the part between the six
// header blocks and the FFh tail). False when `file` does not have that layout.
bool Pdf417DataFromMfdFile(const std::string& file, std::string* data);

}  // namespace tervane
