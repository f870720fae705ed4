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
  ready_.clear();
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

// The length of a complete symbol at `at` in `bytes` that more bytes follow: its header
// is plausible, all of it is there, and it ends with the scanner's line end (CR LF), so
// that the boundary is the scanner's and not a guess. 0 otherwise.
static std::size_t RunOnSymbolLength(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  if (bytes.size() - at < kPdf417HeaderSize) return 0;
  const std::vector<std::uint8_t> head(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                       bytes.begin() + static_cast<std::ptrdiff_t>(at + kPdf417HeaderSize));
  const std::size_t announced = AnnouncedSymbolLength(head);
  if (announced == 0 || bytes.size() - at <= announced) return 0;
  if (bytes[at + announced - 2] != '\r' || bytes[at + announced - 1] != '\n') return 0;
  return announced;
}

void Pdf417Capture::SplitCompleteSymbols() {
  if (overflowed_) return;
  std::size_t at = 0;
  while (const std::size_t length = RunOnSymbolLength(buffer_, at)) {
    ready_.emplace_back(buffer_.begin() + static_cast<std::ptrdiff_t>(at),
                        buffer_.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
  }
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(at));
}

bool Pdf417Capture::Append(const std::uint8_t* data, std::size_t length) {
  if (length == 0) return true;
  if (data == nullptr) {
    overflowed_ = true;
    return false;
  }
  if (length <= kPdf417BufferSize - buffer_.size()) {
    buffer_.insert(buffer_.end(), data, data + length);
    SplitCompleteSymbols();
    return true;
  }
  // Too much for the buffer: when it starts with complete symbols that more bytes follow
  // (two symbols scanned close together), those are kept and the rest read on.
  std::vector<std::uint8_t> all = buffer_;
  all.insert(all.end(), data, data + length);
  std::size_t at = 0;
  std::vector<std::vector<std::uint8_t>> split;
  while (!overflowed_ && all.size() - at > kPdf417BufferSize) {
    const std::size_t symbol = RunOnSymbolLength(all, at);
    if (symbol == 0) break;
    split.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(at),
                       all.begin() + static_cast<std::ptrdiff_t>(at + symbol));
    at += symbol;
  }
  if (split.empty() || all.size() - at > kPdf417BufferSize) {
    // The bytes are lost, so whatever the buffer holds can no longer be a whole symbol;
    // the symbols split off before are still whole.
    for (auto& symbol : split) ready_.push_back(std::move(symbol));
    if (!split.empty()) {
      const std::size_t kept = std::min<std::size_t>(all.size() - at, kPdf417BufferSize);
      buffer_.assign(all.begin() + static_cast<std::ptrdiff_t>(at),
                     all.begin() + static_cast<std::ptrdiff_t>(at + kept));
    }
    overflowed_ = true;
    return false;
  }
  for (auto& symbol : split) ready_.push_back(std::move(symbol));
  buffer_.assign(all.begin() + static_cast<std::ptrdiff_t>(at), all.end());
  SplitCompleteSymbols();
  return true;
}

bool Pdf417Capture::BufferComplete() const {
  if (!ready_.empty()) return true;
  if (overflowed_) return true;
  if (const std::size_t announced = AnnouncedSymbolLength(buffer_); announced != 0) {
    return buffer_.size() >= announced;
  }
  if (buffer_.size() == kPdf417FullSymbol) return true;
  if (buffer_.empty()) return false;
  return received_ + 1 == expected_ || signature_ || (received_ == 0 && expected_ == 0);
}

bool Pdf417Capture::SetComplete() const {
  if (expected_ == 0 || received_ < expected_) return false;
  for (const Pdf417Slot& slot : slots_) {
    if (!slot.filled || slot.bytes.size() < AnnouncedSymbolLength(slot.bytes)) return false;
  }
  return true;
}

bool Pdf417Capture::Refuse(std::string status) {
  status_ = std::move(status);
  return false;
}

Pdf417SymbolOutcome Pdf417Capture::TakeSymbol() {
  std::vector<std::uint8_t> symbol;
  bool overflowed = false;
  if (!ready_.empty()) {
    symbol = std::move(ready_.front());
    ready_.erase(ready_.begin());
  } else {
    symbol = std::move(buffer_);
    buffer_.clear();
    overflowed = overflowed_;
    overflowed_ = false;
  }
  dump_ = Pdf417HexDump(symbol.data(), symbol.size());

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
  // The header says how long the symbol is; a buffer of another length is a symbol cut
  // short or run together with bytes of another. The signature pass takes longer
  // symbols, never shorter ones: a signature cut short is no signature.
  {
    const std::size_t announced = AnnouncedSymbolLength(symbol);
    if (signature_ ? symbol.size() < announced : symbol.size() != announced) {
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
