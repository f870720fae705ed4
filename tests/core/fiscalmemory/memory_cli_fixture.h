// The memory commands of tervane-cli run in-process: scripted ports for the printer and
// the stub library loaded for real from the folder named by TERVANE_VENDOR_DIR.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "cli/cli_environment.h"
#include "core/fiscalmemory/memory_test_support.h"

namespace tervane::testing {

struct CliResult {
  int code = -1;
  std::string out;
  std::string err;
};

class MemoryCliFixture : public MemoryToolTest {
 protected:
  void SetUp() override {
    MemoryToolTest::SetUp();
    libs_ = dir_ / "lib";
    std::filesystem::create_directories(libs_);
    for (const char* name : {kVendorLibrary1, kVendorLibrary2}) {
      std::filesystem::create_symlink(TERVANE_STUB_LIBRARY, libs_ / name);
    }
    ::setenv(kVendorDirVariable, libs_.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv(kVendorDirVariable);
    MemoryToolTest::TearDown();
  }
  CliResult Cli(std::vector<std::string> args) {
    args.push_back("--workdir");
    args.push_back(dir_.string());
    cli::CliEnvironment environment;
    environment.ports = &ports_;
    environment.clock = &clock_;
    environment.catchInterrupt = false;
    std::ostringstream out, err;
    CliResult run;
    run.code = cli::RunCli(args, out, err, environment);
    run.out = out.str();
    run.err = err.str();
    return run;
  }
  std::filesystem::path libs_;
};

}  // namespace tervane::testing
