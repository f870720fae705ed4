// Collects the PDF-417 symbols of one detail-tape set and writes them as an MFD file.
//
// A symbol carries: bytes 0-3 the total length L of the set's data (unsigned 32-bit
// little-endian), bytes 4-7 the offset O of this symbol's data in the set (same form),
// then the data, then 2 trailing bytes that are not data (the symbol's own error
// correction already guards its content, so they are not interpreted). Every symbol holds
// 668 data bytes (678 in all) except the last of the set, which holds what remains; the
// set has ceil(L / 668) symbols and a symbol's slot is O / 668.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace tervane {

constexpr size_t kSymbolDataSize = 668;
constexpr size_t kSymbolFrameSize = 10;  // 8 header bytes + 2 trailing bytes
// Largest set accepted (L). A set this size is already tens of thousands of symbols; a
// symbol announcing more is refused rather than trusted.
constexpr std::uint32_t kMaxSymbolSetSize = 16u * 1024 * 1024;

// Results of the builder and of the three library entry points built on it.
enum Pdf417Status : int {
  kPdf417Ok = 0,
  kPdf417CannotOpen = 4,     // bitmap unreadable, or output file cannot be created/written
  kPdf417InvalidData = 6,    // no symbol, a symbol not laid out as above, or nothing to write
  kPdf417NotOpen = 7,        // add or close without an open set, or open twice
  kPdf417Incomplete = 8,     // file written, but some symbols of the set were never added
};

class Pdf417MfdBuilder {
 public:
  // Starts a set whose file will be `mfdPath`. Checks at once that the file can be
  // created (creating it empty when it did not exist; an existing file is untouched until
  // Close). Returns kPdf417Ok, kPdf417CannotOpen, or kPdf417NotOpen when a set is already
  // open.
  int Open(const std::string& mfdPath);

  // Adds one decoded symbol. Returns kPdf417Ok, also for a repeat of a symbol already
  // added with the same bytes; kPdf417InvalidData for a symbol too short, with L of 0 or
  // above kMaxSymbolSetSize, L different from the set's, O not on a slot boundary or
  // beyond the set, a data length other than its slot's, or different bytes for a slot
  // already filled (the set is left unchanged); kPdf417NotOpen with no open set.
  int AddSymbol(std::string_view symbol);

  // Reads a bitmap file and adds every PDF-417 symbol in it. Returns kPdf417Ok when at
  // least one symbol was found and all were accepted; kPdf417CannotOpen when the file
  // cannot be read or is not a bitmap; kPdf417InvalidData when no symbol was found or one
  // was refused (the others found are still added); kPdf417NotOpen with no open set.
  int AddBitmapFile(const std::string& bmpPath);

  // Writes the MFD file (atomically) and ends the set. Returns kPdf417Ok when every
  // symbol of the set was added; kPdf417Incomplete when some are missing (the file holds
  // the symbols present, in order of offset); kPdf417InvalidData when no symbol was added
  // (no file is written, and an empty file made by Open is removed); kPdf417CannotOpen
  // when writing fails; kPdf417NotOpen with no open set. The set is closed in every case.
  int Close();

  // The data of the symbols added so far, in order of offset (what Close writes between
  // the frame's fixed parts).
  std::string AssembledData() const;

  bool IsOpen() const { return open_; }
  size_t ExpectedCount() const;
  size_t ReceivedCount() const { return slots_.size(); }

 private:
  bool open_ = false;
  bool createdEmpty_ = false;
  std::string path_;
  std::uint32_t setLength_ = 0;
  std::map<std::uint32_t, std::string> slots_;  // slot index -> data bytes
};

}  // namespace tervane
