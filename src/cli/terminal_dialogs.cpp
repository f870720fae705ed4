#include "cli/terminal_dialogs.h"

#include <istream>
#include <ostream>

#include "cli/cli_support.h"

namespace tervane::cli {
namespace {

// The answer with blanks around it removed and letters in lower case.
std::string Normalised(const std::string& answer) {
  std::string out;
  for (char c : answer) {
    if (c == ' ' || c == '\t' || c == '\r') continue;
    out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return out;
}

}  // namespace

void SequenceProgressLine::Open(const std::string& caption, const std::string&, long lower, long upper) {
  caption_ = caption;
  lower_ = lower;
  upper_ = upper;
  position_ = lower;
  open_ = true;
  Draw();
}

void SequenceProgressLine::SetPosition(long position) {
  position_ = position;
  if (open_) Draw();
}

void SequenceProgressLine::Close() {
  if (open_ && stream_) *stream_ << '\n' << std::flush;
  open_ = false;
}

void SequenceProgressLine::Draw() {
  if (!stream_) return;
  *stream_ << '\r' << ForTerminal(caption_, output_) << " [" << (position_ - lower_) << '/' << (upper_ - lower_)
           << ']' << std::flush;
}

bool TerminalPrompter::ReadAnswer(const std::string& text, const char* hint, std::string& answer) {
  out_ << ForTerminal(text, output_) << ' ' << hint << ' ' << std::flush;
  if (!std::getline(in_, answer)) {
    out_ << '\n';
    return false;
  }
  return true;
}

bool TerminalPrompter::AskOkCancel(const std::string&, const std::string& text) {
  std::string answer;
  for (;;) {
    if (!ReadAnswer(text, "[Enter = OK, c = Cancelar]", answer)) return false;
    const std::string a = Normalised(answer);
    if (a.empty() || a == "ok" || a == "o") return true;
    if (a == "c" || a == "cancelar" || a == "cancel") return false;
  }
}

bool TerminalPrompter::AskYesNo(const std::string&, const std::string& question) {
  std::string answer;
  if (!ReadAnswer(question, "[s/N]", answer)) return false;
  const std::string a = Normalised(answer);
  // Anything but Yes counts as No.
  return a == "s" || a == "sim" || a == "y" || a == "yes";
}

void TerminalPrompter::ShowMessage(const std::string&, const std::string& text) { WriteText(out_, text, output_); }

int TerminalPrompter::AskYesNoCancel(const std::string&, const std::string& question) {
  std::string answer;
  if (!ReadAnswer(question, "[s/n/C]", answer)) return 0;
  const std::string a = Normalised(answer);
  if (a == "s" || a == "sim" || a == "y" || a == "yes") return 1;
  if (a == "n" || a == "nao" || a == "no") return 2;
  return 0;
}

bool TerminalPrompter::AskRetryCancel(const std::string&, const std::string& text) {
  std::string answer;
  if (!ReadAnswer(text, "[r = Repetir, Enter = Cancelar]", answer)) return false;
  const std::string a = Normalised(answer);
  return a == "r" || a == "repetir" || a == "retry";
}

bool TerminalPrompter::Unavailable(const std::string& description) {
  WriteMessage(out_, "(this dialog is not available on the command line; answered Cancel)", output_);
  if (!description.empty()) WriteText(out_, description, output_);
  return false;
}

}  // namespace tervane::cli
