// The MFD file rebuilt from the printer's PDF-417 symbols: the detail-tape frame of
// vendor/formats/mfd_file.h with the origin mark "PDF-417" and no signature:
//
//   524288 bytes of FFh
//   3 x 256-byte block: 00h, "PDF-417", 00h up to byte 253, "BU"
//   3 x 256-byte block: 01h, "PDF-417", 00h up to byte 253, "<@"
//   the data region: the symbols' data in increasing order of offset
//   256 bytes of FFh
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "vendor/formats/mfd_file.h"

namespace tervane {

constexpr size_t kMfdErasedPrefixSize = vendor::kMfdLeadSize;
constexpr size_t kMfdDataStart = vendor::kMfdDataOffset;
constexpr size_t kMfdTrailerSize = vendor::kMfdTailSize;

// The whole file for a data region.
std::string BuildPdf417MfdFile(std::string_view data);

// Finds the data region of a file laid out as above. Returns false (and leaves `data`
// empty) when the file's frame is not that of a rebuilt MFD (a downloaded one included).
bool Pdf417MfdData(std::string_view file, std::string_view& data);

}  // namespace tervane
