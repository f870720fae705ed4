// The tervane-sim program itself: faces come up and say so, frames are answered over the
// pseudo-terminal, TCP and the exchange files, replies are paced, and a stop signal
// removes what the program created.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "sim/sim_fixture.h"

namespace tervane::sim::testing {
namespace {

namespace fs = std::filesystem;

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Reads exactly n bytes within the time limit; fewer when it runs out.
Bytes ReadN(int fd, std::size_t n, int timeoutMs) {
  Bytes out;
  const std::int64_t end = NowMs() + timeoutMs;
  while (out.size() < n) {
    const std::int64_t left = end - NowMs();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
    std::uint8_t buffer[1024];
    const ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, n - out.size()));
    if (got <= 0) break;
    out.insert(out.end(), buffer, buffer + got);
  }
  return out;
}

class SimProcess {
 public:
  ~SimProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }

  void Start(const std::vector<std::string>& args) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    pid_ = ::fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      ::dup2(pipeFds[1], STDOUT_FILENO);
      ::close(pipeFds[0]);
      ::close(pipeFds[1]);
      std::vector<std::string> all{std::string(TERVANE_BIN_DIR) + "/tervane-sim"};
      all.insert(all.end(), args.begin(), args.end());
      std::vector<char*> argv;
      for (auto& a : all) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(pipeFds[1]);
    out_ = pipeFds[0];
  }

  // One line of standard output ("" when none comes within the limit).
  std::string Line(int timeoutMs = 3000) {
    std::string line;
    const std::int64_t end = NowMs() + timeoutMs;
    while (NowMs() < end) {
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(end - NowMs())) <= 0) break;
      char c = 0;
      if (::read(out_, &c, 1) != 1) break;
      if (c == '\n') return line;
      line += c;
    }
    return line;
  }

  // CPU time the process has used so far, in clock ticks (-1 when unreadable).
  long CpuTicks() const {
    std::FILE* f = std::fopen(("/proc/" + std::to_string(pid_) + "/stat").c_str(), "r");
    if (!f) return -1;
    char buffer[1024] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    // Fields 14 and 15 (user and system time) follow the parenthesised command name.
    const char* p = std::strrchr(buffer, ')');
    if (n == 0 || !p) return -1;
    long utime = 0, stime = 0;
    if (std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %ld %ld", &utime, &stime) != 2) return -1;
    return utime + stime;
  }

  // Sends the signal and returns the exit status (-1 if it did not end in time).
  int Stop(int signal = SIGTERM) {
    ::kill(pid_, signal);
    for (int i = 0; i < 300; ++i) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

fs::path TempDir(const char* name) {
  fs::path dir = fs::temp_directory_path() / (std::string("tervane-sim-") + name + "-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

int OpenRaw(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return fd;
  termios tio{};
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

int Connect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void SendAll(int fd, const Bytes& bytes) {
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

const Bytes kProbe = Frame({35, 20});
const Bytes kProbeReply{0x06, 0x55, 0x00, 0x00};

TEST(SimProcessTest, PtyAndTcpAnswerAndStopCleansUp) {
  const fs::path dir = TempDir("pty");
  const std::string link = (dir / "ecf").string();
  SimProcess sim;
  sim.Start({"--pty", "--link", link, "--tcp", "0"});
  const std::string ptyLine = sim.Line();
  const std::string tcpLine = sim.Line();
  ASSERT_EQ(ptyLine.rfind("pty /dev/pts/", 0), 0u) << ptyLine;
  ASSERT_EQ(tcpLine.rfind("tcp 127.0.0.1:", 0), 0u) << tcpLine;
  EXPECT_EQ(fs::read_symlink(link).string(), ptyLine.substr(4));

  // The client opens, talks, closes and comes back: the printer keeps serving.
  for (int round = 0; round < 2; ++round) {
    const int fd = OpenRaw(link);
    ASSERT_GE(fd, 0);
    SendAll(fd, kProbe);
    EXPECT_EQ(ReadN(fd, 4, 2000), kProbeReply) << "round " << round;
    ::close(fd);
  }

  // With no client on the slave the master reports a hang-up all the time; the loop must
  // not spin on it.
  const long before = sim.CpuTicks();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const long after = sim.CpuTicks();
  ASSERT_GE(before, 0);
  EXPECT_LE(after - before, 10) << "clock ticks of CPU in half a second of idling";

  const int port = std::atoi(tcpLine.substr(tcpLine.rfind(':') + 1).c_str());
  const int sock = Connect(port);
  ASSERT_GE(sock, 0);
  Bytes request = Frame({35, 60});
  request.push_back(45);  // expected reply: 42 data bytes and 3 status bytes
  request.push_back(0);
  SendAll(sock, request);
  const Bytes reply = ReadN(sock, 45, 2000);
  ASSERT_EQ(reply.size(), 45u);
  EXPECT_EQ(std::string(reply.begin() + 16, reply.begin() + 24), "ZT-300 A");
  ::close(sock);

  EXPECT_EQ(sim.Stop(SIGTERM), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  fs::remove_all(dir);
}

TEST(SimProcessTest, ExchangeFilesAreServedAndRemoved) {
  const fs::path base = TempDir("files");
  const fs::path dir = base / "troca";  // made by the simulator, removed again
  SimProcess sim;
  sim.Start({"--files", dir.string(), "--intervention"});
  ASSERT_EQ(sim.Line(), "files " + dir.string());
  ASSERT_TRUE(fs::is_directory(dir));

  {
    const int fd = ::open((dir / "comando.dat").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0666);
    ASSERT_GE(fd, 0);
    SendAll(fd, kProbe);
    ::close(fd);
  }
  Bytes reply;
  for (int i = 0; i < 200 && reply.size() < 4; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const int fd = ::open((dir / "retorno.dat").c_str(), O_RDONLY);
    if (fd >= 0) {
      reply = ReadN(fd, 4, 100);
      ::close(fd);
    }
  }
  EXPECT_EQ(reply, (Bytes{0x06, 'I', 0x00, 0x00}));
  EXPECT_FALSE(fs::exists(dir / "comando.dat"));  // taken by the printer

  EXPECT_EQ(sim.Stop(SIGINT), 0);
  EXPECT_FALSE(fs::exists(dir));
  fs::remove_all(base);
}

TEST(SimProcessTest, RepliesArePacedAtTheLineRate) {
  SimProcess sim;
  sim.Start({"--tcp", "0", "--baud", "9600"});
  const std::string line = sim.Line();
  const int sock = Connect(std::atoi(line.substr(line.rfind(':') + 1).c_str()));
  ASSERT_GE(sock, 0);
  Bytes request = Frame({35, 13});  // the cliché: 186 data bytes, 189 in all
  request.push_back(189);
  request.push_back(0);
  const double expected = 189.0 * 11.0 / 9600.0;
  // A reply can never come early; on a loaded machine one may come late, so the timing
  // gets three chances to land within 5 %.
  bool onTime = false;
  for (int attempt = 0; attempt < 3 && !onTime; ++attempt) {
    const auto start = std::chrono::steady_clock::now();
    SendAll(sock, request);
    const Bytes reply = ReadN(sock, 189, 3000);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(reply.size(), 189u);
    EXPECT_GT(seconds, expected * 0.95);
    onTime = std::abs(seconds - expected) <= expected * 0.05;
    if (!onTime) std::printf("paced reply took %.1f ms, expected %.1f ms\n", seconds * 1e3, expected * 1e3);
  }
  EXPECT_TRUE(onTime);
  ::close(sock);
  EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimProcessTest, RefusesToStartWithoutAFace) {
  SimProcess sim;
  sim.Start({"--model", "ZK-110 A"});
  EXPECT_EQ(sim.Stop(0), 2);  // signal 0 only waits
}

}  // namespace
}  // namespace tervane::sim::testing
