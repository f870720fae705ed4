// The dialogs of the core on a terminal: questions asked on one stream and answered by a
// line read from another, a progress line, and Ctrl-C as the Cancel button.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/cli_command.h"
#include "cli/terminal_progress.h"
#include "core/catalogue/parameter_forms.h"
#include "core/common/progress.h"
#include "core/common/prompter.h"
#include "core/fiscalmemory/memory_forms.h"

namespace tervane::cli {

// A progress display that draws "caption [position/upper]" on one line of `stream`
// (nothing when null) and reports a cancel when Ctrl-C was pressed (InterruptGuard).
class SequenceProgressLine final : public ProgressSink {
 public:
  SequenceProgressLine(std::ostream* stream, const OutputOptions& output) : stream_(stream), output_(output) {}

  void Open(const std::string& caption, const std::string& message, long lower, long upper) override;
  void SetPosition(long position) override;
  void Step() override { SetPosition(position_ + 1); }
  bool IsCancelled() override { return InterruptGuard::Interrupted(); }
  void Close() override;

 private:
  void Draw();

  std::ostream* stream_;
  const OutputOptions& output_;
  std::string caption_;
  long lower_ = 0, upper_ = 0, position_ = 0;
  bool open_ = false;
};

// Asks the questions the command line needs on `out` and reads each answer as one line
// of `in`: OK/Cancel and Yes/No questions and messages. End of input answers Cancel (No).
// No command of the command line opens the other dialogs (values come from --set); they
// are answered Cancel, with a line on `out` saying so.
class TerminalPrompter final : public Prompter, public ParameterForms, public MemoryForms {
 public:
  TerminalPrompter(std::istream& in, std::ostream& out, const OutputOptions& output)
      : in_(in), out_(out), output_(output) {}

  bool AskOkCancel(const std::string& caption, const std::string& text) override;
  bool AskYesNo(const std::string& caption, const std::string& question) override;
  void ShowMessage(const std::string& caption, const std::string& text) override;
  // "[s/n/C]": s Yes, n No, anything else (and end of input) Cancel.
  int AskYesNoCancel(const std::string& caption, const std::string& question) override;
  // "[r = Repetir, Enter = Cancelar]": r Retry, anything else (and end of input) Cancel.
  bool AskRetryCancel(const std::string& caption, const std::string& text) override;

  bool AskText(const std::string& description, int, std::string&) override { return Unavailable(description); }
  bool AskMultiLineText(const std::string& description, int, std::string&) override {
    return Unavailable(description);
  }
  bool AskNumber(const std::string& description, int, std::string&) override { return Unavailable(description); }
  bool AskValue(const std::string& description, int, int, std::string&) override { return Unavailable(description); }
  bool AskPercentage(const std::string& description, std::string&, std::string&) override {
    return Unavailable(description);
  }
  bool AskDate(const std::string& description, CivilTime&) override { return Unavailable(description); }
  bool AskTime(const std::string& description, CivilTime&) override { return Unavailable(description); }
  bool AcceptComputerClock(const std::string& text, bool&) override { return Unavailable(text); }
  int Choose(const std::string& description, const std::vector<std::string>&) override {
    Unavailable(description);
    return 0;
  }
  bool EditCliche(ClicheForm&) override { return Unavailable(""); }
  bool EditChequePositions(ChequePositionForm&) override { return Unavailable(""); }
  bool EditTaxRates(TaxRateForm&) override { return Unavailable(""); }
  bool ChooseSaveFile(const std::string&, const std::string&, std::string&) override { return Unavailable(""); }
  // The memory tools' dialogs: the memory commands answer them from their options.
  bool AskMemoryRange(MemoryRangeForm&) override { return Unavailable("Intervalo"); }
  bool AskMfReportRange(MfReportForm&) override { return Unavailable("Intervalo"); }
  bool AskTypeERecords(TypeERecordsForm&) override { return Unavailable("Registros Tipo E"); }
  bool ChooseOpenFiles(const std::string& title, const std::string&, const std::string&,
                       std::vector<std::string>&) override {
    return Unavailable(title);
  }

 private:
  // Writes the question (core text) with the hint and reads one answer line; false at
  // the end of input.
  bool ReadAnswer(const std::string& text, const char* hint, std::string& answer);
  bool Unavailable(const std::string& description);

  std::istream& in_;
  std::ostream& out_;
  const OutputOptions& output_;
};

}  // namespace tervane::cli
