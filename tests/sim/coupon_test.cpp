// The coupon's life cycle, its counters and totals, and the refusals that guard it.
#include "sim/sim_fixture.h"

namespace tervane::sim::testing {
namespace {

class SimCouponTest : public SimTest {
 protected:
  void SetUp() override { ProgramOwner(); }

  // Sells one item: quantity (units), unit price (cents), rate code, percent discount.
  int Sell(int quantity, int unitCents, const std::string& rate = "01", int discount = 0) {
    char numbers[32];
    std::snprintf(numbers, sizeof numbers, "%04d%08d%04d", quantity, unitCents, discount);
    return Code({9}, "7891000100103" + std::string("ARROZ TIPO 1 5KG             ") + rate + numbers);
  }

  int Coo() {
    const std::string bcd = Data({35, 3}, 3);
    int v = 0;
    for (char c : bcd) v = v * 100 + ((static_cast<unsigned char>(c) >> 4) * 10) + (c & 0x0F);
    return v;
  }

  static std::string Money14(long long cents) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%014lld", cents);
    return buffer;
  }
};

TEST_F(SimCouponTest, SaleFlowCountsDocumentsAndTotals) {
  ASSERT_EQ(Code({0}), 0);
  EXPECT_EQ(Coo(), 1);
  EXPECT_EQ(Data({35, 17}, 1)[0] & 0x01, 0x01);  // coupon open
  ASSERT_EQ(Sell(2, 1050), 0);                    // 21,00 at 18 %
  ASSERT_EQ(Sell(1, 1000, "02", 1000), 0);        // 10,00 - 10 % at 7 %
  ASSERT_EQ(Sell(3, 100, "FF"), 0);               // 3,00 substitution
  ASSERT_EQ(Code({31}, "003"), 0);                // and cancelled again
  ASSERT_EQ(Code({32}, "d00000000000100"), 0);    // 1,00 off the subtotal: 29,00
  EXPECT_EQ(Data({35, 18}, 1)[0] & 0x08, 0x08);   // totalizing
  ASSERT_EQ(Code({72}, "01" + Money14(2000)), 0);
  EXPECT_EQ(Code({34}), 18);  // 20,00 of 29,00 paid: cannot close yet
  ASSERT_EQ(Code({72}, "01" + Money14(1000)), 0);
  EXPECT_EQ(Code({72}, "01" + Money14(100)), 22);  // payments are complete
  ASSERT_EQ(Code({34}, "OBRIGADO\n"), 0);
  EXPECT_EQ(Data({35, 17}, 1)[0] & 0x21, 0x20);  // closed, and may be cancelled

  EXPECT_EQ(Coo(), 1);  // the coupon kept its number
  EXPECT_EQ(Data({35, 4}, 9), std::string("\x00\x00\x00\x00\x00\x00\x00\x29\x00", 9));
  const std::string partial = Data({35, 27}, 219);
  EXPECT_EQ(partial.substr(0, 7), std::string("\x00\x00\x00\x00\x00\x21\x00", 7));
  EXPECT_EQ(partial.substr(7, 7), std::string("\x00\x00\x00\x00\x00\x09\x00", 7));
  EXPECT_EQ(partial.substr(16 * 7 + 14, 7), std::string(7, '\0'));  // substitution item was cancelled
  EXPECT_EQ(partial.substr(210), std::string("\x00\x00\x00\x00\x00\x00\x00\x29\x00", 9));

  ASSERT_EQ(Code({6}), 0);  // X reading takes the next number
  EXPECT_EQ(Coo(), 2);
}

TEST_F(SimCouponTest, CancellationOnlyRightAfterAndOnce) {
  ASSERT_EQ(Code({0}), 0);
  ASSERT_EQ(Sell(1, 500), 0);
  ASSERT_EQ(Code({10}, "D0000"), 0);  // short close: all in the first method
  ASSERT_EQ(Code({14}), 0);           // the cancellation is a document of its own
  EXPECT_EQ(Coo(), 2);
  const Status again = StatusOf(Send({14}), 0);
  EXPECT_EQ(again.st2, st2::kCancelNotAllowed | st2::kNotExecuted);
  EXPECT_EQ(again.ext, 27);

  ASSERT_EQ(Code({0}), 0);
  ASSERT_EQ(Sell(1, 500), 0);
  ASSERT_EQ(Code({10}, "a00000000000050"), 0);
  ASSERT_EQ(Code({6}), 0);  // another document in between
  EXPECT_EQ(Code({14}), 26);

  // An open coupon can always be cancelled; it takes no new number.
  ASSERT_EQ(Code({0}), 0);
  const int coo = Coo();
  ASSERT_EQ(Code({14}), 0);
  EXPECT_EQ(Coo(), coo);
  EXPECT_EQ(Code({31}, "001"), 8);
}

TEST_F(SimCouponTest, RefusalsCarryTheirBitsAndCodes) {
  Status s = StatusOf(Send({9}, std::string(60, '0')), 0);
  EXPECT_EQ(s.st2, st2::kNotExecuted);
  EXPECT_EQ(s.ext, 8);  // CF NAO ABERTO

  ASSERT_EQ(Code({0}), 0);
  s = StatusOf(Send({0}), 0);
  EXPECT_EQ(s.st1, st1::kCouponOpen);
  EXPECT_EQ(s.ext, 7);  // CF ABERTO
  EXPECT_EQ(Code({6}), 7);
  EXPECT_EQ(Code({5}), 7);

  s = StatusOf(Send({9}, "1" + std::string(12, ' ') + "ITEM" + std::string(25, ' ') + "09" + "0001" +
                                 "00000100" + "0000"),
               0);
  EXPECT_EQ(s.st2, st2::kRateNotProgrammed | st2::kNotExecuted);
  EXPECT_EQ(s.ext, 14);
  EXPECT_EQ(Sell(0, 100), 85);  // no value
  EXPECT_EQ(Sell(9999, 99999999), 198);  // a total beyond 11 digits
  EXPECT_EQ(Code({9}, std::string(13, ' ') + std::string(29, '1') + "01" + "0001" + "00000100" + "0000"),
            117);  // description without a letter
  EXPECT_EQ(Code({32}, "D0000"), 17);  // nothing sold yet
  EXPECT_EQ(Code({72}, "01" + Money14(100)), 23);
  ASSERT_EQ(Sell(1, 1000), 0);
  EXPECT_EQ(Code({58}, "D0010000" + std::string("0")), 3);  // 9 bytes: not a layout
  EXPECT_EQ(Code({58}, "D00100001000"), 119);              // 100,00 off a 10,00 item
  ASSERT_EQ(Code({58}, "D0011000"), 0);                    // 10 %
  EXPECT_EQ(Code({58}, "D0010500"), 122);
  EXPECT_EQ(Code({32}, "d00000000001000"), 16);  // the discount would eat the total
  ASSERT_EQ(Code({32}, "A0000"), 0);
  EXPECT_EQ(Sell(1, 100), 170);
  EXPECT_EQ(Code({72}, "07" + Money14(100)), 20);  // method not programmed
  EXPECT_EQ(Code({72}, "21" + Money14(100)), 21);
  EXPECT_EQ(Code({72}, "01" + Money14(0)), 90);
}

TEST_F(SimCouponTest, FiscalDayRules) {
  state.cnpj.clear();
  Status s = StatusOf(Send({0}), 0);
  EXPECT_EQ(s.st2, st2::kOwnerNotProgrammed | st2::kNotExecuted);
  EXPECT_EQ(s.ext, 65);
  ProgramOwner();

  state.intervention = true;
  EXPECT_EQ(Code({0}), 60);
  EXPECT_EQ(Code({5}), 88);
  state.intervention = false;

  ASSERT_EQ(Code({0}), 0);
  ASSERT_EQ(Sell(1, 100), 0);
  ASSERT_EQ(Code({10}, "D0000"), 0);
  // The next day the open movement must be reduced before anything is sold.
  clock.SetLocal({2024, 3, 6, 9, 0, 0, 0});
  EXPECT_EQ(Code({0}), 66);
  ASSERT_EQ(Code({5}), 0);
  EXPECT_EQ(Data({35, 17}, 1)[0] & 0x08, 0x08);  // Z done today
  EXPECT_EQ(Code({0}), 63);                      // blocked until tomorrow
  EXPECT_EQ(Code({5}), 63);
  ASSERT_EQ(state.fiscalMemory.size(), 1u);
  EXPECT_EQ(state.fiscalMemory[0].date, (SimDate{2024, 3, 5}));  // the day of the movement
  EXPECT_EQ(state.fiscalMemory[0].gross, 100);
  clock.SetLocal({2024, 3, 7, 9, 0, 0, 0});
  EXPECT_EQ(Code({0}), 0);
}

TEST_F(SimCouponTest, NonFiscalDocumentsAndVouchers) {
  EXPECT_EQ(Code({19}, "01" + Money14(500)), 34);  // totalizer not named
  state.totalizerNames[0] = "SUPRIMENTO";
  ASSERT_EQ(Code({19}, "01" + Money14(500)), 0);
  EXPECT_EQ(Data({35, 34}, 780).substr(570, 7), std::string("\x00\x00\x00\x00\x00\x05\x00", 7));
  ASSERT_EQ(Code({25}, Money14(200)), 0);

  ASSERT_EQ(Code({20}, "LINHA 1\n"), 0);  // opens a management report
  ASSERT_EQ(Code({20}, "LINHA 2\n"), 0);  // more text, same document
  const int coo = Coo();
  EXPECT_EQ(Code({0}), 48);
  ASSERT_EQ(Code({21}), 0);
  EXPECT_EQ(Code({21}), 101);
  EXPECT_EQ(Coo(), coo);
  EXPECT_EQ(Data({35, 35}, 570).substr(0, 2), std::string("\x00\x01", 2));

  // A card voucher needs a card payment in the last coupon.
  state.payments[1].description = "Cartao";
  state.payments[1].tef = true;
  ASSERT_EQ(Code({0}), 0);
  ASSERT_EQ(Sell(1, 1000), 0);
  ASSERT_EQ(Code({32}, "D0000"), 0);
  ASSERT_EQ(Code({72}, "02" + Money14(1000)), 0);
  ASSERT_EQ(Code({34}), 0);
  EXPECT_EQ(Code({66}, "Dinheiro        " + std::string("000000")), 28);
  ASSERT_EQ(Code({66}, "Cartao          " + std::string("000000")), 0);
  EXPECT_EQ(Data({35, 18}, 1)[0] & 0x02, 0x02);
  ASSERT_EQ(Code({21}), 0);
  EXPECT_EQ(Code({66}, "Cartao          " + std::string("000000")), 28);  // one per payment
}

}  // namespace
}  // namespace tervane::sim::testing
