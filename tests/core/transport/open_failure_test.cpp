// A serial port that will not open keeps why, and the text built from it names the
// device, the cause and the fix: no permission (as an unprivileged user), held by
// another program, missing, not a terminal.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>

#include "core/common/charset.h"
#include "core/transport/open_failure.h"
#include "core/transport/serial_port.h"
#include "core/transport/transport_test_util.h"

namespace tervane::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Steady = std::chrono::steady_clock;

std::string Utf8(const std::string& cp1252) { return Cp1252ToUtf8(cp1252); }

// Runs `body` in a child process with the identity of nobody (uid and gid 65534, no
// supplementary groups) and returns what it wrote to the pipe.
template <typename Body>
std::string AsNobody(Body body) {
  int fds[2];
  if (::pipe(fds) != 0) return "pipe failed";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    std::string out;
    if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
        ::setresuid(65534, 65534, 65534) != 0) {
      out = "could not drop privileges";
    } else {
      out = body();
    }
    (void)!::write(fds[1], out.data(), out.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string out;
  char buffer[512];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(n));
  ::close(fds[0]);
  ::waitpid(child, nullptr, 0);
  return out;
}

TEST(OpenFailure, NoPermissionNamesTheDeviceTheGroupAndTheFix) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  ASSERT_EQ(::chmod(pty.slave.c_str(), 0600), 0);

  const std::string seen = AsNobody([&] {
    CSerialPort port(pty.slave, SystemClock());
    const auto start = Steady::now();
    const bool opened = port.Open(9600);
    const std::int64_t ms = ElapsedMs(start);
    std::string out = opened ? "opened" : "failed";
    out += port.OpenFailure().kind == OpenFailureKind::kPermission ? " permission" : " other";
    out += ms < 100 ? " fast\n" : " slow\n";
    out += Utf8(OpenFailureText("COM3:", port.OpenFailure()));
    out += MayOpenDevice(pty.slave) ? "\nmay" : "\nmay not";
    return out;
  });
  EXPECT_THAT(seen, HasSubstr("failed permission fast\n"));
  EXPECT_THAT(seen, HasSubstr("Não foi possível abrir a porta COM3: (" + pty.slave + "): sem permissão"));
  EXPECT_THAT(seen, HasSubstr("permissões rw-------"));
  EXPECT_THAT(seen, HasSubstr("sudo usermod -aG dialout nobody"));
  EXPECT_THAT(seen, HasSubstr("saia e entre de novo na sessão"));
  EXPECT_THAT(seen, HasSubstr("\nmay not"));
}

TEST(OpenFailure, AGroupThatGrantsAccessIsTheOneToJoin) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to change a file's group";
  const group* plugdev = ::getgrnam("plugdev");
  if (plugdev == nullptr) GTEST_SKIP() << "no plugdev group here";
  TempDir dir;
  const std::string node = dir / "node";
  std::ofstream(node) << "";
  ASSERT_EQ(::chown(node.c_str(), 0, plugdev->gr_gid), 0);
  ASSERT_EQ(::chmod(node.c_str(), 0660), 0);
  EXPECT_EQ(SerialAccessGroup(node), "plugdev");
  // A group that may not write, or root's own: the serial group is named instead.
  ASSERT_EQ(::chmod(node.c_str(), 0640), 0);
  EXPECT_EQ(SerialAccessGroup(node), "dialout");
  ASSERT_EQ(::chown(node.c_str(), 0, 0), 0);
  ASSERT_EQ(::chmod(node.c_str(), 0660), 0);
  EXPECT_EQ(SerialAccessGroup(node), "dialout");
  EXPECT_EQ(SerialAccessGroup(dir / "missing"), "dialout");
}

