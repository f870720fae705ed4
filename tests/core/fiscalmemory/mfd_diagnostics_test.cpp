#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/fiscalmemory/mfd_report_support.h"
#include "support/fake_progress.h"

namespace tervane::testing {
namespace {

const std::string kStars(76, '*');

// A report holding every case the diagnostics know: documents in order, power failures,
// a gap explained by a voucher reprint (short and long voucher forms), a loss, a user
// change, a counter running backwards and the Z reduction that must then be rebuilt.
std::string GoldenReport() {
  ReportBuilder r;
  r.Header("01/12/2026 08:00:00");  // 1-3
  r.Coo(11);                         // 4
  r.Filler();                        // 5
  r.Coo(12);                         // 6
  r.PowerFailure();                  // 7
  r.Header("01/12/2026 09:15:30");  // 8-10
  r.Coo(13);                         // 11
  r.Filler();                        // 12
  r.Coo(15, "01/12/2026 09:20:00   GNF:000001");  // 13: gap, explained below
  r.Line("------------------------------------------------");
  r.Line("VISA");
  r.Line("       COMPROVANTE DE CRÉDITO OU DÉBITO         ");  // 16: third line after
  r.Line("VALOR R$ 10,00");
  r.Line("           REIMPRESSÃO 1ªVIA                    ");  // 18: two lines on
  r.Coo(16);                                 // 19
  r.Fab("02/12/2026 10:20:30");              // 20
  r.Coo(19);                                 // 21: gap of 17 and 18, nothing explains it
  r.Filler();                                // 22
  r.PowerFailure();                          // 23: read ahead by the gap check, never examined
  r.Filler();                                // 24
  r.Filler();                                // 25: the loss is reported here
  r.Header("03/12/2026 11:00:00");          // 26-28
  r.Coo(20);                                 // 29
  r.Coo(5);                                  // 30: backwards
  r.Filler();
  r.Filler();
  r.Line("       COMPROVANTE CRÉDITO OU DÉBITO   ");  // 33: a voucher...
  r.Filler();
  r.Line("           VIA DO CLIENTE");               // 35: ...but no copy mark: loss, rebuild
  r.Fab("04/12/2026 12:00:00");                     // 36: a later date, not the saved one
  r.Coo(6);                                          // 37
  r.Line("       REDUÇÃO Z        ");                 // 38: the rebuild entry
  r.Line("           ALTERAÇÃO DE USUÁRIO                 ");  // 39
  r.Coo(1);                                          // 40: a new user starts at 1
  r.PowerFailure();                                  // 41
  r.Line(std::string(37, ' ') + "COO:000099");        // 42: at position 37, ignored
  r.Coo(2);                                          // 43
  r.Coo(4);                                          // 44: gap...
  r.Filler();
  r.Filler();
  r.Filler();
  r.Line("   COMPROVANTE DE CRÉDITO OU DÉBITO");      // 48: ...the voucher one line later
  r.Filler();
  r.Line("                 2ªVIA");                    // 50: explained
  r.Coo(5);                                          // 51
  return r.Text();
}

std::string Golden() { return ReadAll(std::string(TERVANE_TEST_DATA) + "/golden/mfd_diagnostics_findings.txt"); }

// The scan has a version for each vector width the processor may have; each must give
// the same findings, so these cases run at every width this processor can reach.
class MfdDiagnosticsAtEveryWidth : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { before_ = LimitMfdVectorBits(GetParam()); }
  void TearDown() override { LimitMfdVectorBits(before_); }

 private:
  int before_ = 512;
};

INSTANTIATE_TEST_SUITE_P(Widths, MfdDiagnosticsAtEveryWidth, ::testing::Values(512, 256, 128, 0),
                         [](const ::testing::TestParamInfo<int>& param) {
                           return param.param == 0 ? std::string("Bytewise") : "Bits" + std::to_string(param.param);
                         });

TEST_P(MfdDiagnosticsAtEveryWidth, SyntheticReportGivesTheFindingsTextForText) {
  const std::string golden = Golden();
  ASSERT_FALSE(golden.empty());
  MfdScanOutcome outcome;
  EXPECT_EQ(Diagnose(GoldenReport(), &outcome), golden);
  EXPECT_EQ(outcome.end, MfdScanOutcome::End::kEndOfData);
  EXPECT_EQ(outcome.lines, 51);
  EXPECT_EQ(outcome.powerFailures, 2);
  EXPECT_TRUE(outcome.errorSeen);
  EXPECT_FALSE(outcome.rebuildPending);

  // The findings do not depend on how the report arrives or on the buffer size.
  for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{333}}) {
    for (std::size_t buffer : {std::size_t{1024}, std::size_t{1500}}) {
      EXPECT_EQ(Diagnose(GoldenReport(), nullptr, 0x1FFFF, chunk, buffer), golden)
          << "chunk " << chunk << ", buffer " << buffer;
    }
  }
}

