#include "component/module_lock.h"

#include <atomic>

namespace tervane::component {
namespace {
std::atomic<long> g_locks{0};
}  // namespace

void LockModule() {
  g_locks.fetch_add(1);
}

void UnlockModule() {
  g_locks.fetch_sub(1);
}

long ModuleLockCount() {
  return g_locks.load();
}

HResult CanUnloadModule() {
  return g_locks.load() == 0 ? hr::kOk : hr::kFalse;
}

}  // namespace tervane::component
