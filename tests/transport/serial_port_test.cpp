#include "transport/serial_port.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>

#include <thread>

#include "support/fake_clock.h"
#include "transport/fd_wait.h"
#include "transport_test_util.h"

namespace tervane {
namespace {

using testing::CountOpenFds;
using testing::ElapsedMs;
using testing::PtyPair;
using Steady = std::chrono::steady_clock;

double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

TEST(SerialPort, MovesEveryByteValueUnchangedBothWays) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  CSerialPort port(pty.slave, SystemClock());
  ASSERT_TRUE(port.Open(9600));

  // Bytes a cooked line would eat or rewrite: NUL, XON/XOFF, CR, LF, DEL, break-ish 0xFF.
  const std::vector<std::uint8_t> tricky = {0x02, 0x00, 0x11, 0x13, 0x0D, 0x0A, 0x7F, 0xFF, 0x03, 0x1B, 0x04};
  ASSERT_TRUE(pty.Write(tricky));
  std::vector<std::uint8_t> got(tricky.size());
  ASSERT_TRUE(port.Receive(got.data(), static_cast<int>(got.size()), 2000));
  EXPECT_EQ(got, tricky);

  ASSERT_TRUE(port.Send(tricky.data(), static_cast<int>(tricky.size()), 20000));
  EXPECT_EQ(pty.Read(tricky.size()), tricky);

  // Purge throws away what the printer sent and nobody read.
  ASSERT_TRUE(pty.Write({1, 2, 3}));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(port.Purge());
  ASSERT_TRUE(pty.Write({9}));
  std::uint8_t one = 0;
  ASSERT_TRUE(port.Receive(&one, 1, 2000));
  EXPECT_EQ(one, 9);

  std::uint32_t count = 7;
  EXPECT_FALSE(port.WriteRequest(tricky.data(), 1, &count));
  EXPECT_EQ(count, 0u);
  EXPECT_FALSE(port.ReadReply(got.data(), 1, &count));
}

TEST(SerialPort, AppliesLineSettingsAndRestoresThemOnClose) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  // A line left cooked at 1200 baud, one stop bit, seven data bits, by someone else.
  {
    const int fd = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    t.c_lflag |= ICANON | ECHO;
    t.c_iflag |= IXON | ICRNL;
    t.c_cflag = (t.c_cflag & ~(CSIZE | CSTOPB)) | CS7 | PARENB;
    ::cfsetispeed(&t, B1200);
    ::cfsetospeed(&t, B1200);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);
    ::close(fd);
  }
  termios before{};
  ASSERT_EQ(::tcgetattr(pty.master, &before), 0);  // the master reports the slave's settings

  CSerialPort port(pty.slave, SystemClock());
  ASSERT_TRUE(port.Open(9600));
  termios open{};
  ASSERT_EQ(::tcgetattr(pty.master, &open), 0);
  EXPECT_EQ(open.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_NE(open.c_cflag & CSTOPB, 0u) << "two stop bits";
  EXPECT_EQ(open.c_cflag & (PARENB | CRTSCTS), 0u);
  EXPECT_EQ(open.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(open.c_iflag & (IXON | IXOFF | ICRNL), 0u);
  EXPECT_EQ(open.c_oflag & OPOST, 0u);
  EXPECT_EQ(::cfgetospeed(&open), static_cast<speed_t>(B9600));

  port.Close();
  termios after{};
  ASSERT_EQ(::tcgetattr(pty.master, &after), 0);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(::cfgetospeed(&after), static_cast<speed_t>(B1200));
}

TEST(SerialPort, ReadGivesUpAfterTheLineTimeOutNotTheCallersAndTakesLateBytes) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  CSerialPort port(pty.slave, SystemClock());
  ASSERT_TRUE(port.Open(9600));

  // The caller's 10 ms is ignored: the one-byte read waits its 1005 ms.
  std::uint8_t byte = 0;
  auto start = Steady::now();
  const double cpuBefore = ThreadCpuMs();
  EXPECT_FALSE(port.Receive(&byte, 1, 10));
  const auto waited = ElapsedMs(start);
  EXPECT_GE(waited, 990);
  EXPECT_LT(waited, 1400);
  EXPECT_LT(ThreadCpuMs() - cpuBefore, 100.0) << "the wait must sleep, not spin";
  EXPECT_FALSE(port.HasHungUp());

  // A byte that comes while the read waits ends the wait at once.
  std::thread late([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    pty.Write({0x06});
  });
  start = Steady::now();
  EXPECT_TRUE(port.Receive(&byte, 1, 10));
  late.join();
  EXPECT_EQ(byte, 0x06);
  EXPECT_LT(ElapsedMs(start), 600);
}

