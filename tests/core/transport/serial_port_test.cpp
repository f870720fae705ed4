#include "core/transport/serial_port.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>

#include <thread>

#include "support/fake_clock.h"
#include "core/transport/fd_wait.h"
#include "core/transport/transport_test_util.h"

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

void DropPrivileges() {
  if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
}

bool OpensInChild(const std::string& device) {
  const pid_t child = ::fork();
  if (child == 0) {
    DropPrivileges();
    ::_exit(CSerialPort(device, SystemClock()).Open(9600) ? 0 : 1);
  }
  int status = -1;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(SerialPort, RawLineBothWaysAndSettingsRestoredOnClose) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  termios before{};
  ASSERT_EQ(::tcgetattr(pty.master, &before), 0);  // the master reports the slave's settings
  ASSERT_NE(before.c_lflag & ICANON, 0u);

  CSerialPort port(pty.slave, SystemClock());
  ASSERT_TRUE(port.Open(9600));
  termios open{};
  ASSERT_EQ(::tcgetattr(pty.master, &open), 0);
  EXPECT_EQ(open.c_cflag & (CSIZE | CSTOPB | PARENB | CRTSCTS), static_cast<tcflag_t>(CS8 | CSTOPB));
  EXPECT_EQ(::cfgetospeed(&open), static_cast<speed_t>(B9600));

  // Bytes a cooked line would eat or rewrite: NUL, XON/XOFF, CR, LF, DEL, FFh.
  const std::vector<std::uint8_t> tricky = {0x02, 0x00, 0x11, 0x13, 0x0D, 0x0A, 0x7F, 0xFF, 0x03};
  ASSERT_TRUE(pty.Write(tricky));
  std::vector<std::uint8_t> got(tricky.size());
  ASSERT_TRUE(port.Receive(got.data(), int(got.size()), 2000));
  EXPECT_EQ(got, tricky);
  ASSERT_TRUE(port.Send(tricky.data(), int(tricky.size()), 20000));
  EXPECT_EQ(pty.Read(tricky.size()), tricky);

  // Purge throws away what arrived unread.
  ASSERT_TRUE(pty.Write({1, 2, 3}));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(port.Purge());
  ASSERT_TRUE(pty.Write({9}));
  ASSERT_TRUE(port.Receive(got.data(), 1, 2000));
  EXPECT_EQ(got[0], 9);

  port.Close();
  termios after{};
  ASSERT_EQ(::tcgetattr(pty.master, &after), 0);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
}

TEST(SerialPort, ReadWaitsTheLineTimeOutAsleepAndTakesLateBytes) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  CSerialPort port(pty.slave, SystemClock());
  ASSERT_TRUE(port.Open(9600));

  std::uint8_t byte = 0;
  auto start = Steady::now();
  const double cpu = ThreadCpuMs();
  EXPECT_FALSE(port.Receive(&byte, 1, 2000)) << "the line's 1005 ms bound a longer wait";
  EXPECT_GE(ElapsedMs(start), 990);
  EXPECT_LT(ElapsedMs(start), 1400);
  EXPECT_LT(ThreadCpuMs() - cpu, 100.0) << "the wait must sleep, not spin";
  start = Steady::now();
  EXPECT_FALSE(port.Receive(&byte, 1, 10)) << "a shorter wait asked for is kept (the drain's)";
  EXPECT_GE(ElapsedMs(start), 9);
  EXPECT_LT(ElapsedMs(start), 300);
  EXPECT_FALSE(port.LinkLost()) << "a silent line that is still there is not a lost one";

  std::thread late([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    pty.Write({0x06});
  });
  start = Steady::now();
  EXPECT_TRUE(port.Receive(&byte, 1, 2000));
  late.join();
  EXPECT_EQ(byte, 0x06);
  EXPECT_LT(ElapsedMs(start), 600);
}

