// Feeds arbitrary bytes as an .mf file to the integrity check and, when they read as a
// fiscal memory, to the MF report: no crash, overflow or overrun; a file the check calls
// sound is one the reader accepts; a report always ends with its verdict.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "vendor/formats/mf_file.h"
#include "vendor/reports/mf_integrity.h"
#include "vendor/reports/mf_report.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const tervane::MfIntegrityResult result = tervane::CheckMfIntegrity(bytes, "fuzz.mf", {});
  Check(result.report.find("RESULTADO: ") != std::string::npos);
  tervane::vendor::MfContents contents;
  const bool readable = tervane::vendor::ReadMf(bytes, contents).ok();
  if (result.sound()) Check(readable);
  if (readable) {
    for (const char* kind : {"C", "c"}) {
      tervane::MfReportRange range;
      Check(tervane::ParseMfReportRange(kind, "0", "999999", range));
      tervane::MfReportText(contents, range);
    }
  }
  return 0;
}
