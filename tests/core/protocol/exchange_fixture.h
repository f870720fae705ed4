// Shared set-up of the exchange tests: a temporary work folder for the log, a fake clock,
// scripted ports, a fake progress display and wait notice.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/common/settings.h"
#include "core/catalogue/command_record.h"
#include "core/common/charset.h"
#include "core/protocol/command_exchange.h"
#include "core/protocol/command_log.h"
#include "support/fake_clock.h"
#include "support/fake_port.h"
#include "support/fake_progress.h"

namespace tervane::testing {

inline FakePortScript Reply(std::vector<ReplyStep> steps) {
  FakePortScript script;
  script.reply = std::move(steps);
  return script;
}

// A command without parameters.
inline CommandRecord Command(int declaredReturnSize, std::vector<std::uint8_t> escape = {0x23, 0x14},
                             const std::string& title = "Leitura") {
  CommandRecord c;
  c.title = title;
  c.hasEscape = true;
  c.escapeText = "35 20";
  for (size_t i = 0; i < escape.size(); ++i) c.escapeBytes[i] = escape[i];
  c.escapeCount = static_cast<int>(escape.size());
  c.declaredReturnSize = declaredReturnSize;
  c.ExpectedReplyLength = declaredReturnSize;
  return c;
}

inline std::vector<std::uint8_t> FrameOf(const CommandRecord& c) {
  return {c.frame.bytes.begin(), c.frame.bytes.begin() + static_cast<long>(c.frame.length)};
}

// " %02X" of each byte.
inline std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string s;
  static const char digits[] = "0123456789ABCDEF";
  for (auto b : bytes) s += {' ', digits[b >> 4], digits[b & 15]};
  return s;
}

class ExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tervane_exchange_XXXXXX";
    workDir_ = mkdtemp(pattern);
    settings.g_workDir = workDir_;
    settings.g_portName = "COM1:";
  }
  void TearDown() override {
    EXPECT_TRUE(ports.AllClosedAndDestroyed());
    EXPECT_EQ(progress.openNow, 0);
    EXPECT_FALSE(wait.visible);
    std::filesystem::remove_all(workDir_);
  }

  ExchangeContext Context() { return ExchangeContext{&settings, &ports, &clock, &progress, &wait}; }
  int Run(CommandRecord& c) { return ExecuteCommand(c, Context()); }

  // Today's log file, empty when none was written.
  std::string Log() {
    std::ifstream in(LogFilePath(settings, clock.LocalNow()), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  FakeClock clock;
  FakePortFactory ports{&clock};
  FakeProgress progress;
  FakeWaitNotice wait;
  ProgramSettings settings;

 private:
  std::string workDir_;
};

}  // namespace tervane::testing
