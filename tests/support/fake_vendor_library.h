// A memory-library loader for tests: libraries are named sets of entry points (plain
// functions supplied by the test), loads and unloads are recorded, so flows can be
// checked for which library they loaded, what they looked up and that it was unloaded.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/fiscalmemory/vendor_library.h"

namespace tervane::testing {

class FakeVendorLoader final : public VendorLoader {
 public:
  // Library `file` exists (with no entry points until some are added).
  FakeVendorLoader& Present(const std::string& file) {
    libraries_[file];
    return *this;
  }
  // Library `file` exports `entry` as `function` (any function pointer).
  template <typename Fn>
  FakeVendorLoader& Provide(const std::string& file, const std::string& entry, Fn function) {
    libraries_[file][entry] = reinterpret_cast<void*>(function);
    return *this;
  }

  std::unique_ptr<VendorLibrary> Load(const std::string& fileName, std::string* error = nullptr) override {
    loads.push_back(fileName);
    auto it = libraries_.find(fileName);
    if (it == libraries_.end()) {
      if (error) *error = fileName + ": not found";
      return nullptr;
    }
    ++loaded;
    return std::make_unique<Library>(*this, it->second);
  }

  std::vector<std::string> loads;    // every load asked, in order
  std::vector<std::string> lookups;  // every entry point looked up, in order
  int loaded = 0;                    // libraries loaded and not yet unloaded

 private:
  using Entries = std::map<std::string, void*>;
  class Library final : public VendorLibrary {
   public:
    Library(FakeVendorLoader& owner, const Entries& entries) : owner_(owner), entries_(entries) {}
    ~Library() override { --owner_.loaded; }
    void* Find(const char* name) override {
      owner_.lookups.push_back(name);
      auto it = entries_.find(name);
      return it == entries_.end() ? nullptr : it->second;
    }

   private:
    FakeVendorLoader& owner_;
    const Entries& entries_;
  };

  std::map<std::string, Entries> libraries_;
};

}  // namespace tervane::testing
