// Diagnostics of a detail-tape (MFD) text report: one streaming pass over the report's
// lines that writes the findings file "diagnostico_mfd.txt" (power failures, user
// changes, document-counter gaps that no voucher copy explains, and the place where a Z
// reduction has to be rebuilt when the counter runs backwards).
//
// Memory stays flat whatever the size of the report: the report is read in large chunks
// into one fixed buffer, lines are cut at kMfdLineLimit characters, and findings are
// written out as they are found.
//
// Line rules of the reader (the report is Windows-1252 text):
// - a line ends at LF; a CR just before the LF is part of the line end, any other CR
//   or NUL byte is an ordinary character;
// - a line longer than kMfdLineLimit characters is examined by its first kMfdLineLimit
//   characters; the rest up to its line end is skipped and the whole counts as ONE line,
//   so line numbers in the findings always match the report's own line numbers (a file
//   without any line end is one such line);
// - a last line without a line end is still a line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/common/settings.h"
#include "core/common/progress.h"
#include "core/common/prompter.h"

namespace tervane {

inline constexpr std::size_t kMfdLineLimit = 500;
inline constexpr const char* kMfdDiagnosticsFileName = "diagnostico_mfd.txt";

// Results of the diagnostics operations.
inline constexpr int kMfdDiagOk = 0;             // findings written (also after a cancel: they cover what was read)
inline constexpr int kMfdDiagCancelled = -5;     // the user cancelled the file choice; nothing written
inline constexpr int kMfdDiagInputError = -7;    // the report could not be opened
inline constexpr int kMfdDiagOutputError = -8;   // the findings file could not be created or written
inline constexpr int kMfdDiagReadError = -9;     // reading the report failed part way; findings cover what was read
inline constexpr int kMfdDiagSameFile = -10;     // the report and the findings file are the same file

// Where the scanner's bytes come from.
class MfdByteSource {
 public:
  virtual ~MfdByteSource() = default;
  // Reads up to `size` bytes into `buffer`. Returns the count read, 0 at the end of the
  // data, or a negative value on a read error (the source is not used again after it).
  virtual long Read(char* buffer, std::size_t size) = 0;
};

// Where the findings go.
class MfdFindingsWriter {
 public:
  virtual ~MfdFindingsWriter() = default;
  // Appends `text`. Returns false when it could not be written; the scan then stops.
  virtual bool Write(std::string_view text) = 0;
};

struct MfdScanOptions {
  std::uint32_t modelCode = 0x1FFFF;   // g_modelMask: with 4096 the "FAB:" lines give no date
  std::size_t bufferSize = 1u << 20;    // read buffer
  ProgressSink* progress = nullptr;     // advanced and polled for a cancel; may be null
  long pollInterval = 4096;             // lines between progress updates and cancel polls
  std::size_t pollBytes = 1u << 16;     // and at least this often in bytes read, for lines that never end
};

// How a scan ended and what it found.
struct MfdScanOutcome {
  enum class End { kEndOfData, kReadFailed, kUserCancelled, kWriteFailed };
  End end = End::kEndOfData;
  long long lines = 0;           // lines consumed
  long long powerFailures = 0;
  bool errorSeen = false;        // a loss or rebuild entry was written
  bool rebuildPending = false;   // a rebuild was still pending at the end
};

// Scans the report from `source` and writes the findings to `out`: the entries while
// scanning, then the end part (also after a cancel or a read error, for what was read).
// A write failure stops the scan at once (End::kWriteFailed) and nothing more is written.
MfdScanOutcome ScanMfdReport(MfdByteSource& source, MfdFindingsWriter& out, const MfdScanOptions& options);

// The widest vector search the scan may use (512, 256, 128 bits, or 0 for byte by byte),
// so that tests and benchmarks reach each version; the processor's widest is used when
// it is narrower. Returns the limit before. The findings are the same at every width.
int LimitMfdVectorBits(int bits);

// Diagnoses the report file `reportPath` into the findings file `outputPath` (created
// anew). Returns kMfdDiagOk, or kMfdDiagInputError, kMfdDiagSameFile, kMfdDiagOutputError
// (nothing scanned, or the scan stopped at a write failure) or kMfdDiagReadError (the
// findings cover what was read); `error` then says what was wrong (Windows-1252).
// `outcome` receives the scan's outcome (a cancelled scan returns kMfdDiagOk with
// End::kUserCancelled).
int DiagnoseMfdReport(const std::string& reportPath, const std::string& outputPath, const MfdScanOptions& options,
                      MfdScanOutcome& outcome, std::string& error);

// The menu command: asks for the report with the open dialog "Relatorios da MFD", scans
// it under the progress window, writes "diagnostico_mfd.txt" in the work folder and asks
// with the success prompt whether to open it; Yes calls `openDocument` with the file's
// full path (ignored when empty). Failures are shown with prompter.ShowMessage.
// Returns kMfdDiagOk (also after a cancel in the progress window), kMfdDiagCancelled
// when no report was chosen, or one of the failures of DiagnoseMfdReport.
int RunMfdDiagnostics(Prompter& prompter, ProgressSink& progress, const ProgramSettings& settings,
                      const std::function<void(const std::string&)>& openDocument);

}  // namespace tervane
