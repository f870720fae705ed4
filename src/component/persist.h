// Saving and loading an object's persistent properties as named values.
#pragma once

#include <map>
#include <string>

#include "component/unknown.h"
#include "component/variant.h"

namespace tervane::component {

inline constexpr Guid kIidPersistPropertyBag =
    MakeGuid(0xb0ea359e, 0xeeae, 0x41de, 0xbc, 0xe2, 0x4c, 0x5a, 0x4b, 0x9c, 0x65, 0x12);

using PropertyBag = std::map<std::string, Variant>;

class IPersistPropertyBag : public IUnknown {
 public:
  // Puts every persistent property into a new object's initial state. Returns kOk.
  virtual HResult InitNew() = 0;
  // Reads the persistent properties from `bag`; a missing name keeps its current value.
  // Returns kOk, or kTypeMismatch / kInvalidPropertyValue / kInvalidArg (a version this
  // object cannot read) with nothing changed.
  virtual HResult Load(const PropertyBag& bag) = 0;
  // Writes the persistent properties into `bag` (other names in it are left alone) and
  // clears the modified mark. Returns kOk.
  virtual HResult Save(PropertyBag& bag) = 0;
  // kOk when the object changed since it was made, loaded or saved; kFalse otherwise.
  virtual HResult IsDirty() = 0;

 protected:
  ~IPersistPropertyBag() = default;
};

}  // namespace tervane::component
