// Inside a component library: the count of what keeps the library in use (live objects
// and class-factory locks), which its DllCanUnloadNow reports. Each library that links
// this code has its own count.
#pragma once

#include "component/hresult.h"

namespace tervane::component {

void LockModule();
void UnlockModule();
long ModuleLockCount();
// kOk when nothing keeps the library in use, kFalse otherwise.
HResult CanUnloadModule();

}  // namespace tervane::component
