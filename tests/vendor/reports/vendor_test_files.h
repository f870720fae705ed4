// A scratch folder per test and small file helpers for the memory-library tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tervane::vendortest {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tervane-vr-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace tervane::vendortest

#include <dlfcn.h>

namespace tervane::vendortest {

// One of the built memory libraries, loaded as the workbench loads it; entry points are
// looked up by name and called through their C signatures.
class KeloLibrary {
 public:
  explicit KeloLibrary(const char* name = "libKeloMFD2.so") {
    const std::string path = std::string(TERVANE_BIN_DIR) + "/../lib/" + name;
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  ~KeloLibrary() {
    if (handle_) dlclose(handle_);
  }
  KeloLibrary(const KeloLibrary&) = delete;
  KeloLibrary& operator=(const KeloLibrary&) = delete;

  bool loaded() const { return handle_ != nullptr; }

  // The entry point `name` as a pointer to `Function`; fails the test when it is absent.
  template <typename Function>
  Function* Entry(const char* name) const {
    void* symbol = handle_ ? dlsym(handle_, name) : nullptr;
    EXPECT_NE(symbol, nullptr) << name;
    return reinterpret_cast<Function*>(symbol);
  }

 private:
  void* handle_ = nullptr;
};

}  // namespace tervane::vendortest
