// A scripted Prompter for tests: each request kind answers from its own queue, in order,
// and every request is recorded with what it showed (description, limits, labels,
// starting text, the forms it was given), so tests can check both the value produced and
// the questions asked.
//
// A request whose queue is empty is answered as the person pressing Cancel (No for a
// question, 0 for a choice) and counted in Unscripted(); tests usually expect 0.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/catalogue/parameter_forms.h"
#include "core/common/prompter.h"
#include "core/fiscalmemory/memory_forms.h"

namespace tervane::testing {

enum class PromptKind {
  kText,
  kMultiLineText,
  kNumber,
  kValue,
  kPercentage,
  kDate,
  kTime,
  kComputerClock,
  kChoice,
  kYesNo,
  kCliche,
  kChequePositions,
  kTaxRates,
  kMessage,
  kSaveFile,
  kOkCancel,
  kOpenFile,
  kMemoryRange,
  kMfReport,
  kTypeE,
  kOpenFiles,
  kResults,
  kYesNoCancel,
  kRetryCancel,
};

// One request as the dialog would have shown it.
struct PromptRequest {
  PromptKind kind = PromptKind::kText;
  std::string description;           // description, question or message text
  std::string caption;               // caption of a question or message; file-chooser filter
  int limit = 0;                     // maxLength, maxDigits or integer digits
  int decimals = 0;                  // value dialog
  std::string start;                 // starting text (percentage: integer part)
  std::string start2;                // percentage: decimal part; file chooser: extension
  std::vector<std::string> labels;   // choice buttons
  CivilTime startTime;               // date and time pickers
  ClicheForm cliche;                 // forms as handed to the page
  ChequePositionForm cheque;
  TaxRateForm taxRates;
  std::string title;                 // file chooser: window title, when it has one
};

class FakePrompter final : public Prompter, public ParameterForms, public MemoryForms {
 public:
  // --- Scripting -------------------------------------------------------------------
  FakePrompter& QueueText(std::string text) { return Push(PromptKind::kText, Answer(std::move(text))); }
  FakePrompter& QueueMultiLineText(std::string text) {
    return Push(PromptKind::kMultiLineText, Answer(std::move(text)));
  }
  FakePrompter& QueueNumber(std::string digits) { return Push(PromptKind::kNumber, Answer(std::move(digits))); }
  FakePrompter& QueueValue(std::string typed) { return Push(PromptKind::kValue, Answer(std::move(typed))); }
  FakePrompter& QueuePercentage(std::string integerPart, std::string decimalPart) {
    Reply r = Answer(std::move(integerPart));
    r.text2 = std::move(decimalPart);
    return Push(PromptKind::kPercentage, std::move(r));
  }
  FakePrompter& QueueDate(int year, int month, int day) {
    Reply r;
    r.time.year = year;
    r.time.month = month;
    r.time.day = day;
    return Push(PromptKind::kDate, std::move(r));
  }
  FakePrompter& QueueTime(int hour, int minute, int second) {
    Reply r;
    r.time.hour = hour;
    r.time.minute = minute;
    r.time.second = second;
    return Push(PromptKind::kTime, std::move(r));
  }
  // Accepts the computer's clock with the daylight-saving box as given.
  FakePrompter& QueueAcceptClock(bool daylightSaving) {
    Reply r;
    r.flag = daylightSaving;
    return Push(PromptKind::kComputerClock, std::move(r));
  }
  FakePrompter& QueueChoice(int index) {
    Reply r;
    r.index = index;
    return Push(PromptKind::kChoice, std::move(r));
  }
  FakePrompter& QueueYesNo(bool yes) {
    Reply r;
    r.flag = yes;
    return Push(PromptKind::kYesNo, std::move(r));
  }
  FakePrompter& QueueCliche(ClicheForm form) {
    Reply r;
    r.cliche = std::move(form);
    return Push(PromptKind::kCliche, std::move(r));
  }
  FakePrompter& QueueChequePositions(ChequePositionForm form) {
    Reply r;
    r.cheque = std::move(form);
    return Push(PromptKind::kChequePositions, std::move(r));
  }
  FakePrompter& QueueTaxRates(TaxRateForm form) {
    Reply r;
    r.taxRates = std::move(form);
    return Push(PromptKind::kTaxRates, std::move(r));
  }
  FakePrompter& QueueSaveFile(std::string path) { return Push(PromptKind::kSaveFile, Answer(std::move(path))); }
  // OK (true) or Cancel (false) on the next OK/Cancel message.
  FakePrompter& QueueOkCancel(bool ok) {
    Reply r;
    r.flag = ok;
    return Push(PromptKind::kOkCancel, std::move(r));
  }
  FakePrompter& QueueOpenFile(std::string path) { return Push(PromptKind::kOpenFile, Answer(std::move(path))); }
  FakePrompter& QueueMemoryRange(MemoryRangeForm form) {
    Reply r;
    r.range = std::move(form);
    return Push(PromptKind::kMemoryRange, std::move(r));
  }
  FakePrompter& QueueMfReport(MfReportForm form) {
    Reply r;
    r.mfReport = std::move(form);
    return Push(PromptKind::kMfReport, std::move(r));
  }
  FakePrompter& QueueTypeE(TypeERecordsForm form) {
    Reply r;
    r.typeE = std::move(form);
    return Push(PromptKind::kTypeE, std::move(r));
  }
  FakePrompter& QueueOpenFiles(std::vector<std::string> paths) {
    Reply r;
    r.paths = std::move(paths);
    return Push(PromptKind::kOpenFiles, std::move(r));
  }
  // 1 Yes, 2 No, 0 Cancel on the next Yes/No/Cancel question.
  FakePrompter& QueueYesNoCancel(int answer) {
    Reply r;
    r.index = answer;
    return Push(PromptKind::kYesNoCancel, std::move(r));
  }
  // Retry (true) or Cancel (false) on the next Retry/Cancel message.
  FakePrompter& QueueRetryCancel(bool retry) {
    Reply r;
    r.flag = retry;
    return Push(PromptKind::kRetryCancel, std::move(r));
  }
  // The person presses Cancel (No, or no button) on the next request of this kind.
  FakePrompter& QueueCancel(PromptKind kind) {
    Reply r;
    r.mode = Mode::kCancel;
    return Push(kind, std::move(r));
  }
  // The person presses OK without changing what the dialog started with.
  FakePrompter& QueueKeep(PromptKind kind) {
    Reply r;
    r.mode = Mode::kKeep;
    return Push(kind, std::move(r));
  }

