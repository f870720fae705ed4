#include "vendor/pdf417/mfd_from_symbols.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "core/common/atomic_file.h"
#include "core/common/bitmap_header.h"
#include "vendor/formats/byte_codec.h"
#include "vendor/pdf417/bmp_image.h"
#include "vendor/pdf417/mfd_layout.h"
#include "vendor/pdf417/symbol_reader.h"

namespace tervane {
namespace {

}  // namespace

int Pdf417MfdBuilder::Open(const std::string& mfdPath) {
  if (open_) return kPdf417NotOpen;
  if (mfdPath.empty()) return kPdf417CannotOpen;
  bool created = false;
  int fd = ::open(mfdPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0) {
    created = true;
  } else {
    fd = ::open(mfdPath.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return kPdf417CannotOpen;
  }
  ::close(fd);
  open_ = true;
  createdEmpty_ = created;
  path_ = mfdPath;
  setLength_ = 0;
  slots_.clear();
  return kPdf417Ok;
}

size_t Pdf417MfdBuilder::ExpectedCount() const {
  return (static_cast<size_t>(setLength_) + kSymbolDataSize - 1) / kSymbolDataSize;
}

int Pdf417MfdBuilder::AddSymbol(std::string_view symbol) {
  if (!open_) return kPdf417NotOpen;
  if (symbol.size() <= kSymbolFrameSize) return kPdf417InvalidData;
  const std::uint32_t length = vendor::LoadLe32(symbol, 0);
  const std::uint32_t offset = vendor::LoadLe32(symbol, 4);
  if (length == 0 || length > kMaxSymbolSetSize) return kPdf417InvalidData;
  if (setLength_ != 0 && length != setLength_) return kPdf417InvalidData;
  if (offset >= length || offset % kSymbolDataSize != 0) return kPdf417InvalidData;
  const size_t expected = std::min<size_t>(kSymbolDataSize, length - offset);
  const std::string_view data = symbol.substr(8, symbol.size() - kSymbolFrameSize);
  if (data.size() != expected) return kPdf417InvalidData;
  const std::uint32_t index = offset / kSymbolDataSize;
  const auto found = slots_.find(index);
  if (found != slots_.end()) return found->second == data ? kPdf417Ok : kPdf417InvalidData;
  setLength_ = length;
  slots_.emplace(index, std::string(data));
  return kPdf417Ok;
}

int Pdf417MfdBuilder::AddBitmapFile(const std::string& bmpPath) {
  if (!open_) return kPdf417NotOpen;
  // A file larger than the largest bitmap accepted is refused before it is read.
  struct stat info {};
  if (::stat(bmpPath.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_size > 4 * kMaxBitmapPixels + 65536)
    return kPdf417CannotOpen;
  std::string bytes;
  if (!ReadWholeFile(bmpPath, bytes)) return kPdf417CannotOpen;
  GrayImage image;
  if (!ReadBmp(bytes, image)) return kPdf417CannotOpen;
  const std::vector<std::string> symbols = ReadPdf417Symbols(image);
  if (symbols.empty()) return kPdf417InvalidData;
  int result = kPdf417Ok;
  for (const std::string& symbol : symbols)
    if (AddSymbol(symbol) != kPdf417Ok) result = kPdf417InvalidData;
  return result;
}

std::string Pdf417MfdBuilder::AssembledData() const {
  std::string data;
  for (const auto& [index, bytes] : slots_) data += bytes;
  return data;
}

int Pdf417MfdBuilder::Close() {
  if (!open_) return kPdf417NotOpen;
  open_ = false;
  if (slots_.empty()) {
    if (createdEmpty_) std::remove(path_.c_str());
    return kPdf417InvalidData;
  }
  const std::string data = AssembledData();
  const bool complete = slots_.size() == ExpectedCount();
  slots_.clear();
  if (!SaveFileAtomically(path_, BuildPdf417MfdFile(data), nullptr)) {
    if (createdEmpty_) std::remove(path_.c_str());
    return kPdf417CannotOpen;
  }
  return complete ? kPdf417Ok : kPdf417Incomplete;
}

}  // namespace tervane
