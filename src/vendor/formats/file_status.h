// What reading one of the memory files found: a status, the byte offset where the
// reading stopped and a sentence a person can act on.
#pragma once

#include <cstddef>
#include <string>

namespace tervane::vendor {

enum class FileStatus {
  kOk,
  kCannotOpen,   // the file could not be opened or read
  kWrongFormat,  // not a file of this kind (frame, magic bytes or version)
  kTruncated,    // the data ends inside a record, or before the end record
  kCorrupt,      // a record that breaks the format's rules
  kNoSerial,     // well formed, but the header names no serial number
};

struct FileReadResult {
  FileStatus status = FileStatus::kOk;
  std::size_t offset = 0;
  std::string description;

  bool ok() const { return status == FileStatus::kOk; }
};

// The library status code for a failed read: 2 for a file without a serial number, 6
// ("no valid data") for every other failure, 0 for kOk.
int KeloStatusFor(FileStatus status);

// The largest user number a memory file can hold: the printer counts users in three digits.
inline constexpr int kMaxUserNumber = 999;

// Builds a failed result.
FileReadResult Failure(FileStatus status, std::size_t offset, std::string description);

}  // namespace tervane::vendor
