// Creating component objects by class ID: the registry names the library, the library
// is loaded once per process and hands out the class's factory, the factory makes the
// object.
#pragma once

#include <cstddef>
#include <string>

#include "component/guid.h"
#include "component/hresult.h"

namespace tervane::component {

// Creates an object of class `clsid` and sets `*object` to its interface `iid`, looking
// the class up in the registry at `registryPath`, or, when that is empty, in the user's
// registry and then the system-wide one (FindClassLibrary). Returns kOk;
// kClassNotRegistered when no registry has such a class (or no file); kRegistryRead when
// it is found nowhere and a registry file cannot be read or is malformed;
// kLibraryNotFound when the registered library file does not exist; kErrorInLibrary
// when it cannot be loaded or lacks DllGetClassObject; otherwise what the library's
// DllGetClassObject or factory returned (kClassNotAvailable, kNoInterface, ...).
// `*object` is null on failure; `error` (when given) describes it.
HResult CreateInstance(const Guid& clsid, const Guid& iid, void** object, std::string* error = nullptr,
                       const std::string& registryPath = std::string());

// The class a ProgID names, from the registry at `registryPath` (both as above when empty).
// Returns what FindProgId returns.
HResult ClassIdFromProgId(const std::string& progId, Guid& clsid, std::string* error = nullptr,
                          const std::string& registryPath = std::string());

// Asks every library loaded by CreateInstance whether it may be unloaded
// (DllCanUnloadNow) and unloads those that answer kOk. Returns how many were unloaded.
std::size_t FreeUnusedLibraries();

// How many component libraries CreateInstance holds loaded now.
std::size_t LoadedLibraryCount();

}  // namespace tervane::component
