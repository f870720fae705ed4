// What a control offers a container that shows it: its own window, made as a child of a
// window of the container, and the size it wants.
//
// Windows cross this interface as opaque handles: in this program a handle is a
// QWidget*, and the container and the control share the one Qt of the process.
#pragma once

#include <cstdint>

#include "component/unknown.h"

namespace tervane::component {

inline constexpr Guid kIidWindowedControl =
    MakeGuid(0xdbb798d8, 0x69ad, 0x4530, 0x9c, 0x05, 0x10, 0xbe, 0x4f, 0x99, 0x4f, 0x56);

using WindowHandle = void*;

class IWindowedControl : public IUnknown {
 public:
  // Makes the control's window as a child of `parent` and sets `*window` to it; the
  // control owns that window and destroys it when it is released (the parent may destroy
  // it first). Returns kOk; kUnexpected when the control already has a window;
  // kNotInitialised when the process has no application object for windows; kPointer for
  // a null argument.
  virtual HResult CreateControlWindow(WindowHandle parent, WindowHandle* window) = 0;
  // The size in pixels the control wants for its window. Returns kOk, kNotInitialised
  // when it cannot be measured without an application object, kPointer for a null argument.
  virtual HResult GetExtent(int* width, int* height) = 0;
  // The control's status bits (how a container should treat it). Returns kOk or kPointer.
  virtual HResult GetMiscStatus(std::uint32_t* status) = 0;

 protected:
  ~IWindowedControl() = default;
};

}  // namespace tervane::component
