// Fault injection (what each kind does to the command and its reply, and that a seed
// repeats the pattern) and the pacing schedule of the output.
#include "sim/fault_injector.h"
#include "sim/paced_output.h"
#include "sim/sim_fixture.h"

namespace tervane::sim::testing {
namespace {

TEST(SimFaultTest, RulesParseKindAndRate) {
  FaultRule rule;
  std::string error;
  ASSERT_TRUE(ParseFaultRule("truncate", &rule, &error));
  EXPECT_EQ(rule.kind, FaultKind::kTruncate);
  EXPECT_EQ(rule.rate, 1.0);
  ASSERT_TRUE(ParseFaultRule("delay:0.25", &rule, &error));
  EXPECT_EQ(rule.kind, FaultKind::kDelay);
  EXPECT_EQ(rule.rate, 0.25);
  EXPECT_FALSE(ParseFaultRule("drop", &rule, &error));
  EXPECT_NE(error.find("drop"), std::string::npos);
  EXPECT_FALSE(ParseFaultRule("nak:1.5", &rule, &error));
  EXPECT_FALSE(ParseFaultRule("nak:", &rule, &error));
  EXPECT_FALSE(ParseFaultRule("nak:0.5x", &rule, &error));
}

// The kinds of fault the first `n` commands get.
std::vector<int> Pattern(std::uint64_t seed, int n) {
  FaultInjector faults({{FaultKind::kNakReply, 0.2}, {FaultKind::kSilence, 0.3}}, seed, 0);
  std::vector<int> out;
  for (int i = 0; i < n; ++i) {
    const auto f = faults.Next();
    out.push_back(f ? static_cast<int>(*f) : -1);
  }
  return out;
}

TEST(SimFaultTest, SeedRepeatsThePatternAndRatesHold) {
  const std::vector<int> a = Pattern(42, 2000);
  EXPECT_EQ(a, Pattern(42, 2000));
  EXPECT_NE(a, Pattern(43, 2000));
  const auto count = [&](FaultKind k) { return std::count(a.begin(), a.end(), static_cast<int>(k)); };
  // nak fires about 20 % of the time; silence 30 % of the rest (24 % overall).
  EXPECT_NEAR(static_cast<double>(count(FaultKind::kNakReply)) / 2000, 0.20, 0.04);
  EXPECT_NEAR(static_cast<double>(count(FaultKind::kSilence)) / 2000, 0.24, 0.04);

  FaultInjector never({{FaultKind::kNakReply, 0.0}}, 7, 0);
  FaultInjector always({{FaultKind::kGarbage, 1.0}}, 7, 0);
  for (int i = 0; i < 200; ++i) {
    EXPECT_FALSE(never.Next().has_value());
    EXPECT_EQ(always.Next(), FaultKind::kGarbage);
  }
}

class SimFaultEffectTest : public SimTest {
 protected:
  Delivery Under(FaultKind kind) {
    FaultInjector faults({{kind, 1.0}}, 5, 2500);
    const Bytes frame = Frame({6}, {}, true);  // an X reading takes a document number
    return Respond(handler, faults, &frame);
  }
};

TEST_F(SimFaultEffectTest, EachKindShapesTheReplyAndDecidesExecution) {
  const Bytes full{0x06, 0, 0, 0, 0};
  Delivery d = Under(FaultKind::kNakReply);
  EXPECT_EQ(d.bytes, Bytes{kNak});
  EXPECT_EQ(state.coo, 0);  // never reached the printer
  d = Under(FaultKind::kSilence);
  EXPECT_TRUE(d.bytes.empty());
  EXPECT_EQ(state.coo, 0);
  d = Under(FaultKind::kHangup);
  EXPECT_TRUE(d.hangup);
  EXPECT_EQ(state.coo, 0);

  d = Under(FaultKind::kDelay);
  EXPECT_EQ(d.bytes, full);
  EXPECT_EQ(d.delayMs, 2500);
  EXPECT_EQ(state.coo, 1);
  d = Under(FaultKind::kTruncate);
  ASSERT_FALSE(d.bytes.empty());
  EXPECT_LT(d.bytes.size(), full.size());
  EXPECT_TRUE(std::equal(d.bytes.begin(), d.bytes.end(), full.begin()));
  EXPECT_EQ(state.coo, 2);
  for (int i = 0; i < 50; ++i) {
    d = Under(FaultKind::kGarbage);
    ASSERT_EQ(d.bytes.size(), full.size());
    EXPECT_NE(d.bytes[0], kAck);
    EXPECT_NE(d.bytes[0], kNak);
  }

  // A damaged frame is answered with NAK whatever faults are set.
  FaultInjector faults({{FaultKind::kSilence, 1.0}}, 5, 0);
  EXPECT_EQ(Respond(handler, faults, nullptr).bytes, Bytes{kNak});
}

TEST(SimPacingTest, BytesFallDueAtTheLineRate) {
  PacedOutput out(9600);  // 1145.83 us per byte
  out.Push(Bytes(200, 0xAA), 1'000'000);
  const std::uint8_t* data = nullptr;
  EXPECT_EQ(out.Due(999'999, &data), 0u);
  EXPECT_EQ(out.Due(1'001'000, &data), 0u);  // the first byte is not out yet
  EXPECT_EQ(out.NextDueUs(), 1'001'147);
  EXPECT_EQ(out.Due(1'001'146, &data), 1u);
  out.Consume(1);
  EXPECT_EQ(out.Due(1'100'000, &data), 86u);  // 100 ms carry 87 bytes
  out.Consume(86);
  EXPECT_EQ(out.Due(10'000'000, &data), 113u);
  out.Consume(113);
  EXPECT_TRUE(out.Empty());

  // The next reply starts where the previous one ended, not earlier.
  out.Push(Bytes(10, 0x01), 1'100'000);
  EXPECT_EQ(out.Due(1'229'000, &data), 0u);  // 200 bytes end at 1.229167 s
  EXPECT_GE(out.NextDueUs(), 1'229'167 + 1'145);

  PacedOutput unpaced;
  unpaced.Push(Bytes(5, 0x02), 500);
  EXPECT_EQ(unpaced.Due(499, &data), 0u);
  EXPECT_EQ(unpaced.Due(500, &data), 5u);
}

}  // namespace
}  // namespace tervane::sim::testing