TEST(SerialPort, HangUpFailsPromptlyWithoutSpinningAndReleasesOnClose) {
  const int fdsBefore = CountOpenFds();
  {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    CSerialPort port(pty.slave, SystemClock());
    ASSERT_TRUE(port.Open(9600));

    // The other end goes away while a read waits.
    std::thread unplug([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      pty.CloseMaster();
    });
    std::uint8_t byte = 0;
    const auto start = Steady::now();
    const double cpuBefore = ThreadCpuMs();
    EXPECT_FALSE(port.Receive(&byte, 1, 2000));
    unplug.join();
    EXPECT_LT(ElapsedMs(start), 600);
    EXPECT_TRUE(port.HasHungUp());

    // From now on everything fails at once, without touching the device.
    const auto again = Steady::now();
    for (int i = 0; i < 1000; ++i) EXPECT_FALSE(port.Receive(&byte, 1, 2000));
    EXPECT_FALSE(port.Send(&byte, 1, 20000));
    EXPECT_FALSE(port.Purge());
    EXPECT_LT(ElapsedMs(again), 200);
    EXPECT_LT(ThreadCpuMs() - cpuBefore, 150.0);

    port.Close();
    EXPECT_FALSE(port.IsOpen());
    port.Close();  // twice is harmless

    // Gone before anything noticed: Close alone still gives everything back.
    PtyPair other;
    ASSERT_TRUE(other.ok());
    CSerialPort quiet(other.slave, SystemClock());
    ASSERT_TRUE(quiet.Open(9600));
    ASSERT_TRUE(quiet.Send(&byte, 1, 20000));
    other.CloseMaster();
    const auto closing = Steady::now();
    quiet.Close();
    EXPECT_LT(ElapsedMs(closing), 500);
  }
  EXPECT_EQ(CountOpenFds(), fdsBefore);
}

TEST(SerialPort, FailedOpensHoldNothing) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  testing::TempDir dir;
  const std::string plainFile = dir / "not-a-tty";
  ::close(::open(plainFile.c_str(), O_CREAT | O_WRONLY, 0600));
  const int fdsBefore = CountOpenFds();

  EXPECT_FALSE(CSerialPort("/dev/tervane-no-such-device", SystemClock()).Open(9600));
  EXPECT_FALSE(CSerialPort(plainFile, SystemClock()).Open(9600));
  EXPECT_FALSE(CSerialPort("", SystemClock()).Open(9600));
  EXPECT_FALSE(CSerialPort(pty.slave, SystemClock()).Open(12345)) << "no such baud rate";
  EXPECT_EQ(CountOpenFds(), fdsBefore);

  // None of them left the device locked.
  CSerialPort port(pty.slave, SystemClock());
  EXPECT_TRUE(port.Open(9600));
  EXPECT_FALSE(port.Open(9600)) << "already open";
  EXPECT_TRUE(port.IsOpen());
  port.Close();
  EXPECT_EQ(CountOpenFds(), fdsBefore);
}

TEST(SerialPort, HoldsTheDeviceExclusivelyUntilClosedOrTheHolderDies) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  const int fdsBefore = CountOpenFds();

  {
    CSerialPort first(pty.slave, SystemClock());
    ASSERT_TRUE(first.Open(9600));
    CSerialPort second(pty.slave, SystemClock());
    EXPECT_FALSE(second.Open(9600));
    first.Close();
    EXPECT_TRUE(second.Open(9600));
  }  // the destructor closes
  EXPECT_EQ(CountOpenFds(), fdsBefore);

  // Another process holds it, then is killed without closing anything.
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    CSerialPort held(pty.slave, SystemClock());
    const char ok = held.Open(9600) ? '1' : '0';
    (void)!::write(ready[1], &ok, 1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ::close(ready[0]);
  ASSERT_EQ(ok, '1');

  CSerialPort mine(pty.slave, SystemClock());
  EXPECT_FALSE(mine.Open(9600)) << "held by the other process";
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_TRUE(mine.Open(9600));
}

TEST(SerialPort, ComNameOpensTheDeviceTheMapGives) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  testing::ScopedEnv com3("TERVANE_COM3", pty.slave);
  CSerialPort port("COM3:", SystemClock());
  ASSERT_TRUE(port.Open(9600));
  EXPECT_EQ(port.DevicePath(), pty.slave);
  EXPECT_EQ(port.Name(), "COM3:");
  ASSERT_TRUE(port.Send(reinterpret_cast<const std::uint8_t*>("\x05"), 1, 20000));
  EXPECT_EQ(pty.Read(1), std::vector<std::uint8_t>{0x05});
}

TEST(FdWait, EndsOnAClockThatOnlyMovesWhenSlept) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  testing::FakeClock clock;
  const std::int64_t start = clock.MonotonicMs();
  EXPECT_EQ(WaitForFd(pty.master, POLLIN, start + 40, clock), FdWaitResult::kTimeout);
  EXPECT_GE(clock.MonotonicMs(), start + 40);

  const int slave = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  ASSERT_EQ(::write(slave, "x", 1), 1);
  EXPECT_EQ(WaitForFd(pty.master, POLLIN, clock.MonotonicMs() + 1000, clock), FdWaitResult::kReady);
  ::close(slave);
}

}  // namespace
}  // namespace tervane
