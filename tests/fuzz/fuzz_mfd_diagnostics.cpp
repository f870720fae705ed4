// Scans a random report with the MFD diagnostics and checks that the findings and the
// line count do not depend on how the bytes arrive: the whole input at once into a 64 KiB
// buffer, and in reads of a few bytes into the smallest buffer.
//
// Input: byte 0 chooses the read size of the second scan (1 to 256 bytes) and whether
// the model is the one of code 4096; the rest is the report.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/fiscalmemory/mfd_diagnostics.h"

namespace {

class Source final : public tervane::MfdByteSource {
 public:
  Source(std::string_view data, std::size_t chunk) : data_(data), chunk_(chunk) {}
  long Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min({size, chunk_, data_.size() - at_});
    std::copy_n(data_.data() + at_, n, buffer);
    at_ += n;
    return static_cast<long>(n);
  }

 private:
  std::string_view data_;
  std::size_t chunk_;
  std::size_t at_ = 0;
};

class Writer final : public tervane::MfdFindingsWriter {
 public:
  bool Write(std::string_view text) override {
    text_.append(text);
    return true;
  }
  std::string text_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t chunk = (data[0] & 0x7F) * 2 + 1;
  const std::string_view report(reinterpret_cast<const char*>(data) + 1, size - 1);

  tervane::MfdScanOptions options;
  options.modelCode = (data[0] & 0x80) != 0 ? 4096 : 0x1FFFF;
  options.bufferSize = 65536;
  Source whole(report, report.size() + 1);
  Writer first;
  const tervane::MfdScanOutcome a = tervane::ScanMfdReport(whole, first, options);

  options.bufferSize = 1024;
  Source pieces(report, chunk);
  Writer second;
  const tervane::MfdScanOutcome b = tervane::ScanMfdReport(pieces, second, options);

  if (first.text_ != second.text_ || a.lines != b.lines || a.powerFailures != b.powerFailures) std::abort();
  return 0;
}
