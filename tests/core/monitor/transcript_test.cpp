// Transcripts written and read back, and the forwarding loop between two descriptors.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/monitor/exchange_decoder.h"
#include "core/monitor/pass_through.h"
#include "core/monitor/transcript.h"

namespace tervane {
namespace {

TEST(Transcript, LinesReadBackWithTheirBytesAndBadLinesAreSkipped) {
  CommandCatalogue empty;
  const WireBytes command{0x02, 0x05, 0x00, 0x1B, 0x23, 0x3C, 0x7A, 0x00};
  const WireBytes reply{0x15};
  const std::string line =
      TranscriptLine(DecodeExchange(empty, command, reply), ExchangeContextInfo{"2026-01-02T03:04:05.006Z", "COM1:", 7});
  const std::string text = line + "\n\nnot json\n{\"command\":\"zz\",\"reply\":\"\"}\n[1,2]\n" + line;
  std::vector<TranscriptEntry> entries;
  std::vector<std::string> problems;
  EXPECT_EQ(ParseTranscript(text, entries, &problems), 3);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].command, command);
  EXPECT_EQ(entries[0].reply, reply);
  EXPECT_EQ(entries[0].port, "COM1:");
  EXPECT_EQ(entries[0].roundTripMs, 7);
  EXPECT_EQ(entries[1].line, 6);
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_EQ(problems[0].rfind("line 3:", 0), 0u);
  EXPECT_EQ(IsoUtcTime(CivilTime{2026, 1, 2, 3, 4, 5, 6}), "2026-01-02T03:04:05.006Z");
}

TEST(Transcript, WriterPutsTheFileInPlaceOnlyWhenClosed) {
  const std::string dir = std::filesystem::temp_directory_path() / ("tervane-transcript-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/session.jsonl";
  {
    TranscriptWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(path, &error)) << error;
    EXPECT_TRUE(writer.Write("{\"command\":\"02\",\"reply\":\"\"}"));
    EXPECT_TRUE(std::filesystem::exists(path + ".part"));
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_TRUE(writer.Close(&error)) << error;
    EXPECT_EQ(writer.Lines(), 1);
  }
  std::vector<TranscriptEntry> entries;
  std::string error;
  EXPECT_EQ(ReadTranscriptFile(path, entries, nullptr, &error), 0);
  EXPECT_EQ(entries.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
  EXPECT_EQ(ReadTranscriptFile(dir + "/missing.jsonl", entries, nullptr, &error), -1);
  TranscriptWriter nowhere;
  EXPECT_FALSE(nowhere.Open(dir + "/no/such/folder/x.jsonl", &error));
  std::filesystem::remove_all(dir);
}

// Two socket pairs: the test plays the point-of-sale program on one and the printer on
// the other; the loop runs between the far ends.
class Forwarding : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, pos_), 0);
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, printer_), 0);
  }
  void TearDown() override {
    for (int fd : {pos_[0], pos_[1], printer_[0], printer_[1]}) {
      if (fd >= 0) ::close(fd);
    }
  }
  static std::string ReadAll(int fd, std::size_t want) {
    std::string got;
    for (int i = 0; i < 200 && got.size() < want; ++i) {
      char buffer[8192];
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
      else std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return got;
  }
  int pos_[2] = {-1, -1};
  int printer_[2] = {-1, -1};
};

TEST_F(Forwarding, EveryByteArrivesUnchangedBothWaysAndIsObserved) {
  PassThrough run(pos_[1], printer_[1], SystemClock());
  std::string seenFromPos, seenFromPrinter;
  run.fromPos = [&](const std::uint8_t* d, std::size_t n) { seenFromPos.append(reinterpret_cast<const char*>(d), n); };
  run.fromPrinter = [&](const std::uint8_t* d, std::size_t n) {
    seenFromPrinter.append(reinterpret_cast<const char*>(d), n);
  };
  PassThroughEnd end = PassThroughEnd::kError;
  std::thread loop([&] { end = run.Run(); });

  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  all += all;
  ASSERT_EQ(::write(pos_[0], all.data(), all.size()), static_cast<ssize_t>(all.size()));
  EXPECT_EQ(ReadAll(printer_[0], all.size()), all);
  const std::string back = "\x06\x00\x15\x03\x02";
  ASSERT_EQ(::write(printer_[0], back.data(), back.size()), static_cast<ssize_t>(back.size()));
  EXPECT_EQ(ReadAll(pos_[0], back.size()), back);
  run.Stop();
  loop.join();
  EXPECT_EQ(end, PassThroughEnd::kStopped);
  EXPECT_EQ(seenFromPos, all);
  EXPECT_EQ(seenFromPrinter, back);
  EXPECT_EQ(run.Counts().toPrinter, all.size());
  EXPECT_EQ(run.Counts().toPos, back.size());
}

TEST_F(Forwarding, APrinterSideThatGoesAwayEndsTheRun) {
  PassThrough run(pos_[1], printer_[1], SystemClock());
  ::close(printer_[0]);
  printer_[0] = -1;
  EXPECT_EQ(run.Run(), PassThroughEnd::kPrinterGone);
}

TEST_F(Forwarding, APointOfSaleHangupAsksForTheNextConnection) {
  PassThrough run(pos_[1], printer_[1], SystemClock());
  int asked = 0;
  run.posHangup = [&] {
    ++asked;
    return -1;
  };
  ::close(pos_[0]);
  pos_[0] = -1;
  EXPECT_EQ(run.Run(), PassThroughEnd::kPosGone);
  EXPECT_EQ(asked, 1);
}

}  // namespace
}  // namespace tervane
