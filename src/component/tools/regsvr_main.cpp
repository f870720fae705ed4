// tervane-regsvr [--system] [-u] LIBRARY: registers a component library in the user's
// component registry (its DllRegisterServer) or, with -u, unregisters it
// (DllUnregisterServer), and prints the result code. With --system it works on the
// system-wide registry instead, as the package's installation scripts do (as root).
//
// Exit status: 0 success, 1 wrong arguments, 3 the library cannot be loaded, 4 it lacks
// the entry point, 5 the entry point reported a failure (or the registry could not be
// changed).
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "component/component_registry.h"
#include "component/hresult.h"
#include "component/registry_file.h"
#include "component/server_exports.h"
#include "core/common/version.h"

namespace {

using namespace tervane::component;

void Usage(std::FILE* out) {
  std::fputs(
      "Usage: tervane-regsvr [--system] [-u] LIBRARY\n"
      "       tervane-regsvr --help | --version\n"
      "Registers the component library LIBRARY for this user (its DllRegisterServer), or\n"
      "with -u removes its registration (DllUnregisterServer). The user's registry is\n"
      "$XDG_DATA_HOME/tervane/components.ini (~/.local/share when XDG_DATA_HOME is unset).\n"
      "\n"
      "  --system   work on the system-wide registry, read by every user after their own:\n"
      "             /etc/tervane/components.ini, or $TERVANE_SYSTEM_REGISTRY when that is an\n"
      "             absolute path. Changing it needs root. The same as setting\n"
      "             TERVANE_REGISTRY_TARGET=system.\n"
      "  -u         unregister. When LIBRARY cannot be loaded (its file is already gone),\n"
      "             the entries registered with that file are removed from the registry.\n"
      "  --help     show this text.\n"
      "  --version  show the version.\n"
      "\n"
      "Exit status: 0 success, 1 wrong arguments, 3 the library cannot be loaded, 4 it\n"
      "lacks the entry point, 5 the registration failed (the message says why).\n",
      out);
}

// Says why the registry at `registry` could not be changed: it cannot be read, is
// malformed, or cannot be written (locked and saved). The entry points answer with a
// code only, so the tool asks the registry itself.
void ExplainRegistryFailure(const std::string& registry, bool system) {
  RegistryFile file;
  std::string why;
  const RegistryReadStatus status = ReadRegistryFile(registry, file, &why);
  if (status != RegistryReadStatus::kUnreadable && status != RegistryReadStatus::kMalformed) {
    // A change that changes nothing takes the lock (creating the folder when needed) and
    // writes nothing: it fails exactly where the entry point's change failed to start.
    why.clear();
    EditRegistryFile(registry, [](RegistryFile&, std::string*) { return true; }, &why);
  }
  if (!why.empty()) std::fprintf(stderr, "%s\n", why.c_str());
  if (system && ::geteuid() != 0) {
    std::fprintf(stderr, "the system-wide registry %s is changed by root only (run with sudo)\n", registry.c_str());
  }
}

// Unregisters `library` without loading it: removes the entries registered with that
// file directly from the registry.
int RemoveEntriesOf(const std::string& library, const std::string& registry, const std::string& loadError,
                    bool system) {
  int removed = 0;
  std::string why;
  if (!UnregisterLibraryEntries(registry, library, &removed, &why)) {
    std::fprintf(stderr, "tervane-regsvr: %s\nand the entries registered with it could not be removed: %s\n",
                 loadError.c_str(), why.c_str());
    if (system && ::geteuid() != 0) {
      std::fprintf(stderr, "the system-wide registry %s is changed by root only (run with sudo)\n",
                   registry.c_str());
    }
    return 5;
  }
  std::printf("tervane-regsvr: %s\nremoved %d entr%s registered with %s without loading it\nregistry: %s\n",
              loadError.c_str(), removed, removed == 1 ? "y" : "ies", library.c_str(), registry.c_str());
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  bool unregister = false;
  bool system = false;
  const char* library = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-u") == 0) {
      unregister = true;
    } else if (std::strcmp(argv[i], "--system") == 0) {
      system = true;
    } else if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
      Usage(stdout);
      return 0;
    } else if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("tervane-regsvr %s\n", tervane::kVersion);
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
  // The library's own entry points choose their registry from the environment, which the
  // library and this tool share (each carries its own copy of the component layer).
  if (system) ::setenv(kRegistryTargetVariable, "system", 1);
  const std::string registry = RegistrationTargetPath();
  system = registry == SystemRegistryPath() && !registry.empty();

  // The library records the path it was loaded from, so it is loaded by its absolute path.
  char resolved[PATH_MAX];
  if (!::realpath(library, resolved)) {
    const std::string loadError = std::string(library) + ": " + std::strerror(errno);
    if (unregister) {
      std::error_code code;
      std::filesystem::path path = std::filesystem::absolute(library, code);
      if (!code) path = std::filesystem::weakly_canonical(path, code);
      return RemoveEntriesOf(code ? std::string(library) : path.lexically_normal().string(), registry, loadError,
                             system);
    }
    std::fprintf(stderr, "tervane-regsvr: %s\n", loadError.c_str());
    return 3;
  }
  void* handle = ::dlopen(resolved, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = ::dlerror();
    const std::string loadError = std::string("cannot load ") + resolved + ": " + (why ? why : "unknown reason");
    if (unregister) return RemoveEntriesOf(resolved, registry, loadError, system);
    std::fprintf(stderr, "tervane-regsvr: %s\n", loadError.c_str());
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
  if (Succeeded(result)) {
    std::printf("%s in %s succeeded: %s\nregistry: %s\n", entry, resolved, text.c_str(), registry.c_str());
  } else {
    std::fprintf(stderr, "%s in %s failed: %s\nregistry: %s\n", entry, resolved, text.c_str(), registry.c_str());
    ExplainRegistryFailure(registry, system);
  }
  // The library stays loaded until the process ends: a library with windowing code may
  // have registered exit handlers that must still find its code.
  return Succeeded(result) ? 0 : 5;
}
