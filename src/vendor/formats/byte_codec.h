// Little-endian building and bounds-checked reading of the memory files' fields. The
// reader never reads past its end: a read that does not fit fails, leaves the position
// where it was and sets the reader's failed flag, so a parser can read a whole record and
// check once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "vendor/formats/memory_time.h"

namespace tervane::vendor {

// The little-endian value at byte `at`; the caller has checked that it fits.
inline std::uint32_t LoadLe16(std::string_view b, std::size_t at) {
  return static_cast<std::uint8_t>(b[at]) | (static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 1])) << 8);
}
inline std::uint32_t LoadLe32(std::string_view b, std::size_t at) {
  return LoadLe16(b, at) | (LoadLe16(b, at + 2) << 16);
}

class ByteWriter {
 public:
  void U8(std::uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void U16(std::uint16_t v);
  void U32(std::uint32_t v);
  void I64(std::int64_t v);
  // A text of up to 65535 bytes: its length (16 bits) then its bytes; longer texts are cut.
  void Text(std::string_view text);
  void Raw(std::string_view bytes) { out_.append(bytes); }
  // Year (16 bits), month, day, hour, minute, second: 7 bytes.
  void Time(const MemoryTime& t);

  const std::string& Bytes() const { return out_; }
  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

  // Each returns false (and sets Failed) when the field does not fit in what is left.
  bool U8(std::uint8_t& v);
  bool U16(std::uint16_t& v);
  bool U32(std::uint32_t& v);
  bool I64(std::int64_t& v);
  bool Text(std::string& text);
  bool Raw(std::size_t size, std::string_view& bytes);
  // Also fails when the stored date and time is not a valid calendar moment.
  bool Time(MemoryTime& t);

  std::size_t Position() const { return pos_; }
  std::size_t Left() const { return bytes_.size() - pos_; }
  bool AtEnd() const { return pos_ == bytes_.size(); }
  bool Failed() const { return failed_; }

 private:
  bool Take(std::size_t size, const char*& p);

  std::string_view bytes_;
  std::size_t pos_ = 0;
  bool failed_ = false;
};

}  // namespace tervane::vendor
