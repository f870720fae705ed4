#include "vendor/pdf417/mfd_layout.h"

namespace tervane {
namespace {

std::string HeaderBlock(char first, std::string_view last) {
  std::string block(kMfdHeaderBlockSize, '\0');
  block[0] = first;
  block.replace(1, 7, "PDF-417");
  block.replace(254, 2, last);
  return block;
}

std::string HeaderBlocks() {
  std::string blocks;
  for (int i = 0; i < 3; ++i) blocks += HeaderBlock('\x00', "BU");
  for (int i = 0; i < 3; ++i) blocks += HeaderBlock('\x01', "<@");
  return blocks;
}

}  // namespace

std::string BuildPdf417MfdFile(std::string_view data) {
  std::string file;
  file.reserve(kMfdDataStart + data.size() + kMfdTrailerSize);
  file.assign(kMfdErasedPrefixSize, '\xFF');
  file += HeaderBlocks();
  file += data;
  file.append(kMfdTrailerSize, '\xFF');
  return file;
}

bool Pdf417MfdData(std::string_view file, std::string_view& data) {
  data = {};
  if (file.size() < kMfdDataStart + kMfdTrailerSize) return false;
  if (file.substr(kMfdErasedPrefixSize, kMfdHeaderSize) != HeaderBlocks()) return false;
  data = file.substr(kMfdDataStart, file.size() - kMfdDataStart - kMfdTrailerSize);
  return true;
}

}  // namespace tervane
