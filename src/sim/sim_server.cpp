#include "sim/sim_server.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/common/text.h"
#include "sim/paced_output.h"

namespace tervane::sim {

std::string HexTrace(const std::uint8_t* data, std::size_t size) {
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    if (i) out += ' ';
    out += HexByte(data[i]);
  }
  return out;
}

void FaceContext::Trace(const char* face, const char* direction, const std::uint8_t* data,
                        std::size_t size) const {
  if (!verbose || !log) return;
  *log << face << ' ' << direction << ' ' << HexTrace(data, size) << '\n';
  log->flush();
}

void FaceContext::Warn(const std::string& text) const {
  if (!log) return;
  *log << "tervane-sim: " << text << '\n';
  log->flush();
}

SimServer::SimServer(CommandHandler& handler, FaultInjector& faults, ServerOptions options, std::ostream& ready,
                     std::ostream* log)
    : options_(std::move(options)) {
  context_.handler = &handler;
  context_.faults = &faults;
  context_.baud = options_.baud;
  context_.ready = &ready;
  context_.log = log;
  context_.verbose = options_.verbose;
}

SimServer::~SimServer() { Cleanup(); }

bool SimServer::Start(std::string* error) {
  if (options_.pty) faces_.push_back(MakePtyFace(context_, options_.link));
  if (options_.tcpPort >= 0) faces_.push_back(MakeTcpFace(context_, options_.tcpPort));
  if (!options_.filesDir.empty()) faces_.push_back(MakeFileFace(context_, options_.filesDir));
  for (auto& face : faces_) {
    if (!face->Start(error)) {
      Cleanup();
      return false;
    }
  }
  return true;
}

int SimServer::Run(int stopFd) {
  std::vector<pollfd> fds;
  std::vector<std::size_t> first(faces_.size());
  for (;;) {
    fds.clear();
    fds.push_back(pollfd{stopFd, POLLIN, 0});
    std::int64_t now = MonotonicUs();
    std::int64_t wake = -1;
    for (std::size_t i = 0; i < faces_.size(); ++i) {
      first[i] = fds.size();
      faces_[i]->Prepare(fds, now, &wake);
    }
    timespec timeout{};
    timespec* timeoutPtr = nullptr;
    if (wake >= 0) {
      const std::int64_t waitUs = std::max<std::int64_t>(0, wake - now);
      timeout.tv_sec = static_cast<time_t>(waitUs / 1000000);
      timeout.tv_nsec = static_cast<long>((waitUs % 1000000) * 1000);
      timeoutPtr = &timeout;
    }
    const int n = ppoll(fds.data(), fds.size(), timeoutPtr, nullptr);
    if (n < 0) {
      if (errno == EINTR) continue;
      context_.Warn(std::string("poll failed: ") + std::strerror(errno));
      Cleanup();
      return 1;
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) break;
    now = MonotonicUs();
    for (std::size_t i = 0; i < faces_.size(); ++i) {
      const std::size_t end = i + 1 < faces_.size() ? first[i + 1] : fds.size();
      faces_[i]->Service(fds.data() + first[i], end - first[i], now);
    }
  }
  Cleanup();
  return 0;
}

void SimServer::Cleanup() {
  for (auto& face : faces_) face->Cleanup();
  faces_.clear();
}

}  // namespace tervane::sim
