#include "core/transport/socket_port.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "core/transport/transport_test_util.h"

namespace tervane {
namespace {

using testing::ElapsedMs;
using Steady = std::chrono::steady_clock;
using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

// A listener on 127.0.0.1 with a port chosen by the system; the test plays the bridge.
struct TinyServer {
  explicit TinyServer(int backlog = 4) : fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), size);
    ::listen(fd, backlog);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    port = ntohs(a.sin_port);
  }
  ~TinyServer() { ::close(fd); }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port); }
  int Accept() const {
    pollfd item{fd, POLLIN, 0};
    return ::poll(&item, 1, 1000) == 1 ? ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC) : -1;
  }
  int fd;
  int port;
};

std::vector<std::uint8_t> ReadExactly(int fd, size_t count) {
  std::vector<std::uint8_t> out(count);
  size_t got = 0;
  pollfd item{fd, POLLIN, 0};
  while (got < count && ::poll(&item, 1, 1000) == 1) {
    const ssize_t n = ::read(fd, out.data() + got, count - got);
    if (n <= 0) break;
    got += size_t(n);
  }
  out.resize(got);
  return out;
}

void ResetConnection(int fd) {
  linger hard{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  ::close(fd);
}

TEST(SocketPort, FrameWithLengthOutRawReplyInAndTimeOutsBoundTheWholeRead) {
  TinyServer server;
  CSocketPort port(server.Address(), SystemClock());
  ASSERT_TRUE(port.Open(9600));
  EXPECT_FALSE(port.Open(9600)) << "already open";
  const int peer = server.Accept();
  ASSERT_GE(peer, 0);

  std::vector<std::uint8_t> frame = {0x02, 0x04, 0x00, 0x1B, 0x13};
  ASSERT_TRUE(port.Send(frame.data(), int(frame.size()), 0x1234));
  ASSERT_TRUE(port.Send(frame.data(), int(frame.size()), -1));
  std::vector<std::uint8_t> expected = frame;
  expected.insert(expected.end(), {0x34, 0x12});
  expected.insert(expected.end(), frame.begin(), frame.end());
  expected.insert(expected.end(), {0xFF, 0xFF});
  EXPECT_EQ(ReadExactly(peer, expected.size()), expected);
  EXPECT_TRUE(port.Purge());

  // A silent peer: the caller's time-out, for all the bytes asked together.
  std::uint8_t got[4] = {};
  auto start = Steady::now();
  EXPECT_FALSE(port.Receive(got, 1, 300));
  EXPECT_GE(ElapsedMs(start), 290);
  EXPECT_LT(ElapsedMs(start), 800);
  ASSERT_EQ(::write(peer, "\x06", 1), 1);
  start = Steady::now();
  EXPECT_FALSE(port.Receive(got, 2, 200));
  EXPECT_LT(ElapsedMs(start), 600);
  EXPECT_FALSE(port.LinkLost()) << "a silent peer that is still connected keeps the link";

  // A time-out does not kill the link.
  ASSERT_EQ(::write(peer, "\x06\x80\x00", 3), 3);
  ASSERT_TRUE(port.Receive(got, 1, 2000));
  ASSERT_TRUE(port.Receive(got + 1, 2, 2000));
  EXPECT_EQ(std::vector<std::uint8_t>(got, got + 3), (std::vector<std::uint8_t>{0x06, 0x80, 0x00}));
  ::close(peer);
}

TEST(SocketPort, ClosedOrResetPeerFailsAtOnceReportsAndNeverRaisesSigpipe) {
  struct sigaction deflt {};
  struct sigaction previous {};
  deflt.sa_handler = SIG_DFL;  // a SIGPIPE would end this program
  ASSERT_EQ(::sigaction(SIGPIPE, &deflt, &previous), 0);
  TinyServer server;
  const std::string reports[] = {"class sockbuf:  sockbuf::recv\n",
                                 std::string("sockbuf::recv: ") + std::strerror(ECONNRESET) +
                                     "\nclass sockbuf:  sockbuf::recv\n"};
  for (int reset = 0; reset < 2; ++reset) {
    CSocketPort port(server.Address(), SystemClock());
    ASSERT_TRUE(port.Open(0));
    const int peer = server.Accept();
    ASSERT_GE(peer, 0);
    reset ? ResetConnection(peer) : (void)::close(peer);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::uint8_t byte = 0;
    CaptureStderr();
    const auto start = Steady::now();
    EXPECT_FALSE(port.LinkLost());
    EXPECT_FALSE(port.Receive(&byte, 1, 2000));
    EXPECT_EQ(GetCapturedStderr(), reports[reset]);
    EXPECT_EQ(port.LinkLoss().kind, reset ? LinkLossKind::kPeerReset : LinkLossKind::kPeerClosed);
    EXPECT_EQ(port.LinkLoss().device, server.Address());
    EXPECT_FALSE(port.Receive(&byte, 1, 2000));
    EXPECT_FALSE(port.Send(&byte, 1, 1));
    EXPECT_LT(ElapsedMs(start), 300);
  }
  // Sending, without reading first, into a connection the peer has left: the first
  // frame is answered by a reset, the next one fails with a broken pipe.
  std::vector<std::uint8_t> frame(3000, 0x55);
  CSocketPort port(server.Address(), SystemClock());
  ASSERT_TRUE(port.Open(0));
  ::close(server.Accept());
  CaptureStderr();
  bool failed = false;
  for (int i = 0; i < 20 && !failed; ++i) {
    failed = !port.Send(frame.data(), int(frame.size()), -1);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  GetCapturedStderr();
  EXPECT_TRUE(failed);
  ::sigaction(SIGPIPE, &previous, nullptr);
}

TEST(SocketPort, OpenFailsCleanlyOnBadAddressesRefusalsAndSilence) {
  const int fdsBefore = testing::CountOpenFds();
  int refusedPort = TinyServer().port;  // closed again at once
  CSocketPort refused("127.0.0.1:" + std::to_string(refusedPort), SystemClock());
  const auto start = Steady::now();
  EXPECT_FALSE(refused.Open(0));
  EXPECT_LT(ElapsedMs(start), 1000);
  EXPECT_EQ(refused.LinkLoss().kind, LinkLossKind::kRefused);
  EXPECT_EQ(refused.LinkLoss().error, ECONNREFUSED);
  std::uint8_t byte = 0;
  EXPECT_FALSE(refused.Send(&byte, 1, -1));
  EXPECT_FALSE(refused.Receive(&byte, 1, 10));
  EXPECT_TRUE(refused.Purge()) << "nothing to discard, whatever the state";
  for (const char* bad : {"", "localhost", "1.2.3", "1.2.3.4:", "1.2.3.4:0", "1.2.3.4:65536", "1.2.3.4:+80",
                          "256.1.1.1", ":21", "1.2.3.4:21:22"}) {
    sockaddr_in address{};
    EXPECT_FALSE(ParsePrinterAddress(bad, &address)) << bad;
    CSocketPort badPort(bad, SystemClock());
    EXPECT_FALSE(badPort.Open(0)) << bad;
    EXPECT_FALSE(badPort.LinkLost()) << bad << ": an address that is not one is no lost link";
  }
  EXPECT_EQ(testing::CountOpenFds(), fdsBefore);
  sockaddr_in address{};
  ASSERT_TRUE(ParsePrinterAddress(" 192.168.0.10 ", &address));
  EXPECT_EQ(ntohs(address.sin_port), kPrinterTcpPort);
  EXPECT_EQ(ntohl(address.sin_addr.s_addr), 0xC0A8000Au);

  // A listener whose queue is full leaves further attempts unanswered.
  TinyServer full(0);
  ASSERT_TRUE(ParsePrinterAddress(full.Address(), &address));
  std::vector<sockbuf> fillers;
  int result = 0;
  Steady::time_point attempt;
  for (int i = 0; i < 8 && result == 0; ++i) {
    fillers.emplace_back(AF_INET, SOCK_STREAM, 0, SystemClock());
    attempt = Steady::now();
    result = fillers.back().connect(address, 200);
  }
  EXPECT_EQ(result, ETIMEDOUT);
  EXPECT_LT(ElapsedMs(attempt), 700);
}

}  // namespace
}  // namespace tervane
