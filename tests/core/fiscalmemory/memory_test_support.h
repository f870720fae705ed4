// Shared scaffolding of the memory-tool tests: a scratch folder, a recording wait notice,
// the call log the fake entry points write to, and a context wired to the fakes.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/common/charset.h"
#include "core/fiscalmemory/memory_operations.h"
#include "support/fake_clock.h"
#include "support/fake_port.h"
#include "support/fake_prompter.h"
#include "support/fake_vendor_library.h"
#include "support/file_contents.h"

namespace tervane::testing {

// Whether the notice is up, and how often it was shown.
class RecordingWait final : public WaitNotice {
 public:
  void Show(const std::string& text) override {
    visible = true;
    ++shows;
    lastText = text;
  }
  void Hide() override { visible = false; }
  bool visible = false;
  int shows = 0;
  std::string lastText;
};

// What the fake entry points saw. Each entry appends "Name(arg|arg|...)" and, when the
// wait notice was not up during the call, a "(no wait)" mark.
struct EntryLog {
  std::vector<std::string> calls;
  int result = 1;          // what the status entries return
  bool writeOutput = true; // whether producing entries write their output file
  RecordingWait* wait = nullptr;
};
inline EntryLog& Log() {
  static EntryLog log;
  return log;
}

inline void Record(const std::string& name, const std::vector<std::string>& args) {
  std::string line = name + "(";
  for (size_t i = 0; i < args.size(); ++i) line += (i ? "|" : "") + args[i];
  line += ")";
  if (Log().wait && !Log().wait->visible) line += "(no wait)";
  Log().calls.push_back(line);
}

inline void Touch(const char* path, const std::string& content = "made") {
  if (!Log().writeOutput) return;
  std::ofstream(path, std::ios::binary | std::ios::app) << content;
}

class MemoryToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tervane_memory_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    Log() = EntryLog{};
    Log().wait = &wait_;
    settings_.g_workDir = dir_.string();
    settings_.g_portName = "/dev/ttyFAKE";
    settings_.g_modelMask = kAllModelsMask;
    context_.exchange = ExchangeContext{&settings_, &ports_, &clock_, nullptr, nullptr};
    context_.prompter = &prompter_;
    context_.loader = &loader_;
    context_.wait = &wait_;
    context_.openFile = [this](const std::string& path) {
      opened_.push_back(path);
      return true;
    };
    // Kept partial downloads live in the state folder: the test's own.
    ::setenv("XDG_STATE_HOME", (dir_ / "state").c_str(), 1);
  }
  void TearDown() override {
    Log().wait = nullptr;
    ::unsetenv("XDG_STATE_HOME");
    std::filesystem::remove_all(dir_);
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void SetModel(const std::string& name, std::uint32_t mask) {
    settings_.g_modelName = name;
    settings_.g_modelMask = mask;
  }
  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& r : prompter_.RequestsOf(PromptKind::kMessage)) texts.push_back(r.description);
    return texts;
  }

  std::filesystem::path dir_;
  ProgramSettings settings_;
  FakeClock clock_;
  FakePortFactory ports_{&clock_};
  FakePrompter prompter_;
  FakeVendorLoader loader_;
  RecordingWait wait_;
  std::vector<std::string> opened_;
  MemoryToolContext context_;
};

}  // namespace tervane::testing
