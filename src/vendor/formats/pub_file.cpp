#include "vendor/formats/pub_file.h"

#include "core/common/atomic_file.h"
#include "core/common/text.h"
#include "vendor/formats/signature.h"

namespace tervane::vendor {

namespace {

// The next line from `pos`, without its CR LF or LF; false when nothing is left.
bool NextLine(std::string_view text, std::size_t& pos, std::string& line) {
  if (pos >= text.size()) return false;
  std::size_t eol = text.find('\n', pos);
  if (eol == std::string_view::npos) eol = text.size();
  std::size_t end = eol;
  if (end > pos && text[end - 1] == '\r') --end;
  line.assign(text.substr(pos, end - pos));
  pos = eol + 1;
  return true;
}

}  // namespace

std::string PublicKeyIdentityLine(const PublicKeyFile& key) {
  return key.brand + " " + key.model + " N/S " + key.serial;
}

std::string PublicKeyDateLine(const MemoryTime& date) { return "Fecha: " + date.DateText(); }

std::string PublicKeyFileText(const PublicKeyFile& key) {
  return HexText(key.modulus) + "\r\n" + PublicKeyIdentityLine(key) + "\r\n" +
         PublicKeyDateLine(key.date) + "\r\n";
}

FileReadResult ReadPublicKeyText(std::string_view text, std::string& modulus, std::string* line2,
                                 std::string* line3) {
  modulus.clear();
  std::size_t pos = 0;
  std::string first, second, third;
  if (!NextLine(text, pos, first)) return Failure(FileStatus::kTruncated, 0, "the key file is empty");
  if (first.size() != 2 * kModulusSize)
    return Failure(FileStatus::kWrongFormat, 0, "line 1 is not 256 hexadecimal digits");
  std::string bytes;
  if (!HexToBytes(first, bytes)) {
    std::size_t bad = 0;
    while (HexDigitValue(first[bad]) >= 0) ++bad;
    return Failure(FileStatus::kWrongFormat, bad & ~std::size_t{1},
                   "line 1 holds a character that is not hexadecimal");
  }
  if (static_cast<unsigned char>(bytes[0]) < 0x80)
    return Failure(FileStatus::kWrongFormat, 0, "the key on line 1 is shorter than 1024 bits");
  const std::size_t secondAt = pos;
  if (!NextLine(text, pos, second)) return Failure(FileStatus::kTruncated, secondAt, "line 2 is missing");
  const std::size_t thirdAt = pos;
  if (!NextLine(text, pos, third)) return Failure(FileStatus::kTruncated, thirdAt, "line 3 is missing");
  modulus = std::move(bytes);
  if (line2) *line2 = std::move(second);
  if (line3) *line3 = std::move(third);
  return {};
}

FileReadResult ReadPublicKeyFile(const std::string& path, std::string& modulus, std::string* line2,
                                 std::string* line3) {
  std::string bytes, error;
  modulus.clear();
  if (!ReadWholeFile(path, bytes, &error)) return Failure(FileStatus::kCannotOpen, 0, error);
  return ReadPublicKeyText(bytes, modulus, line2, line3);
}

}  // namespace tervane::vendor
