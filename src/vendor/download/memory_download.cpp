#include "vendor/download/memory_download.h"

#include <filesystem>
#include <functional>
#include <system_error>

#include "core/common/atomic_file.h"
#include "vendor/download/partial_file.h"
#include "vendor/download/memory_link.h"
#include "vendor/formats/crc16.h"
#include "vendor/formats/memory_time.h"
#include "vendor/formats/mf_file.h"
#include "vendor/formats/mfd_file.h"
#include "vendor/formats/pub_file.h"
#include "vendor/formats/sb_key_files.h"
#include "vendor/formats/signature.h"

namespace tervane::vendor {

namespace {

constexpr std::size_t kBlockSize = 2048;
constexpr int kOpenReplySize = 8;
constexpr int kBlockReplySize = 5 + static_cast<int>(kBlockSize) + 2;
constexpr int kAttempts = 3;                       // per command, on NAK or a bad block check
constexpr std::uint32_t kLargestDownload = 64u << 20;  // a size beyond this is not believed
constexpr std::uint8_t kSt2NotExecuted = 0x01;
constexpr std::uint8_t kSt2ParameterType = 0x80;
constexpr std::uint8_t kSt1Refusals = 0x0F;  // not ESC, unknown command, coupon open, parameter count

bool Digits(const std::string& text, std::size_t most) {
  if (text.empty() || text.size() > most) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// A user number as the workbench may hand it over ("7", "007", "0007" from a decoded BCD
// field, blanks around it): three digits, or empty when it is not a number up to 999.
std::string UserDigits(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  std::string digits = text.substr(first, text.find_last_not_of(' ') - first + 1);
  if (!Digits(digits, 12)) return {};
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
  if (digits.size() > 3) return {};
  return std::string(3 - digits.size(), '0') + digits;
}

std::string LeftZeros(const std::string& text, std::size_t width) {
  return std::string(width - text.size(), '0') + text;
}

std::uint32_t Le(const std::string& bytes, std::size_t at, int count) {
  std::uint32_t v = 0;
  for (int i = count - 1; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
  return v;
}

bool Refused(const Reply& reply) {
  return (reply.st2 & (kSt2NotExecuted | kSt2ParameterType)) != 0 || (reply.st1 & kSt1Refusals) != 0;
}

// One command with its retries: a NAK, a garbled reply or one that stops short is asked
// again, up to kAttempts times in all. Returns 0 with `reply` set, or the code to end with.
int Ask(MemoryLink& link, const std::string& body, int dataSize, Reply& reply) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const LinkResult result = link.Exchange(body, dataSize, reply);
    if (result == LinkResult::kNoAnswer) return kDownloadLinkFailed;
    if (result == LinkResult::kOk) return Refused(reply) ? kDownloadNotExecuted : 0;
  }
  return kDownloadLinkFailed;
}

std::string BlockBody(std::size_t number) {
  std::string digits = std::to_string(number);
  return std::string("\x50\x6F", 2) + LeftZeros(digits, 5);
}

// Asks for block `n` until a reply arrives whole with its CRC matching: a NAK, a garbled
// or short reply and a CRC that fails all take one of the kAttempts. Returns 0 with the
// reply's data in `block`, or the code to end with.
int AskBlock(MemoryLink& link, std::size_t n, std::string& block) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    Reply reply;
    const LinkResult result = link.Exchange(BlockBody(n), kBlockReplySize, reply);
    if (result == LinkResult::kNoAnswer) return kDownloadLinkFailed;
    if (result != LinkResult::kOk) continue;
    const std::string& b = reply.data;
    const std::uint16_t check = static_cast<std::uint16_t>(Le(b, kBlockReplySize - 2, 2));
    if (check != Crc16(std::string_view(b).substr(0, kBlockReplySize - 2))) continue;
    // The CRC holds, so the status bytes after it are the printer's own.
    if (Refused(reply)) return kDownloadNotExecuted;
    block = b;
    return 0;
  }
  return kDownloadLinkFailed;
}

// Checks a block reply that passed its CRC against the download: the number asked for,
// the length the announced size gives, the end marker on the last block only.
bool BlockAgrees(const std::string& b, std::size_t n, std::uint32_t total, std::size_t blocks) {
  const std::size_t length = Le(b, 2, 2);
  const bool last = b[4] != 0;
  const std::size_t expectedLength = std::min(kBlockSize, total - n * kBlockSize);
  return Le(b, 0, 2) == (n & 0xFFFF) && length == expectedLength && last == (n + 1 == blocks);
}

