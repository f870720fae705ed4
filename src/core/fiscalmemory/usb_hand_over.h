// A printer on USB handed over to a memory library for one call. The library reaches
// the printer with USB link code of its own, as a maker's library holding its own USB
// access does, and the device can be claimed by one holder at a time: the workbench's
// link lets go of it before the call and takes it again after.
#pragma once

#include "core/fiscalmemory/memory_operations.h"

namespace tervane {

class CUsbLink;

class UsbHandOver {
 public:
  // Releases the workbench's link (context.usbLink, else the process's) when the port is
  // "USB"; does nothing for the other ports.
  explicit UsbHandOver(const MemoryToolContext& context);
  // Opens the link again (a printer that is gone by then is found by the next command).
  ~UsbHandOver();
  UsbHandOver(const UsbHandOver&) = delete;
  UsbHandOver& operator=(const UsbHandOver&) = delete;

 private:
  CUsbLink* link_ = nullptr;
};

}  // namespace tervane
