// Helpers for the transport tests: pseudo-terminals, descriptor counts, scoped
// environment variables, temporary folders.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/scoped_env.h"

namespace tervane::testing {

// The test drives the non-blocking master side; the port under test opens `slave`.
struct PtyPair {
  PtyPair() : master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK)) {
    if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0) slave = ::ptsname(master);
  }
  ~PtyPair() { CloseMaster(); }
  bool ok() const { return master >= 0 && !slave.empty(); }
  void CloseMaster() {
    if (master >= 0) ::close(master);
    master = -1;
  }
  bool Write(const std::vector<std::uint8_t>& b) const { return ::write(master, b.data(), b.size()) == ssize_t(b.size()); }
  std::vector<std::uint8_t> Read(size_t count) const {  // waits up to a second
    std::vector<std::uint8_t> out(count);
    size_t got = 0;
    for (int i = 0; i < 1000 && got < count; ++i) {
      const ssize_t n = ::read(master, out.data() + got, count - got);
      if (n > 0) got += size_t(n);
      else ::usleep(1000);
    }
    out.resize(got);
    return out;
  }
  int master;
  std::string slave;
};

inline int CountOpenFds() {
  int count = -1;  // the directory stream itself
  DIR* dir = ::opendir("/proc/self/fd");
  while (const dirent* item = ::readdir(dir)) count += item->d_name[0] != '.';
  ::closedir(dir);
  return count;
}

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/tervane-transport-XXXXXX";
    path_ = ::mkdtemp(pattern);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::int64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace tervane::testing
