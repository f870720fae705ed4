// The exchange-file face. The client deletes comando.dat when it prepares a command,
// appends the frame to it, then watches retorno.dat grow, reads it and empties it. So
// the face looks for comando.dat a few dozen times a second; once the file holds whole
// frames it takes it away (renamed first, so an append racing with us is not lost),
// answers each frame, and appends each reply to retorno.dat in one write under the
// file's advisory lock, the lock the client holds while it reads and cuts the file, so
// no reply lands between its read and its cut. A lock held by the client is not waited
// for: the reply stays queued and is tried again a moment later.
#include <cerrno>
#include <cmath>
#include <cstring>
#include <deque>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sim/paced_output.h"
#include "sim/sim_server.h"

namespace tervane::sim {
namespace {

constexpr std::int64_t kScanUs = 20'000;
constexpr std::int64_t kIncompleteGraceUs = 1'000'000;
constexpr std::int64_t kLockRetryUs = 2'000;

bool ReadWhole(const std::string& path, Bytes* out) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  out->clear();
  std::uint8_t buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out->insert(out->end(), buffer, buffer + n);
  }
  ::close(fd);
  return true;
}

// True when the bytes are one or more whole frames (good or with a bad sum) and nothing
// else.
bool WholeFrames(const Bytes& data) {
  std::size_t at = 0;
  while (at < data.size()) {
    std::size_t length = 0;
    const FrameCheck check = CheckFrame(data.data() + at, data.size() - at, &length);
    if (check == FrameCheck::kIncomplete) return false;
    if (check == FrameCheck::kBadLength) return true;  // garbage: answered, not waited for
    at += length;
  }
  return !data.empty();
}

class FileFace final : public Face {
 public:
  FileFace(FaceContext& context, std::string directory)
      : context_(context),
        directory_(std::move(directory)),
        request_(directory_ + "/comando.dat"),
        reply_(directory_ + "/retorno.dat") {}

  bool Start(std::string* error) override {
    struct stat st {};
    if (::stat(directory_.c_str(), &st) != 0) {
      if (::mkdir(directory_.c_str(), 0777) != 0) {
        if (error) *error = "cannot create '" + directory_ + "': " + std::strerror(errno);
        return false;
      }
      madeDirectory_ = true;
    } else if (!S_ISDIR(st.st_mode)) {
      if (error) *error = "'" + directory_ + "' is not a folder";
      return false;
    }
    replyExisted_ = ::access(reply_.c_str(), F_OK) == 0;
    started_ = true;
    *context_.ready << "files " << directory_ << std::endl;
    return true;
  }

  void Prepare(std::vector<pollfd>&, std::int64_t nowUs, std::int64_t* wakeUs) override {
    if (!started_) return;
    std::int64_t t = std::max(nextScanUs_, nowUs);
    if (!pending_.empty()) t = std::min(t, pending_.front().dueUs);
    if (*wakeUs < 0 || t < *wakeUs) *wakeUs = t;
  }

  void Service(const pollfd*, std::size_t, std::int64_t nowUs) override {
    if (!started_) return;
    if (nowUs >= nextScanUs_) {
      Scan(nowUs);
      nextScanUs_ = nowUs + kScanUs;
    }
    while (!pending_.empty() && pending_.front().dueUs <= nowUs) {
      if (!Append(pending_.front().bytes)) {
        pending_.front().dueUs = nowUs + kLockRetryUs;  // the client is reading: retry soon
        break;
      }
      pending_.pop_front();
    }
  }

  void Cleanup() override {
    if (!started_) return;
    started_ = false;
    pending_.clear();
    if (!replyExisted_) ::unlink(reply_.c_str());
    if (madeDirectory_) ::rmdir(directory_.c_str());  // only when nothing else is left in it
  }

 private:
  void Scan(std::int64_t nowUs) {
    Bytes data;
    if (!ReadWhole(request_, &data) || data.empty()) {
      incompleteSinceUs_ = -1;
      return;
    }
    if (!WholeFrames(data)) {
      if (incompleteSinceUs_ < 0) incompleteSinceUs_ = nowUs;
      if (nowUs - incompleteSinceUs_ < kIncompleteGraceUs) return;
    }
    incompleteSinceUs_ = -1;
    const std::string taken = request_ + ".taken";
    if (::rename(request_.c_str(), taken.c_str()) != 0) return;
    ReadWhole(taken, &data);
    ::unlink(taken.c_str());
    context_.Trace("files", "<-", data.data(), data.size());
    FrameAssembler assembler;
    for (auto& event : assembler.Feed(data.data(), data.size(), nowUs / 1000)) {
      Answer(event.kind == FrameAssembler::EventKind::kFrame ? &event.frame : nullptr, nowUs);
    }
    if (assembler.HasPartial()) Answer(nullptr, nowUs);  // a frame that never completed
  }

  void Answer(const Bytes* frame, std::int64_t nowUs) {
    Delivery d = Respond(*context_.handler, *context_.faults, frame);
    if (d.fault && context_.verbose) context_.Warn(std::string("files fault ") + FaultName(*d.fault));
    if (d.hangup || d.bytes.empty()) return;  // a dropped link reads as silence here
    // The whole reply appears once the line would have carried its last byte.
    std::int64_t due = nowUs + static_cast<std::int64_t>(d.delayMs) * 1000;
    if (context_.baud > 0) {
      due += static_cast<std::int64_t>(std::ceil(11e6 * static_cast<double>(d.bytes.size()) /
                                                 static_cast<double>(context_.baud)));
    }
    if (!pending_.empty()) due = std::max(due, pending_.back().dueUs);
    pending_.push_back(Pending{due, std::move(d.bytes)});
  }

  // Appends a reply. False only when the client holds the file's lock right now (the
  // reply is then tried again); a file that cannot be written is reported and skipped.
  bool Append(const Bytes& bytes) {
    const int fd = ::open(reply_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
      context_.Warn("cannot write '" + reply_ + "': " + std::strerror(errno));
      return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      return false;
    }
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    ::flock(fd, LOCK_UN);
    ::close(fd);
    if (n != static_cast<ssize_t>(bytes.size())) context_.Warn("short write to '" + reply_ + "'");
    context_.Trace("files", "->", bytes.data(), bytes.size());
    return true;
  }

  struct Pending {
    std::int64_t dueUs;
    Bytes bytes;
  };

  FaceContext& context_;
  std::string directory_;
  std::string request_;
  std::string reply_;
  bool started_ = false;
  bool madeDirectory_ = false;
  bool replyExisted_ = false;
  std::int64_t nextScanUs_ = 0;
  std::int64_t incompleteSinceUs_ = -1;
  std::deque<Pending> pending_;
};

}  // namespace

std::unique_ptr<Face> MakeFileFace(FaceContext& context, const std::string& directory) {
  return std::make_unique<FileFace>(context, directory);
}

}  // namespace tervane::sim
