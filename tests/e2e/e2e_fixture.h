// Shared set-up of the end-to-end tests: the real tervane-sim as a child process, the real
// port kinds, and tervane-cli run in-process (or as a program) against them. Each test
// gets a work folder holding the shipped catalogue, where the daily log lands.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/common/settings.h"
#include "cli/cli_app.h"
#include "core/common/charset.h"
#include "core/common/clock.h"
#include "core/common/progress.h"
#include "core/protocol/command_log.h"
#include "support/scaled_clock.h"
#include "support/sim_process.h"
#include "core/transport/transport_test_util.h"

namespace tervane::e2e {

using tervane::testing::CountOpenFds;
using tervane::testing::ScaledClock;
using tervane::testing::ScopedEnv;
using tervane::testing::SimProcess;
using Steady = std::chrono::steady_clock;

inline std::string SimPath() { return std::string(TERVANE_BIN_DIR) + "/tervane-sim"; }
inline std::string CliPath() { return std::string(TERVANE_BIN_DIR) + "/tervane-cli"; }

inline const char kModelQuery[] = "Marca, Modelo e Tipo";

inline std::int64_t MsSince(Steady::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - since).count();
}

struct CliRun {
  int code = -1;
  std::string out;
  std::string err;
  std::int64_t ms = 0;  // real time taken
};

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tervane-e2e-XXXXXX";
    dir_ = ::mkdtemp(pattern);
    workDir_ = dir_ + "/work";
    std::filesystem::create_directories(workDir_);
    std::filesystem::copy_file(std::string(TERVANE_REPO_DIR) + "/data/comandos.xml", workDir_ + "/comandos.xml");
    // The memory libraries keep unfinished downloads in the state folder: the test's own.
    ::setenv("XDG_STATE_HOME", (dir_ + "/state").c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("XDG_STATE_HOME");
    std::filesystem::remove_all(dir_);
  }

  // Runs tervane-cli in-process with the given clock and progress display.
  CliRun Cli(std::vector<std::string> args, const cli::CliContext& context = {}) {
    std::ostringstream out, err;
    CliRun run;
    const auto start = Steady::now();
    run.code = cli::RunCli(args, out, err, context);
    run.ms = MsSince(start);
    run.out = out.str();
    run.err = err.str();
    return run;
  }

  // `send` of the model query (or another command) through the given port options.
  CliRun Send(std::vector<std::string> portArgs, const cli::CliContext& context = {},
              const std::string& title = kModelQuery) {
    std::vector<std::string> args{"send", "--workdir", workDir_, "--title", title};
    args.insert(args.end(), portArgs.begin(), portArgs.end());
    return Cli(args, context);
  }

  // Starts a simulator with `args` and returns the text of the ready line of `face`.
  std::string StartSim(SimProcess& sim, const std::vector<std::string>& args, const std::string& face) {
    if (!sim.Start(SimPath(), args)) return {};
    return sim.Ready(face);
  }

  // Today's daily log in the work folder.
  std::string Log() {
    ProgramSettings settings;
    settings.g_workDir = workDir_;
    std::ifstream in(LogFilePath(settings, SystemClock().LocalNow()), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  const std::string& workDir() const { return workDir_; }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
  std::string workDir_;
};

// A progress display that asks to cancel from a given poll on and notes when it first
// did; the exchange's reaction time is measured from there.
class CancellingProgress final : public ProgressSink {
 public:
  explicit CancellingProgress(int cancelAfterPolls) : cancelAfterPolls_(cancelAfterPolls) {}
  void Open(const std::string&, const std::string&, long, long) override {}
  void SetPosition(long) override {}
  void Step() override { ++steps; }
  bool IsCancelled() override {
    if (++polls_ <= cancelAfterPolls_) return false;
    if (!cancelled) {
      cancelled = true;
      cancelledAt = Steady::now();
    }
    return true;
  }
  void Close() override {}

  bool cancelled = false;
  Steady::time_point cancelledAt{};
  int steps = 0;

 private:
  int cancelAfterPolls_;
  int polls_ = 0;
};

}  // namespace tervane::e2e
