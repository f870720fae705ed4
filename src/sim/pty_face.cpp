// The pseudo-terminal face: the client opens the slave like a serial port. Like a printer
// on a real line, the face does not see the client come and go: it keeps a descriptor of
// the slave open itself, so the master never reports a hang-up between two clients and a
// client that opens the port for every command is served at once. (Should that
// descriptor not open, the face falls back to noticing the hang-up, dropping what was
// pending, and looking for the next client a few times a second.)
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "sim/sim_server.h"
#include "sim/stream_link.h"

namespace tervane::sim {
namespace {

constexpr std::int64_t kReopenCheckUs = 50'000;

class PtyFace final : public Face {
 public:
  PtyFace(FaceContext& context, std::string link) : context_(context), link_(std::move(link)) {}

  bool Start(std::string* error) override { return OpenPty(error); }

  void Prepare(std::vector<pollfd>& fds, std::int64_t nowUs, std::int64_t* wakeUs) override {
    if (!stream_) return;
    if (slaveClosed_) {
      const std::int64_t t = nowUs + kReopenCheckUs;
      if (*wakeUs < 0 || t < *wakeUs) *wakeUs = t;
      return;
    }
    fds.push_back(pollfd{stream_->fd(), stream_->Events(), 0});
    stream_->LowerWake(wakeUs);
  }

  void Service(const pollfd* fds, std::size_t count, std::int64_t nowUs) override {
    if (!stream_) return;
    if (slaveClosed_) {
      pollfd probe{stream_->fd(), POLLIN, 0};
      if (::poll(&probe, 1, 0) >= 0 && !(probe.revents & POLLHUP)) slaveClosed_ = false;
      return;
    }
    if (count == 0) return;
    StreamLink::Outcome outcome = StreamLink::Outcome::kOk;
    if (fds[0].revents & POLLIN) outcome = stream_->Read(context_, nowUs);
    if (outcome == StreamLink::Outcome::kOk && (fds[0].revents & POLLHUP) && !(fds[0].revents & POLLIN)) {
      outcome = StreamLink::Outcome::kClosed;
    }
    if (outcome == StreamLink::Outcome::kHangup) {
      Replace();
      return;
    }
    if (outcome == StreamLink::Outcome::kClosed) {
      // The client closed the slave: whatever it left half-sent or did not wait for is
      // dropped, and the face waits for the next open.
      stream_->Reset();
      slaveClosed_ = true;
      return;
    }
    stream_->CheckIdle(context_, nowUs);
    if (stream_->Flush(context_, nowUs) == StreamLink::Outcome::kClosed) {
      stream_->Reset();
      slaveClosed_ = true;
    }
  }

  void Cleanup() override {
    RemoveLink();
    CloseHold(holdFd_);
    if (stream_) {
      ::close(stream_->fd());
      stream_.reset();
    }
  }

 private:
  bool OpenPty(std::string* error) {
    const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 || grantpt(fd) != 0 || unlockpt(fd) != 0) {
      if (error) *error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
      if (fd >= 0) ::close(fd);
      return false;
    }
    char name[256];
    if (ptsname_r(fd, name, sizeof name) != 0) {
      if (error) *error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
      ::close(fd);
      return false;
    }
    // Raw line settings, applied through the master to the slave: no echo of our replies
    // back to us, no line editing, no translation of CR or LF.
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
      cfmakeraw(&tio);
      cfsetispeed(&tio, B9600);
      cfsetospeed(&tio, B9600);
      tcsetattr(fd, TCSANOW, &tio);
    }
    slavePath_ = name;
    stream_.emplace(fd, false, context_.baud, "pty");
    // Never read: bytes for the client wait in the slave's queue, which the client's own
    // opening purge empties.
    holdFd_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    slaveClosed_ = holdFd_ < 0;
    if (!link_.empty() && !MakeLink(error)) return false;
    *context_.ready << "pty " << slavePath_ << std::endl;
    return true;
  }

  bool MakeLink(std::string* error) {
    struct stat st {};
    if (::lstat(link_.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
      if (error) *error = "'" + link_ + "' exists and is not a symbolic link";
      return false;
    }
    // Made under a temporary name and renamed over the path, so a client never finds the
    // path missing while a replaced pty's link is being updated.
    const std::string temporary = link_ + ".new";
    ::unlink(temporary.c_str());
    if (::symlink(slavePath_.c_str(), temporary.c_str()) != 0 || ::rename(temporary.c_str(), link_.c_str()) != 0) {
      if (error) *error = "cannot create the link '" + link_ + "': " + std::strerror(errno);
      ::unlink(temporary.c_str());
      return false;
    }
    linkMade_ = true;
    return true;
  }

  void RemoveLink() {
    if (!linkMade_) return;
    // Only our own link goes: someone may have pointed the path elsewhere meanwhile.
    char target[512];
    const ssize_t n = ::readlink(link_.c_str(), target, sizeof target - 1);
    if (n >= 0) {
      target[n] = '\0';
      if (slavePath_ == target) ::unlink(link_.c_str());
    }
    linkMade_ = false;
  }

  // A hang-up fault: the device goes away and comes back as a new pseudo-terminal. The
  // new one (and the link, when there is one) is in place before the old one closes.
  void Replace() {
    const int old = stream_->fd();
    int oldHold = holdFd_;
    holdFd_ = -1;
    stream_.reset();
    std::string error;
    if (!OpenPty(&error)) context_.Warn("hang-up: " + error);
    CloseHold(oldHold);
    ::close(old);
  }

  static void CloseHold(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }

  FaceContext& context_;
  std::string link_;
  std::string slavePath_;
  bool linkMade_ = false;
  bool slaveClosed_ = true;
  int holdFd_ = -1;  // the face's own descriptor of the slave
  std::optional<StreamLink> stream_;
};

}  // namespace

std::unique_ptr<Face> MakePtyFace(FaceContext& context, const std::string& link) {
  return std::make_unique<PtyFace>(context, link);
}

}  // namespace tervane::sim
