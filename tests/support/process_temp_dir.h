// A temporary folder of this test process's own, removed when the process ends. Tests
// that write files of fixed names put them here, so that they never meet the files of
// another run or of another user (a /tmp/x.bmp left by root cannot be replaced by
// anyone else).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace tervane::testing {

class ProcessTempDir {
 public:
  static const std::string& Path() {
    static ProcessTempDir dir;
    return dir.path_;
  }

 private:
  ProcessTempDir() {
    std::string pattern = ::testing::TempDir() + "tervane-test-XXXXXX";
    if (const char* made = ::mkdtemp(pattern.data())) path_ = std::string(made) + "/";
  }
  ~ProcessTempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }

  std::string path_;  // ends with '/'; empty when the folder could not be made
};

// `name` in this process's temporary folder.
inline std::string ProcessTempPath(const std::string& name) { return ProcessTempDir::Path() + name; }

}  // namespace tervane::testing
