// Property pages: a control names the classes of its pages; a page object shows itself
// in a window of the container's property sheet.
#pragma once

#include <string>
#include <vector>

#include "component/unknown.h"
#include "component/windowed_control.h"

namespace tervane::component {

inline constexpr Guid kIidSpecifyPropertyPages =
    MakeGuid(0x5d2cb3fc, 0x8bc7, 0x4556, 0xb3, 0x3c, 0xc9, 0x9f, 0x37, 0x69, 0x19, 0xa0);
inline constexpr Guid kIidPropertyPage =
    MakeGuid(0x0b8a7268, 0x54c1, 0x4e0e, 0x86, 0x2a, 0xea, 0xfb, 0xe9, 0xc0, 0xb2, 0x54);

class ISpecifyPropertyPages : public IUnknown {
 public:
  // The class IDs of the object's property pages, in order. Returns kOk or kPointer.
  virtual HResult GetPages(std::vector<Guid>* pages) = 0;

 protected:
  ~ISpecifyPropertyPages() = default;
};

class IPropertyPage : public IUnknown {
 public:
  // The page's tab caption (Windows-1252). Returns kOk or kPointer.
  virtual HResult GetTitle(std::string* title) = 0;
  // Makes the page's window as a child of `parent`; the page owns it. Returns kOk,
  // kUnexpected when it already has one, kNotInitialised without an application object,
  // kPointer for a null argument.
  virtual HResult CreatePageWindow(WindowHandle parent, WindowHandle* window) = 0;

 protected:
  ~IPropertyPage() = default;
};

}  // namespace tervane::component
