// Decoding exchanges seen on the wire against the shipped catalogue, and the monitor's
// cutting of two byte streams into exchanges.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/catalogue/catalogue.h"
#include "core/monitor/exchange_decoder.h"
#include "core/monitor/protocol_monitor.h"
#include "core/protocol/frame_builder.h"
#include "support/fake_clock.h"

namespace tervane {
namespace {

using testing::FakeClock;

const CommandCatalogue& Shipped() {
  static const CommandCatalogue catalogue = [] {
    CommandCatalogue c;
    LoadCatalogue(std::string(TERVANE_REPO_DIR) + "/data", c);
    return c;
  }();
  return catalogue;
}

// A frame around `body`, made by the frame builder.
WireBytes Frame(const WireBytes& body) {
  FrameBuffer buffer;
  buffer.length = 3;
  AppendBytes(buffer, body.data(), body.size());
  FinalizeFrame(buffer);
  return WireBytes(buffer.bytes.begin(), buffer.bytes.begin() + buffer.length);
}

WireBytes Text(const std::string& s) { return WireBytes(s.begin(), s.end()); }

WireBytes Join(std::initializer_list<WireBytes> parts) {
  WireBytes out;
  for (const WireBytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const WireBytes kModelQuery = Frame({0x1B, 0x23, 0x3C});
const WireBytes kModelReply =
    Join({{0x06}, Text("KELO           "), Text("ZT-300 A            "), Text("ECF-IF "), {0x00, 0x00}});

TEST(ExchangeDecoder, DecodesTheModelQueryByItsCatalogueEntry) {
  ASSERT_GT(Shipped().count(), 0);
  EXPECT_EQ(kModelQuery, (WireBytes{0x02, 0x05, 0x00, 0x1B, 0x23, 0x3C, 0x7A, 0x00}));
  const DecodedExchange d = DecodeExchange(Shipped(), kModelQuery, kModelReply);
  EXPECT_EQ(d.check, FrameCheck::kGood);
  EXPECT_EQ(d.title, "Marca, Modelo e Tipo");
  EXPECT_EQ(d.outcome, ReplyOutcome::kAck);
  EXPECT_TRUE(d.replyComplete);
  ASSERT_EQ(d.fields.size(), 3u);
  EXPECT_EQ(d.fields[1].title, "Modelo");
  EXPECT_EQ(d.fields[1].value.substr(0, 8), "ZT-300 A");
  EXPECT_EQ(d.st1, 0);
  EXPECT_EQ(d.statusText.find("COMANDO OK") != std::string::npos, true);
  EXPECT_EQ(d.extendedCode, -1);

  // Cut short: only the fields the bytes hold, no status, not complete.
  const WireBytes cut(kModelReply.begin(), kModelReply.begin() + 20);
  const DecodedExchange partial = DecodeExchange(Shipped(), kModelQuery, cut);
  EXPECT_FALSE(partial.replyComplete);
  EXPECT_EQ(partial.fields.size(), 1u);
  EXPECT_EQ(partial.st1, -1);
}

TEST(ExchangeDecoder, ExtendedFrameCarriesTheExtendedCode) {
  const WireBytes frame = Frame({0x1C, 0x23, 0x3C});
  WireBytes reply = kModelReply;
  reply.back() = 0x04;  // ST2 bit 2
  reply.push_back(0x3B);  // code 59, low byte first
  reply.push_back(0x00);
  const DecodedExchange d = DecodeExchange(Shipped(), frame, reply);
  EXPECT_TRUE(d.extended);
  EXPECT_TRUE(d.replyComplete);
  EXPECT_EQ(d.st2, 4);
  EXPECT_EQ(d.extendedCode, 59);
  EXPECT_FALSE(d.extendedText.empty());
  EXPECT_EQ(ExpectedReply(Shipped(), d.commandIndex, frame).length, 42 + 5);
}

TEST(ExchangeDecoder, ParametersAreDecodedByKindAndBadFramesFlagged) {
  // Venda de Item: code 13, description 29, rate 2, quantity 4, price 8, discount 4.
  std::string description = "CAF\x90";  // code page 850 E-acute
  description += std::string(29 - description.size(), ' ');
  const WireBytes sale =
      Frame(Join({{0x1B, 0x09}, Text("7891234567890"), Text(description), Text("T1"), Text("0001"),
                  Text("00000150"), Text("0000")}));
  const DecodedExchange d = DecodeExchange(Shipped(), sale, {0x06, 0x00, 0x00});
  EXPECT_EQ(d.title, "Venda de Item");
  ASSERT_EQ(d.parameters.size(), 6u);
  EXPECT_EQ(d.parameters[0].value, "7891234567890");
  EXPECT_EQ(d.parameters[1].value.substr(0, 4), "CAF\xC9");  // back in Windows-1252
  EXPECT_EQ(d.parameters[4].value, "00000150");
  EXPECT_EQ(d.unexplainedBytes, 0u);
  EXPECT_TRUE(d.replyComplete);

  WireBytes corrupt = sale;
  corrupt[10] ^= 0x01;
  const DecodedExchange bad = DecodeExchange(Shipped(), corrupt, {0x15});
  EXPECT_EQ(bad.check, FrameCheck::kBadChecksum);
  EXPECT_EQ(bad.commandIndex, -1);
  EXPECT_EQ(bad.outcome, ReplyOutcome::kNak);
  EXPECT_NE(bad.resultText.find("RECEBIDO"), std::string::npos);

  EXPECT_EQ(CheckFrame({0x02, 0x01, 0x00}), FrameCheck::kBadLength);
  EXPECT_EQ(CheckFrame({0x02, 0x05, 0x00, 0x1B}), FrameCheck::kIncomplete);
  EXPECT_EQ(CheckFrame({0x41, 0x05, 0x00}), FrameCheck::kBadLength);
}

TEST(ExchangeDecoder, ReplyEndsByShape) {
  // Open reply ended by 03h: a 03h among the status bytes does not end it.
  const WireBytes mfd = Frame({0x1B, 0x23, 0x37});
  const int index = MatchCommand(Shipped(), mfd);
  ASSERT_GE(index, 0);
  ReplyTracker open(ExpectedReply(Shipped(), index, mfd));
  EXPECT_EQ(ExpectedReply(Shipped(), index, mfd).shape, ReplyShape::kOpenEtx);
  for (std::uint8_t b : WireBytes{0x06, 0x03, 0x00, 'a', '\n', 'b'}) EXPECT_FALSE(open.Feed(b));
  EXPECT_TRUE(open.Feed(0x03));
  const DecodedExchange text = DecodeExchange(Shipped(), mfd, {0x06, 0x00, 0x00, 'a', '\n', 'b', 0x03});
  EXPECT_NE(text.resultText.find("a\r\nb"), std::string::npos);

  // GPRS signal level: kind 1, a 16-bit number.
  const WireBytes signal = Frame({0x1B, 0x50, 0x51});
  const int gprs = MatchCommand(Shipped(), signal);
  ASSERT_GE(gprs, 0);
  ReplyTracker tracker(ExpectedReply(Shipped(), gprs, signal));
  const WireBytes reply{0x06, 0x01, 0x34, 0x12, 0x00, 0x00};
  for (std::size_t i = 0; i + 1 < reply.size(); ++i) EXPECT_FALSE(tracker.Feed(reply[i]));
  EXPECT_TRUE(tracker.Feed(reply.back()));
  EXPECT_NE(DecodeExchange(Shipped(), signal, reply).resultText.find("4660"), std::string::npos);

  // A NAK ends any reply at once.
  ReplyTracker nak(ExpectedReply(Shipped(), MatchCommand(Shipped(), kModelQuery), kModelQuery));
  EXPECT_TRUE(nak.Feed(0x15));
}

TEST(ExchangeDecoder, HexRoundTrip) {
  WireBytes bytes;
  EXPECT_TRUE(ParseWireHex("02 0a FF", bytes));
  EXPECT_EQ(WireHex(bytes), "02 0A FF");
  EXPECT_FALSE(ParseWireHex("02 0", bytes));
  EXPECT_FALSE(ParseWireHex("020x", bytes));
  EXPECT_TRUE(ParseWireHex("", bytes));
  EXPECT_TRUE(bytes.empty());
}

class MonitorStreams : public ::testing::Test {
 protected:
  MonitorStreams() : monitor_(Shipped(), clock_, [this](const MonitoredExchange& e) { seen_.push_back(e); }) {}
  void Pos(const WireBytes& b) { monitor_.FromPos(b.data(), b.size()); }
  void Printer(const WireBytes& b) { monitor_.FromPrinter(b.data(), b.size()); }

  FakeClock clock_;
  std::vector<MonitoredExchange> seen_;
  ProtocolMonitor monitor_;
};

TEST_F(MonitorStreams, FramesAndRepliesSplitAcrossManyReads) {
  for (std::uint8_t b : kModelQuery) Pos({b});
  EXPECT_TRUE(seen_.empty());
  clock_.Advance(5);
  for (std::size_t i = 0; i < kModelReply.size(); i += 7) {
    Printer(WireBytes(kModelReply.begin() + i, kModelReply.begin() + std::min(i + 7, kModelReply.size())));
  }
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0].decoded.command, kModelQuery);
  EXPECT_EQ(seen_[0].decoded.reply, kModelReply);
  EXPECT_EQ(seen_[0].decoded.title, "Marca, Modelo e Tipo");
  EXPECT_EQ(seen_[0].roundTripMs, 5);
  EXPECT_EQ(monitor_.NextDeadlineMs(), -1);
}

TEST_F(MonitorStreams, GarbageAndBadHeadersAreShownAndTheNextFrameStillFound) {
  // Stray bytes, a header whose length cannot be, then a good frame in one read.
  Pos(Join({{0xAA, 0x55}, {0x02, 0x01, 0x00}, kModelQuery}));
  ASSERT_EQ(seen_.size(), 2u);
  EXPECT_EQ(seen_[0].decoded.command, (WireBytes{0xAA, 0x55}));
  EXPECT_EQ(seen_[0].decoded.check, FrameCheck::kBadLength);
  EXPECT_EQ(seen_[1].decoded.command, (WireBytes{0x02, 0x01, 0x00}));
  Printer(kModelReply);
  ASSERT_EQ(seen_.size(), 3u);
  EXPECT_EQ(seen_[2].decoded.outcome, ReplyOutcome::kAck);

  // A frame sent again before the reply came: the first shows with no reply.
  Pos(kModelQuery);
  Pos(kModelQuery);
  ASSERT_EQ(seen_.size(), 4u);
  EXPECT_TRUE(seen_[3].decoded.reply.empty());
  EXPECT_EQ(seen_[3].roundTripMs, -1);
}

TEST_F(MonitorStreams, QuietLinesCloseWhatIsOpen) {
  // A frame that stops half-way is closed after a second and waits for its NAK.
  Pos(WireBytes(kModelQuery.begin(), kModelQuery.begin() + 5));
  clock_.Advance(kUnfinishedFrameMs - 1);
  monitor_.Tick();
  EXPECT_TRUE(seen_.empty());
  clock_.Advance(1);
  monitor_.Tick();
  EXPECT_TRUE(seen_.empty());
  Printer({0x15});
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0].decoded.check, FrameCheck::kIncomplete);
  EXPECT_EQ(seen_[0].decoded.outcome, ReplyOutcome::kNak);

