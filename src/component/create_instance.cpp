#include "component/create_instance.h"

#include <dlfcn.h>

#include <filesystem>
#include <map>
#include <mutex>

#include "component/class_factory.h"
#include "component/component_registry.h"
#include "component/server_exports.h"

namespace tervane::component {
namespace {

// The libraries loaded for objects, by path; each is loaded once and stays loaded until
// FreeUnusedLibraries finds it idle.
struct LoadedLibraries {
  std::recursive_mutex mutex;  // held across a creation, which may create in turn
  std::map<std::string, void*> handles;
};

LoadedLibraries& Libraries() {
  static LoadedLibraries libraries;
  return libraries;
}

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

}  // namespace

HResult CreateInstance(const Guid& clsid, const Guid& iid, void** object, std::string* error,
                       const std::string& registryPath) {
  if (!object) return hr::kPointer;
  *object = nullptr;
  std::string library;
  if (const HResult found = FindClassLibrary(registryPath, clsid, library, error); found != hr::kOk) return found;

  // The lock is held until the object exists, so that FreeUnusedLibraries cannot unload
  // the library between its lookup and the factory's work.
  LoadedLibraries& libraries = Libraries();
  std::lock_guard<std::recursive_mutex> lock(libraries.mutex);
  DllGetClassObjectFunction getClassObject = nullptr;
  {
    void*& handle = libraries.handles[library];
    if (!handle) {
      std::error_code code;
      if (!std::filesystem::is_regular_file(library, code)) {
        libraries.handles.erase(library);
        SetError(error, "the library of class " + ToString(clsid) + ", " + library + ", does not exist");
        return hr::kLibraryNotFound;
      }
      handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (!handle) {
        const char* why = ::dlerror();
        libraries.handles.erase(library);
        SetError(error, "cannot load " + library + ": " + (why ? why : "unknown reason"));
        return hr::kErrorInLibrary;
      }
    }
    getClassObject = reinterpret_cast<DllGetClassObjectFunction>(::dlsym(handle, kDllGetClassObject));
    if (!getClassObject) {
      SetError(error, library + " has no " + kDllGetClassObject);
      return hr::kErrorInLibrary;
    }
  }

  IClassFactory* factory = nullptr;
  HResult result = getClassObject(clsid, kIidClassFactory, reinterpret_cast<void**>(&factory));
  if (Failed(result) || !factory) {
    SetError(error, library + " hands out no factory for " + ToString(clsid) + ": " + HResultText(result));
    return Failed(result) ? result : hr::kClassNotAvailable;
  }
  result = factory->CreateInstance(nullptr, iid, object);
  factory->Release();
  if (Failed(result)) {
    *object = nullptr;
    SetError(error, "the factory of " + ToString(clsid) + " failed: " + HResultText(result));
  }
  return result;
}

HResult ClassIdFromProgId(const std::string& progId, Guid& clsid, std::string* error,
                          const std::string& registryPath) {
  return FindProgId(registryPath, progId, clsid, error);
}

std::size_t FreeUnusedLibraries() {
  LoadedLibraries& libraries = Libraries();
  std::lock_guard<std::recursive_mutex> lock(libraries.mutex);
  std::size_t unloaded = 0;
  for (auto it = libraries.handles.begin(); it != libraries.handles.end();) {
    auto canUnload = reinterpret_cast<DllCanUnloadNowFunction>(::dlsym(it->second, kDllCanUnloadNow));
    // A library without the entry point cannot say it is idle, so it stays.
    if (canUnload && canUnload() == hr::kOk) {
      ::dlclose(it->second);
      it = libraries.handles.erase(it);
      ++unloaded;
    } else {
      ++it;
    }
  }
  return unloaded;
}

std::size_t LoadedLibraryCount() {
  LoadedLibraries& libraries = Libraries();
  std::lock_guard<std::recursive_mutex> lock(libraries.mutex);
  return libraries.handles.size();
}

}  // namespace tervane::component
