// The kept blocks of a download that did not finish (see core/common/partial_download.h
// for where it lives). Layout, little-endian:
//
//   8  "KPARTDL" 01h
//   1  length of the open request's parameters, then those bytes (kind letter first)
//   4  total size the printer announced
//   4  block count it announced
//   2  length of the printer's identity (its serial number as block 0 carries it), then it
//   …  each block as the printer sent it: 2055 bytes, its own CRC-16 at the end
//
// Blocks are appended as they arrive, so a program killed mid-way leaves every block it
// had; a last block cut short, or any block whose CRC fails, ends what is kept.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tervane::vendor {

inline constexpr std::size_t kPartialBlockReply = 2055;

struct PartialDownload {
  std::string parameters;         // the open request's 17 parameter bytes
  std::uint32_t total = 0;
  std::uint32_t blocks = 0;
  std::string identity;           // the serial number found in block 0
  std::vector<std::string> kept;  // block replies 0..n-1, each checked by its CRC
};

// The serial number carried by the first block of a download of `kind` (the kind
// letter), or empty when it cannot be read from it.
std::string IdentityOfFirstBlock(char kind, const std::string& blockData);

// Reads a kept file. False when there is none or its heading is not readable; the blocks
// kept are those from 0 up to the first one cut short or failing its CRC.
bool LoadPartialDownload(const std::string& path, PartialDownload& partial);

// Appends blocks to a kept file as a download goes. Every failure to write is silent
// (the download itself does not depend on it) and stops further writes.
class PartialWriter {
 public:
  PartialWriter() = default;
  ~PartialWriter() { Close(); }
  PartialWriter(const PartialWriter&) = delete;
  PartialWriter& operator=(const PartialWriter&) = delete;

  // Starts a new kept file (replacing any), with its heading.
  bool Start(const std::string& path, const PartialDownload& heading);
  void Append(const std::string& blockReply);
  void Close();

 private:
  std::FILE* file_ = nullptr;
};

// The heading's bytes.
std::string PartialHeading(const PartialDownload& partial);

}  // namespace tervane::vendor
