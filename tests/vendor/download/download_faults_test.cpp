// The download's own defences, against an in-process printer whose replies a test can
// spoil one by one: a block that fails its check is asked for again, a printer that keeps
// spoiling it or stops answering gives 3, one that contradicts itself gives 6, a file
// without a serial number gives 2, and none of these leaves a file behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <functional>

#include "core/common/atomic_file.h"
#include "sim/command_handler.h"
#include "sim/history.h"
#include "support/fake_clock.h"
#include "vendor/download/memory_download.h"
#include "vendor/formats/crc16.h"

namespace tervane::vendor {
namespace {

namespace fs = std::filesystem;
using sim::Bytes;

// A port whose printer is a CommandHandler in this process. `tamper` sees every reply
// (its index counts from 0) and may change it; `dieAt` makes Receive fail from that
// reply on, as a dropped link does.
class InProcessPort final : public CPort {
 public:
  InProcessPort(sim::CommandHandler& printer, std::function<void(int, Bytes&)>& tamper, int dieAt)
      : printer_(printer), tamper_(tamper), dieAt_(dieAt) {}
  bool Open(int) override { return true; }
  void Close() override {}
  bool Send(const std::uint8_t* data, int length, int) override {
    Bytes reply = printer_.Handle(Bytes(data, data + length));
    if (tamper_) tamper_(replies_, reply);
    if (dieAt_ >= 0 && replies_ >= dieAt_) dead_ = true;
    ++replies_;
    pending_.insert(pending_.end(), reply.begin(), reply.end());
    return true;
  }
  bool Receive(std::uint8_t* buffer, int length, int) override {
    if (dead_ || static_cast<int>(pending_.size()) < length) return false;
    for (int i = 0; i < length; ++i) {
      buffer[i] = pending_.front();
      pending_.pop_front();
    }
    return true;
  }
  bool Purge() override {
    pending_.clear();
    return true;
  }
  bool WriteRequest(const std::uint8_t*, int, std::uint32_t*) override { return false; }
  bool ReadReply(std::uint8_t*, int, std::uint32_t*) override { return false; }

