// A Prompter for commands that run without a person at the keyboard: every question is
// answered No, every dialog is cancelled, and messages are written to a stream.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "core/common/prompter.h"

namespace tervane::cli {

class BatchPrompter final : public DecliningPrompter {
 public:
  BatchPrompter(std::ostream& messages, const OutputOptions& output) : messages_(messages), output_(output) {}

  bool AskYesNo(const std::string&, const std::string& question) override {
    questions.push_back(question);
    return false;
  }
  void ShowMessage(const std::string&, const std::string& text) override { WriteText(messages_, text, output_); }

  std::vector<std::string> questions;  // every question asked (and answered No)

 private:
  std::ostream& messages_;
  const OutputOptions& output_;
};

}  // namespace tervane::cli
