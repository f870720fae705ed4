#include "fiscalmemory/pdf417_capture.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/charset.h"
#include "common/text.h"

namespace tervane {

namespace {

std::uint32_t ReadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// One of the two label blocks of the MFD file: the kind byte, "PDF-417", zeros, the mark.
void AppendLabelBlock(std::vector<std::uint8_t>& out, std::uint8_t kind, const char mark[2]) {
  const std::size_t at = out.size();
  out.resize(at + 256, 0x00);
  out[at] = kind;
  std::memcpy(&out[at + 1], "PDF-417", 7);
  out[at + 254] = static_cast<std::uint8_t>(mark[0]);
  out[at + 255] = static_cast<std::uint8_t>(mark[1]);
}

}  // namespace

bool Pdf417Capture::Append(const std::uint8_t* data, std::size_t size) {
  if (size > kPdf417BufferSize - fill_) {
    overflow_ = true;
    return false;
  }
  std::memcpy(buffer_ + fill_, data, size);
  fill_ += size;
  return true;
}

Pdf417Step Pdf417Capture::Refuse(const char* utf8Reason) {
  Pdf417Step step;
  step.kind = Pdf417Step::Kind::kRefused;
  step.status = Utf8ToCp1252Lossy(utf8Reason);
  step.dump = Pdf417HexDump(buffer_, fill_);
  fill_ = 0;
  overflow_ = false;
  return step;
}

Pdf417Step Pdf417Capture::Take() {
  const int received = ReceivedCount();
  if (overflow_) return Refuse("Símbolo recusado: maior que o buffer de recepção");
  const bool complete = fill_ == kPdf417FullSymbol ||
                        (fill_ != 0 && (received + 1 == expected_ || signatureMode_ || (received == 0 && expected_ == 0)));
  if (!complete) return Pdf417Step();
  if (fill_ < kPdf417MinSymbol) return Refuse("Símbolo recusado: curto demais");

  const std::uint32_t total = ReadLe32(buffer_);
  const std::uint32_t offset = ReadLe32(buffer_ + 4);
  const int index = static_cast<int>(offset / kPdf417SymbolData);

  Pdf417Step step;
  for (const auto& [slot, symbol] : symbols_) {
    // The same offset, or another offset of a slot already filled: taking it would
    // count a symbol twice and leave one slot empty.
    if (symbol.offset == offset || slot == index) {
      step.kind = Pdf417Step::Kind::kDuplicate;
      step.status = Utf8ToCp1252Lossy("Símbolo já foi lido");
      step.dump = Pdf417HexDump(buffer_, fill_);
      fill_ = 0;
      return step;
    }
  }
  int expected = expected_;
  if (expected == 0) {
    if (total == 0 || total > kPdf417MaxSetLength) return Refuse("Símbolo recusado: tamanho do conjunto inválido");
    expected = static_cast<int>((total + kPdf417SymbolData - 1) / kPdf417SymbolData);
  }
  if (offset / kPdf417SymbolData >= static_cast<std::uint32_t>(expected)) {
    return Refuse("Símbolo recusado: posição fora do conjunto");
  }
  expected_ = expected;
  Pdf417Symbol& symbol = symbols_[index];
  symbol.offset = offset;
  symbol.bytes.assign(buffer_, buffer_ + fill_);

  step.kind = Pdf417Step::Kind::kStored;
  step.status = Utf8ToCp1252Lossy(Format("Símbolo lido: %d/%d", index + 1, expected_));
  step.dump = Pdf417HexDump(buffer_, fill_);
  step.finished = ReceivedCount() == expected_;
  fill_ = 0;
  return step;
}

std::string Pdf417HexDump(const std::uint8_t* data, std::size_t size) {
  std::string out;
  out.reserve(size / 8 * 33 + 40);
  for (std::size_t group = 0; group < size; group += 8) {
    out += Format("%06X  ", static_cast<unsigned>(group));
    for (std::size_t i = group; i < size && i < group + 8; ++i) out += Format("%02X ", data[i]);
    out += "\n";
  }
  return out;
}

std::vector<std::uint8_t> BuildPdf417File(const Pdf417Capture& capture) {
  std::vector<std::uint8_t> out;
  const bool signature = capture.SignatureMode();
  if (!signature) {
    out.assign(524288, 0xFF);
    for (int i = 0; i < 3; ++i) AppendLabelBlock(out, 0x00, "BU");
    for (int i = 0; i < 3; ++i) AppendLabelBlock(out, 0x01, "<@");
  }
  // The slots are ordered by index, and a slot holds one offset: the order of offsets.
  for (const auto& entry : capture.Symbols()) {
    const std::vector<std::uint8_t>& bytes = entry.second.bytes;
    if (bytes.size() < kPdf417MinSymbol) continue;
    for (std::size_t i = 8; i < bytes.size() - 2; ++i) {
      if (!signature || bytes[i] != 0) out.push_back(bytes[i]);
    }
  }
  if (!signature) out.insert(out.end(), 256, 0xFF);
  return out;
}

bool WritePdf417File(const Pdf417Capture& capture, const std::string& path, std::string& error) {
  error.clear();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    error = std::string(std::strerror(errno)) + "\nArquivo: " + Utf8ToCp1252Lossy(path);
    return false;
  }
  const std::vector<std::uint8_t> bytes = BuildPdf417File(capture);
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  int saved = ok ? 0 : errno;
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (!ok) error = std::string(std::strerror(saved != 0 ? saved : EIO)) + "\nArquivo: " + Utf8ToCp1252Lossy(path);
  return ok;
}

}  // namespace tervane
