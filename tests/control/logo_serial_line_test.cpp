// The uploader's own serial line on a pseudo-terminal: bytes both ways, exclusive use,
// bounded waits, and a far end that goes away.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "core/common/clock.h"
#include "control/logo_line.h"

namespace tervane {
namespace {

class PtyPair {
 public:
  PtyPair() {
    char name[128] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) path = name;
  }
  ~PtyPair() {
    if (master >= 0) ::close(master);
    if (slave >= 0) ::close(slave);
  }
  int master = -1;
  int slave = -1;
  std::string path;
};

TEST(LogoSerialLine, BytesBothWaysAndExclusiveUse) {
  PtyPair pty;
  ASSERT_FALSE(pty.path.empty());
  LogoSerialLine line(SystemClock());
  ASSERT_TRUE(line.Open(pty.path));
  LogoSerialLine other(SystemClock());
  EXPECT_FALSE(other.Open(pty.path));  // not shared

  const std::uint8_t out[] = {0x02, 0x11, 0x13, 0x0A, 0xFF};
  ASSERT_EQ(line.WriteSome(out, 5, 100), 5);
  std::uint8_t seen[5] = {};
  ASSERT_EQ(::read(pty.master, seen, 5), 5);
  EXPECT_EQ(std::memcmp(seen, out, 5), 0);  // raw: no translation of LF, XON or XOFF

  // Nothing there: the call waits about its bound and returns 0.
  std::uint8_t in[5] = {};
  const std::int64_t start = SystemClock().MonotonicMs();
  EXPECT_EQ(line.ReadSome(in, 5, 50), 0);
  EXPECT_GE(SystemClock().MonotonicMs() - start, 45);

  const std::uint8_t reply[] = {0x06, 0x00, 0x00, 0x00, 0x00};
  ASSERT_EQ(::write(pty.master, reply, 5), 5);
  EXPECT_EQ(line.ReadSome(in, 5, 500), 5);
  EXPECT_EQ(in[0], 0x06);

  line.Close();
  EXPECT_TRUE(other.Open(pty.path));  // released on close
}

// The control's default port name is "COM1", the workbench's "COM1:": both are the mapped
// port, never a file of that name in the current folder.
TEST(LogoSerialLine, ComNamesWithAndWithoutTheColonAreTheMappedPort) {
  PtyPair pty;
  ASSERT_FALSE(pty.path.empty());
  ::setenv("TERVANE_COM3", pty.path.c_str(), 1);
  for (const char* name : {"COM3", "COM3:"}) {
    LogoSerialLine line(SystemClock());
    ASSERT_TRUE(line.Open(name)) << name;
    const std::uint8_t out[] = {0x41};
    ASSERT_EQ(line.WriteSome(out, 1, 100), 1) << name;
    std::uint8_t seen = 0;
    ASSERT_EQ(::read(pty.master, &seen, 1), 1) << name;
    EXPECT_EQ(seen, 0x41) << name;
  }
  ::unsetenv("TERVANE_COM3");
  LogoSerialLine line(SystemClock());
  EXPECT_FALSE(line.Open("COM9"));  // not a mapped name: a device path, and none is there
}

TEST(LogoSerialLine, RefusesWhatIsNotATerminalAndNoticesAVanishedPeer) {
  LogoSerialLine line(SystemClock());
  EXPECT_FALSE(line.Open("/dev/null"));
  EXPECT_FALSE(line.Open("/nonexistent/tty"));
  EXPECT_EQ(line.WriteSome(reinterpret_cast<const std::uint8_t*>("x"), 1, 10), -1);

  PtyPair pty;
  ASSERT_TRUE(line.Open(pty.path));
  ::close(pty.master);
  pty.master = -1;
  std::uint8_t in[5];
  EXPECT_EQ(line.ReadSome(in, 5, 200), -1);
}

}  // namespace
}  // namespace tervane