TEST(MfdDiagnostics, CountersInOrderFindNoError) {
  ReportBuilder r;
  r.Coo(1);
  r.Coo(2);
  r.Coo(3);
  EXPECT_EQ(Diagnose(r.Text()), Cp("\r\nNenhum erro foi encontrado!\r\n\r\nNúmero de faltas de energia:\r\n0\r\n"));
}

TEST(MfdDiagnostics, RebuildStillPendingAtTheEndGivesTheTotalLineCount) {
  ReportBuilder r;
  r.Fab("05/12/2026 13:14:15");  // 1
  r.Coo(20);                      // 2
  r.Coo(5);                       // 3: backwards, lines 4-7 read ahead
  for (int i = 0; i < 4; ++i) r.Filler();
  r.Fab("06/12/2026 16:17:18");   // 8: the current date moves on, the saved one stays
  r.Coo(6);                       // 9
  r.Filler();                     // 10
  MfdScanOutcome outcome;
  const std::string findings = Diagnose(r.Text(), &outcome);
  EXPECT_EQ(findings,
            Cp("**************** ERRO - PERDA DE DOCUMENTO NA LINHA:7*******************\r\n"
               "Perda de -16 documento(s)\r\nPerda de documento(s): 21 a 4\r\n") +
                kStars + "\r\n\r\n" +
                Cp("\r\n**************** ERRO - CHAMAR DLL PARA CRIAR RZ ***************************"
                   "\r\nlinha:10\r\nCOO do último documento a ser considerado:6\r\nData:05122026\r\nHora:131415\r\n") +
                kStars + "\r\n\r\n" + Cp("\r\nNúmero de faltas de energia:\r\n0\r\n"));
  EXPECT_TRUE(outcome.rebuildPending);
}

TEST(MfdDiagnostics, GapCheckCutShortByTheEndOfTheReportIsALoss) {
  ReportBuilder r;
  r.Coo(1);
  r.Coo(3);
  r.Line("       COMPROVANTE DE CRÉDITO OU DÉBITO");  // the report ends before any copy mark
  MfdScanOutcome outcome;
  const std::string findings = Diagnose(r.Text(), &outcome);
  EXPECT_EQ(findings.rfind(Cp("**************** ERRO - PERDA DE DOCUMENTO NA LINHA:3*"), 0), 0u) << findings;
  EXPECT_NE(findings.find("Perda de documento(s): 2 a 2\r\n"), std::string::npos);
  EXPECT_EQ(outcome.lines, 3);
  EXPECT_EQ(outcome.end, MfdScanOutcome::End::kEndOfData);
}

TEST(MfdDiagnostics, VoucherMarksCountOnlyAfterTheLineStart) {
  auto withVoucherLines = [](const std::string& voucher, const std::string& copy) {
    ReportBuilder r;
    r.Coo(1);
    r.Coo(3);
    r.Filler();
    r.Filler();
    r.Line(voucher);
    r.Filler();
    r.Line(copy);
    return Diagnose(r.Text());
  };
  const std::string noError = Cp("\r\nNenhum erro foi encontrado!\r\n");
  EXPECT_EQ(withVoucherLines(" COMPROVANTE DE CRÉDITO OU DÉBITO", " 2ªVIA").rfind(noError, 0), 0u);
  EXPECT_EQ(withVoucherLines(" COMPROVANTE DE CRÉDITO OU DÉBITO", " REIMPRESSÃO 2ªVIA").rfind(noError, 0), 0u);
  EXPECT_NE(withVoucherLines("COMPROVANTE DE CRÉDITO OU DÉBITO", " 2ªVIA").find("Perda de 1 documento(s)"),
            std::string::npos);
  EXPECT_NE(withVoucherLines(" COMPROVANTE DE CRÉDITO OU DÉBITO", "2ªVIA").find("Perda de 1 documento(s)"),
            std::string::npos);
}

// The date of a rebuild entry shows which source the scan took the date from.
std::string SavedDateAfter(const ReportBuilder& dates, std::uint32_t modelCode = 0x1FFFF) {
  ReportBuilder r = dates;
  r.Coo(20);
  r.Coo(5);
  const std::string findings = Diagnose(r.Text(), nullptr, modelCode);
  auto field = [&findings](const std::string& label) {
    const std::size_t at = findings.find(label);
    if (at == std::string::npos) return std::string("?");
    const std::size_t from = at + label.size();
    return findings.substr(from, findings.find("\r\n", from) - from);
  };
  return field("\r\nData:") + " " + field("\r\nHora:");
}

