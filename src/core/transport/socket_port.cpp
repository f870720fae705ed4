#include "core/transport/socket_port.h"

#include <cerrno>

#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace tervane {

bool ParsePrinterAddress(const std::string& text, sockaddr_in* address) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  const std::string trimmed = text.substr(begin, end - begin);

  std::string host = trimmed;
  long port = kPrinterTcpPort;
  if (const size_t colon = trimmed.find(':'); colon != std::string::npos) {
    host = trimmed.substr(0, colon);
    const std::string digits = trimmed.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    for (char c : digits) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    port = std::stol(digits);
    if (port < 1 || port > 65535) return false;
  }
  in_addr ip{};
  if (::inet_pton(AF_INET, host.c_str(), &ip) != 1) return false;
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_port = htons(static_cast<std::uint16_t>(port));
  result.sin_addr = ip;
  *address = result;
  return true;
}

CSocketPort::CSocketPort(std::string address, Clock& clock) : address_(std::move(address)), clock_(clock) {}

CSocketPort::~CSocketPort() { Close(); }

bool CSocketPort::Open(int /*baudRate*/) {
  if (socket_) return false;
  ClearOpenFailure();
  ClearLinkLoss();
  sockaddr_in address{};
  if (!ParsePrinterAddress(address_, &address)) {
    SetOpenFailure(OpenFailureKind::kMissing, EINVAL, address_);
    return false;
  }
  sockbuf socket(AF_INET, SOCK_STREAM, 0, clock_);
  if (!socket.is_open()) {
    SetOpenFailure(OpenFailureKind::kOther, errno, address_);
    return false;
  }
  if (const int error = socket.connect(address, kSocketConnectTimeoutMs); error != 0) {
    SetOpenFailure(OpenFailureKind::kOther, error, address_);
    // Nothing listens there, or the bridge turned the connection away: the link is
    // known to be down, not merely slow.
    if (error == ECONNREFUSED) SetLinkLost(LinkLossKind::kRefused, error, address_);
    if (error == ECONNRESET) SetLinkLost(LinkLossKind::kPeerReset, error, address_);
    return false;
  }
  socket.set_write_timeout(kSocketSendTimeoutSeconds);
  // Receive does its own waiting with readready; recv itself must not wait again.
  socket.set_read_timeout(0);
  socket_ = socket;
  failed_ = false;
  return true;
}

void CSocketPort::Close() {
  if (socket_) socket_->close();
  socket_.reset();
}

bool CSocketPort::Send(const std::uint8_t* data, int length, int param) {
  if (!socket_ || failed_ || length < 0 || (length > 0 && data == nullptr)) return false;
  // Frame and length leave in one piece: a separate two-byte write would sit behind the
  // first one's acknowledgement.
  std::vector<std::uint8_t> bytes(data, data + length);
  const auto expected = static_cast<std::uint16_t>(param);  // -1 becomes FFFFh
  bytes.push_back(static_cast<std::uint8_t>(expected & 0xFF));
  bytes.push_back(static_cast<std::uint8_t>(expected >> 8));
  const int total = static_cast<int>(bytes.size());
  if (socket_->send(bytes.data(), total) == total) return true;
  failed_ = true;  // part of a frame may have gone: the stream is no longer usable
  NoteLinkLoss();
  return false;
}

bool CSocketPort::Receive(std::uint8_t* buffer, int length, int timeoutMs) {
  if (!socket_ || failed_ || length < 0 || (length > 0 && buffer == nullptr)) return false;
  const std::int64_t deadline = clock_.MonotonicMs() + (timeoutMs > 0 ? timeoutMs : 0);
  int got = 0;
  while (got < length) {
    const std::int64_t remaining = std::max<std::int64_t>(deadline - clock_.MonotonicMs(), 0);
    if (socket_->readready(static_cast<int>(remaining / 1000), static_cast<int>(remaining % 1000) * 1000) == 0) {
      return false;
    }
    const int n = socket_->recv(buffer + got, length - got);
    if (n < 0) {
      failed_ = true;
      NoteLinkLoss();
      return false;
    }
    got += n;
    if (n == 0 && clock_.MonotonicMs() >= deadline) return false;
  }
  return true;
}

void CSocketPort::NoteLinkLoss() {
  if (!socket_) return;
  const int error = socket_->last_error();
  if (socket_->peer_closed()) {
    SetLinkLost(LinkLossKind::kPeerClosed, 0, address_);
  } else if (error == ECONNRESET || error == EPIPE) {
    SetLinkLost(LinkLossKind::kPeerReset, error, address_);
  } else if (error == ECONNREFUSED) {
    SetLinkLost(LinkLossKind::kRefused, error, address_);
  }
}

bool CSocketPort::Purge() { return true; }

bool CSocketPort::WriteRequest(const std::uint8_t*, int, std::uint32_t* written) {
  if (written != nullptr) *written = 0;
  return false;
}

bool CSocketPort::ReadReply(std::uint8_t*, int, std::uint32_t* read) {
  if (read != nullptr) *read = 0;
  return false;
}

}  // namespace tervane
