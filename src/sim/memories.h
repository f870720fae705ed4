// What the simulated printer keeps beyond its counters: the detail-tape memory (every
// document it printed, with the markers of power failures and user changes), the fiscal
// memory (a record per Z reduction and per user change), the basic-software image, and
// the download being served. They are kept in the memory-file structures so that a
// download hands them out exactly as the libraries read them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vendor/formats/mf_file.h"
#include "vendor/formats/mfd_file.h"

namespace tervane::sim {

// One download being served, block by block.
struct DownloadSession {
  bool open = false;
  char kind = 0;          // 'F' .mf, 'D' .mfd, 'S' .bin, 'P' .mpk, 'K' .mfk, 'B' .sbk, 'C' .pub
  std::string payload;    // the bytes handed out
};

inline constexpr std::size_t kDownloadBlockSize = 2048;

struct PrinterMemories {
  std::vector<vendor::MfdEntry> tape;
  std::vector<vendor::MfEntry> fiscal;
  std::string basicSoftware;   // the image bytes (made at start from the identity)
  DownloadSession download;
  // The grand total when the last reduction (or user change) was recorded: a day's
  // venda bruta is what the grand total grew by since.
  std::int64_t grandTotalAtLastRecord = 0;

  // Test aid: drop the link when this block of a download is asked for (-1: never).
  int hangupAtBlock = -1;
  // Set by the block command when the link is to be dropped instead of answering.
  bool hangupRequested = false;
};

// A plausible basic-software image for a model and firmware version: a readable header
// and deterministic filler, `size` bytes.
std::string MakeBasicSoftwareImage(const std::string& model, const std::string& version,
                                   std::size_t size = 32768);

}  // namespace tervane::sim
