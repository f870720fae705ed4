// The four entry points every component library exports with C linkage, by these names.
#pragma once

#include "component/guid.h"
#include "component/hresult.h"

namespace tervane::component {

// Writes the library's type library and classes into the user's component registry.
using DllRegisterServerFunction = HResult (*)();
// Removes them again.
using DllUnregisterServerFunction = HResult (*)();
// Hands out the class factory of `clsid` as interface `iid`.
using DllGetClassObjectFunction = HResult (*)(const Guid& clsid, const Guid& iid, void** object);
// kOk when the library may be unloaded (no object lives, no factory is locked), kFalse otherwise.
using DllCanUnloadNowFunction = HResult (*)();

inline constexpr const char* kDllRegisterServer = "DllRegisterServer";
inline constexpr const char* kDllUnregisterServer = "DllUnregisterServer";
inline constexpr const char* kDllGetClassObject = "DllGetClassObject";
inline constexpr const char* kDllCanUnloadNow = "DllCanUnloadNow";

}  // namespace tervane::component
