#include "cli/pdf417_command.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <optional>
#include <ostream>

#include "cli/cli_support.h"
#include "cli/terminal_dialogs.h"
#include "cli/terminal_progress.h"
#include "core/common/clock.h"
#include "core/common/text.h"
#include "core/fiscalmemory/pdf417_session.h"
#include "core/fiscalmemory/pdf417_settings.h"
#include "core/fiscalmemory/pdf417_texts.h"
#include "core/transport/com_port_map.h"

namespace tervane::cli {
namespace {

// How often the waiting command looks at Ctrl-C and the time-out.
constexpr auto kPollInterval = std::chrono::milliseconds(50);

// The terminal's dialogs, with the save-file chooser answered by -o and the question
// about missing symbols answered by --incomplete when it is not "ask".
class CapturePrompter final : public Prompter {
 public:
  CapturePrompter(Prompter& inner, std::string path, int incompleteAnswer)
      : inner_(inner), path_(std::move(path)), incompleteAnswer_(incompleteAnswer) {}

  bool AskText(const std::string& d, int m, std::string& t) override { return inner_.AskText(d, m, t); }
  bool AskMultiLineText(const std::string& d, int m, std::string& t) override {
    return inner_.AskMultiLineText(d, m, t);
  }
  bool AskNumber(const std::string& d, int m, std::string& t) override { return inner_.AskNumber(d, m, t); }
  bool AskValue(const std::string& d, int i, int dec, std::string& v) override { return inner_.AskValue(d, i, dec, v); }
  bool AskPercentage(const std::string& d, std::string& i, std::string& p) override {
    return inner_.AskPercentage(d, i, p);
  }
  bool AskDate(const std::string& d, CivilTime& v) override { return inner_.AskDate(d, v); }
  bool AskTime(const std::string& d, CivilTime& v) override { return inner_.AskTime(d, v); }
  bool AcceptComputerClock(const std::string& t, bool& s) override { return inner_.AcceptComputerClock(t, s); }
  int Choose(const std::string& d, const std::vector<std::string>& l) override { return inner_.Choose(d, l); }
  bool AskYesNo(const std::string& c, const std::string& q) override { return inner_.AskYesNo(c, q); }
  void ShowMessage(const std::string& c, const std::string& t) override { inner_.ShowMessage(c, t); }
  bool AskOkCancel(const std::string& c, const std::string& t) override { return inner_.AskOkCancel(c, t); }
  bool AskRetryCancel(const std::string& c, const std::string& t) override {
    const std::string& signature = pdf417text::SignatureIncompleteFormat();
    if (t.compare(0, signature.find('('), signature, 0, signature.find('(')) != 0) return inner_.AskRetryCancel(c, t);
    // An incomplete signature cannot be saved: with --incomplete the capture ends unsaved.
    lastWasCancel_ = false;
    if (incompleteAnswer_ != 0) {
      inner_.ShowMessage(c, t);
      return false;
    }
    lastWasCancel_ = inner_.AskRetryCancel(c, t);
    return lastWasCancel_;
  }
  int AskYesNoCancel(const std::string& c, const std::string& q) override {
    lastWasCancel_ = false;
    const int answer = incompleteAnswer_ != 0 ? incompleteAnswer_ : inner_.AskYesNoCancel(c, q);
    lastWasCancel_ = answer == 0;
    return answer;
  }
  bool ChooseSaveFile(const std::string&, const std::string&, std::string& path) override {
    path = path_;
    return true;
  }

  bool LastWasCancel() const { return lastWasCancel_; }

