// A Prompter for commands that run without a person at the keyboard: every question is
// answered No, every dialog is cancelled, and messages are written to a stream.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "core/common/prompter.h"

namespace tervane::cli {

class BatchPrompter final : public Prompter {
 public:
  BatchPrompter(std::ostream& messages, const OutputOptions& output) : messages_(messages), output_(output) {}

  bool AskText(const std::string&, int, std::string&) override { return false; }
  bool AskMultiLineText(const std::string&, int, std::string&) override { return false; }
  bool AskNumber(const std::string&, int, std::string&) override { return false; }
  bool AskValue(const std::string&, int, int, std::string&) override { return false; }
  bool AskPercentage(const std::string&, std::string&, std::string&) override { return false; }
  bool AskDate(const std::string&, CivilTime&) override { return false; }
  bool AskTime(const std::string&, CivilTime&) override { return false; }
  bool AcceptComputerClock(const std::string&, bool&) override { return false; }
  int Choose(const std::string&, const std::vector<std::string>&) override { return 0; }
  bool AskYesNo(const std::string&, const std::string& question) override {
    questions.push_back(question);
    return false;
  }
  void ShowMessage(const std::string&, const std::string& text) override { WriteText(messages_, text, output_); }
  bool ChooseSaveFile(const std::string&, const std::string&, std::string&) override { return false; }

  std::vector<std::string> questions;  // every question asked (and answered No)

 private:
  std::ostream& messages_;
  const OutputOptions& output_;
};

}  // namespace tervane::cli