TEST(SerialPort, BytesReadAheadAreHandedOutInOrderAndPurgedWithTheRest) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  CSerialPort port(pty.slave, SystemClock());
  ASSERT_TRUE(port.Open(9600));
  std::uint8_t byte = 0;

  // The reply arrives whole and is read a byte at a time; the rest is not lost.
  ASSERT_TRUE(pty.Write({1, 2, 3, 4}));
  std::vector<std::uint8_t> got;
  for (int i = 0; i < 4 && port.Receive(&byte, 1, 2000); ++i) got.push_back(byte);
  EXPECT_EQ(got, (std::vector<std::uint8_t>{1, 2, 3, 4}));

  // Bytes taken from the device but not yet asked for go with a purge.
  ASSERT_TRUE(pty.Write({5, 6, 7}));
  ASSERT_TRUE(port.Receive(&byte, 1, 2000));
  EXPECT_EQ(byte, 5);
  ASSERT_TRUE(port.Purge());
  ASSERT_TRUE(pty.Write({9}));
  ASSERT_TRUE(port.Receive(&byte, 1, 2000));
  EXPECT_EQ(byte, 9);

  // Bytes that came before a hang-up are still delivered; then the line is gone.
  ASSERT_TRUE(pty.Write({0x0A, 0x0B}));
  ASSERT_TRUE(port.Receive(&byte, 1, 2000));
  pty.CloseMaster();
  ASSERT_TRUE(port.Receive(&byte, 1, 2000));
  EXPECT_EQ(byte, 0x0B);
  const auto start = Steady::now();
  EXPECT_FALSE(port.Receive(&byte, 1, 2000));
  EXPECT_LT(ElapsedMs(start), 500);
  EXPECT_TRUE(port.HasHungUp());
}

TEST(SerialPort, HangUpFailsPromptlyThenFastAndCloseReleasesEverything) {
  const int fdsBefore = CountOpenFds();
  {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    CSerialPort port(pty.slave, SystemClock());
    ASSERT_TRUE(port.Open(9600));
    std::thread unplug([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      pty.CloseMaster();
    });
    std::uint8_t byte = 0;
    const auto start = Steady::now();
    const double cpu = ThreadCpuMs();
    EXPECT_FALSE(port.Receive(&byte, 1, 2000));
    unplug.join();
    EXPECT_LT(ElapsedMs(start), 600);
    EXPECT_TRUE(port.HasHungUp());
    EXPECT_EQ(port.LinkLoss().kind, LinkLossKind::kHangup);
    EXPECT_EQ(port.LinkLoss().device, pty.slave);
    for (int i = 0; i < 1000; ++i) EXPECT_FALSE(port.Receive(&byte, 1, 2000));
    EXPECT_FALSE(port.Send(&byte, 1, 20000));
    EXPECT_FALSE(port.Purge());
    EXPECT_LT(ElapsedMs(start), 700);
    EXPECT_LT(ThreadCpuMs() - cpu, 150.0);
    port.Close();
    port.Close();

    // Gone before anything noticed, with output queued: Close alone gives it all back.
    PtyPair other;
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

TEST(SerialPort, ExclusiveUseAndFailedOpensHoldNothing) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  testing::TempDir dir;
  ::close(::open((dir / "plain").c_str(), O_CREAT | O_WRONLY, 0600));
  const int fdsBefore = CountOpenFds();
  EXPECT_FALSE(CSerialPort("/dev/tervane-no-such-device", SystemClock()).Open(9600));
  EXPECT_FALSE(CSerialPort(dir / "plain", SystemClock()).Open(9600)) << "not a terminal";
  EXPECT_FALSE(CSerialPort(pty.slave, SystemClock()).Open(12345)) << "no such baud rate";
  {
    CSerialPort first(pty.slave, SystemClock());
    ASSERT_TRUE(first.Open(9600));
    EXPECT_FALSE(first.Open(9600)) << "already open";
    testing::ScopedEnv com3("TERVANE_COM3", pty.slave);
    CSerialPort second("COM3:", SystemClock());
    EXPECT_FALSE(second.Open(9600));
    first.Close();
    EXPECT_TRUE(second.Open(9600));
    EXPECT_EQ(second.DevicePath(), pty.slave);
  }  // the destructor closes
  EXPECT_EQ(CountOpenFds(), fdsBefore);

  // Another process holds it, then dies without closing anything. The other processes
  // run unprivileged, as the kernel lets a privileged one past an exclusive device.
  ::chmod(pty.slave.c_str(), 0666);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    DropPrivileges();
    CSerialPort held(pty.slave, SystemClock());
    const char ok = held.Open(9600) ? '1' : '0';
    (void)!::write(ready[1], &ok, 1);
    for (;;) ::pause();
  }
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ::close(ready[0]);
  ::close(ready[1]);
  ASSERT_EQ(ok, '1');
  EXPECT_FALSE(OpensInChild(pty.slave)) << "held by the other process";
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_TRUE(OpensInChild(pty.slave));
}

TEST(FdWait, EndsOnAClockThatOnlyMovesWhenSlept) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  testing::FakeClock clock;
  const std::int64_t start = clock.MonotonicMs();
  EXPECT_EQ(WaitForFd(pty.master, POLLIN, start + 40, clock), FdWaitResult::kTimeout);
  EXPECT_GE(clock.MonotonicMs(), start + 40);
}

}  // namespace
}  // namespace tervane
