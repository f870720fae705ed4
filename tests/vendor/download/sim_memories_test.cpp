// The simulated printer's memories as its commands fill them: what each document leaves
// on the detail tape, the fiscal-memory records of reductions and user changes, refused
// commands leaving nothing, the history seeder's consistency, and the download commands'
// refusals and block layout.
#include <gtest/gtest.h>

#include "sim/history.h"
#include "sim/memory_download.h"
#include "sim/sim_fixture.h"
#include "vendor/formats/crc16.h"

namespace tervane::sim::testing {
namespace {

using vendor::DocumentKind;
using vendor::MfdDocument;
using vendor::MfdMarker;

std::string W(const char* utf8) { return Utf8ToCp1252Lossy(utf8); }

class MemoriesTest : public SimTest {
 protected:
  std::vector<MfdDocument> Documents() const {
    std::vector<MfdDocument> out;
    for (const auto& e : state.memories.tape)
      if (const auto* d = std::get_if<MfdDocument>(&e)) out.push_back(*d);
    return out;
  }

  void Sale(const std::string& rate = "01") {
    ASSERT_EQ(Code({0}), 0);
    ASSERT_EQ(Code({9}, std::string("7891000100103") + std::string(29, ' ').replace(0, 5, "ARROZ") + rate +
                            "0002" + "00001000" + "0000"),
              0);
    ASSERT_EQ(Code({32}, "D0000"), 0);
    ASSERT_EQ(Code({72}, "01" + std::string("00000000002500")), 0);
    ASSERT_EQ(Code({34}, Cp850("Até logo")), 0);
  }
};

TEST_F(MemoriesTest, DocumentsLandOnTheTapeWithTheirLines) {
  ProgramOwner();
  Sale();
  ASSERT_EQ(Code({20}, Cp850("Linha um\r\nSegunda linha ção\r\n")), 0);
  ASSERT_EQ(Code({20}, "Mais"), 0);
  ASSERT_EQ(Code({21}), 0);
  ASSERT_EQ(Code({5}), 0);

  const auto docs = Documents();
  ASSERT_EQ(docs.size(), 3u);
  EXPECT_EQ(docs[0].kind, DocumentKind::kSale);
  EXPECT_EQ(docs[0].coo, 1);
  const auto& sale = docs[0].lines;
  EXPECT_EQ(sale.front(), "CUPOM FISCAL");
  EXPECT_NE(std::find_if(sale.begin(), sale.end(), [](const std::string& l) { return l.find("ARROZ") != std::string::npos && l.find("20,00") != std::string::npos; }), sale.end());
  EXPECT_NE(std::find(sale.begin(), sale.end(), "TROCO R$" + std::string(36, ' ') + "5,00"), sale.end())
      << ::testing::PrintToString(sale);
  EXPECT_EQ(sale.back(), W("Até logo"));

  EXPECT_EQ(docs[1].kind, DocumentKind::kManagementReport);
  EXPECT_EQ(docs[1].lines, (std::vector<std::string>{W("RELATÓRIO GERENCIAL"), "Linha um", W("Segunda linha ção"),
                                                     "Mais", ""}));
  EXPECT_EQ(docs[2].kind, DocumentKind::kReductionZ);
  EXPECT_EQ(docs[2].lines.front(), W("       REDUÇÃO Z        "));
  for (const auto& d : docs) EXPECT_EQ(d.when.year, 2024);  // the printer's clock

  // The reduction's fiscal-memory record carries the day it closed.
  ASSERT_EQ(state.memories.fiscal.size(), 1u);
  const auto& z = std::get<vendor::MfReduction>(state.memories.fiscal[0]);
  EXPECT_EQ(z.crz, 1);
  EXPECT_EQ(z.coo, 3);
  EXPECT_EQ(z.gross, 2000);
  EXPECT_EQ(z.grandTotal, 2000);
  ASSERT_EQ(z.rates.size(), 2u);
  EXPECT_EQ(z.rates[0].rate, "1800");
  EXPECT_EQ(z.rates[0].total, 2000);
}

TEST_F(MemoriesTest, RefusedCommandsLeaveNothingAndUserChangesAreMarked) {
  ASSERT_NE(Code({0}), 0);  // no owner yet
  ASSERT_NE(Code({9}, "x"), 0);
  EXPECT_TRUE(state.memories.tape.empty());
  ProgramOwner();
  Sale();
  ASSERT_EQ(Code({5}), 0);
  state.intervention = true;
  const std::string other = std::string("98.765.432/0001-10  ") + "999.999.999.999     " + std::string(20, ' ') +
                            std::string(10, ' ') + "X" + "SP" + std::string(10, '\xC3');
  ASSERT_EQ(Code({4}, other), 0);
  state.intervention = false;
  clock.SetLocal(CivilTime{2024, 3, 6, 9, 0, 0, 0});
  Sale();

  const auto& tape = state.memories.tape;
  ASSERT_EQ(tape.size(), 4u);
  const auto& change = std::get<MfdMarker>(tape[2]);
  EXPECT_EQ(change.kind, vendor::MarkerKind::kUserChange);
  EXPECT_EQ(change.user, 2);
  EXPECT_EQ(change.lastCoo, 2);
  const auto& next = std::get<MfdDocument>(tape[3]);
  EXPECT_EQ(next.coo, 1);
  EXPECT_EQ(next.user, 2);
  ASSERT_EQ(state.memories.fiscal.size(), 2u);
  const auto& user = std::get<vendor::MfUserChange>(state.memories.fiscal[1]);
  EXPECT_EQ(user.user, 2);
  EXPECT_EQ(user.cnpj, "98.765.432/0001-10");
  EXPECT_EQ(user.crz, 1);
}

TEST_F(MemoriesTest, HistoryIsConsistent) {
  const int documents = SeedHistory(state, 20, 7);
  const auto docs = Documents();
  ASSERT_EQ(static_cast<int>(docs.size()), documents);
  int reductions = 0, markers = 0;
  for (std::size_t i = 0; i < docs.size(); ++i) {
    EXPECT_EQ(docs[i].coo, static_cast<int>(i) + 1);
    if (i > 0) {
      EXPECT_LE(docs[i - 1].when, docs[i].when);
    }
    reductions += docs[i].kind == DocumentKind::kReductionZ ? 1 : 0;
  }
  for (const auto& e : state.memories.tape) markers += std::holds_alternative<MfdMarker>(e) ? 1 : 0;
  EXPECT_EQ(reductions, 20);
  EXPECT_GT(markers, 0);
  std::int64_t gt = 0;
  for (const auto& e : state.memories.fiscal) {
    const auto& z = std::get<vendor::MfReduction>(e);
    EXPECT_EQ(z.grandTotal, gt + z.gross) << z.crz;
    gt = z.grandTotal;
  }
  EXPECT_EQ(gt, state.grandTotal);
  // Today is free for sales after the history.
  EXPECT_FALSE(state.hasMovement);
}

TEST_F(MemoriesTest, DownloadCommandsRefuseAndLayOutBlocks) {
  ProgramOwner();
  Sale();
  EXPECT_EQ(Code({80, 112}), 214);                                       // nothing open
  EXPECT_EQ(StatusOf(Send({80, 111}, "00000"), 2055).ext, 214);          // nothing open
  EXPECT_EQ(StatusOf(Send({80, 110}, "X0" + std::string(15, ' ')), 8).ext, 4);
  EXPECT_EQ(StatusOf(Send({80, 110}, "D2000005000009   "), 8).ext, 214);  // no such COO
  ASSERT_EQ(Code({0}), 0);
  EXPECT_EQ(StatusOf(Send({80, 110}, "F0" + std::string(15, ' ')), 8).ext, 7);  // a coupon is open
  ASSERT_EQ(Code({14}), 0);

  const Bytes open = Send({80, 110}, "C0" + std::string(15, ' '));
  ASSERT_EQ(StatusOf(open, 8).ext, 0);
  const std::uint32_t total = open[1] | (open[2] << 8) | (open[3] << 16) | (open[4] << 24);
  EXPECT_EQ(total, 256u + 2 + 33 + 2 + 17 + 2);
  EXPECT_EQ(open[5], 1);
  const Bytes block = Send({80, 111}, "00000");
  ASSERT_EQ(StatusOf(block, 2055).ext, 0);
  EXPECT_EQ(block[3] | (block[4] << 8), static_cast<int>(total));
  EXPECT_EQ(block[5], 1);  // the last block
  const std::uint16_t crc = vendor::Crc16(std::string_view(reinterpret_cast<const char*>(&block[1]), 2053));
  EXPECT_EQ(block[2054] | (block[2055] << 8), crc);
  EXPECT_EQ(StatusOf(Send({80, 111}, "00001"), 2055).ext, 214);  // beyond the last block
  EXPECT_EQ(Code({80, 112}), 0);
}

}  // namespace
}  // namespace tervane::sim::testing
