// The programming rules a printer enforces and the simulator keeps: the intervention
// password, no clock set back over a Z reduction, unnamed totalizers read as blanks, and
// no owner programming on a day with sales.
#include "sim/sim_fixture.h"

namespace tervane::sim::testing {
namespace {

std::string Owner(const std::string& cnpj, const std::string& password) {
  return cnpj + std::string(20 - cnpj.size(), ' ') + "ISENTO              " + std::string(20, ' ') +
         std::string(10, ' ') + "X" + "SP" + password;
}

TEST_F(SimTest, TheOwnerCommandChecksTheInterventionPassword) {
  state.intervention = true;
  EXPECT_EQ(Code({4}, Owner("1", std::string(10, '\x11'))), 158);
  EXPECT_EQ(state.cnpj, "");
  state.interventionPassword = std::string(10, '\x11');
  EXPECT_EQ(Code({4}, Owner("1", std::string(10, '\x11'))), 0);
  EXPECT_EQ(state.cnpj, "1");
}

TEST_F(SimTest, NoOwnerProgrammingOnADayWithSales) {
  ProgramOwner();
  state.hasMovement = true;
  state.movementDate = {2024, 3, 5};
  state.intervention = true;
  EXPECT_EQ(Code({4}, Owner("12.345.678/0001-90", std::string(10, '\xC3'))), 62);
  EXPECT_EQ(state.user, 1);
}

TEST_F(SimTest, TheClockDoesNotGoBackOverAReduction) {
  ProgramOwner();
  ASSERT_EQ(Code({5}), 0);  // Z at 05/03/2024 14:30:15 on the fake clock
  EXPECT_EQ(Code({2}, std::string("050324143014") + '\x00'), 112);
  EXPECT_EQ(state.clockOffset, 0);
  EXPECT_EQ(Code({2}, std::string("050324150000") + '\x00'), 0);
  // History without a Z made here: the last record's date bounds the clock.
  state.lastReductionAt = 0;
  state.clockOffset = 0;
  EXPECT_EQ(Code({2}, std::string("040324235959") + '\x00'), 112);
}

TEST_F(SimTest, UnnamedTotalizersReadAsBlanks) {
  state.totalizerNames[0] = "SANGRIA";
  const std::string names = Data({35, 48}, 570);
  EXPECT_EQ(names.substr(0, 19), "SANGRIA" + std::string(12, ' '));
  EXPECT_EQ(names.substr(19, 19), std::string(19, ' '));
}

}  // namespace
}  // namespace tervane::sim::testing
