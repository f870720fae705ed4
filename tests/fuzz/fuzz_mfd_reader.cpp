// Feeds arbitrary bytes to the .mfd reader as what follows an intact frame (the 512 KB
// frame itself is checked once, so the fuzzer spends its time on the records), and
// checks what must hold: no crash or overrun, a failure always names a status, and data
// that reads well is written back to the same stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "vendor/formats/mfd_file.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tervane::vendor;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  MfdContents contents;
  Check(!ReadMfd(bytes, contents).ok());  // shorter than any frame

  const std::string tailed = std::string(bytes) + std::string(kMfdTailSize, '\xFF');
  const FileReadResult result = ReadMfdData(tailed, kMfdDataOffset, contents);
  if (!result.ok()) {
    Check(KeloStatusFor(result.status) == 2 || KeloStatusFor(result.status) == 6);
    Check(result.offset <= kMfdDataOffset + tailed.size());
    return 0;
  }
  const std::string again = MfdStreamBytes(contents);
  Check(bytes.substr(0, again.size()) == again);
  if (size < 64) {  // now and then the whole file, frame included
    MfdContents reread;
    Check(ReadMfd(MfdFrameBytes(again), reread).ok() && reread == contents);
  }
  return 0;
}
