// The exchange over the real port kinds: the exchange files with a peer that answers when
// the request is there, and a TCP bridge on the loopback interface.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "core/protocol/exchange_fixture.h"
#include "core/transport/port_factory.h"

namespace tervane::testing {
namespace {

using ::testing::HasSubstr;

// A clock whose pauses let a peer program run: when the request file is complete, the
// peer writes its reply into the reply file.
class PeerClock final : public Clock {
 public:
  PeerClock(std::string folder, size_t frameLength, std::string reply)
      : folder_(std::move(folder)), frameLength_(frameLength), reply_(std::move(reply)) {}
  std::int64_t MonotonicMs() override { return inner_.MonotonicMs(); }
  void SleepMs(int ms) override {
    inner_.SleepMs(ms);
    if (answered_) return;
    std::error_code error;
    if (std::filesystem::file_size(folder_ + "/comando.dat", error) != frameLength_ || error) return;
    std::ofstream(folder_ + "/retorno.dat", std::ios::binary | std::ios::app) << reply_;
    answered_ = true;
  }
  CivilTime LocalNow() override { return inner_.LocalNow(); }
  CivilTime UtcNow() override { return inner_.UtcNow(); }

 private:
  FakeClock inner_;
  std::string folder_;
  size_t frameLength_;
  std::string reply_;
  bool answered_ = false;
};

TEST_F(ExchangeTest, RealExchangeFilesCarryFrameAndReply) {
  settings.g_portName = "FILE";
  // A stale reply from an earlier run must not be taken for this one.
  std::ofstream(settings.g_workDir + "/retorno.dat", std::ios::binary) << std::string("\x06\x99\x99", 3);
  PeerClock peer(settings.g_workDir, 8, std::string("\x06\x00\x40\x02", 4) + "xy\x03");
  SystemPortFactory real(PortContext{&settings, &peer});
  CommandRecord c = Command(-1);
  ExchangeContext context{&settings, &real, &peer, &progress, &wait};
  EXPECT_EQ(ExecuteCommand(c, context), kOk);
  EXPECT_EQ(c.HexTrace, "CMD:  02 05 00 1B 23 14 52 00\r\nRET:  06 00 40 02 78 79 03\r\n");
  EXPECT_THAT(c.ResultText, HasSubstr("xy"));
}

TEST_F(ExchangeTest, RealTcpBridgeGetsFrameAndExpectedLength) {
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof a;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), size), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &size);
  settings.g_portName = "SOCKET";
  settings.g_printerAddress = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));

  std::vector<std::uint8_t> received;
  std::thread bridge([&] {
    pollfd item{listener, POLLIN, 0};
    if (::poll(&item, 1, 5000) != 1) return;
    const int fd = ::accept(listener, nullptr, nullptr);
    std::uint8_t buffer[64];
    pollfd data{fd, POLLIN, 0};
    while (received.size() < 10 && ::poll(&data, 1, 5000) == 1) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n <= 0) break;
      received.insert(received.end(), buffer, buffer + n);
    }
    const std::uint8_t reply[] = {0x06, 0x00, 0x00};
    (void)::write(fd, reply, sizeof reply);
    ::close(fd);
  });

  SystemPortFactory real(PortContext{&settings, &SystemClock()});
  CommandRecord c = Command(0);
  ExchangeContext context{&settings, &real, &SystemClock(), &progress, &wait};
  EXPECT_EQ(ExecuteCommand(c, context), kOk);
  bridge.join();
  ::close(listener);
  EXPECT_EQ(received, (std::vector<std::uint8_t>{0x02, 0x05, 0x00, 0x1B, 0x23, 0x14, 0x52, 0x00, 0x03, 0x00}));
  EXPECT_THAT(c.HexTrace, ::testing::EndsWith("RET:  06 00 00\r\n"));
}

}  // namespace
}  // namespace tervane::testing
