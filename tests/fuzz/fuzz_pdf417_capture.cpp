// Feeds scanner reads to the symbol assembly and builds the file from what it kept.
//
// Input: byte 0 bit 0 selects the signature pass; then reads, each a two-byte length
// (low byte first) and that many bytes (fewer at the end). After each read the buffer is
// taken when it counts as complete, as the reading thread does; every fourth read it is
// taken anyway, as after a wait that brought nothing more.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/fiscalmemory/pdf417_capture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 1) return 0;
  tervane::Pdf417Capture capture((data[0] & 1) != 0);
  size_t i = 1;
  int reads = 0;
  while (i + 2 <= size) {
    size_t length = data[i] | static_cast<size_t>(data[i + 1]) << 8;
    i += 2;
    if (length > size - i) length = size - i;
    capture.Append(data + i, length);
    i += length;
    if (capture.BufferFill() > tervane::kPdf417BufferSize) std::abort();
    if (capture.BufferComplete() || ++reads % 4 == 0) capture.TakeSymbol();
    if (capture.ReceivedCount() > capture.ExpectedCount()) std::abort();
    if (capture.Slots().size() != capture.ExpectedCount()) std::abort();
    if (capture.ExpectedCount() > tervane::kPdf417MaxSymbols) std::abort();
  }
  size_t filled = 0;
  for (const auto& slot : capture.Slots()) filled += slot.filled ? 1 : 0;
  if (filled != capture.ReceivedCount()) std::abort();
  const std::string file = capture.FileBytes();
  if (!capture.Signature() && file.size() < 524288 + 1536 + 256) std::abort();
  return 0;
}
