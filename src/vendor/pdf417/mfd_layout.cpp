#include "vendor/pdf417/mfd_layout.h"

namespace tervane {

std::string BuildPdf417MfdFile(std::string_view data) {
  return vendor::MfdFrameBytes(data, vendor::kMfdCaptureMark);
}

bool Pdf417MfdData(std::string_view file, std::string_view& data) {
  data = {};
  if (file.size() < kMfdDataStart + kMfdTrailerSize ||
      vendor::MfdOriginMark(file) != vendor::kMfdCaptureMark)
    return false;
  data = file.substr(kMfdDataStart, file.size() - kMfdDataStart - kMfdTrailerSize);
  return true;
}

}  // namespace tervane
