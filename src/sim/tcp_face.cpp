// The TCP face, standing for the network bridge: it listens on 127.0.0.1; each request
// is a frame followed by two bytes with the reply length the client expects (FFFFh for
// a variable one); the reply goes back as the printer's raw bytes. Clients usually
// connect once per command; several may be connected at once.
#include <cerrno>
#include <cstring>
#include <list>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "sim/sim_server.h"
#include "sim/stream_link.h"

namespace tervane::sim {
namespace {

class TcpFace final : public Face {
 public:
  TcpFace(FaceContext& context, int port) : context_(context), port_(port) {}

  bool Start(std::string* error) override {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener_ < 0) return Fail(error, "cannot create a socket");
    const int one = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      return Fail(error, "cannot listen on 127.0.0.1:" + std::to_string(port_));
    }
    if (::listen(listener_, 8) != 0) return Fail(error, "cannot listen");
    socklen_t size = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    *context_.ready << "tcp 127.0.0.1:" << ntohs(address.sin_port) << std::endl;
    return true;
  }

  void Prepare(std::vector<pollfd>& fds, std::int64_t, std::int64_t* wakeUs) override {
    if (listener_ < 0) return;
    fds.push_back(pollfd{listener_, POLLIN, 0});
    for (const StreamLink& client : clients_) {
      fds.push_back(pollfd{client.fd(), client.Events(), 0});
      client.LowerWake(wakeUs);
    }
  }

  void Service(const pollfd* fds, std::size_t count, std::int64_t nowUs) override {
    if (listener_ < 0 || count == 0) return;
    std::size_t i = 1;
    for (auto it = clients_.begin(); it != clients_.end() && i < count; ++i) {
      StreamLink& client = *it;
      StreamLink::Outcome outcome = StreamLink::Outcome::kOk;
      if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) outcome = client.Read(context_, nowUs);
      if (outcome == StreamLink::Outcome::kOk) {
        client.CheckIdle(context_, nowUs);
        outcome = client.Flush(context_, nowUs);
      }
      if (outcome != StreamLink::Outcome::kOk) {
        ::close(client.fd());
        it = clients_.erase(it);
      } else {
        ++it;
      }
    }
    // Clients accepted now are watched from the next round on.
    if (fds[0].revents & POLLIN) Accept();
  }

  void Cleanup() override {
    for (StreamLink& client : clients_) ::close(client.fd());
    clients_.clear();
    if (listener_ >= 0) ::close(listener_);
    listener_ = -1;
  }

 private:
  bool Fail(std::string* error, const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
    return false;
  }

  void Accept() {
    for (;;) {
      const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) return;
      clients_.emplace_back(fd, true, context_.baud, "tcp");
    }
  }

  FaceContext& context_;
  int port_;
  int listener_ = -1;
  std::list<StreamLink> clients_;
};

}  // namespace

std::unique_ptr<Face> MakeTcpFace(FaceContext& context, int port) {
  return std::make_unique<TcpFace>(context, port);
}

}  // namespace tervane::sim
