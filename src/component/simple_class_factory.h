// Inside a component library: the class factory for one class, made from the function
// that creates an instance. DllGetClassObject hands out a new one per request.
#pragma once

#include <atomic>

#include "component/class_factory.h"

namespace tervane::component {

// Creates an instance and sets `*object` to its interface `iid` (never null here).
// Returns kOk, or kNoInterface / kOutOfMemory with `*object` null.
using CreateFunction = HResult (*)(const Guid& iid, void** object);

class SimpleClassFactory final : public IClassFactory {
 public:
  explicit SimpleClassFactory(CreateFunction create) : create_(create) {}

  HResult QueryInterface(const Guid& iid, void** object) override;
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;
  HResult CreateInstance(IUnknown* outer, const Guid& iid, void** object) override;
  // Each unlock must match an earlier lock of this factory; an unmatched one returns
  // kUnexpected and changes nothing.
  HResult LockServer(bool lock) override;

 private:
  ~SimpleClassFactory();

  CreateFunction create_;
  std::atomic<std::uint32_t> references_{1};
  std::atomic<long> locks_{0};
};

// Hands out a new factory for `create` as interface `iid`. Returns kOk, kNoInterface
// for an interface a factory lacks, kPointer, or kOutOfMemory; `*object` null on failure.
HResult GetSimpleClassFactory(CreateFunction create, const Guid& iid, void** object);

}  // namespace tervane::component
