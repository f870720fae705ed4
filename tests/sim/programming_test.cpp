// Programming in technical intervention reads back through the query commands exactly;
// outside intervention it is refused and changes nothing.
#include "sim/sim_fixture.h"

namespace tervane::sim::testing {
namespace {

class SimProgrammingTest : public SimTest {
 protected:
  void SetUp() override { state.intervention = true; }
};

TEST_F(SimProgrammingTest, OwnerDataReadsBackInBothLayouts) {
  const std::string p = std::string("11.222.333/0001-44  ") + "ISENTO              " + "IM-99               " +
                        std::string(10, ' ') + "B" + "RJ" + std::string(10, '\xC3');
  ASSERT_EQ(Code({4}, p), 0);
  EXPECT_EQ(Data({35, 42}, 20), "11.222.333/0001-44  ");
  EXPECT_EQ(Data({35, 43}, 20), "ISENTO              ");
  EXPECT_EQ(Data({35, 44}, 20), "IM-99               ");
  EXPECT_EQ(Data({35, 70}, 2), "RJ");
  EXPECT_EQ(Data({35, 253}, 3), std::string("\x00\x01\x00", 3));  // passenger tickets on

  // An older model takes the 49-byte layout and reads CNPJ and IE together.
  state.model = "ZK-110 A";
  state.modelMask = 1;
  const std::string old = std::string("11.222.333/0001-44") + "987654321      " + "X" + "IM OLD         ";
  ASSERT_EQ(Code({4}, old), 0);
  EXPECT_EQ(Data({35, 2}, 33), "11.222.333/0001-44987654321      ");
  EXPECT_EQ(state.im, "IM OLD");
  EXPECT_EQ(Data({35, 253}, 3)[0], '\x01');
  EXPECT_EQ(StatusOf(Send({35, 42}), 0).ext, 1);  // newer-only read: unknown here
}

TEST_F(SimProgrammingTest, NewOwnerAdvancesUserAndRestartsCounters) {
  ProgramOwner();
  state.intervention = true;
  state.coo = 41;
  const std::string other = std::string(20, '9') + std::string(20, '8') + std::string(20, ' ') +
                            std::string(10, ' ') + "X" + "MG" + std::string(10, '\xC3');
  ASSERT_EQ(Code({4}, other), 0);
  EXPECT_EQ(Data({35, 1}, 2), std::string("\x00\x02", 2));
  EXPECT_EQ(Data({35, 3}, 3), std::string(3, '\0'));
  // Blank CNPJ or UF is refused.
  EXPECT_EQ(Code({4}, std::string(60, ' ') + std::string(10, ' ') + "X" + "MG" + std::string(10, '\xC3')), 167);
  EXPECT_EQ(Code({4}, std::string(40, '1') + std::string(20, ' ') + std::string(10, ' ') + "X  " +
                          std::string(10, '\xC3')),
            168);
}

TEST_F(SimProgrammingTest, TillStoreDateAndClicheReadBack) {
  ASSERT_EQ(Code({17}, "0070042"), 0);
  EXPECT_EQ(Data({35, 14}, 2), std::string("\x00\x07", 2));
  EXPECT_EQ(Data({35, 15}, 2), std::string("\x00\x42", 2));
  EXPECT_EQ(Code({17}, "0000042"), 67);

  // The fake host clock says 05/03/2024 14:30:15; the printer is set ten days later.
  ASSERT_EQ(Code({2}, std::string("150324083000") + '\x01'), 0);
  EXPECT_EQ(Data({35, 23}, 6), std::string("\x15\x03\x24\x08\x30\x00", 6));
  EXPECT_EQ(Data({35, 17}, 1)[0] & 0x04, 0x04);  // daylight saving
  clock.SetLocal({2024, 3, 5, 14, 31, 15, 0});   // a minute passes on the host
  EXPECT_EQ(Data({35, 23}, 6), std::string("\x15\x03\x24\x08\x31\x00", 6));
  EXPECT_EQ(Code({2}, std::string("310224000000") + '\x00'), 100);  // no 31 February

  const std::string cliche = "\x1B\x45LOJA " + Cp850("AÇÃO") + "\x1B\x46\nRUA 1\n";
  ASSERT_EQ(Code({3}, cliche), 0);
  std::string expected = cliche;
  expected.resize(186, '\0');
  EXPECT_EQ(Data({35, 13}, 186), expected);
}

TEST_F(SimProgrammingTest, RatesIssAndTotalizersReadBack) {
  state.im = "IM 1";
  ASSERT_EQ(Code({7}, "18000"), 0);
  ASSERT_EQ(Code({7}, "05001"), 0);
  EXPECT_EQ(Code({7}, "00000"), 195);
  EXPECT_EQ(Data({35, 24}, 1), "\x02");
  std::string rates = Data({26}, 33);
  EXPECT_EQ(rates.substr(0, 5), std::string("\x02\x18\x00\x05\x00", 5));
  EXPECT_EQ(Data({35, 29}, 2), std::string("\x40\x00", 2));  // flag 2 is bit 6 of byte 0

  // Replacing the table: count byte then sixteen 4-digit rates.
  std::string table = "\x10";
  for (int i = 1; i <= 16; ++i) table += Format4(i * 100);
  ASSERT_EQ(Code({36}, table), 0);
  rates = Data({26}, 33);
  EXPECT_EQ(static_cast<unsigned char>(rates[0]), 16);
  EXPECT_EQ(rates.substr(31, 2), std::string("\x16\x00", 2));
  EXPECT_EQ(Code({7}, "12000"), 5);  // all positions taken
  EXPECT_EQ(StatusOf(Send({7}, "12000"), 0).st2, st2::kRatesFull | st2::kNotExecuted);

  ASSERT_EQ(Code({38}, "1000000000000001"), 0);
  EXPECT_EQ(Data({35, 29}, 2), std::string("\x80\x01", 2));

  ASSERT_EQ(Code({40}, "02" + Cp850("SUPRIMENTO ÚNICO   ")), 0);
  ASSERT_EQ(Code({40}, "30" + std::string("ULTIMO             ")), 0);
  // Fifty names are kept; the reading of the thirty reports the first thirty.
  EXPECT_EQ(Code({40}, "50" + std::string(19, 'X')), 0);
  EXPECT_EQ(state.totalizerNames[49], std::string(19, 'X'));
  EXPECT_EQ(Code({40}, "51" + std::string(19, 'X')), 102);
  EXPECT_EQ(Code({40}, "03" + std::string(19, ' ')), 111);
  const std::string names = Data({35, 48}, 570);
  EXPECT_EQ(names.substr(19, 19), Cp850("SUPRIMENTO ÚNICO") + std::string(3, ' '));
  EXPECT_EQ(names.substr(29 * 19, 19), "ULTIMO" + std::string(13, ' '));
}

TEST_F(SimProgrammingTest, PaymentMethodsGetNumbersAndFillUp) {
  const std::string two = "Cartao Credito  1" + std::string("Cheque          2");
  const Bytes reply = Send({71}, two);
  ASSERT_EQ(reply.size(), 8u);
  EXPECT_EQ(std::string(reply.begin() + 1, reply.begin() + 4), "003");  // the last one given
  const std::string methods = Data({35, 32}, 620);
  EXPECT_EQ(methods.substr(16, 16), "Cartao Credito  ");
  EXPECT_EQ(static_cast<unsigned char>(methods[601]), 0x55);  // TEF allowed for method 2
  EXPECT_EQ(static_cast<unsigned char>(methods[602]), 0x00);

  // Fill the rest, then one more cannot be placed: "255".
  std::string many;
  for (int i = 4; i <= 20; ++i) many += "Forma " + Format4(i) + "      ";
  ASSERT_EQ(StatusOf(Send({73}, many), 3).ext, 0);
  const Bytes full = Send({73}, "Sobrando        ");
  EXPECT_EQ(std::string(full.begin() + 1, full.begin() + 4), "255");
  EXPECT_EQ(StatusOf(full, 3).ext, 19);
}

TEST_F(SimProgrammingTest, OptionSwitchesShowInFlagsAndZMode) {
  ASSERT_EQ(Code({84}, "0"), 0);  // even enables automatic Z
  EXPECT_EQ(Data({35, 16}, 1), "\x01");
  ASSERT_EQ(Code({123}, "1"), 0);  // odd enables discount on ISS
  EXPECT_EQ(Data({35, 19}, 1)[0] & 0x18, 0x18);
  ASSERT_EQ(Code({84}, "7"), 0);
  EXPECT_EQ(Data({35, 16}, 1), std::string(1, '\0'));
  EXPECT_EQ(Code({80, 57}, "4"), 4);
  ASSERT_EQ(Code({80, 63}, "0"), 0);
  EXPECT_EQ(state.restaurantOrStore, '0');
}

TEST_F(SimProgrammingTest, OutsideInterventionProgrammingIsRefusedAndChangesNothing) {
  state.intervention = false;
  const std::string before = Data({35, 48}, 570);
  const Status s = StatusOf(Send({40}, "01TROCO              "), 0);
  EXPECT_EQ(s.st1, 0);
  EXPECT_EQ(s.st2, st2::kNotExecuted);
  EXPECT_EQ(s.ext, 59);
  EXPECT_EQ(Data({35, 48}, 570), before);
  EXPECT_EQ(Code({3}, "CLICHE\n"), 59);
  EXPECT_EQ(Code({17}, "0020003"), 59);
  EXPECT_EQ(Code({7}, "12000"), 59);
  EXPECT_EQ(Code({38}, std::string(16, '1')), 59);
  EXPECT_EQ(state.till, "001");
  // The clock may be set outside intervention.
  EXPECT_EQ(Code({2}, std::string("050324143015") + '\x00'), 0);
  // A wrong parameter count is reported before anything else.
  const Status count = StatusOf(Send({40}, "01"), 0);
  EXPECT_EQ(count.st1, st1::kParameterCount);
  EXPECT_EQ(count.ext, 3);
}

}  // namespace
}  // namespace tervane::sim::testing
