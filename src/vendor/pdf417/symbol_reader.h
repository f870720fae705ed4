// Finding and decoding the PDF-417 symbols of a scanned image.
#pragma once

#include <string>
#include <vector>

#include "vendor/pdf417/bmp_image.h"

namespace tervane {

// Decodes every PDF-417 symbol found in `image` (any orientation) and returns the raw
// bytes each one carries, in the order they were found; binary content is returned byte
// for byte, without any character-set conversion. An image with no readable symbol gives
// an empty list.
std::vector<std::string> ReadPdf417Symbols(const GrayImage& image);

// Draws `bytes` as one PDF-417 symbol in byte compaction, each module `moduleSize` pixels
// wide, with a quiet zone; the printer's symbols and the tests' bitmaps are made this way.
// Returns an empty image when the bytes do not fit in one symbol.
GrayImage DrawPdf417Symbol(const std::string& bytes, int moduleSize = 2);

}  // namespace tervane
