// The termios scanner port on a pseudo-terminal pair.
#include "core/fiscalmemory/pdf417_scanner_port.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <future>

namespace tervane {
namespace {

class PtyPair {
 public:
  PtyPair() {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) == 0) path_ = name;
  }
  ~PtyPair() {
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
  }
  int master() const { return master_; }
  int slave() const { return slave_; }
  const std::string& path() const { return path_; }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

TEST(SerialScannerPort, AppliesTheLineSettingsAndIsExclusive) {
  PtyPair pty;
  ASSERT_FALSE(pty.path().empty());
  ScannerLineSettings line;
  line.portName = pty.path();
  line.baudRate = 9600;
  line.dataBits = 7;
  line.parity = ScannerParity::kOdd;
  line.stopBits = ScannerStopBits::kOneAndHalf;
  line.hardwareHandshake = true;
  SerialScannerPort port;
  std::string error;
  ASSERT_TRUE(port.Open(line, &error)) << error;

  termios t{};
  ASSERT_EQ(::tcgetattr(pty.slave(), &t), 0);
  // A pseudo-terminal keeps 8 data bits and no parity enable whatever is asked; the
  // rest of the settings it keeps as given.
  EXPECT_NE(t.c_cflag & PARODD, 0u);
  EXPECT_NE(t.c_cflag & CSTOPB, 0u) << "1.5 stop bits are applied as 2";
  EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(::cfgetispeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);

  SerialScannerPort other;
  EXPECT_FALSE(other.Open(line, &error));
  EXPECT_EQ(error, "Device or resource busy");

  SerialScannerPort missing;
  line.portName = "/nonexistent/tty";
  EXPECT_FALSE(missing.Open(line, &error));
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_TRUE(port.Close(&error));
}

TEST(SerialScannerPort, WaitsForBytesReadsAllHeldAndWakesOnInterrupt) {
  PtyPair pty;
  ASSERT_FALSE(pty.path().empty());
  ScannerLineSettings line;
  line.portName = pty.path();
  SerialScannerPort port;
  std::string error;
  ASSERT_TRUE(port.Open(line, &error)) << error;

  const std::string bytes(3000, 'Z');
  ASSERT_EQ(::write(pty.master(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  EXPECT_EQ(port.WaitEvent() & kScannerReceived, kScannerReceived);
  std::vector<std::uint8_t> held;
  // The pseudo-terminal may hand the bytes over in parts; every part comes on a read.
  for (int i = 0; i < 50 && held.size() < bytes.size(); ++i) {
    EXPECT_TRUE(port.ReadHeld(held));
    if (held.size() < bytes.size()) ::usleep(2000);
  }
  EXPECT_EQ(held.size(), bytes.size());

  auto waiting = std::async(std::launch::async, [&] { return port.WaitEvent(); });
  EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  port.Interrupt();
  ASSERT_EQ(waiting.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(waiting.get(), kScannerStopped);
  EXPECT_EQ(port.WaitEvent(), kScannerStopped) << "stays stopped until resumed";

  port.Resume();
  ASSERT_EQ(::write(pty.master(), "A", 1), 1);
  EXPECT_EQ(port.WaitEvent() & kScannerReceived, kScannerReceived);
  EXPECT_TRUE(port.Close(&error));
  EXPECT_EQ(port.WaitEvent(), kScannerStopped);
}

}  // namespace
}  // namespace tervane
