#include "component/simple_class_factory.h"

#include <new>

#include "component/module_lock.h"

namespace tervane::component {

SimpleClassFactory::~SimpleClassFactory() {
  // Locks a host forgot to undo end with the factory.
  for (long n = locks_.load(); n > 0; --n) UnlockModule();
}

HResult SimpleClassFactory::QueryInterface(const Guid& iid, void** object) {
  if (!object) return hr::kPointer;
  if (iid == kIidUnknown || iid == kIidClassFactory) {
    AddRef();
    *object = static_cast<IClassFactory*>(this);
    return hr::kOk;
  }
  *object = nullptr;
  return hr::kNoInterface;
}

std::uint32_t SimpleClassFactory::AddRef() {
  return ++references_;
}

std::uint32_t SimpleClassFactory::Release() {
  const std::uint32_t left = --references_;
  if (left == 0) delete this;
  return left;
}

HResult SimpleClassFactory::CreateInstance(IUnknown* outer, const Guid& iid, void** object) {
  if (!object) return hr::kPointer;
  *object = nullptr;
  if (outer) return hr::kNoAggregation;
  return create_(iid, object);
}

HResult SimpleClassFactory::LockServer(bool lock) {
  if (lock) {
    ++locks_;
    LockModule();
    return hr::kOk;
  }
  long current = locks_.load();
  do {
    if (current <= 0) return hr::kUnexpected;
  } while (!locks_.compare_exchange_weak(current, current - 1));
  UnlockModule();
  return hr::kOk;
}

HResult GetSimpleClassFactory(CreateFunction create, const Guid& iid, void** object) {
  if (!object) return hr::kPointer;
  *object = nullptr;
  auto* factory = new (std::nothrow) SimpleClassFactory(create);
  if (!factory) return hr::kOutOfMemory;
  const HResult result = factory->QueryInterface(iid, object);
  factory->Release();
  return result;
}

}  // namespace tervane::component