  // --- Inspection ------------------------------------------------------------------
  const std::vector<PromptRequest>& Requests() const { return requests_; }
  // The requests of one kind, in order.
  std::vector<PromptRequest> RequestsOf(PromptKind kind) const {
    std::vector<PromptRequest> out;
    for (const auto& r : requests_) {
      if (r.kind == kind) out.push_back(r);
    }
    return out;
  }
  int Unscripted() const { return unscripted_; }
  // Scripted answers not yet used.
  size_t Pending() const {
    size_t n = 0;
    for (const auto& [kind, queue] : queues_) n += queue.size();
    return n;
  }

  // --- Prompter --------------------------------------------------------------------
  bool AskText(const std::string& description, int maxLength, std::string& text) override {
    return AnswerText(PromptKind::kText, description, maxLength, text);
  }
  bool AskMultiLineText(const std::string& description, int maxLength, std::string& text) override {
    return AnswerText(PromptKind::kMultiLineText, description, maxLength, text);
  }
  bool AskNumber(const std::string& description, int maxDigits, std::string& digits) override {
    return AnswerText(PromptKind::kNumber, description, maxDigits, digits);
  }
  bool AskValue(const std::string& description, int integerDigits, int decimals,
                std::string& value) override {
    PromptRequest& req = Record(PromptKind::kValue, description);
    req.limit = integerDigits;
    req.decimals = decimals;
    req.start = value;
    Reply r = Next(PromptKind::kValue);
    if (r.mode == Mode::kAnswer) value = r.text;
    return r.mode != Mode::kCancel;
  }
  bool AskPercentage(const std::string& description, std::string& integerPart,
                     std::string& decimalPart) override {
    PromptRequest& req = Record(PromptKind::kPercentage, description);
    req.start = integerPart;
    req.start2 = decimalPart;
    Reply r = Next(PromptKind::kPercentage);
    if (r.mode == Mode::kAnswer) {
      integerPart = r.text;
      decimalPart = r.text2;
    }
    return r.mode != Mode::kCancel;
  }
  bool AskDate(const std::string& description, CivilTime& value) override {
    return AnswerTime(PromptKind::kDate, description, value, true);
  }
  bool AskTime(const std::string& description, CivilTime& value) override {
    return AnswerTime(PromptKind::kTime, description, value, false);
  }
  bool AcceptComputerClock(const std::string& text, bool& daylightSaving) override {
    Record(PromptKind::kComputerClock, text);
    Reply r = Next(PromptKind::kComputerClock);
    if (r.mode == Mode::kAnswer) daylightSaving = r.flag;
    return r.mode != Mode::kCancel;
  }
  int Choose(const std::string& description, const std::vector<std::string>& labels) override {
    Record(PromptKind::kChoice, description).labels = labels;
    Reply r = Next(PromptKind::kChoice);
    return r.mode == Mode::kAnswer ? r.index : 0;
  }
  bool AskYesNo(const std::string& caption, const std::string& question) override {
    Record(PromptKind::kYesNo, question).caption = caption;
    Reply r = Next(PromptKind::kYesNo);
    return r.mode == Mode::kAnswer && r.flag;
  }
  bool EditCliche(ClicheForm& form) override {
    Record(PromptKind::kCliche, "").cliche = form;
    Reply r = Next(PromptKind::kCliche);
    if (r.mode == Mode::kAnswer) form = r.cliche;
    return r.mode != Mode::kCancel;
  }
  bool EditChequePositions(ChequePositionForm& form) override {
    Record(PromptKind::kChequePositions, "").cheque = form;
    Reply r = Next(PromptKind::kChequePositions);
    if (r.mode == Mode::kAnswer) form = r.cheque;
    return r.mode != Mode::kCancel;
  }
  bool EditTaxRates(TaxRateForm& form) override {
    Record(PromptKind::kTaxRates, "").taxRates = form;
    Reply r = Next(PromptKind::kTaxRates);
    if (r.mode == Mode::kAnswer) form = r.taxRates;
    return r.mode != Mode::kCancel;
  }
  void ShowMessage(const std::string& caption, const std::string& text) override {
    Record(PromptKind::kMessage, text).caption = caption;
  }
  bool ChooseSaveFile(const std::string& defaultExtension, const std::string& filter,
                      std::string& path) override {
    PromptRequest& req = Record(PromptKind::kSaveFile, "");
    req.caption = filter;
    req.start = path;
    req.start2 = defaultExtension;
    Reply r = Next(PromptKind::kSaveFile);
    if (r.mode == Mode::kAnswer) path = r.text;
    return r.mode != Mode::kCancel;
  }
  bool AskOkCancel(const std::string& caption, const std::string& text) override {
    Record(PromptKind::kOkCancel, text).caption = caption;
    Reply r = Next(PromptKind::kOkCancel);
    return r.mode == Mode::kAnswer && r.flag;
  }
  bool ChooseOpenFile(const std::string& defaultExtension, const std::string& filter,
                      std::string& path) override {
    PromptRequest& req = Record(PromptKind::kOpenFile, "");
    req.caption = filter;
    req.start = path;
    req.start2 = defaultExtension;
    Reply r = Next(PromptKind::kOpenFile);
    if (r.mode == Mode::kAnswer) path = r.text;
    return r.mode != Mode::kCancel;
  }
  bool ChooseOpenFileTitled(const std::string& title, const std::string& defaultExtension,
                            const std::string& filter, std::string& path) override {
    const bool ok = ChooseOpenFile(defaultExtension, filter, path);
    requests_.back().title = title;
    return ok;
  }
  bool ChooseOpenFiles(const std::string& title, const std::string& defaultExtension, const std::string& filter,
                       std::vector<std::string>& paths) override {
    PromptRequest& req = Record(PromptKind::kOpenFiles, "");
    req.caption = filter;
    req.start2 = defaultExtension;
    req.title = title;
    Reply r = Next(PromptKind::kOpenFiles);
    if (r.mode == Mode::kAnswer) paths = r.paths;
    return r.mode != Mode::kCancel;
  }
  // The results window: description = result text, caption = hex trace.
  void ShowCommandResults(const std::string& resultText, const std::string& hexTrace) override {
    Record(PromptKind::kResults, resultText).caption = hexTrace;
  }
  bool AskMemoryRange(MemoryRangeForm& form) override { return AnswerForm(PromptKind::kMemoryRange, form, &Reply::range); }
  bool AskMfReportRange(MfReportForm& form) override { return AnswerForm(PromptKind::kMfReport, form, &Reply::mfReport); }
  bool AskTypeERecords(TypeERecordsForm& form) override { return AnswerForm(PromptKind::kTypeE, form, &Reply::typeE); }
  int AskYesNoCancel(const std::string& caption, const std::string& question) override {
    Record(PromptKind::kYesNoCancel, question).caption = caption;
    Reply r = Next(PromptKind::kYesNoCancel);
    return r.mode == Mode::kAnswer ? r.index : 0;
  }
  bool AskRetryCancel(const std::string& caption, const std::string& text) override {
    Record(PromptKind::kRetryCancel, text).caption = caption;
    Reply r = Next(PromptKind::kRetryCancel);
    return r.mode == Mode::kAnswer && r.flag;
  }