using BlockSink = std::function<void(std::size_t n, const std::string& block)>;

// Receives blocks `from`.. of an opened download, appending their data to `payload` and
// handing each block reply to `sink`. Returns 0 or a result code.
int ReceiveBlocks(MemoryLink& link, std::uint32_t total, std::size_t blocks, std::size_t from,
                  std::string& payload, const BlockSink& sink) {
  payload.reserve(total);
  for (std::size_t n = from; n < blocks; ++n) {
    std::string b;
    if (const int code = AskBlock(link, n, b)) return code;
    // A block that is not the one asked for, or that disagrees with the announced size,
    // means the two sides no longer agree: give up rather than build a wrong file.
    if (!BlockAgrees(b, n, total, blocks)) return kDownloadInvalidData;
    payload.append(b, 5, Le(b, 2, 2));
    if (sink) sink(n, b);
  }
  return 0;
}

// Checks a kept partial download against the download just opened, and brings in the
// printer's block 0 in place of the kept one (its heading may carry the moment of the
// download). The kept blocks must belong to the same request, size and block count, the
// printer's serial number must be the one kept, and the last kept block must still be
// what the printer sends. Returns 0 with `kept` ready to continue from, or the code to end
// with (kDownloadPartialMismatch for another printer's or another download's blocks).
int ContinueFrom(MemoryLink& link, PartialDownload& kept, const std::string& parameters, DownloadKind kind,
                 std::uint32_t total, std::size_t blocks) {
  if (kept.parameters != parameters || kept.total != total || kept.blocks != blocks)
    return kDownloadPartialMismatch;
  for (std::size_t n = 0; n < kept.kept.size(); ++n) {
    if (!BlockAgrees(kept.kept[n], n, total, blocks)) {
      kept.kept.resize(n);  // what follows a block that disagrees is not trusted either
      break;
    }
  }
  if (kept.kept.empty()) return kDownloadPartialMismatch;
  std::string first;
  if (const int code = AskBlock(link, 0, first)) return code;
  if (!BlockAgrees(first, 0, total, blocks)) return kDownloadInvalidData;
  if (IdentityOfFirstBlock(static_cast<char>(kind), first.substr(5, Le(first, 2, 2))) != kept.identity)
    return kDownloadPartialMismatch;
  const std::size_t last = kept.kept.size() - 1;
  if (last > 0) {
    std::string again;
    if (const int code = AskBlock(link, last, again)) return code;
    if (again != kept.kept[last]) return kDownloadPartialMismatch;
  }
  kept.kept[0] = first;
  return 0;
}

}  // namespace

std::string OpenParameters(const DownloadAsk& ask) {
  std::string range = ask.rangeKind.empty() ? "0" : ask.rangeKind;
  const bool ranged = ask.kind == DownloadKind::kMfd || ask.kind == DownloadKind::kMpk;
  if (!ranged) range = "0";
  std::string start(6, ' '), end(6, ' '), user(3, ' ');
  if (range == "1") {
    MemoryTime a, b;
    if (!ParseDdMmYy(ask.start, a) || !ParseDdMmYy(ask.end, b)) return {};
    start = ask.start;
    end = ask.end;
  } else if (range == "2") {
    if (!Digits(ask.start, 6) || !Digits(ask.end, 6)) return {};
    start = LeftZeros(ask.start, 6);
    end = LeftZeros(ask.end, 6);
  } else if (range != "0") {
    return {};
  }
  // The user number travels with COO ranges and with the MF download of the models that
  // ask for it; elsewhere it is ignored by the printer.
  if (ask.user.find_first_not_of(' ') != std::string::npos) {
    user = UserDigits(ask.user);
    if (user.empty()) return {};
  }
  return std::string(1, static_cast<char>(ask.kind)) + range + start + end + user;
}

