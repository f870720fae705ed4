#include "core/fiscalmemory/usb_hand_over.h"

#include "core/transport/usb_link.h"

namespace tervane {

UsbHandOver::UsbHandOver(const MemoryToolContext& context) {
  const ProgramSettings* settings = context.exchange.settings;
  if (settings == nullptr || settings->g_portName != "USB") return;
  link_ = context.usbLink != nullptr ? context.usbLink : &ProcessUsbLink(settings->g_workDir);
  link_->CloseAll();
}

UsbHandOver::~UsbHandOver() {
  if (link_ != nullptr) link_->EnsureOpen();
}

}  // namespace tervane
