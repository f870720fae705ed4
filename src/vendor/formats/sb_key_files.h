// The basic-software image (.bin) and the key files (.mpk, .mfk, .sbk).
//
// .bin:  "KSB" 01h, version text, model text, serial text (texts: 16-bit length + bytes),
//        32-bit image size, the image bytes as the printer holds them
// key:   "KKY" 01h, kind (1 MPK, 2 MFK, 3 SBK), serial text, moment made (7 bytes),
//        the SHA-256 digest (32 bytes) of what the key covers, range kind text, start
//        text, end text, user text (MPK: the range asked for; others: empty texts)
// Both end, as downloaded, with the 128-byte signature of every byte before it.
//
// What a key covers: MPK the .mfd record stream of its range, MFK the .mf file without
// its signature, SBK the basic-software image bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "vendor/formats/file_status.h"
#include "vendor/formats/memory_time.h"

namespace tervane::vendor {

struct SbImage {
  std::string version;  // "010014"
  std::string model;
  std::string serial;
  std::string image;
  bool operator==(const SbImage&) const = default;
};

std::string SbImageBytes(const SbImage& image);
// Reads a .bin; a trailing 128-byte signature is allowed. kNoSerial when it names none.
FileReadResult ReadSbImage(std::string_view bytes, SbImage& image);

enum class KeyKind : std::uint8_t { kMpk = 1, kMfk = 2, kSbk = 3 };

struct KeyFile {
  KeyKind kind = KeyKind::kMpk;
  std::string serial;
  MemoryTime made;
  std::string digest;  // 32 bytes
  std::string rangeKind, start, end, user;
  bool operator==(const KeyFile&) const = default;
};

std::string KeyFileBytes(const KeyFile& key);
// Reads a key file; a trailing 128-byte signature is allowed. kNoSerial when it names none.
FileReadResult ReadKeyFile(std::string_view bytes, KeyFile& key);

}  // namespace tervane::vendor
