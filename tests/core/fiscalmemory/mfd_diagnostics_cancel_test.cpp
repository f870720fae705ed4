// Cancelling the diagnostics of a report that has no line ends: the cancel is polled by
// bytes read, so the scan stops after the first poll instead of reading everything.
#include <gtest/gtest.h>

#include "core/fiscalmemory/mfd_diagnostics.h"
#include "core/fiscalmemory/mfd_report_support.h"
#include "support/fake_progress.h"

namespace tervane::testing {
namespace {

// An endless source of one byte value, counting what it handed out.
class EndlessSource final : public MfdByteSource {
 public:
  long Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min<std::size_t>(size, 4096);
    std::fill(buffer, buffer + n, 'A');
    given += static_cast<long long>(n);
    return given > (1LL << 32) ? 0 : static_cast<long>(n);  // a safety end far away
  }
  long long given = 0;
};

TEST(MfdDiagnosticsCancel, ALineWithoutEndIsStoppedByBytesRead) {
  EndlessSource source;
  StringWriter writer;
  FakeProgress progress;
  progress.cancelAfterPolls = 0;  // the person has pressed Cancel
  MfdScanOptions options;
  options.progress = &progress;
  options.bufferSize = 1 << 16;
  options.pollBytes = 1 << 16;
  const MfdScanOutcome outcome = ScanMfdReport(source, writer, options);
  EXPECT_EQ(outcome.end, MfdScanOutcome::End::kUserCancelled);
  EXPECT_LE(source.given, 2 * (1 << 16));
  EXPECT_LE(outcome.lines, 1);  // at most the head of the endless line
  EXPECT_NE(writer.text_.find(Cp("Número de faltas de energia:")), std::string::npos);

  // Not cancelled, the polls come by the bytes read and the scan goes on to the end.
  EndlessSource plenty;
  StringWriter all;
  FakeProgress watching;
  options.progress = &watching;
  struct Limited final : MfdByteSource {
    explicit Limited(EndlessSource& s) : source(s) {}
    long Read(char* buffer, std::size_t size) override {
      return source.given >= (1 << 22) ? 0 : source.Read(buffer, size);
    }
    EndlessSource& source;
  } limited(plenty);
  const MfdScanOutcome whole = ScanMfdReport(limited, all, options);
  EXPECT_EQ(whole.end, MfdScanOutcome::End::kEndOfData);
  EXPECT_GE(watching.polls, (1 << 22) / (1 << 16) - 1);
}

}  // namespace
}  // namespace tervane::testing
