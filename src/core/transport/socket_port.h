// The port kind for a printer behind a TCP bridge ("SOCKET"): one connection per
// exchange; each frame goes out followed by the expected reply length.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <optional>
#include <string>

#include "core/transport/port.h"
#include "core/transport/sockbuf.h"

namespace tervane {

inline constexpr int kPrinterTcpPort = 21;
// Bounds of our own on the two waits the exchange does not time itself.
inline constexpr int kSocketConnectTimeoutMs = 5000;
inline constexpr int kSocketSendTimeoutSeconds = 10;

// Reads "a.b.c.d" (TCP port 21) or "a.b.c.d:port" (port 1..65535), blanks around it
// ignored. False, leaving `address` untouched, for anything else.
bool ParsePrinterAddress(const std::string& text, sockaddr_in* address);

class CSocketPort final : public CPort {
 public:
  // `address` is the printer address setting, read by ParsePrinterAddress at Open.
  CSocketPort(std::string address, Clock& clock);
  ~CSocketPort() override;
  CSocketPort(const CSocketPort&) = delete;
  CSocketPort& operator=(const CSocketPort&) = delete;

  // Connects to the bridge; the argument is ignored. False when the address is not
  // valid, the connection is refused or not made within kSocketConnectTimeoutMs, or
  // the port is already open. A refused or reset connection also marks the link lost.
  bool Open(int baudRate) override;
  // Ends the connection. Safe to call more than once.
  void Close() override;
  // Sends the frame followed by `param` as an unsigned 16-bit little-endian number (the
  // reply length the exchange expects; -1, a variable reply, goes as FFFFh). False when
  // not open, the connection has failed, or not every byte went within
  // kSocketSendTimeoutSeconds; after a failed send the connection is not used again.
  bool Send(const std::uint8_t* data, int length, int param) override;
  // Collects exactly `length` bytes within timeoutMs in all (a negative time-out counts
  // as 0). False on time-out, when not open, or when the peer closed or reset the
  // connection; in the last two cases at once, and every later call fails at once (the
  // link is then marked lost).
  bool Receive(std::uint8_t* buffer, int length, int timeoutMs) override;
  // Nothing to discard: true, without touching the connection.
  bool Purge() override;
  // Not offered by this kind: always false.
  bool WriteRequest(const std::uint8_t* data, int length, std::uint32_t* written) override;
  bool ReadReply(std::uint8_t* buffer, int length, std::uint32_t* read) override;

  bool IsOpen() const { return socket_.has_value(); }

 private:
  // After a failed send or recv: a peer that closed, reset or refused the connection
  // marks the link lost (LinkLost); a time-out or another error does not.
  void NoteLinkLoss();

  std::string address_;
  Clock& clock_;
  std::optional<sockbuf> socket_;
  bool failed_ = false;
};

}  // namespace tervane
