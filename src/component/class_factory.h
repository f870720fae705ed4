// The object a component library hands out for each of its classes: it makes instances.
#pragma once

#include "component/unknown.h"

namespace tervane::component {

inline constexpr Guid kIidClassFactory =
    MakeGuid(0x6dd3f0b1, 0xe437, 0x4d06, 0x80, 0x83, 0x84, 0x0a, 0xec, 0x9b, 0x30, 0xe2);

class IClassFactory : public IUnknown {
 public:
  // Makes a new instance and sets `*object` to its interface `iid`. Returns kOk;
  // kNoAggregation when `outer` is not null (no class here can be aggregated);
  // kNoInterface when the instance lacks `iid` (the instance is then destroyed);
  // kOutOfMemory; kPointer when `object` is null. `*object` is null on failure.
  virtual HResult CreateInstance(IUnknown* outer, const Guid& iid, void** object) = 0;
  // Keeps the library loaded (true) or lets it go again (false) while no object lives.
  virtual HResult LockServer(bool lock) = 0;

 protected:
  ~IClassFactory() = default;
};

}  // namespace tervane::component