  // A command the catalogue does not hold: its reply ends when the line goes quiet.
  Pos(Frame({0x1B, 0xF0, 0xF1, 0xF2}));
  Printer({0x06, 0x01, 0x02});
  clock_.Advance(kUnknownReplyQuietMs);
  EXPECT_EQ(monitor_.NextDeadlineMs(), clock_.MonotonicMs());
  monitor_.Tick();
  ASSERT_EQ(seen_.size(), 2u);
  EXPECT_EQ(seen_[1].decoded.commandIndex, -1);
  EXPECT_EQ(seen_[1].decoded.reply, (WireBytes{0x06, 0x01, 0x02}));

  // Printer bytes that answer nothing are shown on their own.
  Printer({0x33, 0x44});
  monitor_.Finish();
  ASSERT_EQ(seen_.size(), 3u);
  EXPECT_TRUE(seen_[2].decoded.command.empty());
}

TEST_F(MonitorStreams, BridgeFramingTakesTheAnnouncedLengthApart) {
  monitor_.SetBridgeFraming(true);
  Pos(Join({kModelQuery, {0x2D, 0x00}}));
  Printer(kModelReply);
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0].decoded.command, kModelQuery);
  EXPECT_EQ(seen_[0].announcedReplyLength, 45);
  EXPECT_EQ(seen_[0].decoded.check, FrameCheck::kGood);
}

}  // namespace
}  // namespace tervane
