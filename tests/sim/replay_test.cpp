// Answering from a recorded session: recorded frames get their recorded replies in
// order, the last again once they run out; other frames the printer's own answer.
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "core/monitor/transcript.h"
#include "sim/replay_book.h"
#include "sim_fixture.h"

namespace tervane::sim::testing {
namespace {

class ReplayTest : public SimTest {
 protected:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() / ("tervane-replay-" + std::to_string(::getpid()) + ".jsonl");
  }
  void TearDown() override { std::filesystem::remove(path_); }
  void Record(const std::vector<std::pair<Bytes, Bytes>>& exchanges, const std::string& extra = {}) {
    std::ofstream out(path_);
    CommandCatalogue none;
    for (const auto& [command, reply] : exchanges) {
      out << TranscriptLine(DecodeExchange(none, command, reply), {"2026-01-01T00:00:00.000Z", "COM1:", 1}) << "\n";
    }
    out << extra;
  }
  std::string path_;
};

TEST_F(ReplayTest, RepeatedFramesAreAnsweredInTheRecordedOrder) {
  const Bytes model = Frame({0x23, 0x3C});
  const Bytes first{0x06, 0x41, 0x00, 0x00}, second{0x06, 0x42, 0x00, 0x00};
  Record({{model, first}, {model, second}, {Frame({0x23, 0x14}), {}}}, "garbage line\n");
  ReplayBook book;
  std::string error;
  int skipped = 0;
  ASSERT_TRUE(book.Load(path_, &error, &skipped)) << error;
  EXPECT_EQ(skipped, 1);
  EXPECT_EQ(book.Size(), 2u) << "a frame recorded without a reply is left to the printer";
  handler.recordedReply = [&book](const Bytes& frame, Bytes* reply) { return book.Answer(frame, reply); };
  EXPECT_EQ(handler.Handle(model), first);
  EXPECT_EQ(handler.Handle(model), second);
  EXPECT_EQ(handler.Handle(model), second);
  // Not recorded (or recorded with no reply): the printer's own answer.
  const Bytes probe = handler.Handle(Frame({0x23, 0x14}));
  ASSERT_FALSE(probe.empty());
  EXPECT_EQ(probe[0], 0x06);
  EXPECT_EQ(handler.Handle(Frame({0x23, 0x3C}, "", true)).size(), 47u);

  ReplayBook missing;
  EXPECT_FALSE(missing.Load(path_ + ".none", &error));
}

}  // namespace
}  // namespace tervane::sim::testing
