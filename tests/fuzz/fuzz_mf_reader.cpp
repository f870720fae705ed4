// Feeds arbitrary bytes to the .mf reader: no crash or overrun, every failure has a
// status, and a file that reads well is written back byte for byte (less a signature).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "vendor/formats/mf_file.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tervane::vendor;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  MfContents contents;
  const FileReadResult result = ReadMf(bytes, contents);
  if (!result.ok()) {
    Check(KeloStatusFor(result.status) == 2 || KeloStatusFor(result.status) == 6);
    Check(result.offset <= bytes.size());
    return 0;
  }
  const std::string again = MfFileBytes(contents);
  Check(MfBodySize(bytes) == again.size() && bytes.substr(0, again.size()) == again);
  return 0;
}
