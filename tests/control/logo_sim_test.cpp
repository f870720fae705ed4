// The uploader against the simulated printer's engine: the whole road from a picture
// and four lines to the logo the printer keeps, the printer's refusals as the user
// reads them, and the PNG the simulator writes of a kept logo.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdio>
#include <deque>
#include <fstream>
#include <iterator>

#include "control/logo_package.h"
#include "control/package_manager.h"
#include "sim/command_handler.h"
#include "sim/logo_store.h"
#include "support/fake_clock.h"
#include "support/process_temp_dir.h"

namespace tervane {
namespace {

using testing::FakeClock;

// A line whose far end is the simulator's engine.
class EngineLine final : public LogoLine {
 public:
  EngineLine(sim::CommandHandler& handler, FakeClock& clock) : handler_(handler), clock_(clock) {}
  bool Open(const std::string&) override { return open_ = true; }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  int WriteSome(const std::uint8_t* data, int size, int) override {
    if (!open_) return -1;
    for (const auto& event : assembler_.Feed(data, static_cast<std::size_t>(size), clock_.MonotonicMs())) {
      const sim::Bytes reply = event.kind == sim::FrameAssembler::EventKind::kFrame ? handler_.Handle(event.frame)
                                                                                     : sim::Bytes{sim::kNak};
      pending_.insert(pending_.end(), reply.begin(), reply.end());
    }
    return size;
  }
  int ReadSome(std::uint8_t* buffer, int size, int waitMs) override {
    if (!open_) return -1;
    if (pending_.empty()) {
      clock_.Advance(waitMs);
      return 0;
    }
    int n = 0;
    while (n < size && !pending_.empty()) {
      buffer[n++] = pending_.front();
      pending_.pop_front();
    }
    return n;
  }
  bool Purge() override {
    pending_.clear();
    assembler_.Reset();
    return open_;
  }

 private:
  sim::CommandHandler& handler_;
  FakeClock& clock_;
  sim::FrameAssembler assembler_;
  std::deque<std::uint8_t> pending_;
  bool open_ = false;
};

class LogoSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetStoredLogoCrc(0);
    state.intervention = true;
    ASSERT_TRUE(manager.OpenPort("COM1:"));
  }
  static MonoImage Picture() {
    MonoImage image = MonoImage::White(100, 50);
    for (int y = 0; y < 50; ++y) {
      for (int x = 0; x < 100; ++x) image.Set(x, y, (x * x + 3 * y) % 7 == 0 || x == y);
    }
    return image;
  }

  FakeClock clock;
  sim::PrinterState state;
  sim::CommandHandler handler{state, clock};
  EngineLine line{handler, clock};
  PackageManager manager{line, clock, nullptr, LogoLanguage::kEnglish};
};

TEST_F(LogoSimTest, UploadedAndConfirmedLogoIsKeptAsComposed) {
  int kept = 0;
  handler.onLogoKept = [&] { ++kept; };
  const MonoImage picture = Picture();
  ASSERT_EQ(manager.Upload(picture, "ACME LTDA", "Loja Centro", "Rua A, 1", ""), kLogoOk);
  EXPECT_TRUE(state.logo.PendingComplete());
  EXPECT_EQ(kept, 0);  // nothing kept before the confirmation
  ASSERT_EQ(manager.Confirm(), kLogoOk);
  EXPECT_EQ(kept, 1);
  EXPECT_EQ(state.logo.slotsFree, 7);

  const sim::DecodedLogo logo = sim::DecodeLogo(state.logo.kept);
  EXPECT_EQ(logo.lines[0], "ACME LTDA");
  EXPECT_EQ(logo.lines[2], "Rua A, 1");
  EXPECT_EQ(logo.lines[3], "");
  ASSERT_EQ(logo.height, 72);  // three stripes
  int mismatches = 0;
  for (int y = 0; y < logo.height; ++y) {
    for (int x = 0; x < logo.width; ++x) {
      mismatches += (logo.pixels[static_cast<std::size_t>(y) * logo.width + x] != 0) != picture.Black(x, y);
    }
  }
  EXPECT_EQ(mismatches, 0);

  // A second confirmation has nothing left to confirm.
  EXPECT_EQ(manager.Confirm(), kLogoPrinterError);
  EXPECT_EQ(manager.ErrorText(), "No logo available to save!");
}

