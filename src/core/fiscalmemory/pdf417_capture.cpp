#include "core/fiscalmemory/pdf417_capture.h"

#include <algorithm>

#include "core/common/text.h"
#include "core/fiscalmemory/pdf417_texts.h"

namespace tervane {
namespace {

std::uint32_t ReadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// One 256-byte header block of the MFD file: the kind byte, "PDF-417", zeros, and the
// two closing characters.
void AppendHeaderBlock(std::string& out, char kind, const char* closing) {
  std::string block(kPdf417MfdHeaderBlock, '\0');
  block[0] = kind;
  block.replace(1, 7, "PDF-417");
  block[254] = closing[0];
  block[255] = closing[1];
  out += block;
}

// The length a symbol's header announces for it in the MFD pass; 0 when the buffer holds
// no header yet or the header is not plausible (such a buffer is taken by the general
// rule and refused).
std::size_t AnnouncedSymbolLength(const std::vector<std::uint8_t>& buffer) {
  if (buffer.size() < kPdf417HeaderSize) return 0;
  const std::uint32_t length = ReadLe32(buffer.data());
  const std::uint32_t offset = ReadLe32(buffer.data() + 4);
  if (length == 0 || length > kPdf417MaxSetLength || offset >= length) return 0;
  const std::size_t data = std::min<std::size_t>(kPdf417SymbolData, length - offset);
  return kPdf417HeaderSize + data + kPdf417TrailerSize;
}

}  // namespace

std::string Pdf417HexDump(const std::uint8_t* data, std::size_t length) {
  std::string dump;
  dump.reserve(length / 8 * 34 + 34);
  for (std::size_t group = 0; group < length; group += 8) {
    dump += Format("%06X  ", static_cast<unsigned>(group));
    const std::size_t end = std::min(length, group + 8);
    for (std::size_t i = group; i < end; ++i) dump += Format("%02X ", data[i]);
    dump += '\n';
  }
  return dump;
}

void Pdf417Capture::Reset() {
  buffer_.clear();
  overflowed_ = false;
  setLength_ = 0;
  expected_ = 0;
  received_ = 0;
  slots_.clear();
  expectedText_.clear();
  receivedText_.clear();
  status_.clear();
  dump_.clear();
}

bool Pdf417Capture::Append(const std::uint8_t* data, std::size_t length) {
  if (length == 0) return true;
  if (data == nullptr || length > kPdf417BufferSize - buffer_.size()) {
    // The bytes are lost, so whatever the buffer holds can no longer be a whole symbol.
    overflowed_ = true;
    return false;
  }
  buffer_.insert(buffer_.end(), data, data + length);
  return true;
}

bool Pdf417Capture::BufferComplete() const {
  if (overflowed_) return true;
  if (!signature_) {
    if (const std::size_t announced = AnnouncedSymbolLength(buffer_); announced != 0) {
      return buffer_.size() >= announced;
    }
  }
  if (buffer_.size() == kPdf417FullSymbol) return true;
  if (buffer_.empty()) return false;
  return received_ + 1 == expected_ || signature_ || (received_ == 0 && expected_ == 0);
}

bool Pdf417Capture::Refuse(std::string status) {
  status_ = std::move(status);
  return false;
}

Pdf417SymbolOutcome Pdf417Capture::TakeSymbol() {
  dump_ = Pdf417HexDump(buffer_.data(), buffer_.size());
  const std::vector<std::uint8_t> symbol = std::move(buffer_);
  buffer_.clear();
  const bool overflowed = overflowed_;
  overflowed_ = false;

  const int size = static_cast<int>(symbol.size());
  if (overflowed) {
    Refuse(pdf417text::RefusedOverflow());
    return Pdf417SymbolOutcome::kRefused;
  }
  if (symbol.size() < kPdf417HeaderSize + kPdf417TrailerSize) {
    Refuse(Format(pdf417text::RefusedTooShortFormat().c_str(), size));
    return Pdf417SymbolOutcome::kRefused;
  }
  // Only the signature pass takes symbols longer than a full one: in the MFD pass a
  // longer buffer holds more than one symbol run together.
  if (!signature_ && symbol.size() > kPdf417FullSymbol) {
    Refuse(Format(pdf417text::RefusedTooLongFormat().c_str(), size));
    return Pdf417SymbolOutcome::kRefused;
  }
  const std::uint32_t length = ReadLe32(symbol.data());
  const std::uint32_t offset = ReadLe32(symbol.data() + 4);

  for (const Pdf417Slot& slot : slots_) {
    if (slot.filled && slot.offset == offset) {
      status_ = pdf417text::AlreadyRead();
      return Pdf417SymbolOutcome::kDuplicate;
    }
  }
  if (length == 0 || length > kPdf417MaxSetLength) {
    Refuse(Format(pdf417text::RefusedSetLengthFormat().c_str(), length));
    return Pdf417SymbolOutcome::kRefused;
  }
  if (expected_ != 0 && length != setLength_) {
    Refuse(Format(pdf417text::RefusedOtherSetFormat().c_str(), length));
    return Pdf417SymbolOutcome::kRefused;
  }
  if (offset >= length) {
    Refuse(Format(pdf417text::RefusedOffsetFormat().c_str(), offset));
    return Pdf417SymbolOutcome::kRefused;
  }
  // In the MFD pass the header says how long the symbol is; a buffer of another length
  // is a symbol cut short or run together with bytes of another.
  if (!signature_) {
    const std::size_t announced = AnnouncedSymbolLength(symbol);
    if (symbol.size() != announced) {
      Refuse(Format(pdf417text::RefusedLengthMismatchFormat().c_str(), size, static_cast<int>(announced)));
      return Pdf417SymbolOutcome::kRefused;
    }
  }
  const std::uint32_t index = offset / kPdf417SymbolData;
  // Two offsets that share a slot would let the received count reach the expected count
  // with a slot still empty.
  if (expected_ != 0 && slots_[index].filled) {
    Refuse(Format(pdf417text::RefusedSlotTakenFormat().c_str(), offset));
    return Pdf417SymbolOutcome::kRefused;
  }

  if (expected_ == 0) {
    setLength_ = length;
    expected_ = static_cast<std::uint32_t>((static_cast<std::uint64_t>(length) + kPdf417SymbolData - 1) /
                                           kPdf417SymbolData);
    expectedText_ = Format("%d", static_cast<int>(expected_));
    slots_.assign(expected_, Pdf417Slot{});
  }
  Pdf417Slot& slot = slots_[index];
  slot.filled = true;
  slot.offset = offset;
  slot.bytes = symbol;
  status_ = Format(pdf417text::SymbolReadFormat().c_str(), static_cast<int>(index) + 1,
                   static_cast<int>(expected_));
  ++received_;
  receivedText_ = Format("%d", static_cast<int>(received_));
  return Pdf417SymbolOutcome::kStored;
}

std::string Pdf417Capture::SymbolData() const {
  std::vector<const Pdf417Slot*> filled;
  for (const Pdf417Slot& slot : slots_) {
    if (slot.filled) filled.push_back(&slot);
  }
  std::stable_sort(filled.begin(), filled.end(),
                   [](const Pdf417Slot* a, const Pdf417Slot* b) { return a->offset < b->offset; });
  std::string data;
  for (const Pdf417Slot* slot : filled) {
    // Stored symbols hold at least header and trailer (TakeSymbol refuses shorter ones).
    const auto begin = slot->bytes.begin() + static_cast<std::ptrdiff_t>(kPdf417HeaderSize);
    const auto end = slot->bytes.end() - static_cast<std::ptrdiff_t>(kPdf417TrailerSize);
    if (signature_) {
      std::copy_if(begin, end, std::back_inserter(data), [](std::uint8_t b) { return b != 0; });
    } else {
      data.append(begin, end);
    }
  }
  return data;
}

std::string Pdf417Capture::FileBytes() const {
  if (signature_) return SymbolData();
  std::string file;
  const std::string data = SymbolData();
  file.reserve(kPdf417MfdBlankSize + 6 * kPdf417MfdHeaderBlock + data.size() + kPdf417MfdTailSize);
  file.assign(kPdf417MfdBlankSize, '\xFF');
  for (int i = 0; i < 3; ++i) AppendHeaderBlock(file, '\x00', "BU");
  for (int i = 0; i < 3; ++i) AppendHeaderBlock(file, '\x01', "<@");
  file += data;
  file.append(kPdf417MfdTailSize, '\xFF');
  return file;
}

}  // namespace tervane

