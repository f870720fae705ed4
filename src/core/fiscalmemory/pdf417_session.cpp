#include "core/fiscalmemory/pdf417_session.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "core/common/text.h"
#include "core/fiscalmemory/pdf417_texts.h"

namespace tervane {
namespace {

// The step in which the reading thread's pauses notice a stop request.
constexpr int kPauseStepMs = 50;

}  // namespace

Pdf417Session::Pdf417Session(Prompter& prompter, Clock& clock, Pdf417Observer* observer, PortMaker makePort)
    : prompter_(prompter), clock_(clock), observer_(observer), makePort_(std::move(makePort)) {
  if (!makePort_) makePort_ = [] { return std::make_unique<SerialScannerPort>(); };
}

Pdf417Session::~Pdf417Session() {
  StopThread();
  if (port_) port_->Close(nullptr);
}

void Pdf417Session::SetSignature(bool signature) {
  if (port_) return;
  signature_ = signature;
}

bool Pdf417Session::Start(const ScannerLineSettings& line) {
  if (port_) return false;
  for (;;) {
    std::unique_ptr<ScannerPort> port = makePort_();
    std::string error;
    if (port && port->Open(line, &error)) {
      port_ = std::move(port);
      break;
    }
    prompter_.ShowMessage(pdf417text::PortErrorCaptionPrefix() + line.portName, error);
    if (!prompter_.AskRetryCancel(pdf417text::AttentionCaption(), pdf417text::PortNotInitialised(line.portName))) {
      return false;
    }
  }
  portName_ = line.portName;
  {
    std::lock_guard lock(mutex_);
    capture_ = Pdf417Capture(signature_);
  }
  StartThread();
  return true;
}

void Pdf417Session::StartThread() {
  stopRequested_ = false;
  threadEnded_ = false;
  port_->Resume();
  thread_ = std::thread([this] { ReadLoop(); });
}

void Pdf417Session::StopThread() {
  if (!thread_.joinable()) return;
  stopRequested_ = true;
  if (port_) port_->Interrupt();
  thread_.join();
}

bool Pdf417Session::Pause(int ms) {
  while (ms > 0) {
    if (stopRequested_) return false;
    const int step = ms < kPauseStepMs ? ms : kPauseStepMs;
    clock_.SleepMs(step);
    ms -= step;
  }
  return !stopRequested_;
}

void Pdf417Session::ReadHeldBytes() {
  std::vector<std::uint8_t> bytes;
  port_->ReadHeld(bytes);
  if (bytes.empty()) return;
  std::lock_guard lock(mutex_);
  capture_.Append(bytes.data(), bytes.size());
}

void Pdf417Session::ReadLoop() {
  while (!stopRequested_) {
    const int events = port_->WaitEvent();
    if (stopRequested_) break;
    if ((events & kScannerStopped) != 0) {
      if (observer_) observer_->OnPortLost();
      break;
    }
    if (!Pause(kPdf417SettleMs)) break;
    if ((events & kScannerReceived) != 0) ReadHeldBytes();
    if ((events & kScannerLineError) != 0) port_->ClearLineError();
    if ((events & (kScannerReceived | kScannerCtsChange)) != 0) {
      if (!Pause(kPdf417SecondReadMs)) break;
      ReadHeldBytes();
    }

    // Two symbols scanned close together arrive in one read: each complete one is taken.
    bool allRead = false;
    for (;;) {
      bool took = false;
      Pdf417View view;
      {
        std::lock_guard lock(mutex_);
        if (!allRead && capture_.BufferComplete()) {
          const Pdf417SymbolOutcome outcome = capture_.TakeSymbol();
          took = true;
          view = ViewLocked();
          view.outcome = outcome;
          allRead = capture_.AllRead();
        }
      }
      if (!took) break;
      if (observer_) observer_->OnSymbol(view);
    }
    if (allRead) {
      if (observer_) observer_->OnAllRead();
      break;
    }
  }
  threadEnded_ = true;
}

Pdf417View Pdf417Session::ViewLocked() const {
  Pdf417View view;
  view.expectedText = capture_.ExpectedText();
  view.receivedText = capture_.ReceivedText();
  view.status = capture_.StatusText();
  view.dump = capture_.DumpText();
  view.expected = capture_.ExpectedCount();
  view.received = capture_.ReceivedCount();
  return view;
}

Pdf417View Pdf417Session::View() const {
  std::lock_guard lock(mutex_);
  return ViewLocked();
}

void Pdf417Session::ClosePort() {
  StopThread();
  if (port_) {
    std::string error;
    while (!port_->Close(&error)) {
      if (!prompter_.AskRetryCancel(pdf417text::AttentionCaption(), pdf417text::PortNotReleased(portName_))) break;
    }
    port_.reset();
  }
  std::lock_guard lock(mutex_);
  capture_.Reset();
}

bool Pdf417Session::WriteFile(const std::string& path, const std::string& bytes) {
  auto fail = [&](int error) {
    prompter_.ShowMessage(pdf417text::ErrorCaption(),
                          Format(pdf417text::FileErrorFormat().c_str(), std::strerror(error), path.c_str()));
    return false;
  };
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return fail(errno);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A file cut short would read as a smaller memory: it is removed, not left behind.
      const int error = n < 0 ? errno : EIO;
      ::close(fd);
      ::unlink(path.c_str());
      return fail(error);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(path.c_str());
    return fail(error);
  }
  return true;
}

