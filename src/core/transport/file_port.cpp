#include "core/transport/file_port.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

namespace tervane {
namespace {

constexpr int kCopyPieceBytes = 4096;

std::string InFolder(const std::string& folder, const char* file) {
  if (folder.empty()) return file;
  return folder.back() == '/' ? folder + file : folder + "/" + file;
}

// Reads up to `length` bytes at `offset`, as many as the file holds; -1 on a read error.
ssize_t ReadAt(int fd, std::uint8_t* buffer, size_t length, off_t offset) {
  size_t got = 0;
  while (got < length) {
    const ssize_t n = ::pread(fd, buffer + got, length - got, offset + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

bool WriteAll(int fd, const std::uint8_t* data, size_t length, off_t offset, bool append) {
  size_t done = 0;
  while (done < length) {
    const ssize_t n = append ? ::write(fd, data + done, length - done)
                             : ::pwrite(fd, data + done, length - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Removes the first `count` bytes of the file. Bytes behind them (the peer may have
// appended more meanwhile) are moved to the front, in bounded pieces and only up to
// kMaxKeptReplyBytes; a larger tail is dropped with the rest. False when the file cannot
// be read or cut, in which case it is left as it was.
bool DropFront(int fd, std::int64_t count) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  const std::int64_t tailSize = static_cast<std::int64_t>(st.st_size) - count;
  std::vector<std::uint8_t> tail;
  if (tailSize > 0 && tailSize <= kMaxKeptReplyBytes) {
    tail.resize(static_cast<size_t>(tailSize));
    size_t got = 0;
    while (got < tail.size()) {
      const size_t piece = std::min<size_t>(kCopyPieceBytes, tail.size() - got);
      const ssize_t n = ReadAt(fd, tail.data() + got, piece, static_cast<off_t>(count + static_cast<std::int64_t>(got)));
      if (n < 0) return false;
      got += static_cast<size_t>(n);
      if (static_cast<size_t>(n) < piece) break;
    }
    tail.resize(got);
  }
  if (::ftruncate(fd, 0) != 0) return false;
  if (!tail.empty()) WriteAll(fd, tail.data(), tail.size(), 0, false);
  return true;
}

// Holds the advisory lock of the reply file while bytes are taken from it, so that a peer
// which locks the file for each append never appends between our read and the cut.
// A lock held by the peer right now is not waited for: the read reports nothing taken
// and the caller polls again.
class ReplyLock {
 public:
  explicit ReplyLock(int fd) : fd_(fd), held_(::flock(fd, LOCK_EX | LOCK_NB) == 0) {}
  ~ReplyLock() {
    if (held_) ::flock(fd_, LOCK_UN);
  }
  ReplyLock(const ReplyLock&) = delete;
  ReplyLock& operator=(const ReplyLock&) = delete;
  bool held() const { return held_; }

 private:
  int fd_;
  bool held_;
};

}  // namespace

CFilePort::CFilePort(std::string folder)
    : requestPath_(InFolder(folder, kRequestFileName)), replyPath_(InFolder(folder, kReplyFileName)) {
  ::unlink(requestPath_.c_str());
}

CFilePort::~CFilePort() { Close(); }

bool CFilePort::Open(int side) {
  if (replyFd_ >= 0) return false;
  side_ = side;
  ClearOpenFailure();
  replyFd_ = ::open(replyPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (replyFd_ < 0) {
    const int error = errno;
    const bool denied = error == EACCES || error == EPERM || error == EROFS;
    SetOpenFailure(denied ? OpenFailureKind::kPermission
                          : (error == ENOENT || error == ENOTDIR ? OpenFailureKind::kMissing : OpenFailureKind::kOther),
                   error, replyPath_);
  }
  return replyFd_ >= 0;
}

void CFilePort::Close() {
  if (replyFd_ >= 0) ::close(replyFd_);
  replyFd_ = -1;
}

bool CFilePort::Send(const std::uint8_t*, int, int) { return false; }

bool CFilePort::Receive(std::uint8_t*, int, int) { return false; }

bool CFilePort::WriteRequest(const std::uint8_t* data, int length, std::uint32_t* written) {
  if (written != nullptr) *written = 0;
  if (length < 0 || (length > 0 && data == nullptr)) return false;
  const int fd = ::open(requestPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const off_t start = ::lseek(fd, 0, SEEK_END);
  if (start < 0) {
    ::close(fd);
    return false;
  }
  if (!WriteAll(fd, data, static_cast<size_t>(length), 0, true)) {
    ::ftruncate(fd, start);
    ::close(fd);
    return false;
  }
  if (::close(fd) != 0) {
    ::truncate(requestPath_.c_str(), start);
    return false;
  }
  if (written != nullptr) *written = static_cast<std::uint32_t>(length);
  return true;
}

bool CFilePort::ReadReply(std::uint8_t* buffer, int length, std::uint32_t* read) {
  if (read != nullptr) *read = 0;
  if (replyFd_ < 0 || length < 0 || (length > 0 && buffer == nullptr)) return false;
  if (length == 0) return true;
  const ReplyLock lock(replyFd_);
  if (!lock.held()) return true;
  const ssize_t got = ReadAt(replyFd_, buffer, static_cast<size_t>(length), 0);
  if (got < 0) return false;
  if (got == 0) return true;
  // Bytes that cannot be removed would be read again: report nothing taken.
  if (!DropFront(replyFd_, got)) return false;
  if (read != nullptr) *read = static_cast<std::uint32_t>(got);
  return true;
}

int CFilePort::PendingReplySize() {
  if (replyFd_ < 0) return 0;
  struct stat st {};
  if (::fstat(replyFd_, &st) != 0) return 0;
  return static_cast<int>(std::min<std::int64_t>(st.st_size, INT_MAX));
}

bool CFilePort::Purge() {
  if (replyFd_ < 0) return false;
  const ReplyLock lock(replyFd_);
  if (!lock.held()) return false;
  struct stat st {};
  if (::fstat(replyFd_, &st) != 0) return false;
  if (st.st_size == 0) return true;
  return DropFront(replyFd_, st.st_size);
}

}  // namespace tervane
