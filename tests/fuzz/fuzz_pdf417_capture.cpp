// Feeds random scanner reads to the PDF-417 capture and checks what must hold whatever
// the scanner sends: the buffer never passes its size, no more symbols are stored than
// announced, every stored symbol sits in its slot, and the file stays within the bytes
// received.
//
// Input: byte 0 bit 0 the signature pass; then reads, each a length byte (0 = end of a
// read round: the buffer is taken) followed by that many bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fiscalmemory/pdf417_capture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  tervane::Pdf417Capture capture((data[0] & 1) != 0);
  std::size_t received = 0;
  for (std::size_t at = 1; at < size;) {
    std::size_t length = data[at++];
    if (length == 0) {
      capture.Take();
      continue;
    }
    // Lengths above 200 stand for long reads (a symbol beyond the buffer).
    if (length > 200) length = (length - 200) * 64;
    std::size_t n = length < size - at ? length : size - at;
    if (capture.Append(data + at, n)) received += n;
    at += n;
    if (capture.BufferFill() > tervane::kPdf417BufferSize) std::abort();
  }
  capture.Take();
  if (capture.ReceivedCount() > capture.ExpectedCount()) std::abort();
  for (const auto& [slot, symbol] : capture.Symbols()) {
    if (symbol.offset / tervane::kPdf417SymbolData != static_cast<std::uint32_t>(slot)) std::abort();
    if (slot >= capture.ExpectedCount() || symbol.bytes.size() > tervane::kPdf417BufferSize) std::abort();
  }
  const std::size_t fileSize = tervane::BuildPdf417File(capture).size();
  const std::size_t frame = capture.SignatureMode() ? 0 : 524288 + 1536 + 256;
  if (fileSize > frame + received) std::abort();
  return 0;
}