Pdf417StopResult Pdf417Session::Stop(const std::string& suggestedPath, std::string* savedPath) {
  if (!port_) return Pdf417StopResult::kNotRunning;
  std::uint32_t expected = 0;
  std::uint32_t received = 0;
  bool complete = false;
  {
    std::lock_guard lock(mutex_);
    expected = capture_.ExpectedCount();
    received = capture_.ReceivedCount();
    complete = capture_.SetComplete();
  }
  // Part of a signature verifies nothing: the .rsa is written only when it is whole.
  if (signature_ && expected != 0 && !complete) {
    const std::string text = Format(pdf417text::SignatureIncompleteFormat().c_str(), static_cast<int>(received),
                                    static_cast<int>(expected));
    if (prompter_.AskRetryCancel(pdf417text::AttentionCaption(), text)) return Pdf417StopResult::kCapturing;
    ClosePort();
    return Pdf417StopResult::kClosed;
  }
  if (expected != 0 && received < expected) {
    const int answer = prompter_.AskYesNoCancel(pdf417text::AttentionCaption(), pdf417text::SomeMissingQuestion());
    if (answer == 0) return Pdf417StopResult::kCapturing;
    if (answer == 2) {
      ClosePort();
      return Pdf417StopResult::kClosed;
    }
  }
  if (expected == 0) {
    ClosePort();
    return Pdf417StopResult::kClosed;
  }

  std::string path = suggestedPath;
  const std::string& filter = signature_ ? pdf417text::RsaFilter() : pdf417text::MfdFilter();
  if (!prompter_.ChooseSaveFile(signature_ ? "*.rsa" : "*.mfd", filter, path) || path.empty()) {
    return Pdf417StopResult::kCapturing;
  }

  // The symbols are read only once the thread no longer writes them.
  const bool ended = threadEnded_;
  StopThread();
  std::string bytes;
  int slots = 0;
  {
    std::lock_guard lock(mutex_);
    bytes = capture_.FileBytes();
    slots = static_cast<int>(capture_.ExpectedCount());
  }
  if (!WriteFile(path, bytes)) {
    // Nothing is lost: the capture goes on where it was.
    if (!ended) StartThread();
    return Pdf417StopResult::kCapturing;
  }
  if (!signature_) {
    prompter_.ShowMessage(pdf417text::DoneCaption(),
                          Format(pdf417text::DoneFormat().c_str(), slots, path.c_str()));
  }
  if (savedPath != nullptr) *savedPath = path;
  ClosePort();
  return Pdf417StopResult::kSaved;
}

}  // namespace tervane
