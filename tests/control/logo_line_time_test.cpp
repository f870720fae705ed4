// The uploader on a line of real speed: a write returns as soon as the driver has the
// bytes, but the printer only sees a packet (and answers it) once the packet has crossed
// the 9600-baud line. Full packets take longer than the reply time limit alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <vector>

#include "control/package_manager.h"
#include "support/fake_clock.h"

namespace tervane {
namespace {

using testing::FakeClock;

// Takes every write at once; a packet's ACK becomes readable when its bytes would have
// left at 9600 baud (8N1) after the previous ones.
class NineSixHundredLine final : public LogoLine {
 public:
  explicit NineSixHundredLine(FakeClock& clock) : clock_(clock) {}
  bool Open(const std::string&) override { return open_ = true; }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  int WriteSome(const std::uint8_t* data, int size, int) override {
    if (!open_) return -1;
    lineFreeUs_ = std::max(lineFreeUs_, clock_.MonotonicMs() * 1000) + static_cast<std::int64_t>(size) * 10'000'000 / 9600;
    if (size >= 10 && data[3] == 0x1C && data[4] == 0x3E && data[5] == 0x41) {
      for (std::uint8_t b : {0x06, 0x00, 0x00, 0x00, 0x00}) replies_.push_back({b, lineFreeUs_});
    }
    return size;
  }
  int ReadSome(std::uint8_t* buffer, int size, int waitMs) override {
    if (!open_) return -1;
    const std::int64_t nowUs = clock_.MonotonicMs() * 1000;
    if (replies_.empty() || replies_.front().dueUs > nowUs) {
      // A read call returns when the first byte arrives or its wait is over.
      const std::int64_t untilDueMs = replies_.empty() ? waitMs : (replies_.front().dueUs - nowUs + 999) / 1000;
      clock_.Advance(static_cast<int>(std::min<std::int64_t>(waitMs, untilDueMs)));
      return 0;
    }
    int n = 0;
    while (n < size && !replies_.empty() && replies_.front().dueUs <= nowUs) {
      buffer[n++] = replies_.front().byte;
      replies_.pop_front();
    }
    return n;
  }
  bool Purge() override {
    replies_.clear();
    return open_;
  }

 private:
  struct Due {
    std::uint8_t byte;
    std::int64_t dueUs;
  };
  FakeClock& clock_;
  bool open_ = false;
  std::int64_t lineFreeUs_ = 0;
  std::deque<Due> replies_;
};

TEST(UploadOnASlowLine, FullPacketsAreAnsweredAfterTheyCrossTheLine) {
  FakeClock clock;
  NineSixHundredLine line(clock);
  PackageManager manager(line, clock, nullptr, LogoLanguage::kEnglish);
  ASSERT_TRUE(manager.OpenPort("COM1:"));
  // 12096 bytes: thirteen packets of 890 bytes on the line (927 ms each) and one of 666.
  const std::vector<std::uint8_t> data(12096, 0x55);
  const std::int64_t start = clock.MonotonicMs();
  EXPECT_EQ(manager.UploadData(data), kLogoOk);
  // Line time of everything sent, the unanswered wake-up's 800 ms, and little more.
  const std::int64_t lineMs = (8 + 12096 + 14 * 10) * 10 * 1000 / 9600;
  EXPECT_LT(clock.MonotonicMs() - start, lineMs + 800 + 200);
}

}  // namespace
}  // namespace tervane
