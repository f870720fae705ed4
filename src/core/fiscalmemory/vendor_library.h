// The binding to the memory libraries libKeloMFD.so and libKeloMFD2.so: a library is
// loaded by file name for one operation, its entry points are found by name, and it is
// unloaded when the operation ends. The loading sits behind VendorLoader so that the
// operations run against a fake library in tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tervane {

inline constexpr const char* kVendorLibrary1 = "libKeloMFD.so";
inline constexpr const char* kVendorLibrary2 = "libKeloMFD2.so";

// Environment variable naming a folder to load the libraries from instead of the
// dynamic loader's search (RUNPATH of the program, LD_LIBRARY_PATH, system folders).
inline constexpr const char* kVendorDirVariable = "TERVANE_VENDOR_DIR";

// The libraries open the printer's port from its name alone; the address of "SOCKET" and
// the folder of the "FILE" exchange reach them through these environment variables.
inline constexpr const char* kPrinterAddressVariable = "TERVANE_PRINTER_ADDRESS";
inline constexpr const char* kExchangeDirVariable = "TERVANE_EXCHANGE_DIR";

// One loaded library. Destroying it unloads the library; entry points found through it
// must not be called afterwards.
class VendorLibrary {
 public:
  virtual ~VendorLibrary() = default;
  // The address of entry point `name`, or null when the library does not export it.
  virtual void* Find(const char* name) = 0;

  // The entry point as a function pointer of type Fn, or null.
  template <typename Fn>
  Fn Entry(const char* name) {
    return reinterpret_cast<Fn>(Find(name));
  }
};

class VendorLoader {
 public:
  virtual ~VendorLoader() = default;
  // Loads library `fileName` ("libKeloMFD.so"). Returns null when it cannot be loaded;
  // `error` (when given) then says why.
  virtual std::unique_ptr<VendorLibrary> Load(const std::string& fileName, std::string* error = nullptr) = 0;
};

// dlopen/dlsym/dlclose. With an empty folder the bare file name goes to the dynamic
// loader's search order; with a folder the library is loaded from that folder only.
class DlopenVendorLoader final : public VendorLoader {
 public:
  explicit DlopenVendorLoader(std::string folder = {}) : folder_(std::move(folder)) {}
  std::unique_ptr<VendorLibrary> Load(const std::string& fileName, std::string* error = nullptr) override;
  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
};

// The program's loader: dlopen by bare file name, or from the folder named by
// TERVANE_VENDOR_DIR when that variable is set and not empty (read at every load).
VendorLoader& SystemVendorLoader();

// The library file of a model: libKeloMFD.so when the mask is below 4096 or exactly
// 8192, else libKeloMFD2.so.
std::string VendorLibraryFile(std::uint32_t modelMask);

// True for the models that use the first library (mask below 4096 or exactly 8192).
bool UsesFirstVendorLibrary(std::uint32_t modelMask);

// The string number of the warning shown for a library status code: 2 → 32999, 3 →
// 32778, 4..7 → 33001..33004; 0 for every other code (nothing is shown).
int VendorStatusMessageId(int statusCode);

// Reads the version text of library `fileName` through KeloVersaoDll (a zeroed 1024-byte
// buffer, cut at its first NUL), as the library wrote it. Returns false and leaves
// `version` empty when the library or its entry point is missing.
bool ReadVendorLibraryVersion(VendorLoader& loader, const std::string& fileName, std::string& version);

// Reads the version text of the library a model uses through KeloVersaoDll (a zeroed
// 1024-byte buffer, cut at its first NUL), with every "," turned into ".". Returns false
// and leaves `version` empty when the library or its entry point is missing.
bool ReadVendorVersion(VendorLoader& loader, std::uint32_t modelMask, std::string& version);

}  // namespace tervane