 private:
  sim::CommandHandler& printer_;
  std::function<void(int, Bytes&)>& tamper_;
  int dieAt_;
  int replies_ = 0;
  bool dead_ = false;
  std::deque<std::uint8_t> pending_;
};

class FaultsTest : public ::testing::Test, public PortFactory {
 protected:
  FaultsTest() : printer_(state_, clock_) {
    sim::SeedHistory(state_, 2);
    dir_ = fs::temp_directory_path() / ("tervane_dlf_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  ~FaultsTest() override { fs::remove_all(dir_); }

  std::unique_ptr<CPort> Create(const std::string&) override {
    return std::make_unique<InProcessPort>(printer_, tamper_, dieAt_);
  }

  int Download(const std::string& name, DownloadKind kind = DownloadKind::kMfd, bool resume = false) {
    DownloadAsk ask;
    ask.kind = kind;
    ask.partialPath = keptPath_;
    ask.resume = resume;
    return DownloadToFile(*this, clock_, "in-process", ask, (dir_ / name).string());
  }

  std::string Read(const std::string& name) {
    std::string bytes;
    ReadWholeFile((dir_ / name).string(), bytes);
    return bytes;
  }

  sim::PrinterState state_;
  tervane::testing::FakeClock clock_;
  sim::CommandHandler printer_;
  std::function<void(int, Bytes&)> tamper_;
  int dieAt_ = -1;
  fs::path dir_;
  std::string keptPath_;  // the partial file, when a test keeps one
};

// Reply 0 answers the open command, replies 1.. the blocks in order.
constexpr int kFirstBlock = 1;

TEST_F(FaultsTest, SpoiledBlocksAreAskedForAgain) {
  ASSERT_EQ(Download("clean.mfd"), kDownloadOk);
  const std::string clean = Read("clean.mfd");
  ASSERT_GT(clean.size(), 524288u + 1536 + 3 * 2048);  // several blocks of history

  // One flipped data byte in the second block, and a NAK for the open command.
  tamper_ = [](int n, Bytes& reply) {
    if (n == 0) reply = Bytes{0x15};
    if (n == kFirstBlock + 2) reply[100] ^= 0x40;
  };
  ASSERT_EQ(Download("healed.mfd"), kDownloadOk);
  // The .mfd carries no moment of download: the healed file is the clean one, byte for byte.
  EXPECT_EQ(Read("healed.mfd"), clean);
}

TEST_F(FaultsTest, APrinterThatKeepsFailingGivesThreeAndNoFile) {
  tamper_ = [](int n, Bytes& reply) {
    if (n >= kFirstBlock + 1) reply[50] ^= 0x01;  // every block from the second on
  };
  EXPECT_EQ(Download("bad.mfd"), kDownloadLinkFailed);
  EXPECT_FALSE(fs::exists(dir_ / "bad.mfd"));

  tamper_ = nullptr;
  dieAt_ = kFirstBlock + 3;
  EXPECT_EQ(Download("cut.mfd"), kDownloadLinkFailed);
  EXPECT_FALSE(fs::exists(dir_ / "cut.mfd"));
}

TEST_F(FaultsTest, APrinterThatContradictsItselfGivesSix) {
  // A block that carries another number (its check recomputed, so only the number is wrong).
  tamper_ = [](int n, Bytes& reply) {
    if (n != kFirstBlock + 1) return;
    reply[1] = 7;
    const std::uint16_t crc = Crc16(std::string_view(reinterpret_cast<const char*>(&reply[1]), 2053));
    reply[2054] = static_cast<std::uint8_t>(crc & 0xFF);
    reply[2055] = static_cast<std::uint8_t>(crc >> 8);
  };
  EXPECT_EQ(Download("renumbered.mfd"), kDownloadInvalidData);

  // An open reply announcing an absurd size.
  tamper_ = [](int n, Bytes& reply) {
    if (n == 0) reply[4] = 0x7F;
  };
  EXPECT_EQ(Download("huge.mfd"), kDownloadInvalidData);
  EXPECT_FALSE(fs::exists(dir_ / "renumbered.mfd"));
  EXPECT_FALSE(fs::exists(dir_ / "huge.mfd"));
}

TEST_F(FaultsTest, AFileThatCannotBeWrittenGivesSeven) {
  DownloadAsk ask;
  ask.kind = DownloadKind::kMf;
  EXPECT_EQ(DownloadToFile(*this, clock_, "in-process", ask, (dir_ / "no-such-folder" / "a.mf").string()),
            kDownloadNotExecuted);
}

TEST_F(FaultsTest, AFileWithoutSerialGivesTwo) {
  state_.serial = "               ";
  EXPECT_EQ(Download("noserial.mf", DownloadKind::kMf), kDownloadNoSerial);
  EXPECT_EQ(Download("noserial.mfd"), kDownloadNoSerial);
  EXPECT_FALSE(fs::exists(dir_ / "noserial.mf"));
}

TEST(DownloadRequest, MalformedRangesAreRefusedBeforeAnythingIsSent) {
  EXPECT_EQ(OpenParameters({DownloadKind::kMfd, "2", "1", "123", "7"}), "D2000001000123007");
  EXPECT_EQ(OpenParameters({DownloadKind::kMfd, "1", "010126", "311226", ""}), "D1010126311226   ");
  EXPECT_EQ(OpenParameters({DownloadKind::kSb, "2", "1", "2", ""}), "S0" + std::string(15, ' '));
  // The user number of a decoded BCD field may come with more zeros than three digits.
  EXPECT_EQ(OpenParameters({DownloadKind::kMf, "0", "", "", "0012"}), "F0" + std::string(12, ' ') + "012");
  EXPECT_EQ(OpenParameters({DownloadKind::kMf, "0", "", "", " 0 "}), "F0" + std::string(12, ' ') + "000");
  for (const DownloadAsk& bad : std::vector<DownloadAsk>{{DownloadKind::kMfd, "3", "", "", ""},
                                                        {DownloadKind::kMfd, "1", "320126", "010226", ""},
                                                        {DownloadKind::kMfd, "1", "0101", "010226", ""},
                                                        {DownloadKind::kMfd, "2", "1234567", "1", ""},
                                                        {DownloadKind::kMfd, "2", "-1", "5", ""},
                                                        {DownloadKind::kMpk, "2", "1", "5", "1000"},
                                                        {DownloadKind::kMf, "0", "", "", "1 2"}})
    EXPECT_EQ(OpenParameters(bad), "") << bad.rangeKind << bad.start << "/" << bad.end << "/" << bad.user;
}

// A reply replaced by line noise (its first byte neither ACK nor NAK), one cut short and
// one whose CRC fails are each asked for again; the file is the clean one, byte for byte.
TEST_F(FaultsTest, GarbledAndShortRepliesAreAskedForAgain) {
  ASSERT_EQ(Download("clean.mfd"), kDownloadOk);
  const std::string clean = Read("clean.mfd");
  // Replies in order: 0 the open, 1 the open again, 2 block 0, 3 and 4 block 1, 5 and 6
  // block 2, 7 and 8 block 3, 9 and 10 block 4.
  tamper_ = [](int n, Bytes& reply) {
    if (n == 0 || n == 3) {
      for (std::size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<std::uint8_t>(0x41 + i * 7);
    }
    if (n == 5) reply.resize(900);    // short
    if (n == 7) reply.resize(1);      // only the ACK
    if (n == 9) reply[2000] ^= 0x10;  // a CRC that fails
  };
  ASSERT_EQ(Download("healed.mfd"), kDownloadOk);
  EXPECT_EQ(Read("healed.mfd"), clean);
}

TEST_F(FaultsTest, APrinterAnsweringGarbageGivesThreeInBoundedTime) {
  std::string old = "the file that was there";
  ASSERT_TRUE(SaveFileAtomically((dir_ / "noise.mfd").string(), old, nullptr));
  int replies = 0;
  tamper_ = [&](int n, Bytes& reply) {
    replies = n + 1;
    if (n >= kFirstBlock) std::fill(reply.begin(), reply.end(), 0x5A);
  };
  const std::int64_t start = clock_.MonotonicMs();
  EXPECT_EQ(Download("noise.mfd"), kDownloadLinkFailed);
  EXPECT_EQ(replies, 1 + 3);  // the open, then block 0 three times
  EXPECT_LT(clock_.MonotonicMs() - start, 5000);
  EXPECT_EQ(Read("noise.mfd"), old);
}

// A download that fails part-way keeps its good blocks; asked to resume, the next one
// asks for block 0 and the last kept block again (to check they are still the printer's)
// and then only for the rest, and the file is the clean one.
TEST_F(FaultsTest, AFailedDownloadIsResumedFromItsLastGoodBlock) {
  keptPath_ = (dir_ / "state" / "download-D.part").string();
  ASSERT_EQ(Download("clean.mfd"), kDownloadOk);
  const std::string clean = Read("clean.mfd");
  EXPECT_FALSE(fs::exists(keptPath_));  // nothing kept after a whole download
  const std::size_t blocks = (clean.size() - 524288 - 1536 - 256 + 2047) / 2048;
  ASSERT_GE(blocks, 5u);

  dieAt_ = kFirstBlock + 4;  // blocks 0-3 arrive, the link drops at block 4
  EXPECT_EQ(Download("resumed.mfd"), kDownloadLinkFailed);
  EXPECT_FALSE(fs::exists(dir_ / "resumed.mfd"));
  ASSERT_TRUE(fs::exists(keptPath_));

  dieAt_ = -1;
  std::vector<std::string> asked;
  tamper_ = [&](int, Bytes& reply) { asked.push_back(std::to_string(reply.size())); };
  ASSERT_EQ(Download("resumed.mfd", DownloadKind::kMfd, true), kDownloadOk);
  EXPECT_EQ(Read("resumed.mfd"), clean);
  // Open, block 0, block 3 again, blocks 4.. to the end, close.
  EXPECT_EQ(asked.size(), 1 + 2 + (blocks - 4) + 1);
  EXPECT_FALSE(fs::exists(keptPath_));

  // Without --resume a kept file is replaced by the fresh download's.
  dieAt_ = kFirstBlock + 2;
  tamper_ = nullptr;
  EXPECT_EQ(Download("again.mfd"), kDownloadLinkFailed);
  dieAt_ = -1;
  ASSERT_EQ(Download("again.mfd"), kDownloadOk);
  EXPECT_EQ(Read("again.mfd"), clean);
}

// Blocks kept from another printer, or from a memory that has changed since, are never
// mixed into the file: 8, nothing written, the kept file left for what it is.
TEST_F(FaultsTest, APartialDownloadOfAnotherPrinterIsNotContinued) {
  ASSERT_EQ(Download("clean.mfd"), kDownloadOk);
  const std::string clean = Read("clean.mfd");
  keptPath_ = (dir_ / "state" / "download-D.part").string();
  dieAt_ = kFirstBlock + 3;
  ASSERT_EQ(Download("x.mfd"), kDownloadLinkFailed);
  dieAt_ = -1;
  std::string kept;
  ReadWholeFile(keptPath_, kept);

  const std::string serial = state_.serial;
  state_.serial = "TV0100000000999";
  EXPECT_EQ(Download("x.mfd", DownloadKind::kMfd, true), kDownloadPartialMismatch);
  EXPECT_FALSE(fs::exists(dir_ / "x.mfd"));
  EXPECT_EQ(Read("state/download-D.part"), kept);

  // The same printer, a request of another range: the blocks are not this download's.
  state_.serial = serial;
  DownloadAsk ranged;
  ranged.kind = DownloadKind::kMfd;
  ranged.rangeKind = "2";
  ranged.start = "1";
  ranged.end = "999999";
  ranged.partialPath = keptPath_;
  ranged.resume = true;
  EXPECT_EQ(DownloadToFile(*this, clock_, "in-process", ranged, (dir_ / "x.mfd").string()),
            kDownloadPartialMismatch);

  // A kept file whose blocks fail their CRCs is continued only from before the damage;
  // one whose heading is not readable is ignored and the download starts afresh.
  std::string damaged = kept;
  damaged[damaged.size() - 100] ^= 0x01;  // inside the last kept block
  ASSERT_TRUE(SaveFileAtomically(keptPath_, damaged, nullptr));
  ASSERT_EQ(Download("y.mfd", DownloadKind::kMfd, true), kDownloadOk);
  EXPECT_EQ(Read("y.mfd"), clean);
  ASSERT_TRUE(SaveFileAtomically(keptPath_, "junk", nullptr));
  ASSERT_EQ(Download("z.mfd", DownloadKind::kMfd, true), kDownloadOk);
  EXPECT_EQ(Read("z.mfd"), clean);
}

}  // namespace
}  // namespace tervane::vendor