 private:
  Prompter& inner_;
  std::string path_;
  int incompleteAnswer_;
  bool lastWasCancel_ = false;
};

// Collects what the reading thread reports, one line per symbol, for the command's own
// thread to write (only that thread writes to the streams), and wakes the command when
// the set is complete or the line is gone.
class CaptureObserver final : public Pdf417Observer {
 public:
  void OnSymbol(const Pdf417View& view) override {
    std::lock_guard lock(mutex_);
    lines_.push_back(view.status + Format(" [%u/%u]", view.received, view.expected));
    changed_.notify_all();
  }
  void OnAllRead() override {
    std::lock_guard lock(mutex_);
    allRead_ = true;
    changed_.notify_all();
  }
  void OnPortLost() override {
    std::lock_guard lock(mutex_);
    lost_ = true;
    changed_.notify_all();
  }
  // Waits up to `interval` for news; writes the symbol lines that came. True when the
  // set is complete or the line is gone.
  bool WaitEnd(std::chrono::milliseconds interval, std::ostream& out, const OutputOptions& output) {
    std::vector<std::string> lines;
    bool end = false;
    {
      std::unique_lock lock(mutex_);
      changed_.wait_for(lock, interval, [&] { return allRead_ || lost_ || !lines_.empty(); });
      lines.swap(lines_);
      end = allRead_ || lost_;
    }
    for (const std::string& line : lines) WriteText(out, line, output);
    return end;
  }
  bool AllRead() {
    std::lock_guard lock(mutex_);
    return allRead_;
  }
  bool Lost() {
    std::lock_guard lock(mutex_);
    return lost_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> lines_;
  bool allRead_ = false;
  bool lost_ = false;
};

// A list position for an option value; -1 when the value is not in the list.
int PositionOf(const std::string& value, std::initializer_list<const char*> list) {
  int i = 0;
  for (const char* item : list) {
    if (value == item) return i;
    ++i;
  }
  return -1;
}

}  // namespace

CLI::App* Pdf417Command::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand("pdf417", "PDF-417 symbols read with a serial hand scanner.");
  sub->require_subcommand(1);
  capture_ = sub->add_subcommand(
      "capture",
      "Read the PDF-417 symbols a printer printed from its detail-tape memory and save them as an MFD "
      "file (with --signature: the symbols of its digital signature, as an .rsa file). Ends when every "
      "symbol of the set was read, on Ctrl-C, or after --timeout; then, as the workbench's Parar "
      "button, asks whether to save a set with symbols missing.");
  capture_->add_option("--port", port_,
                       "The scanner's port: COM1:..COM8: or a device path (default: \"Port name\" of the "
                       "[Scanner Port] profile section, else COM1:)")
      ->type_name("PORT");
  capture_->add_flag("--signature", signature_, "Read the digital signature's symbols into an .rsa file");
  capture_->add_option("-o,--output", outputPath_, "The file to write")->required()->type_name("FILE");
  capture_->add_option("--baud", baud_, "1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200")
      ->check(CLI::IsMember({"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}));
  capture_->add_option("--data-bits", dataBits_, "5, 6, 7 or 8")->check(CLI::IsMember({"5", "6", "7", "8"}));
  capture_->add_option("--parity", parity_, "none, even or odd")->check(CLI::IsMember({"none", "even", "odd"}));
  capture_->add_option("--stop-bits", stopBits_, "1, 1.5 or 2")->check(CLI::IsMember({"1", "1.5", "2"}));
  capture_->add_option("--handshake", handshake_, "none or hardware (RTS/CTS)")
      ->check(CLI::IsMember({"none", "hardware"}));
  capture_->add_option("--timeout", timeoutSeconds_, "Stop after this many seconds (default: no limit)")
      ->check(CLI::NonNegativeNumber);
  capture_->add_option("--incomplete", incomplete_,
                       "When symbols are missing at the end: ask, save or discard (default ask)")
      ->check(CLI::IsMember({"ask", "save", "discard"}));
  capture_->add_option("--profile", profilePath_,
                       "The INI file whose [Scanner Port] section gives the defaults (default: "
                       "tervane/tervane.ini in the XDG config folder)")
      ->type_name("FILE");
  capture_->footer(
      "Line settings not given come from the [Scanner Port] section (as the workbench saves them), else\n"
      "115200 bauds, 8 data bits, no parity, 1 stop bit, no handshake. 1.5 stop bits are applied as 2.\n"
      "Exit status: 0 file written; 1 usage; 4 port not opened or nothing read; 5 stopped without saving.");
  return sub;
}

int Pdf417Command::execute(std::ostream& out, std::ostream& err) {
  if (!capture_->parsed()) return kExitUsage;

  // Profile first, options over it.
  const std::string profile = profilePath_.empty() ? PortSettingsFilePath() : profilePath_;
  ScannerProfileValues values = ReadScannerProfile(IniScannerProfile(profile), false);
  if (!port_.empty()) values.portName = port_;
  if (!baud_.empty()) {
    values.baudRate = PositionOf(baud_, {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"});
  }
  if (!dataBits_.empty()) values.byteLength = PositionOf(dataBits_, {"5", "6", "7", "8"});
  if (!parity_.empty()) values.parity = PositionOf(parity_, {"none", "even", "odd"});
  if (!stopBits_.empty()) values.stopBits = PositionOf(stopBits_, {"1", "1.5", "2"});
  if (!handshake_.empty()) values.handshake = PositionOf(handshake_, {"none", "hardware"});
  const ScannerLineSettings line = ToLineSettings(values);

  std::istream& in = environment_.in != nullptr ? *environment_.in : std::cin;
  TerminalPrompter terminal(in, out, output_);
  const int incompleteAnswer = incomplete_ == "save" ? 1 : incomplete_ == "discard" ? 2 : 0;
  CapturePrompter prompter(terminal, outputPath_, incompleteAnswer);
  CaptureObserver observer;
  Clock& clock = environment_.clock != nullptr ? *environment_.clock : SystemClock();
  Pdf417Session session(prompter, clock, &observer);
  session.SetSignature(signature_);

  std::optional<InterruptGuard> interrupt;
  interrupt.emplace(environment_.catchInterrupt);
  if (!session.Start(line)) return kExitPdf417NothingSaved;
  WriteMessage(out,
               "Reading symbols on " + line.portName + " (" + std::to_string(line.baudRate) + " bauds); Ctrl-C stops.",
               output_);

  const auto timeoutMs = static_cast<std::int64_t>(timeoutSeconds_ * 1000);
  for (;;) {
    const std::int64_t deadline = clock.MonotonicMs() + timeoutMs;
    bool timedOut = false;
    while (!observer.WaitEnd(kPollInterval, out, output_)) {
      if (InterruptGuard::Interrupted()) break;
      if (timeoutMs > 0 && clock.MonotonicMs() >= deadline) {
        timedOut = true;
        break;
      }
    }
    if (observer.AllRead()) {
      WriteText(out, pdf417text::AllReadText(), output_);
    } else if (observer.Lost()) {
      WriteMessage(err, "tervane-cli: the scanner's line is gone", output_);
    } else if (timedOut) {
      WriteMessage(err, "tervane-cli: time-out", output_);
    }

    const Pdf417View view = session.View();
    std::string saved;
    const Pdf417StopResult result = session.Stop(outputPath_, &saved);
    // Symbols read while the question was open.
    observer.WaitEnd(std::chrono::milliseconds(0), out, output_);
    switch (result) {
      case Pdf417StopResult::kSaved:
        WriteMessage(out, "Saved " + saved, output_);
        return kExitOk;
      case Pdf417StopResult::kClosed:
        return view.expected == 0 ? kExitPdf417NothingSaved : kExitPdf417Stopped;
      case Pdf417StopResult::kNotRunning:
        return kExitPdf417NothingSaved;
      case Pdf417StopResult::kCapturing:
        break;
    }
    // The file could not be written (the message said why): with the path fixed by -o
    // another try would fail alike.
    // The session closes the port as it goes.
    if (!prompter.LastWasCancel()) return kExitPdf417NothingSaved;
    // Cancel at the question: back to capturing. An answer that could not be read (end
    // of input) does not loop: the capture ends without saving.
    if (!in.good()) return kExitPdf417Stopped;
    // A fresh guard, so that the next Ctrl-C stops again.
    interrupt.reset();
    interrupt.emplace(environment_.catchInterrupt);
  }
}

}  // namespace tervane::cli
