#include "vendor/formats/sb_key_files.h"

#include "vendor/formats/byte_codec.h"
#include "vendor/formats/signature.h"

namespace tervane::vendor {

namespace {

constexpr std::string_view kSbMagic("KSB\x01", 4);
constexpr std::string_view kKeyMagic("KKY\x01", 4);
constexpr std::size_t kDigestSize = 32;

// After a body read to position `end`: nothing or exactly one signature may follow.
FileReadResult CheckTail(const ByteReader& r, std::size_t end) {
  if (r.Left() != 0 && r.Left() != kSignatureSize)
    return Failure(r.Left() < kSignatureSize ? FileStatus::kTruncated : FileStatus::kCorrupt, end,
                   "the bytes after the contents are not a signature");
  return {};
}

}  // namespace

std::string SbImageBytes(const SbImage& image) {
  ByteWriter w;
  w.Raw(kSbMagic);
  w.Text(image.version);
  w.Text(image.model);
  w.Text(image.serial);
  w.U32(static_cast<std::uint32_t>(image.image.size()));
  w.Raw(image.image);
  return w.Take();
}

FileReadResult ReadSbImage(std::string_view bytes, SbImage& image) {
  image = SbImage{};
  ByteReader r(bytes);
  std::string_view magic, data;
  if (!r.Raw(4, magic) || magic != kSbMagic)
    return Failure(FileStatus::kWrongFormat, 0, "the file is not a basic-software image");
  std::uint32_t size = 0;
  r.Text(image.version);
  r.Text(image.model);
  r.Text(image.serial);
  r.U32(size);
  if (r.Failed()) return Failure(FileStatus::kTruncated, r.Position(), "the image header is cut short");
  if (!r.Raw(size, data))
    return Failure(FileStatus::kTruncated, r.Position(), "the image is shorter than its size says");
  image.image = std::string(data);
  if (auto tail = CheckTail(r, r.Position()); !tail.ok()) return tail;
  if (image.serial.empty()) return Failure(FileStatus::kNoSerial, 4, "the image names no serial number");
  return {};
}

std::string KeyFileBytes(const KeyFile& key) {
  ByteWriter w;
  w.Raw(kKeyMagic);
  w.U8(static_cast<std::uint8_t>(key.kind));
  w.Text(key.serial);
  w.Time(key.made);
  std::string digest = key.digest.substr(0, kDigestSize);
  digest.resize(kDigestSize, '\0');
  w.Raw(digest);
  w.Text(key.rangeKind);
  w.Text(key.start);
  w.Text(key.end);
  w.Text(key.user);
  return w.Take();
}

FileReadResult ReadKeyFile(std::string_view bytes, KeyFile& key) {
  key = KeyFile{};
  ByteReader r(bytes);
  std::string_view magic, digest;
  if (!r.Raw(4, magic) || magic != kKeyMagic)
    return Failure(FileStatus::kWrongFormat, 0, "the file is not a key file");
  std::uint8_t kind = 0;
  r.U8(kind);
  r.Text(key.serial);
  r.Time(key.made);
  r.Raw(kDigestSize, digest);
  r.Text(key.rangeKind);
  r.Text(key.start);
  r.Text(key.end);
  r.Text(key.user);
  if (r.Failed()) return Failure(FileStatus::kTruncated, r.Position(), "the key file is cut short or malformed");
  if (kind < 1 || kind > 3) return Failure(FileStatus::kCorrupt, 4, "unknown key kind");
  key.kind = static_cast<KeyKind>(kind);
  key.digest = std::string(digest);
  if (auto tail = CheckTail(r, r.Position()); !tail.ok()) return tail;
  if (key.serial.empty()) return Failure(FileStatus::kNoSerial, 5, "the key names no serial number");
  return {};
}

}  // namespace tervane::vendor
