// tervane-regsvr [-u] LIBRARY: registers a component library in the user's component
// registry (its DllRegisterServer) or, with -u, unregisters it (DllUnregisterServer),
// and prints the result code.
//
// Exit status: 0 success, 1 wrong arguments, 3 the library cannot be loaded, 4 it lacks
// the entry point, 5 the entry point reported a failure.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "component/hresult.h"
#include "component/registry_file.h"
#include "component/server_exports.h"

namespace {

using namespace tervane::component;

void Usage(std::FILE* out) {
  std::fputs(
      "Usage: tervane-regsvr [-u] LIBRARY\n"
      "Registers the component library LIBRARY for this user (its DllRegisterServer), or\n"
      "with -u removes its registration (DllUnregisterServer). The registry is\n"
      "$XDG_DATA_HOME/tervane/components.ini (~/.local/share when XDG_DATA_HOME is unset).\n",
      out);
}

}  // namespace

int main(int argc, char* argv[]) {
  bool unregister = false;
  const char* library = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-u") == 0) {
      unregister = true;
    } else if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
      Usage(stdout);
      return 0;
    } else if (argv[i][0] == '-' || library) {
      Usage(stderr);
      return 1;
    } else {
      library = argv[i];
    }
  }
  if (!library) {
    Usage(stderr);
    return 1;
  }

  // The library records the path it was loaded from, so it is loaded by its absolute path.
  char resolved[PATH_MAX];
  if (!::realpath(library, resolved)) {
    std::fprintf(stderr, "tervane-regsvr: %s: %s\n", library, std::strerror(errno));
    return 3;
  }
  void* handle = ::dlopen(resolved, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = ::dlerror();
    std::fprintf(stderr, "tervane-regsvr: cannot load %s: %s\n", resolved, why ? why : "unknown reason");
    return 3;
  }
  const char* entry = unregister ? kDllUnregisterServer : kDllRegisterServer;
  auto function = reinterpret_cast<DllRegisterServerFunction>(::dlsym(handle, entry));
  if (!function) {
    std::fprintf(stderr, "tervane-regsvr: %s has no %s\n", resolved, entry);
    ::dlclose(handle);
    return 4;
  }
  const HResult result = function();
  const std::string text = HResultText(result);
  const std::string registry = DefaultRegistryPath();
  if (Succeeded(result)) {
    std::printf("%s in %s succeeded: %s\nregistry: %s\n", entry, resolved, text.c_str(), registry.c_str());
  } else {
    std::fprintf(stderr, "%s in %s failed: %s\nregistry: %s\n", entry, resolved, text.c_str(), registry.c_str());
    // The entry point answers with a code only; a registry that cannot be read or written
    // is the usual cause, and its own message says what to repair.
    RegistryFile file;
    std::string why;
    const RegistryReadStatus status = ReadRegistryFile(registry, file, &why);
    if (status == RegistryReadStatus::kUnreadable || status == RegistryReadStatus::kMalformed) {
      std::fprintf(stderr, "%s\n", why.c_str());
    }
  }
  // The library stays loaded until the process ends: a library with windowing code may
  // have registered exit handlers that must still find its code.
  return Succeeded(result) ? 0 : 5;
}
