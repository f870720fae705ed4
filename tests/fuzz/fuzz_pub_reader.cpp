// Feeds arbitrary text to the public-key reader: no crash, and a key that reads well is
// 128 bytes whose hexadecimal is line 1 (in either case).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/common/text.h"
#include "vendor/formats/pub_file.h"
#include "vendor/formats/signature.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tervane::vendor;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string modulus, line2, line3;
  const FileReadResult result = ReadPublicKeyText(text, modulus, &line2, &line3);
  if (!result.ok()) {
    Check(modulus.empty());
    return 0;
  }
  Check(modulus.size() == kModulusSize);
  std::string first(text.substr(0, 256));
  for (char& c : first)
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  Check(first == tervane::HexText(modulus));
  Check(line2.find('\n') == std::string::npos && line3.find('\n') == std::string::npos);
  // Verification with any key and any bytes never crashes.
  VerifySignedFile(text, modulus);
  return 0;
}