int CheckReceived(DownloadKind kind, const std::string& bytes) {
  FileReadResult result;
  switch (kind) {
    case DownloadKind::kMf: {
      MfContents c;
      result = ReadMf(bytes, c);
      break;
    }
    case DownloadKind::kMfd: {
      MfdContents c;
      result = ReadMfd(bytes, c);
      break;
    }
    case DownloadKind::kSb: {
      SbImage image;
      result = ReadSbImage(bytes, image);
      break;
    }
    case DownloadKind::kMpk:
    case DownloadKind::kMfk:
    case DownloadKind::kSbk: {
      KeyFile key;
      result = ReadKeyFile(bytes, key);
      const KeyKind wanted = kind == DownloadKind::kMpk   ? KeyKind::kMpk
                             : kind == DownloadKind::kMfk ? KeyKind::kMfk
                                                          : KeyKind::kSbk;
      if (result.ok() && key.kind != wanted) result.status = FileStatus::kWrongFormat;
      break;
    }
    case DownloadKind::kPublicKey: {
      std::string modulus;
      result = ReadPublicKeyText(bytes, modulus);
      break;
    }
  }
  if (result.ok()) {
    // Every binary file must carry its signature.
    if (kind != DownloadKind::kPublicKey && bytes.size() < kSignatureSize) return kDownloadInvalidData;
    return kDownloadOk;
  }
  return KeloStatusFor(result.status);
}

int DownloadToFile(PortFactory& ports, Clock& clock, const std::string& portName, const DownloadAsk& ask,
                   const std::string& file) {
  const std::string parameters = OpenParameters(ask);
  if (parameters.empty() || file.empty()) return kDownloadNotExecuted;

  MemoryLink link(ports, clock);
  if (!link.Open(portName)) return kDownloadNotExecuted;
  Reply reply;
  if (const int code = Ask(link, std::string("\x50\x6E", 2) + parameters, kOpenReplySize, reply)) return code;
  const std::uint32_t total = Le(reply.data, 0, 4);
  const std::size_t blocks = Le(reply.data, 4, 2);
  if (total == 0 || total > kLargestDownload || Le(reply.data, 6, 2) != kBlockSize ||
      blocks != (total + kBlockSize - 1) / kBlockSize)
    return kDownloadInvalidData;

  // A kept partial download of the same file goes on from its last good block.
  std::string payload;
  std::size_t from = 0;
  PartialWriter keeper;
  PartialDownload kept;
  if (ask.resume && !ask.partialPath.empty() && LoadPartialDownload(ask.partialPath, kept) && !kept.kept.empty()) {
    if (const int code = ContinueFrom(link, kept, parameters, ask.kind, total, blocks)) return code;
    from = kept.kept.size();
    if (keeper.Start(ask.partialPath, kept)) {
      for (const std::string& block : kept.kept) keeper.Append(block);
    }
    for (const std::string& block : kept.kept) payload.append(block, 5, Le(block, 2, 2));
  } else if (!ask.partialPath.empty()) {
    std::error_code ec;
    std::filesystem::remove(ask.partialPath, ec);  // a fresh download replaces what was kept
  }

  const BlockSink keep = [&](std::size_t n, const std::string& block) {
    if (ask.partialPath.empty()) return;
    if (n == 0) {
      PartialDownload heading;
      heading.parameters = parameters;
      heading.total = total;
      heading.blocks = static_cast<std::uint32_t>(blocks);
      heading.identity = IdentityOfFirstBlock(static_cast<char>(ask.kind), block.substr(5, Le(block, 2, 2)));
      keeper.Start(ask.partialPath, heading);
    }
    keeper.Append(block);
  };
  if (const int code = ReceiveBlocks(link, total, blocks, from, payload, keep)) return code;
  keeper.Close();
  // Every block is in and checked: a printer that misses the close loses nothing.
  Ask(link, std::string("\x50\x70", 2), 0, reply);
  link.Close();
  // Whatever the file turns out to be, there is nothing left to continue.
  if (!ask.partialPath.empty()) {
    std::error_code ec;
    std::filesystem::remove(ask.partialPath, ec);
  }

  // The detail tape arrives as its record stream and signature; the frame is ours to lay.
  std::string bytes;
  if (ask.kind == DownloadKind::kMfd) {
    if (payload.size() < kSignatureSize) return kDownloadInvalidData;
    const std::size_t streamSize = payload.size() - kSignatureSize;
    bytes = MfdFrameBytes(std::string_view(payload).substr(0, streamSize), kMfdDownloadMark) +
            payload.substr(streamSize);
  } else {
    bytes = std::move(payload);
  }
  if (const int check = CheckReceived(ask.kind, bytes); check != kDownloadOk) return check;
  return SaveFileAtomically(file, bytes, nullptr) ? kDownloadOk : kDownloadNotExecuted;
}

}  // namespace tervane::vendor
