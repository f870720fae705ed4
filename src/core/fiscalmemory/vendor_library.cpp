#include "core/fiscalmemory/vendor_library.h"

#include <dlfcn.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/app/model_table.h"
#include "core/common/text.h"

namespace tervane {
namespace {

constexpr size_t kVersionBuffer = 1024;

class DlopenLibrary final : public VendorLibrary {
 public:
  explicit DlopenLibrary(void* handle) : handle_(handle) {}
  ~DlopenLibrary() override { dlclose(handle_); }
  DlopenLibrary(const DlopenLibrary&) = delete;
  DlopenLibrary& operator=(const DlopenLibrary&) = delete;

  void* Find(const char* name) override {
    dlerror();
    return dlsym(handle_, name);
  }

 private:
  void* handle_;
};

}  // namespace

namespace {

// The library folder of the installed layout, beside the running program's folder
// (bin/../lib), or empty when the program's path cannot be read.
std::string ProgramLibraryFolder() {
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || program.empty()) return {};
  return (program.parent_path().parent_path() / "lib").string();
}

// RTLD_LOCAL keeps the library's symbols out of the program's; RTLD_NOW reports a
// library with unresolved references here rather than in the middle of a call.
void* OpenLibrary(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }

}  // namespace

std::unique_ptr<VendorLibrary> DlopenVendorLoader::Load(const std::string& fileName, std::string* error) {
  void* handle = nullptr;
  std::string tried = fileName;
  if (!folder_.empty()) {
    tried = folder_ + (folder_.back() == '/' ? "" : "/") + fileName;
    handle = OpenLibrary(tried);
  } else if (fileName.find('/') != std::string::npos) {
    handle = OpenLibrary(fileName);
  } else {
    // A bare name is looked for first in the program's own library folder, as the
    // platform's search order starts with the application's folder, then where the
    // dynamic loader looks. The first step is done here rather than left to the
    // program's RUNPATH because a dlopen made through an interposed dlopen (sanitizer
    // runtimes) is resolved against the interposer's search path, not the program's.
    const std::string local = ProgramLibraryFolder();
    if (!local.empty()) {
      std::error_code ec;
      const std::string candidate = local + "/" + fileName;
      if (std::filesystem::exists(candidate, ec)) handle = OpenLibrary(candidate);
    }
    if (!handle) handle = OpenLibrary(fileName);
  }
  if (!handle) {
    if (error) {
      const char* why = dlerror();
      *error = why ? why : tried;
    }
    return nullptr;
  }
  return std::make_unique<DlopenLibrary>(handle);
}

namespace {

// Reads the folder variable at every load, so that a change made while the program runs
// (a test, a setting applied to the environment) takes effect.
class EnvironmentVendorLoader final : public VendorLoader {
 public:
  std::unique_ptr<VendorLibrary> Load(const std::string& fileName, std::string* error) override {
    const char* folder = std::getenv(kVendorDirVariable);
    return DlopenVendorLoader(folder ? folder : "").Load(fileName, error);
  }
};

}  // namespace

VendorLoader& SystemVendorLoader() {
  static EnvironmentVendorLoader loader;
  return loader;
}

// The model table holds the rule; the library's file is its name in the platform's form.
bool UsesFirstVendorLibrary(std::uint32_t modelMask) {
  return VendorLibraryFor(modelMask) == "KeloMFD";
}

std::string VendorLibraryFile(std::uint32_t modelMask) {
  return UsesFirstVendorLibrary(modelMask) ? kVendorLibrary1 : kVendorLibrary2;
}

int VendorStatusMessageId(int statusCode) {
  switch (statusCode) {
    case 2: return 32999;
    case 3: return 32778;
    case 4: return 33001;
    case 5: return 33002;
    case 6: return 33003;
    case 7: return 33004;
    default: return 0;
  }
}

bool ReadVendorLibraryVersion(VendorLoader& loader, const std::string& fileName, std::string& version) {
  version.clear();
  std::unique_ptr<VendorLibrary> library = loader.Load(fileName);
  if (!library) return false;
  auto entry = library->Entry<void (*)(char*)>("KeloVersaoDll");
  if (!entry) return false;
  // A buffer far larger than any version text, zeroed, and cut at the last byte whatever
  // the library wrote.
  std::array<char, kVersionBuffer> buffer{};
  entry(buffer.data());
  buffer.back() = '\0';
  version = buffer.data();
  return true;
}

bool ReadVendorVersion(VendorLoader& loader, std::uint32_t modelMask, std::string& version) {
  if (!ReadVendorLibraryVersion(loader, VendorLibraryFile(modelMask), version)) return false;
  ReplaceAll(version, ",", ".");
  return true;
}

}  // namespace tervane
