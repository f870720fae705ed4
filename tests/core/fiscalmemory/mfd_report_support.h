// Helpers for the MFD diagnostics tests: a builder of detail-tape text reports in the
// printer's layout, and in-memory byte sources and findings writers, some of which fail
// on purpose.
#pragma once

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/common/charset.h"
#include "core/fiscalmemory/mfd_diagnostics.h"
#include "support/file_contents.h"

namespace tervane::testing {

// Builds a report line by line (CR LF line ends); every adder returns the number of the
// (last) line it added, counted from 1.
class ReportBuilder {
 public:
  long Line(const std::string& utf8) {
    text_ += Cp(utf8) + "\r\n";
    return ++lines_;
  }
  // A document line with "COO:" at position 38, as the printer prints it.
  long Coo(int coo, const std::string& left = "01/12/2026 08:00:00   CCF:000001") {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%06d", coo);
    std::string line = left;
    line.resize(38, ' ');
    return Line(line + "COO:" + digits);
  }
  // The model header at position 2, a line, and the date line ("dd/mm/yyyy hh:mm:ss"
  // at position 30 = header position + 28).
  long Header(const std::string& dateTime) {
    Line("  QUORVEXA        ZT-310 A             ECF-IF   ");
    Line("  CNPJ:12.345.678/0001-90  IE:123.456.789.012");
    return Line(std::string(30, ' ') + dateTime);
  }
  // The fabrication line with its date and time at position 28.
  long Fab(const std::string& dateTime) { return Line("FAB:QV0000000000001234567   " + dateTime); }
  long PowerFailure() { return Line("***********FALTA DE ENERGIA - RETORNO***********"); }
  long Filler() { return Line("001 7891234500000 PRODUTO 00  1UN x 3,50   3,50T"); }

  const std::string& Text() const { return text_; }
  long Lines() const { return lines_; }

 private:
  std::string text_;
  long lines_ = 0;
};

// Hands out a text in reads of at most `chunk` bytes; with failAt >= 0, a read that
// starts at or after that offset fails.
class MemorySource final : public MfdByteSource {
 public:
  explicit MemorySource(std::string data, std::size_t chunk = 1 << 20, long failAt = -1)
      : data_(std::move(data)), chunk_(chunk), failAt_(failAt) {}
  long Read(char* buffer, std::size_t size) override {
    if (failAt_ >= 0 && static_cast<long>(at_) >= failAt_) return -1;
    std::size_t n = std::min({size, chunk_, data_.size() - at_});
    if (failAt_ >= 0) n = std::min(n, static_cast<std::size_t>(failAt_) - at_);
    std::copy_n(data_.data() + at_, n, buffer);
    at_ += n;
    return static_cast<long>(n);
  }

 private:
  std::string data_;
  std::size_t chunk_;
  long failAt_;
  std::size_t at_ = 0;
};

// Keeps the findings; with failAfter >= 0, writes fail once that many calls succeeded.
class StringWriter final : public MfdFindingsWriter {
 public:
  explicit StringWriter(int failAfter = -1) : failAfter_(failAfter) {}
  bool Write(std::string_view text) override {
    if (failAfter_ >= 0 && calls_ >= failAfter_) return false;
    ++calls_;
    text_.append(text);
    return true;
  }
  std::string text_;

 private:
  int failAfter_;
  int calls_ = 0;
};

// Scans `report` in memory and returns the findings.
inline std::string Diagnose(const std::string& report, MfdScanOutcome* outcome = nullptr,
                            std::uint32_t modelCode = 0x1FFFF, std::size_t chunk = 1 << 20,
                            std::size_t bufferSize = 1 << 20) {
  MemorySource source(report, chunk);
  StringWriter writer;
  MfdScanOptions options;
  options.modelCode = modelCode;
  options.bufferSize = bufferSize;
  MfdScanOutcome result = ScanMfdReport(source, writer, options);
  if (outcome != nullptr) *outcome = result;
  return writer.text_;
}

}  // namespace tervane::testing
