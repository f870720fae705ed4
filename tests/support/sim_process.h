// tervane-sim as a child process: started with arguments, its ready lines read from its
// standard output, stopped with a signal. No test framework inside, so benchmarks use it
// too.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace tervane::testing {

class SimProcess {
 public:
  SimProcess() = default;
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;
  ~SimProcess() { Kill(); }

  // Starts `program` with `args`; its standard output comes back through Line. Standard
  // error is discarded unless `keepStderr`. False when it cannot be started.
  bool Start(const std::string& program, const std::vector<std::string>& args, bool keepStderr = false) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      ::dup2(fds[1], STDOUT_FILENO);
      if (!keepStderr) {
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) ::dup2(null, STDERR_FILENO);
      }
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(fds[1]);
    out_ = fds[0];
    return true;
  }

  // The next line of standard output; "" when none comes within the limit.
  std::string Line(int timeoutMs = 5000) {
    const auto end = Now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      if (const size_t eol = buffer_.find('\n'); eol != std::string::npos) {
        std::string line = buffer_.substr(0, eol);
        buffer_.erase(0, eol + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Now()).count();
      if (out_ < 0 || left <= 0) return {};
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) return {};
      char chunk[256];
      const ssize_t n = ::read(out_, chunk, sizeof chunk);
      if (n <= 0) return {};
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }

  // Reads lines until one starts with "<face> " and returns the rest ("/dev/pts/3",
  // "127.0.0.1:40123", the folder); "" when none comes in time.
  std::string Ready(const std::string& face, int timeoutMs = 5000) {
    const auto end = Now() + std::chrono::milliseconds(timeoutMs);
    while (Now() < end) {
      const std::string line =
          Line(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - Now()).count()));
      if (line.empty()) return {};
      if (line.rfind(face + " ", 0) == 0) return line.substr(face.size() + 1);
    }
    return {};
  }

  // Sends `signal` and waits up to 3 s for the end. Returns the exit status (128 + the
  // signal when killed by one), or -1 when it did not end.
  int Stop(int signal = SIGTERM) {
    if (pid_ <= 0) return -1;
    if (signal != 0) ::kill(pid_, signal);
    for (int i = 0; i < 300; ++i) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        CloseOutput();
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }

  void Kill() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
    CloseOutput();
  }

  pid_t pid() const { return pid_; }

 private:
  static std::chrono::steady_clock::time_point Now() { return std::chrono::steady_clock::now(); }
  void CloseOutput() {
    if (out_ >= 0) ::close(out_);
    out_ = -1;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
};

}  // namespace tervane::testing
