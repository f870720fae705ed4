// A small wrapper over one stream socket: shared ownership of the socket among copies,
// optional write and read time-outs, and a fixed error report on standard error.
#pragma once

#include <netinet/in.h>

#include <memory>

#include "core/common/clock.h"

namespace tervane {

// Writes the error report of a failing socket operation to standard error: when errno
// is set, "<label>: <system error text>", then always "class sockbuf:  <label>"; errno
// is cleared afterwards.
void ReportSockbufError(const char* label);

class sockbuf {
 public:
  // Creates a socket (non-blocking; every wait is done by the calls below). When that
  // fails the error is reported under "sockbuf::sockbuf" and the object holds no socket,
  // so every later call fails.
  sockbuf(int family, int type, int protocol, Clock& clock);
  // Copies share the socket; it is closed when the last copy goes or close() is called.
  sockbuf(const sockbuf&) = default;
  sockbuf& operator=(const sockbuf&) = default;
  ~sockbuf() = default;

  bool is_open() const { return ref_ && ref_->fd >= 0; }
  int handle() const { return ref_ ? ref_->fd : -1; }

  // Seconds to wait before each send / recv; -1 (the default) waits without limit.
  void set_write_timeout(int seconds) { writeTimeout_ = seconds; }
  void set_read_timeout(int seconds) { readTimeout_ = seconds; }
  int write_timeout() const { return writeTimeout_; }
  int read_timeout() const { return readTimeout_; }

  // Connects to an IPv4 address, giving up after timeoutMs. Returns 0, or the error
  // number (ETIMEDOUT when the time ran out, EBADF without a socket).
  int connect(const sockaddr_in& address, int timeoutMs);
  // Sends every byte. Returns `length` when all went; fewer (0 if none) when the write
  // time-out ran out first; -1 on an error, reported under "sockbuf::send" (or under
  // "Select::operator ()" when the wait itself failed). SIGPIPE is never raised.
  int send(const void* data, int length);
  // One receive after waiting for readability within the read time-out. Returns the
  // bytes received (at least 1), 0 when the time-out ran out first, -1 on an error or
  // when the peer has closed the connection (both reported under "sockbuf::recv").
  int recv(void* buffer, int length);
  // Waits until data (or the end of the connection) can be read. -1 seconds waits
  // without limit. Returns 1 when readable, 0 on time-out or error (an error is reported
  // under "sockbuf::readready").
  int readready(int seconds, int microseconds);
  // The same for writing; an error is reported under "Select::operator ()".
  int writeready(int seconds, int microseconds);
  // Closes the socket for every copy. Safe to call more than once.
  void close();

  // The error number of the last send or recv that failed (0 when the peer closed the
  // connection in order, or nothing failed), and whether the peer has closed it.
  int last_error() const { return lastError_; }
  bool peer_closed() const { return peerClosed_; }

 private:
  struct Ref {
    explicit Ref(int handle) : fd(handle) {}
    ~Ref();
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    int fd;
  };

  int WaitReady(short events, int seconds, int microseconds, const char* label);

  std::shared_ptr<Ref> ref_;
  Clock* clock_;
  int writeTimeout_ = -1;
  int readTimeout_ = -1;
  int lastError_ = 0;
  bool peerClosed_ = false;
};

}  // namespace tervane