TEST(MfdDiagnostics, DateAndTimeSources) {
  ReportBuilder header;
  header.Header("07/12/2026 01:02:03");
  EXPECT_EQ(SavedDateAfter(header), "07122026 010203");

  ReportBuilder fab;
  fab.Fab("08/12/2026 04:05:06");
  EXPECT_EQ(SavedDateAfter(fab), "08122026 040506");
  EXPECT_EQ(SavedDateAfter(fab, 4096), " ");  // ignored for the model of code 4096

  // A date line too short for the time leaves the earlier date and time in place.
  ReportBuilder shortLine;
  shortLine.Fab("08/12/2026 04:05:06");
  shortLine.Line("  QUORVEXA        ZT-310 A             ECF-IF   ");
  shortLine.Filler();
  shortLine.Line(std::string(30, ' ') + "09/12/2026 07:08:0");
  EXPECT_EQ(SavedDateAfter(shortLine), "08122026 040506");

  // A header line shorter than its position + 46 reads nothing ahead.
  ReportBuilder shortHeader;
  shortHeader.Line("  QUORVEXA        ZT-310 A             ECF-IF");
  shortHeader.Line(std::string(30, ' ') + "09/12/2026 07:08:09");
  shortHeader.Line(std::string(30, ' ') + "10/12/2026 07:08:09");
  EXPECT_EQ(SavedDateAfter(shortHeader), " ");
}

TEST(MfdDiagnostics, OverlongLinesAreExaminedByTheirFirst500CharactersAndCountOnce) {
  const std::string marker = "***********FALTA DE ENERGIA - RETORNO***********";
  std::string report;
  report += std::string(10, 'x') + marker + std::string(100000, 'y') + "\r\n";   // 1: found
  report += std::string(600, 'x') + marker + "\r\n";                            // 2: beyond 500
  report += std::string(480, 'x') + marker + "\r\n";                            // 3: cut by the limit
  report += std::string(500 - marker.size(), 'x') + marker + "\r\n";           // 4: ends at 500
  report += std::string(5000, 'z') + "\n";                                      // 5
  report += marker;                                                             // 6: no line end
  const std::string expected = Cp("\r\nNenhum erro foi encontrado!\r\n\r\nNúmero de faltas de energia:\r\n3\r\n") +
                               "FALTA DE ENERGIA NA LINHA:1\r\n\r\nFALTA DE ENERGIA NA LINHA:4\r\n\r\n"
                               "FALTA DE ENERGIA NA LINHA:6\r\n\r\n";
  for (std::size_t chunk : {std::size_t{1} << 20, std::size_t{3}, std::size_t{501}}) {
    MfdScanOutcome outcome;
    EXPECT_EQ(Diagnose(report, &outcome, 0x1FFFF, chunk, 1024), expected) << "chunk " << chunk;
    EXPECT_EQ(outcome.lines, 6);
  }
}

TEST(MfdDiagnostics, ReportWithoutLineEndsIsOneLine) {
  std::string report(3 << 20, 'x');
  report.replace(2 << 20, 4, "COO:");
  MfdScanOutcome outcome;
  EXPECT_EQ(Diagnose(report, &outcome, 0x1FFFF, 65536, 4096),
            Cp("\r\nNenhum erro foi encontrado!\r\n\r\nNúmero de faltas de energia:\r\n0\r\n"));
  EXPECT_EQ(outcome.lines, 1);
}

TEST_P(MfdDiagnosticsAtEveryWidth, BinaryGarbageGivesTheSameFindingsHoweverItIsRead) {
  // Random bytes rich in line ends, NULs, anchor bytes and whole markers.
  std::mt19937 random(1234);
  const std::string pieces[] = {"\n", "\r\n", std::string(1, '\0'), "COO:", "FAB:", "*", ":", "Q", "\xC7",
                                "***********FALTA DE ENERGIA - RETORNO***********",
                                Cp("ALTERAÇÃO DE USUÁRIO"), Cp("       REDUÇÃO Z        "),
                                "QUORVEXA        ZT-310 A             ECF-IF",
                                Cp("COMPROVANTE DE CRÉDITO OU DÉBITO"), Cp("2ªVIA")};
  for (int round = 0; round < 20; ++round) {
    std::string report;
    while (report.size() < 20000) {
      if (random() % 3 == 0) {
        report += pieces[random() % std::size(pieces)];
      } else {
        report += std::string(random() % 60, static_cast<char>(random() % 256));
      }
    }
    MfdScanOutcome whole;
    const std::string reference = Diagnose(report, &whole);
    ASSERT_NE(reference.find(Cp("Número de faltas de energia:")), std::string::npos);
    for (std::size_t chunk : {std::size_t{1}, std::size_t{13}, std::size_t{1000}}) {
      MfdScanOutcome pieceWise;
      EXPECT_EQ(Diagnose(report, &pieceWise, 0x1FFFF, chunk, 1024), reference) << "round " << round;
      EXPECT_EQ(pieceWise.lines, whole.lines);
    }
  }
}

