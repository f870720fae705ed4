// The layout of an MFD file rebuilt from the printer's PDF-417 symbols.
//
//   524288 bytes of FFh (128 blocks of 4096: the erased area in front of the data)
//   3 x 256-byte block: 00h, "PDF-417", 00h up to byte 253, "BU"
//   3 x 256-byte block: 01h, "PDF-417", 00h up to byte 253, "<@"
//   the data region: the symbols' data in increasing order of offset
//   256 bytes of FFh
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tervane {

constexpr size_t kMfdErasedPrefixSize = 524288;
constexpr size_t kMfdHeaderBlockSize = 256;
constexpr size_t kMfdHeaderSize = 6 * kMfdHeaderBlockSize;
constexpr size_t kMfdTrailerSize = 256;
constexpr size_t kMfdDataStart = kMfdErasedPrefixSize + kMfdHeaderSize;

// The whole file for a data region.
std::string BuildPdf417MfdFile(std::string_view data);

// Finds the data region of a file laid out as above. Returns false (and leaves `data`
// empty) when the file is shorter than the fixed parts or its header blocks are not the
// six blocks above; the erased prefix and trailer are not inspected byte by byte.
bool Pdf417MfdData(std::string_view file, std::string_view& data);

}  // namespace tervane
