#include "core/common/atomic_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/common/charset.h"

namespace tervane {
namespace {

int SystemOpen(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
ssize_t SystemWrite(int fd, const void* data, size_t size) { return ::write(fd, data, size); }
int SystemFsync(int fd) { return ::fsync(fd); }
int SystemClose(int fd) { return ::close(fd); }
int SystemRename(const char* from, const char* to) { return ::rename(from, to); }

// Paths are bytes of the file system (UTF-8 on our systems); messages are core text.
std::string Describe(const char* step, const std::string& path, int error) {
  return std::string(step) + " " + Utf8ToCp1252Lossy(path) + ": " + std::strerror(error);
}

void SetError(std::string* error, const char* step, const std::string& path, int code) {
  if (error) *error = Describe(step, path, code);
}

// The file a save must replace: the target of a symbolic link, else the path itself.
std::string ResolveTarget(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) return resolved;
  }
  return path;
}

// Removes temporaries of our own naming (".<base>.tmp.<pid>.<n>") left beside the target
// by a save that was killed: those of a process that no longer exists. A live process's
// temporary (another save in progress) is left alone.
void RemoveStaleTemporaries(const std::string& folder, const std::string& base) {
  const std::string prefix = "." + base + ".tmp.";
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string rest = name.substr(prefix.size());
    const size_t dot = rest.find('.');
    if (dot == 0 || dot == std::string::npos || dot + 1 == rest.size()) continue;
    const std::string pidText = rest.substr(0, dot);
    const std::string counterText = rest.substr(dot + 1);
    auto digits = [](const std::string& t) {
      return !t.empty() && t.size() < 10 && t.find_first_not_of("0123456789") == std::string::npos;
    };
    if (!digits(pidText) || !digits(counterText)) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(pidText));
    if (pid <= 0 || pid == ::getpid()) continue;
    if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
    ::unlink((folder + "/" + name).c_str());
  }
  ::closedir(dir);
}

}  // namespace

const FileSystemCalls& SystemFileCalls() {
  static const FileSystemCalls calls{SystemOpen, SystemWrite, SystemFsync, SystemClose,
                                     SystemRename};
  return calls;
}

bool SaveFileAtomically(const std::string& path, std::string_view bytes, std::string* error,
                        const FileSystemCalls& calls) {
  const std::string target = ResolveTarget(path);
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  if (base.empty()) {
    SetError(error, "cannot save", path, EISDIR);
    return false;
  }

  RemoveStaleTemporaries(folder, base);

  // A temporary name of our own beside the target; O_EXCL guards against a stale one.
  static std::atomic<unsigned> counter{0};
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = folder + "/." + base + ".tmp." + std::to_string(::getpid()) + "." +
           std::to_string(counter.fetch_add(1));
    fd = calls.open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    SetError(error, "cannot create a temporary file for", target, errno);
    return false;
  }

  auto fail = [&](const char* step, const std::string& what, int code, bool open) {
    if (open) calls.close(fd);
    ::unlink(temp.c_str());
    SetError(error, step, what, code);
    return false;
  };

  // Keep the permissions of the file being replaced.
  struct stat st;
  if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(fd, st.st_mode & 07777);

  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = calls.write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail("cannot write", temp, n == 0 ? EIO : errno, true);
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (calls.fsync(fd) != 0) return fail("cannot flush", temp, errno, true);
  if (calls.close(fd) != 0) return fail("cannot close", temp, errno, false);
  if (calls.rename(temp.c_str(), target.c_str()) != 0) {
    return fail("cannot replace", target, errno, false);
  }

  // Make the rename itself durable. A file system that cannot flush a folder says EINVAL;
  // there is nothing more to wait for then.
  const int dir = calls.open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (dir < 0) {
    SetError(error, "cannot open folder", folder, errno);
    return false;
  }
  if (calls.fsync(dir) != 0 && errno != EINVAL) {
    const int code = errno;
    calls.close(dir);
    SetError(error, "cannot flush folder", folder, code);
    return false;
  }
  calls.close(dir);
  return true;
}

namespace {

// Opens `path` for reading; `expected` is its size when it is a regular file, else 0.
int OpenForReading(const std::string& path, size_t& expected, std::string* error) {
  expected = 0;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    SetError(error, "cannot read", path, errno);
    return -1;
  }
  struct stat st;
  if (::fstat(fd, &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      ::close(fd);
      SetError(error, "cannot read", path, EISDIR);
      return -1;
    }
    if (S_ISREG(st.st_mode) && st.st_size > 0) expected = static_cast<size_t>(st.st_size);
  }
  return fd;
}

// Reads `fd` to its end into `bytes` (a std::string or FileBytes): straight in up to the
// size the file had when opened, then on in chunks, in case it grew or is not a regular
// file. Closes `fd`. On failure `bytes` is emptied.
template <typename Bytes>
bool ReadToEnd(int fd, size_t expected, const std::string& path, Bytes& bytes, std::string* error) {
  bytes.resize(expected);
  size_t used = 0;
  char chunk[16384];
  for (;;) {
    const bool inPlace = used < bytes.size();
    char* dst = inPlace ? bytes.data() + used : chunk;
    const size_t room = inPlace ? bytes.size() - used : sizeof chunk;
    const ssize_t n = ::read(fd, dst, room);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int code = errno;
      ::close(fd);
      bytes.resize(0);
      SetError(error, "cannot read", path, code);
      return false;
    }
    if (n == 0) break;
    if (!inPlace) {
      bytes.resize(used + static_cast<size_t>(n));
      std::memcpy(bytes.data() + used, chunk, static_cast<size_t>(n));
    }
    used += static_cast<size_t>(n);
  }
  bytes.resize(used);
  ::close(fd);
  return true;
}

template <typename Bytes>
bool ReadWholeFileInto(const std::string& path, Bytes& bytes, std::string* error) {
  bytes.resize(0);
  size_t expected = 0;
  const int fd = OpenForReading(path, expected, error);
  return fd >= 0 && ReadToEnd(fd, expected, path, bytes, error);
}

}  // namespace

void FileBytes::resize(size_t size) {
  if (size > capacity_) {
    const size_t capacity = std::max(size, capacity_ * 2);
    auto grown = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
    data_ = std::move(grown);
    capacity_ = capacity;
  }
  size_ = size;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error) {
  return ReadWholeFileInto(path, bytes, error);
}

bool ReadWholeFile(const std::string& path, FileBytes& bytes, std::string* error) {
  return ReadWholeFileInto(path, bytes, error);
}

}  // namespace tervane
