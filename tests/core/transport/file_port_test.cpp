#include "core/transport/file_port.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "core/transport/port_factory.h"
#include "core/transport/transport_test_util.h"

namespace tervane {
namespace {

using testing::TempDir;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Append(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

std::string Take(CFilePort& port, int length) {
  std::uint8_t buffer[64];
  std::uint32_t read = 0;
  EXPECT_TRUE(port.ReadReply(buffer, length, &read));
  return std::string(reinterpret_cast<char*>(buffer), read);
}

TEST(FilePort, RequestFileHoldsExactlyThisPortsFrames) {
  TempDir dir;
  Append(dir / "comando.dat", "left over from an earlier run");
  ::mkdir((dir / "swap").c_str(), 0700);
  ProgramSettings settings;
  settings.g_workDir = dir.path();
  settings.g_exchangeDir = "swap";  // relative: inside the working folder
  auto port = CreatePort("FILE", PortContext{&settings, nullptr});
  EXPECT_EQ(Slurp(dir / "comando.dat"), "left over from an earlier run") << "another folder";

  settings.g_exchangeDir.clear();
  port = CreatePort("FILE", PortContext{&settings, nullptr});
  EXPECT_NE(::access((dir / "comando.dat").c_str(), F_OK), 0) << "creating the port deletes it";
  ASSERT_TRUE(port->Open(0));
  EXPECT_EQ(port->PendingReplySize(), 0) << "the reply file is created empty";
  const std::uint8_t frame[] = {0x02, 0x04, 0x00, 0x1B, 0x13};
  std::uint32_t written = 0;
  ASSERT_TRUE(port->WriteRequest(frame, 5, &written));
  EXPECT_EQ(written, 5u);
  ASSERT_TRUE(port->WriteRequest(frame, 2, &written));
  EXPECT_EQ(Slurp(dir / "comando.dat"), std::string("\x02\x04\x00\x1B\x13\x02\x04", 7));
  EXPECT_FALSE(port->Send(frame, 1, 20000));
  std::uint8_t byte = 0;
  EXPECT_FALSE(port->Receive(&byte, 1, 2000));
}

TEST(FilePort, ReplyIsTakenFromTheStartAndNothingBeyondTheAskIsLost) {
  TempDir dir;
  CFilePort port(dir.path());
  ASSERT_TRUE(port.Open(0));
  Append(port.ReplyPath(), "\x06\x80");
  EXPECT_EQ(port.PendingReplySize(), 2);
  EXPECT_EQ(Take(port, 16), "\x06\x80");
  EXPECT_EQ(Slurp(port.ReplyPath()), "") << "emptied as it is read";
  Append(port.ReplyPath(), std::string("\x00\x03", 2));  // the second part, from the start
  EXPECT_EQ(Take(port, 16), std::string("\x00\x03", 2));

  Append(port.ReplyPath(), "ABCDEFGHIJ");
  EXPECT_EQ(Take(port, 4), "ABCD");
  EXPECT_EQ(port.PendingReplySize(), 6);
  EXPECT_EQ(Take(port, 16), "EFGHIJ");
  EXPECT_EQ(Take(port, 16), "");

  Append(port.ReplyPath(), std::string(10000, 'x'));
  EXPECT_TRUE(port.Purge());
  EXPECT_EQ(port.PendingReplySize(), 0);
  port.Close();
  port.Close();
}

TEST(FilePort, PeerAppendingWhileWeReadLosesNothing) {
  TempDir dir;
  CFilePort port(dir.path());
  ASSERT_TRUE(port.Open(0));
  std::string sent;
  for (int i = 0; i < 3000; ++i) sent += char('A' + i % 26);
  std::thread peer([&, path = port.ReplyPath()] {
    for (size_t at = 0; at < sent.size(); at += 7) {
      const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
      ::flock(fd, LOCK_EX);
      (void)!::write(fd, sent.data() + at, std::min<size_t>(7, sent.size() - at));
      ::close(fd);
    }
  });
  std::string received;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (received.size() < sent.size() && std::chrono::steady_clock::now() < end) received += Take(port, 5);
  peer.join();
  EXPECT_EQ(received, sent);
}

TEST(FilePort, RequestThatCannotBeWrittenFailsAndLeavesNoPartialFrame) {
  TempDir dir;
  const std::vector<std::uint8_t> frame(100, 'A');
  std::uint32_t written = 99;
  {
    CFilePort port(dir.path());
    ::mkdir(port.RequestPath().c_str(), 0700);  // the name is taken by a folder
    EXPECT_FALSE(port.WriteRequest(frame.data(), 3, &written));
    EXPECT_EQ(written, 0u);
    ::rmdir(port.RequestPath().c_str());
  }
  {
    CFilePort port(dir / "missing");
    EXPECT_FALSE(port.Open(0));
    EXPECT_FALSE(port.ReadReply(nullptr, 0, &written));
    EXPECT_FALSE(port.Purge());
    EXPECT_FALSE(port.WriteRequest(frame.data(), 4, &written));
  }
  // The disk fills in the middle of a frame: the file is cut back to the earlier frame.
  CFilePort port(dir.path());
  ASSERT_TRUE(port.WriteRequest(frame.data(), 100, &written));
  struct sigaction ignore {};
  struct sigaction previous {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &previous);
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 150;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool ok = port.WriteRequest(frame.data(), 100, &written);
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::sigaction(SIGXFSZ, &previous, nullptr);
  EXPECT_FALSE(ok);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(Slurp(port.RequestPath()), std::string(100, 'A'));
  ASSERT_TRUE(port.WriteRequest(frame.data(), 100, &written));  // room again: the retry goes whole
  EXPECT_EQ(Slurp(port.RequestPath()), std::string(200, 'A'));
}

}  // namespace
}  // namespace tervane
