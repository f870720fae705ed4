// Late-bound access to an object's properties and methods by number (DISPID), the way a
// container drives a control it knows only by class ID.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "component/unknown.h"
#include "component/variant.h"

namespace tervane::component {

inline constexpr Guid kIidDispatch =
    MakeGuid(0x62da1e29, 0x67de, 0x4cad, 0xa5, 0xfd, 0xab, 0x0c, 0x76, 0x76, 0x9b, 0x51);

using DispId = std::int32_t;

// The members every control may carry with these fixed numbers.
namespace dispid {
constexpr DispId kBackColor = -501;
constexpr DispId kBorderStyle = -504;
constexpr DispId kAboutBox = -552;
}  // namespace dispid

enum class InvokeKind { kMethod = 1, kPropertyGet = 2, kPropertyPut = 4 };

class IDispatch : public IUnknown {
 public:
  // The number of the member called `name` (exact, case-insensitive ASCII). Returns kOk,
  // or kUnknownName with `*id` untouched; kPointer when `id` is null.
  virtual HResult GetIdOfName(std::string_view name, DispId* id) = 0;

  // Calls member `id`:
  // - kPropertyGet: no arguments; sets `*result` (which must not be null) to the value.
  // - kPropertyPut: exactly one argument, the new value; `result` is ignored.
  // - kMethod: the method's arguments; `*result` (when given) is set to its result,
  //   empty for a method without one.
  // Returns kOk; kMemberNotFound for an unknown number or a kind the member does not
  // support; kBadParamCount for the wrong number of arguments; kTypeMismatch for an
  // argument of the wrong type; kInvalidPropertyValue for a value out of range; kPointer
  // for a get without `result`. A failed put leaves the property unchanged.
  virtual HResult Invoke(DispId id, InvokeKind kind, std::span<const Variant> args, Variant* result) = 0;

 protected:
  ~IDispatch() = default;
};

// Reads property `id` into `value`: what Invoke returns.
inline HResult GetProperty(IDispatch& object, DispId id, Variant& value) {
  return object.Invoke(id, InvokeKind::kPropertyGet, {}, &value);
}

// Sets property `id` to `value`: what Invoke returns.
inline HResult PutProperty(IDispatch& object, DispId id, const Variant& value) {
  return object.Invoke(id, InvokeKind::kPropertyPut, std::span<const Variant>(&value, 1), nullptr);
}

}  // namespace tervane::component