TEST(OpenFailure, APortHeldByAnotherProgramSaysSoAndNamesIt) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  // Another program takes the device's lock and keeps it until told to go.
  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t holder = ::fork();
  if (holder == 0) {
    const int fd = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    const bool locked = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    (void)!::write(ready[1], locked ? "1" : "0", 1);
    char c;
    (void)!::read(release[0], &c, 1);
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, '1');

  CSerialPort port(pty.slave, SystemClock());
  const auto start = Steady::now();
  EXPECT_FALSE(port.Open(9600));
  EXPECT_LT(ElapsedMs(start), 100);
  EXPECT_EQ(port.OpenFailure().kind, OpenFailureKind::kBusy);
  EXPECT_EQ(port.OpenFailure().device, pty.slave);
  const std::string text = Utf8(OpenFailureText(pty.slave, port.OpenFailure()));
  EXPECT_THAT(text, HasSubstr("em uso por outro programa"));
  EXPECT_THAT(text, HasSubstr("PID " + std::to_string(holder)));
  EXPECT_EQ(FindDeviceHolder(pty.slave).find("PID " + std::to_string(holder)) != std::string::npos, true);

  (void)!::write(release[1], "x", 1);
  ::waitpid(holder, nullptr, 0);
  for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
  // Once it has gone the port opens, and the reason is cleared.
  EXPECT_TRUE(port.Open(9600));
  EXPECT_EQ(port.OpenFailure().kind, OpenFailureKind::kNone);
  port.Close();

  // A port of this same process holds it the same way.
  CSerialPort first(pty.slave, SystemClock());
  ASSERT_TRUE(first.Open(9600));
  CSerialPort second(pty.slave, SystemClock());
  EXPECT_FALSE(second.Open(9600));
  EXPECT_THAT(Utf8(OpenFailureText(pty.slave, second.OpenFailure())),
              HasSubstr("PID " + std::to_string(::getpid())));
}

TEST(OpenFailure, MissingDevicesFoldersFilesAndBadSpeedsAreToldApart) {
  TempDir dir;
  struct Case {
    std::string device;
    int baud;
    OpenFailureKind kind;
    std::string text;
  };
  std::ofstream(dir / "plain") << "x";
  std::vector<Case> cases = {
      {dir / "ttyUSB7", 9600, OpenFailureKind::kMissing, "o dispositivo " + (dir / "ttyUSB7") + " não existe"},
      {dir.path(), 9600, OpenFailureKind::kNotTerminal, "não é uma porta serial"},
      {dir / "plain", 9600, OpenFailureKind::kNotTerminal, "não é uma porta serial"},
      {dir / "plain", 12345, OpenFailureKind::kLineSettings, "recusou a configuração da linha"},
  };
  for (const Case& c : cases) {
    CSerialPort port(c.device, SystemClock());
    EXPECT_FALSE(port.Open(c.baud)) << c.device;
    EXPECT_EQ(port.OpenFailure().kind, c.kind) << c.device;
    EXPECT_THAT(Utf8(OpenFailureText(c.device, port.OpenFailure())), HasSubstr(c.text)) << c.device;
  }
  // A COM name shows the device it stands for.
  ScopedEnv com("TERVANE_COM5", dir / "gone");
  CSerialPort mapped("COM5:", SystemClock());
  EXPECT_FALSE(mapped.Open(9600));
  EXPECT_THAT(Utf8(OpenFailureText("COM5:", mapped.OpenFailure())),
              HasSubstr("porta COM5: (" + (dir / "gone") + "): o dispositivo"));
  // The text of a kind without a reason names the port only.
  EXPECT_EQ(Utf8(OpenFailureText("SOCKET", PortOpenFailure{})), "Não foi possível abrir a porta SOCKET.");
  EXPECT_THAT(Utf8(OpenFailureText("USB", PortOpenFailure{OpenFailureKind::kMissing, 0, "USB"})),
              HasSubstr("nenhuma impressora USB"));
  EXPECT_THAT(Utf8(OpenFailureText("COM1:", PortOpenFailure{OpenFailureKind::kOther, EIO, "/dev/ttyS0"})),
              HasSubstr("erro 5"));
}

}  // namespace
}  // namespace tervane::testing
