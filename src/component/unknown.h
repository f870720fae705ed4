// The root interface of every component object: interface discovery and reference
// counting. Objects live inside a component library and are handed to the host as
// interface pointers; the host never deletes them, it releases them.
#pragma once

#include <cstdint>

#include "component/guid.h"
#include "component/hresult.h"

namespace tervane::component {

inline constexpr Guid kIidUnknown =
    MakeGuid(0x3bed34a9, 0x530f, 0x4ca6, 0x85, 0x2b, 0xea, 0xc9, 0xb7, 0x36, 0xfb, 0xc0);

class IUnknown {
 public:
  // Sets `*object` to this object's implementation of interface `iid`, with one more
  // reference, and returns kOk. Returns kNoInterface (and sets `*object` to null) when the
  // object does not implement it, kPointer when `object` is null.
  virtual HResult QueryInterface(const Guid& iid, void** object) = 0;
  // Adds a reference; returns the new count (for diagnostics only).
  virtual std::uint32_t AddRef() = 0;
  // Drops a reference; the object destroys itself when the count reaches 0. Returns the
  // new count.
  virtual std::uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

}  // namespace tervane::component
