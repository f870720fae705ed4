// The record stream shared by the .mf and .mfd files: a sequence of records, each a type
// byte, a 32-bit little-endian payload length, the payload and a 16-bit check (CRC-16 of
// the type, length and payload bytes, crc16.h), ended by a record of type FFh whose
// payload is the 32-bit count of the records before it. Nothing in it is
// trusted: lengths are checked against what is left before anything is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "vendor/formats/file_status.h"

namespace tervane::vendor {

inline constexpr std::uint8_t kEndRecord = 0xFF;

// Appends one record to `out`.
void AppendRecord(std::string& out, std::uint8_t type, std::string_view payload);
// Appends the end record for `count` records.
void AppendEndRecord(std::string& out, std::uint32_t count);

class RecordStreamReader {
 public:
  // `base` is the offset of `stream` inside its file, so that results give file offsets.
  RecordStreamReader(std::string_view stream, std::size_t base) : stream_(stream), base_(base) {}

  enum class Step { kRecord, kEnd, kFailed };

  // Reads the next record. kRecord: `type` and `payload` are set, and `offset` to the
  // record's file offset. kEnd: the end record was read and its count matches the
  // records read. kFailed: `result` says why (truncated, a check or a count that does
  // not match); every later call fails the same way.
  Step Next(std::uint8_t& type, std::string_view& payload, std::size_t& offset);

  // Where the stream stopped: the byte after the end record on kEnd.
  std::size_t Position() const { return pos_; }
  const FileReadResult& Result() const { return result_; }

 private:
  std::string_view stream_;
  std::size_t base_;
  std::size_t pos_ = 0;
  std::uint32_t count_ = 0;
  FileReadResult result_;
};

}  // namespace tervane::vendor
