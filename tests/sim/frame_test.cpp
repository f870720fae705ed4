// Framing on the printer's side: what is accepted, what gets NAK, and how frames are cut
// out of a stream that arrives in pieces.
#include "sim/sim_fixture.h"

namespace tervane::sim::testing {
namespace {

TEST(SimFrameTest, ProbeFrameGetsAckModeAndStatus) {
  PrinterState state;
  tervane::testing::FakeClock clock;
  CommandHandler handler(state, clock);
  const Bytes probe{0x02, 0x05, 0x00, 0x1B, 0x23, 0x14, 0x52, 0x00};
  EXPECT_EQ(handler.Handle(probe), (Bytes{0x06, 0x55, 0x00, 0x00}));
  // The same command in extended mode adds the code, low byte first.
  EXPECT_EQ(handler.Handle(Frame({35, 20}, {}, true)), (Bytes{0x06, 0x55, 0x00, 0x00, 0x00, 0x00}));
  state.intervention = true;
  EXPECT_EQ(handler.Handle(probe), (Bytes{0x06, 'I', 0x00, 0x00}));
}

TEST(SimFrameTest, DamagedFramesGetNak) {
  PrinterState state;
  tervane::testing::FakeClock clock;
  CommandHandler handler(state, clock);
  Bytes frame = Frame({35, 20});
  frame[6] ^= 0x01;  // sum no longer matches
  EXPECT_EQ(handler.Handle(frame), Bytes{kNak});
  frame = Frame({35, 20});
  frame.pop_back();  // cut short
  EXPECT_EQ(handler.Handle(frame), Bytes{kNak});
  frame = Frame({35, 20});
  frame.push_back(0x00);  // trailing byte
  EXPECT_EQ(handler.Handle(frame), Bytes{kNak});
  EXPECT_EQ(handler.Handle(Bytes{0x03, 0x05, 0x00, 0x1B, 0x23, 0x14, 0x52, 0x00}), Bytes{kNak});
  EXPECT_EQ(handler.Handle(Bytes{0x02, 0x03, 0x00, 0x1B, 0x1B, 0x00}), Bytes{kNak});  // no command byte
}

TEST(SimFrameTest, BodyWithoutEscOrFsIsRefusedWithPlainStatus) {
  PrinterState state;
  tervane::testing::FakeClock clock;
  CommandHandler handler(state, clock);
  EXPECT_EQ(handler.Handle(MakeFrame({0x1A, 35, 20})), (Bytes{kAck, 0x08, 0x00}));
}

TEST(SimFrameTest, CheckFrameReportsLengthsAndFaults) {
  const Bytes frame = Frame({35, 60});
  std::size_t length = 0;
  EXPECT_EQ(CheckFrame(frame.data(), frame.size(), &length), FrameCheck::kComplete);
  EXPECT_EQ(length, frame.size());
  EXPECT_EQ(CheckFrame(frame.data(), 4, &length), FrameCheck::kIncomplete);
  const Bytes huge{0x02, 0xFF, 0x0F};  // 4098 + 3 bytes would pass the limit
  EXPECT_EQ(CheckFrame(huge.data(), huge.size(), &length), FrameCheck::kBadLength);
  const Bytes largest{0x02, 0xFD, 0x0F};  // exactly 4096 bytes: still waiting for it
  EXPECT_EQ(CheckFrame(largest.data(), largest.size(), &length), FrameCheck::kIncomplete);
}

TEST(SimFrameTest, AssemblerCutsFramesFromPiecesAndNoise) {
  FrameAssembler assembler;
  Bytes stream{0xAA, 0x00};  // noise before the first frame is dropped silently
  const Bytes a = Frame({35, 20});
  const Bytes b = Frame({35, 60}, {}, true);
  Bytes bad = Frame({35, 3});
  bad.back() ^= 0xFF;
  for (const Bytes* f : std::initializer_list<const Bytes*>{&a, &bad, &b}) {
    stream.insert(stream.end(), f->begin(), f->end());
  }

  std::vector<FrameAssembler::Event> events;
  for (std::size_t i = 0; i < stream.size(); i += 3) {  // three bytes at a time
    const std::size_t n = std::min<std::size_t>(3, stream.size() - i);
    for (auto& e : assembler.Feed(stream.data() + i, n, 0)) events.push_back(std::move(e));
  }
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].kind, FrameAssembler::EventKind::kFrame);
  EXPECT_EQ(events[0].frame, a);
  EXPECT_EQ(events[1].kind, FrameAssembler::EventKind::kBad);
  EXPECT_EQ(events[2].frame, b);
  EXPECT_FALSE(assembler.HasPartial());
}

TEST(SimFrameTest, AssemblerWithTrailerWaitsForTheExpectedLength) {
  FrameAssembler assembler(true);
  Bytes stream = Frame({35, 20});
  auto events = assembler.Feed(stream.data(), stream.size(), 0);
  EXPECT_TRUE(events.empty());  // the two length bytes belong to the request
  const Bytes trailer{0x34, 0x12};
  events = assembler.Feed(trailer.data(), trailer.size(), 0);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].frame, stream);
  EXPECT_EQ(events[0].expectedReplyLength, 0x1234);
  stream.push_back(0xFF);
  stream.push_back(0xFF);
  events = assembler.Feed(stream.data(), stream.size(), 0);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].expectedReplyLength, -1);
}

TEST(SimFrameTest, StalledPartialFrameExpires) {
  FrameAssembler assembler;
  const Bytes frame = Frame({35, 20});
  assembler.Feed(frame.data(), 4, 100);
  EXPECT_FALSE(assembler.Expire(1100, 1000));
  EXPECT_TRUE(assembler.Expire(1101, 1000));
  EXPECT_FALSE(assembler.HasPartial());
  // After expiry a fresh frame is read normally.
  EXPECT_EQ(assembler.Feed(frame.data(), frame.size(), 1200).size(), 1u);
}

}  // namespace
}  // namespace tervane::sim::testing