TEST_P(MfdDiagnosticsAtEveryWidth, MarkersAreFoundWhereverTheyFallInTheScanBlocks) {
  // The scan looks at the report in blocks of bytes; a first line of every length from
  // 0 to 150 puts each marker of the report at every place in a block, across the
  // block and read-buffer edges, and moves every line number by one.
  const std::string report = GoldenReport();
  const std::string reference = Diagnose("\r\n" + report);
  EXPECT_NE(reference.find("FALTA DE ENERGIA NA LINHA:8\r\n"), std::string::npos);
  EXPECT_NE(reference.find("linha da reducao z posterior:39"), std::string::npos);
  EXPECT_NE(reference.find(Cp("ALTERAÇÃO DE USUÁRIO NA LINHA:40")), std::string::npos);
  EXPECT_NE(reference.find("PERDA DE DOCUMENTO NA LINHA:26"), std::string::npos);
  // Counter lines with nothing else the scan stops at, each after a line of the given
  // length: the scan starts again after every marker line, so this moves the next
  // marker through the blocks.
  auto plain = [](std::size_t length) {
    ReportBuilder r;
    for (int coo : {1, 2, 4, 5, 6, 9}) {
      r.Line(std::string(length, 'x'));
      r.Coo(coo, "DOCUMENTO");
      for (int i = 0; i < 4; ++i) r.Filler();
    }
    return r.Text();
  };
  const std::string plainReference = Diagnose(plain(0));
  EXPECT_NE(plainReference.find("PERDA DE DOCUMENTO NA LINHA:18*"), std::string::npos);
  EXPECT_NE(plainReference.find("PERDA DE DOCUMENTO NA LINHA:36*"), std::string::npos);
  for (std::size_t length = 1; length <= 150; ++length) {
    const std::string shifted = std::string(length, 'x') + "\r\n" + report;
    EXPECT_EQ(Diagnose(shifted), reference) << "first line of " << length;
    EXPECT_EQ(Diagnose(shifted, nullptr, 0x1FFFF, 97, 1024), reference) << "first line of " << length;
    EXPECT_EQ(Diagnose(plain(length)), plainReference) << "lines of " << length;
  }
}

TEST(MfdDiagnostics, CancelWritesTheEndPartForWhatWasRead) {
  ReportBuilder r;
  for (int coo = 1; coo <= 100; ++coo) r.Coo(coo == 50 ? 70 : coo);
  FakeProgress progress;
  progress.cancelAfterPolls = 2;
  MemorySource source(r.Text());
  StringWriter writer;
  MfdScanOptions options;
  options.progress = &progress;
  options.pollInterval = 10;
  const MfdScanOutcome outcome = ScanMfdReport(source, writer, options);
  EXPECT_EQ(outcome.end, MfdScanOutcome::End::kUserCancelled);
  EXPECT_EQ(outcome.lines, 30);
  EXPECT_EQ(progress.position, 30);
  EXPECT_EQ(writer.text_, Cp("\r\nNenhum erro foi encontrado!\r\n\r\nNúmero de faltas de energia:\r\n0\r\n"));
}

TEST(MfdDiagnostics, FailuresAreReportedAsSuch) {
  ReportBuilder r;
  r.Line("ALTERAÇÃO DE USUÁRIO");
  for (int coo = 1; coo <= 1000; ++coo) r.Coo(coo);
  {
    // A findings file that cannot be written stops the scan; nothing more is attempted.
    MemorySource source(r.Text());
    StringWriter writer(0);
    const MfdScanOutcome outcome = ScanMfdReport(source, writer, MfdScanOptions());
    EXPECT_EQ(outcome.end, MfdScanOutcome::End::kWriteFailed);
    EXPECT_EQ(outcome.lines, 1);
  }
  {
    // A read error ends the scan as a read error, with the end part for what was read.
    MemorySource source(r.Text(), 4096, 10000);
    StringWriter writer;
    MfdScanOptions options;
    options.bufferSize = 4096;
    const MfdScanOutcome outcome = ScanMfdReport(source, writer, options);
    EXPECT_EQ(outcome.end, MfdScanOutcome::End::kReadFailed);
    EXPECT_GT(outcome.lines, 100);
    EXPECT_LT(outcome.lines, 1001);
    EXPECT_NE(writer.text_.find(Cp("Número de faltas de energia:")), std::string::npos);
  }
}

}  // namespace
}  // namespace tervane::testing