 private:
  enum class Mode { kAnswer, kCancel, kKeep };
  struct Reply {
    Mode mode = Mode::kAnswer;
    std::string text;
    std::string text2;
    CivilTime time;
    bool flag = false;
    int index = 0;
    ClicheForm cliche;
    ChequePositionForm cheque;
    TaxRateForm taxRates;
    MemoryRangeForm range;
    MfReportForm mfReport;
    TypeERecordsForm typeE;
    std::vector<std::string> paths;
  };

  template <typename Form>
  bool AnswerForm(PromptKind kind, Form& form, Form Reply::*slot) {
    Record(kind, "");
    Reply r = Next(kind);
    if (r.mode == Mode::kAnswer) form = r.*slot;
    return r.mode != Mode::kCancel;
  }

  static Reply Answer(std::string text) {
    Reply r;
    r.text = std::move(text);
    return r;
  }

  FakePrompter& Push(PromptKind kind, Reply reply) {
    queues_[kind].push_back(std::move(reply));
    return *this;
  }

  PromptRequest& Record(PromptKind kind, const std::string& description) {
    PromptRequest req;
    req.kind = kind;
    req.description = description;
    requests_.push_back(std::move(req));
    return requests_.back();
  }

  Reply Next(PromptKind kind) {
    auto& queue = queues_[kind];
    if (queue.empty()) {
      ++unscripted_;
      Reply r;
      r.mode = Mode::kCancel;
      return r;
    }
    Reply r = std::move(queue.front());
    queue.pop_front();
    return r;
  }

  bool AnswerText(PromptKind kind, const std::string& description, int limit, std::string& text) {
    PromptRequest& req = Record(kind, description);
    req.limit = limit;
    req.start = text;
    Reply r = Next(kind);
    if (r.mode == Mode::kAnswer) text = r.text;
    return r.mode != Mode::kCancel;
  }

  bool AnswerTime(PromptKind kind, const std::string& description, CivilTime& value, bool date) {
    Record(kind, description).startTime = value;
    Reply r = Next(kind);
    if (r.mode == Mode::kAnswer) {
      if (date) {
        value.year = r.time.year;
        value.month = r.time.month;
        value.day = r.time.day;
      } else {
        value.hour = r.time.hour;
        value.minute = r.time.minute;
        value.second = r.time.second;
      }
    }
    return r.mode != Mode::kCancel;
  }

  std::map<PromptKind, std::deque<Reply>> queues_;
  std::vector<PromptRequest> requests_;
  int unscripted_ = 0;
};

}  // namespace tervane::testing
