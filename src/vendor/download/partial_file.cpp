#include "vendor/download/partial_file.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "core/common/atomic_file.h"
#include "vendor/formats/byte_codec.h"
#include "vendor/formats/crc16.h"

namespace tervane::vendor {

namespace {

constexpr char kPartialMagic[] = "KPARTDL\x01";
constexpr std::size_t kPartialMagicSize = 8;

bool CrcHolds(const std::string& block) {
  if (block.size() != kPartialBlockReply) return false;
  const std::uint16_t stored = static_cast<std::uint16_t>(static_cast<std::uint8_t>(block[block.size() - 2]) |
                                                          (static_cast<std::uint8_t>(block[block.size() - 1]) << 8));
  return Crc16(std::string_view(block).substr(0, block.size() - 2)) == stored;
}

// Skips a record's type and length at the reader's position, checking the type.
bool RecordStart(ByteReader& r, std::uint8_t type) {
  std::uint8_t t = 0;
  std::uint32_t length = 0;
  return r.U8(t) && t == type && r.U32(length);
}

bool Magic(ByteReader& r, const char* magic) {
  std::string_view bytes;
  return r.Raw(4, bytes) && bytes == std::string_view(magic, 4);
}

}  // namespace

std::string IdentityOfFirstBlock(char kind, const std::string& blockData) {
  ByteReader r(blockData);
  std::string text;
  std::uint8_t u8 = 0;
  switch (kind) {
    case 'D':  // the record stream: header record, format version, serial
      if (RecordStart(r, 0x01) && r.U8(u8) && r.Text(text)) return text;
      return {};
    case 'F':
      if (Magic(r, "KMF\x01") && RecordStart(r, 0x01) && r.Text(text)) return text;
      return {};
    case 'S': {
      std::string version, model;
      if (Magic(r, "KSB\x01") && r.Text(version) && r.Text(model) && r.Text(text)) return text;
      return {};
    }
    case 'P':
    case 'K':
    case 'B':
      if (Magic(r, "KKY\x01") && r.U8(u8) && r.Text(text)) return text;
      return {};
    case 'C': {  // line 2 of the key file names maker, model and serial number
      const std::size_t first = blockData.find('\n');
      if (first == std::string::npos) return {};
      const std::size_t second = blockData.find('\n', first + 1);
      std::string line = blockData.substr(first + 1, second == std::string::npos ? std::string::npos
                                                                                  : second - first - 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    default: return {};
  }
}

std::string PartialHeading(const PartialDownload& partial) {
  ByteWriter w;
  w.Raw(std::string_view(kPartialMagic, kPartialMagicSize));
  w.U8(static_cast<std::uint8_t>(partial.parameters.size()));
  w.Raw(partial.parameters.substr(0, 255));
  w.U32(partial.total);
  w.U32(partial.blocks);
  w.Text(partial.identity);
  return w.Take();
}

bool LoadPartialDownload(const std::string& path, PartialDownload& partial) {
  partial = PartialDownload{};
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  ByteReader r(bytes);
  std::string_view magic, parameters;
  std::uint8_t parameterSize = 0;
  if (!r.Raw(kPartialMagicSize, magic) || magic != std::string_view(kPartialMagic, kPartialMagicSize)) return false;
  if (!r.U8(parameterSize) || !r.Raw(parameterSize, parameters)) return false;
  if (!r.U32(partial.total) || !r.U32(partial.blocks) || !r.Text(partial.identity)) return false;
  partial.parameters = std::string(parameters);
  std::size_t at = r.Position();
  while (bytes.size() - at >= kPartialBlockReply && partial.kept.size() < partial.blocks) {
    std::string block = bytes.substr(at, kPartialBlockReply);
    if (!CrcHolds(block)) break;
    partial.kept.push_back(std::move(block));
    at += kPartialBlockReply;
  }
  return true;
}

bool PartialWriter::Start(const std::string& path, const PartialDownload& heading) {
  Close();
  if (path.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) return false;
  ::fchmod(::fileno(file_), 0600);
  const std::string head = PartialHeading(heading);
  if (std::fwrite(head.data(), 1, head.size(), file_) != head.size() || std::fflush(file_) != 0) Close();
  return file_ != nullptr;
}

void PartialWriter::Append(const std::string& blockReply) {
  if (file_ == nullptr) return;
  // Flushed at once: a program killed after this block still has it on disk.
  if (std::fwrite(blockReply.data(), 1, blockReply.size(), file_) != blockReply.size() || std::fflush(file_) != 0)
    Close();
}

void PartialWriter::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

}  // namespace tervane::vendor