namespace tervane {

std::vector<std::vector<std::uint8_t>> SplitIntoPdf417Symbols(const std::string& data, const char trailer[2]) {
  std::vector<std::vector<std::uint8_t>> symbols;
  if (data.empty() || data.size() > kPdf417MaxSetLength) return symbols;
  const auto total = static_cast<std::uint32_t>(data.size());
  for (std::uint32_t offset = 0; offset < total; offset += kPdf417SymbolData) {
    const std::uint32_t count = std::min<std::uint32_t>(kPdf417SymbolData, total - offset);
    std::vector<std::uint8_t> symbol;
    symbol.reserve(count + kPdf417HeaderSize + kPdf417TrailerSize);
    for (int i = 0; i < 4; ++i) symbol.push_back(static_cast<std::uint8_t>(total >> (8 * i)));
    for (int i = 0; i < 4; ++i) symbol.push_back(static_cast<std::uint8_t>(offset >> (8 * i)));
    symbol.insert(symbol.end(), data.begin() + offset, data.begin() + offset + count);
    symbol.push_back(static_cast<std::uint8_t>(trailer[0]));
    symbol.push_back(static_cast<std::uint8_t>(trailer[1]));
    symbols.push_back(std::move(symbol));
  }
  return symbols;
}

bool Pdf417DataFromMfdFile(const std::string& file, std::string* data) {
  constexpr std::size_t kDataStart = kPdf417MfdBlankSize + 6 * kPdf417MfdHeaderBlock;
  if (file.size() < kDataStart + kPdf417MfdTailSize) return false;
  if (file.compare(kPdf417MfdBlankSize + 1, 7, "PDF-417") != 0) return false;
  *data = file.substr(kDataStart, file.size() - kDataStart - kPdf417MfdTailSize);
  return true;
}

}  // namespace tervane
