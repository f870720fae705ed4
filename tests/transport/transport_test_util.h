// Helpers for the transport tests: pseudo-terminal pairs, descriptor counts, scoped
// environment variables and temporary folders.
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

namespace tervane::testing {

// A pseudo-terminal: the test drives the master side, the port under test opens `slave`.
struct PtyPair {
  PtyPair() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return;
    if (const char* name = ::ptsname(master)) slave = name;
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  }
  ~PtyPair() { CloseMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master >= 0 && !slave.empty(); }
  void CloseMaster() {
    if (master >= 0) ::close(master);
    master = -1;
  }
  bool Write(const std::vector<std::uint8_t>& bytes) const {
    return ::write(master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  // Reads what the port wrote, waiting up to about a second for `count` bytes.
  std::vector<std::uint8_t> Read(size_t count) const {
    std::vector<std::uint8_t> out;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (out.size() < count && std::chrono::steady_clock::now() < end) {
      std::uint8_t buffer[256];
      const ssize_t n = ::read(master, buffer, std::min(sizeof buffer, count - out.size()));
      if (n > 0) out.insert(out.end(), buffer, buffer + n);
      else ::usleep(1000);
    }
    return out;
  }

  int master = -1;
  std::string slave;
};

inline int CountOpenFds() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (const dirent* item = ::readdir(dir)) {
      if (item->d_name[0] != '.') ++count;
    }
    ::closedir(dir);
  }
  return count - 1;  // the directory stream itself
}

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    if (value) ::setenv(name, value->c_str(), 1);
    else ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_) ::setenv(name_.c_str(), old_->c_str(), 1);
    else ::unsetenv(name_.c_str());
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/tervane-transport-XXXXXX";
    if (const char* made = ::mkdtemp(pattern)) path_ = made;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::int64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace tervane::testing