TEST_F(LogoSimTest, PrinterRefusalsReachTheUser) {
  state.intervention = false;
  EXPECT_EQ(manager.Upload(Picture(), "A", "B", "C", ""), kLogoPrinterError);
  EXPECT_EQ(manager.ErrorText(), "Operation permited only during technical intervention!");

  state.intervention = true;
  state.logo.slotsFree = 0;
  EXPECT_EQ(manager.Upload(Picture(), "A", "B", "C", ""), kLogoPrinterError);
  EXPECT_EQ(manager.ErrorText(), "No more free space for logo storage!");

  // A confirmation naming another CRC is refused and keeps nothing.
  state.logo.slotsFree = 3;
  ASSERT_EQ(manager.Upload(Picture(), "A", "B", "C", ""), kLogoOk);
  SetStoredLogoCrc(static_cast<std::uint16_t>(StoredLogoCrc() ^ 0x0100));
  EXPECT_EQ(manager.Confirm(), kLogoPrinterError);
  EXPECT_EQ(manager.ErrorText(), "Execution error: 213");
  EXPECT_TRUE(state.logo.kept.empty());
}

TEST(LogoStore, PacketOrderIsEnforced) {
  sim::LogoStore store;
  const std::uint8_t data[3] = {1, 2, 3};
  EXPECT_EQ(store.TakePacket(2, 3, data, 3), sim::kLogoPacketOutOfOrder);  // no first packet
  EXPECT_EQ(store.TakePacket(1, 3, data, 3), 0);
  EXPECT_EQ(store.TakePacket(3, 3, data, 3), sim::kLogoPacketOutOfOrder);  // skipped 2
  EXPECT_EQ(store.TakePacket(2, 3, data, 3), sim::kLogoPacketOutOfOrder);  // upload was dropped
  EXPECT_EQ(store.TakePacket(1, 2, data, 3), 0);
  EXPECT_EQ(store.TakePacket(2, 3, data, 3), sim::kLogoPacketOutOfOrder);  // count changed
  EXPECT_EQ(store.Confirm(0, 0), sim::kLogoNothingToConfirm);
  // A new first packet restarts the upload.
  EXPECT_EQ(store.TakePacket(1, 1, data, 3), 0);
  const std::uint16_t crc = sim::LogoCrc(data, 3);
  EXPECT_EQ(crc, Crc16Kermit(data, 3));  // printer and uploader agree
  EXPECT_EQ(store.Confirm(static_cast<std::uint8_t>(crc % 255), static_cast<std::uint8_t>(crc / 255)), 0);
  EXPECT_EQ(store.kept, (sim::LogoBytes{1, 2, 3}));
}

TEST(LogoPng, WrittenPictureReadsBack) {
  sim::DecodedLogo logo;
  logo.width = 10;
  logo.height = 3;
  logo.pixels.assign(30, 0);
  logo.pixels[1 * 10 + 9] = 1;  // row 1, last column black
  const std::string path = tervane::testing::ProcessTempPath("logo_png_test.png");
  std::string error;
  ASSERT_TRUE(sim::WriteLogoPng(logo, path, &error)) << error;

  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(std::vector<std::uint8_t>(png.begin(), png.begin() + 8),
            (std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}));
  auto big32 = [&](std::size_t at) {
    return (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
  };
  EXPECT_EQ(big32(16), 10);  // IHDR width
  EXPECT_EQ(big32(20), 3);   // height
  EXPECT_EQ(png[24], 1);     // one bit per pixel
  // Every chunk's CRC holds; the IDAT inflates to 3 rows of filter byte + 2 bytes.
  std::size_t at = 8;
  std::vector<std::uint8_t> rows(9);
  while (at + 12 <= png.size()) {
    const std::size_t length = static_cast<std::size_t>(big32(at));
    const uLong crc = crc32(0, png.data() + at + 4, static_cast<uInt>(length + 4));
    EXPECT_EQ(static_cast<std::uint32_t>(big32(at + 8 + length)), static_cast<std::uint32_t>(crc));
    if (std::equal(png.begin() + static_cast<long>(at) + 4, png.begin() + static_cast<long>(at) + 8, "IDAT")) {
      uLongf size = rows.size();
      ASSERT_EQ(uncompress(rows.data(), &size, png.data() + at + 8, static_cast<uLong>(length)), Z_OK);
      EXPECT_EQ(size, 9u);
    }
    at += length + 12;
  }
  EXPECT_EQ(at, png.size());
  EXPECT_EQ(rows[0 * 3 + 1], 0xFF);  // row 0: white
  EXPECT_EQ(rows[1 * 3 + 2], 0xBF);  // row 1: column 9 black (bit 6 clear), padding white
  std::remove(path.c_str());

  EXPECT_FALSE(sim::WriteLogoPng(logo, "/nonexistent/dir/logo.png", &error));
}

}  // namespace
}  // namespace tervane
